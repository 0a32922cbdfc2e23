// Lists chosen from by the keyboard: tabbing into a list frames its top row
// without choosing it, and the arrow keys would then move past that row.
#pragma once

class QAbstractItemView;

namespace tallyrun::ui {

// While nothing is chosen, the first arrow key chooses the top row.
void ChooseTopRowOnFirstArrowKey(QAbstractItemView* list);

}  // namespace tallyrun::ui
