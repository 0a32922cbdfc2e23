// Keys in lists: Enter as the program's handlers know it (key code 13), and
// lists chosen from by the keyboard, where tabbing in frames the top row
// without choosing it and the arrow keys would then move past that row.
#pragma once

class QAbstractItemView;
class QKeyEvent;

namespace tallyrun::ui::qt {

// The key code a handler is given: kKeyEnter for either Enter key.
int KeyCodeOf(const QKeyEvent& event);

// While nothing is chosen, the first arrow key chooses the top row.
void ChooseTopRowOnFirstArrowKey(QAbstractItemView* list);

}  // namespace tallyrun::ui::qt
