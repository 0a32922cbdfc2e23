// A window as the program sees it, whatever toolkit draws it: its table of
// controls, its rules (a Form: state and event handlers, tested without a
// display) and the small set of verbs a Form asks of the window that shows
// it (a FormView, which each toolkit implements by drawing only).
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tallyrun::ui {

// Key code (KeyUp) and KeyAscii (KeyPress) of Enter alike.
inline constexpr int kKeyEnter = 13;

// A place in twips (1/1440 inch) inside the control's parent: left, top,
// width, height.
struct Twips {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
};

enum class Kind {
  kLabel,    // a caption; a carriage return starts a new line
  kTextBox,  // one line, editable
  kFrame,    // holds the controls that name it; takes no focus
  kButton,
  kLogList,     // the log's entries, newest first; single selection
  kDriveList,   // a drop-down list of drives
  kFolderList,  // the current folder with the folders above and below it
  kFileList,    // the files of the current folder
  kNote,        // several lines to read and select, not to change
  kCheck,       // a check box
  kOption,      // one of the option buttons in its frame
};

enum class Face { kGothic, kPGothic };
enum FontStyle : unsigned { kPlain = 0, kBold = 1, kUnderline = 2 };

struct Control {
  std::string_view name;
  Kind kind;
  std::string_view caption = {};
  Twips place = {};
  int in = -1;  // the frame that holds it: its row in the table
  Face face = Face::kGothic;
  unsigned style = kPlain;
  // What a screen reader says for a control without a caption of its own:
  // the caption of this row (a heading), or `heard_as`.
  int heard_by = -1;
  std::string_view heard_as = {};
  bool bordered = false;  // a frame drawn with an etched line
  bool starts_disabled = false;
  bool takes_drops = false;  // files dropped on it reach OLEDragDrop
};

// Keys that choose a menu entry without the menu.
enum class Shortcut { kNone, kCtrlC, kCtrlF, kF3, kShiftF3 };

// An entry of the window's menu, which shows where a control asks for it
// (ContextMenu); its key, where it has one, chooses it anywhere in the
// window, or only in the control `on`.
struct MenuItem {
  std::string_view name;
  std::string_view caption;  // "&" before the letter that chooses it
  Shortcut shortcut = Shortcut::kNone;
  int on = -1;
};

struct FormTable {
  std::string_view name;
  std::string_view title;
  int width = 0;  // client area, twips
  int height = 0;
  std::span<const Control> controls;  // in tab order
  int focus = -1;                     // has the focus when the window opens
  int default_button = -1;            // pressed by Enter anywhere but a list
  std::span<const MenuItem> menu = {};
};

// One row of a list as it is shown.
struct Row {
  std::string text;
  int depth = 0;      // how far a folder is indented
  bool open = false;  // a folder on the way to the current one, or that one
};

// A file or folder dropped on a control, by its full path. `exact` is false
// when the toolkit could not carry the name as the system spells it.
struct DroppedItem {
  std::string path;
  bool exact = true;
};

class Form;

class FormView {
 public:
  virtual ~FormView() = default;

  // A caption, or a text box's text; UTF-8.
  virtual void SetText(int control, std::string_view text) = 0;
  // A text box's text as the user left it, or a caption as shown.
  virtual std::string Text(int control) const = 0;
  virtual void Enable(int control, bool enabled) = 0;
  // The list's rows have changed: all of them, or only `added_on_top` rows
  // put above the rest (the chosen row and the rows in view stay). The view
  // asks for the rows it shows (Form::ListCount, Form::ListRow).
  virtual void ListChanged(int control, std::size_t added_on_top = 0) = 0;
  virtual std::optional<std::size_t> Selected(int control) const = 0;
  // Chooses a row as the program, which is no event of the user's.
  virtual void Select(int control, std::optional<std::size_t> row) = 0;

  // Modal, with an OK button only and no icon; returns once dismissed.
  virtual void ShowMessage(std::string_view text, std::string_view title) = 0;
  // Shows `dialog` modally over this window; returns once it has closed.
  virtual void ShowModal(Form& dialog) = 0;
  // The cursor says the program is busy while this is set.
  virtual void SetBusy(bool busy) = 0;
  // Form::Timer runs once, `milliseconds` from now; set again, the earlier
  // one is dropped.
  virtual void SetTimer(int milliseconds) = 0;
  // Unloads the window, as its own close command does (Form_Unload runs).
  virtual void Close() = 0;

  // A check box or option button.
  virtual void SetChecked(int control, bool checked) = 0;
  virtual bool Checked(int control) const = 0;
  // Shows `dialog` beside this window without waiting; shown already, it
  // comes to the front. Its Form_Unload tells when it has closed.
  virtual void ShowModeless(Form& dialog) = 0;
  // The menu's entries `items`, those not `enabled` greyed, where the user
  // asked for it; the one chosen reaches MenuClick.
  struct MenuEntry {
    int item;
    bool enabled;
  };
  virtual void PopupMenu(const std::vector<MenuEntry>& entries) = 0;
  // Puts `text` on the clipboard; false when another program kept it.
  virtual bool CopyText(std::string_view text) = 0;
};

// The rules of one window. Event handlers are named after the events of the
// control they come from; a Form handles those it needs.
class Form {
 public:
  virtual ~Form() = default;

  virtual const FormTable& Table() const = 0;
  // The window has been made; `view` shows it until Form_Unload.
  virtual void Form_Load(FormView& view) = 0;
  // The window closes, in whatever way.
  virtual void Form_Unload() {}

  virtual void Click(int /*control*/) {}
  virtual void DblClick(int /*control*/) {}
  virtual void KeyPress(int /*control*/, int /*KeyAscii*/) {}
  virtual void KeyUp(int /*control*/, int /*KeyCode*/, int /*Shift*/) {}
  // The user chose another row of a drop-down list, or edited a text box.
  virtual void Change(int /*control*/) {}
  virtual void OLEDragDrop(int /*control*/, std::vector<DroppedItem>& /*Data*/) {}
  virtual void Timer() {}
  // The user asked for the menu on a control: right button, menu key, Shift+F10.
  virtual void ContextMenu(int /*control*/) {}
  virtual void MenuClick(int /*item*/) {}

  virtual std::size_t ListCount(int /*control*/) const { return 0; }
  virtual Row ListRow(int /*control*/, std::size_t /*row*/) const { return {}; }
};

}  // namespace tallyrun::ui
