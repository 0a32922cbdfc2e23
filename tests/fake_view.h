// A window without a toolkit for the forms' tests: it keeps what a form put
// into its controls, answers message boxes with OK and notes them, runs a
// modal dialog through the test's own hands, and holds Unicode text as a
// toolkit does (bytes that are not UTF-8 come back as U+FFFD).
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/utf8.h"
#include "ui/common/form.h"

namespace tallyrun::testing {

class FakeView : public ui::FormView {
 public:
  explicit FakeView(ui::Form& form) : form_(form) {
    for (std::size_t i = 0; i < form.Table().controls.size(); ++i) {
      const ui::Control& c = form.Table().controls[i];
      texts_[static_cast<int>(i)] = std::string(c.caption);
      enabled_[static_cast<int>(i)] = !c.starts_disabled;
    }
    form.Form_Load(*this);
  }

  // The user's hand in the next modal dialog: given the dialog and its
  // window. A dialog it leaves open is closed by its window's own command.
  std::function<void(ui::Form&, FakeView&)> in_dialog;
  // "title|text" of each message shown.
  std::vector<std::string> told;
  // Each list change: the rows added on top, 0 for all rows anew.
  std::vector<std::size_t> changes;
  std::optional<int> timer;
  bool busy = false, was_busy = false, closed = false;
  // The menu last shown: "name" for each entry, "(name)" for one greyed.
  std::vector<std::string> menu;
  std::string clipboard;
  bool clipboard_free = true;  // no other program holds it
  // The window last shown beside this one.
  std::unique_ptr<FakeView> beside;

  std::vector<std::string> Rows(int control) const {
    std::vector<std::string> rows;
    for (std::size_t i = 0; i < form_.ListCount(control); ++i)
      rows.push_back(form_.ListRow(control, i).text);
    return rows;
  }
  bool Enabled(int control) const { return enabled_.at(control); }
  ui::Form& form() { return form_; }
  // What the user types into a text box.
  void Type(int control, const std::string& text) { texts_[control] = text; }

  void SetText(int control, std::string_view text) override { texts_[control] = Held(text); }
  std::string Text(int control) const override { return texts_.at(control); }
  void Enable(int control, bool enabled) override { enabled_[control] = enabled; }
  void ListChanged(int control, std::size_t added_on_top) override {
    changes.push_back(added_on_top);
    std::optional<std::size_t>& chosen = selected_[control];
    if (chosen) chosen = added_on_top == 0 ? std::nullopt : std::optional(*chosen + added_on_top);
  }
  std::optional<std::size_t> Selected(int control) const override { return selected_[control]; }
  void Select(int control, std::optional<std::size_t> row) override { selected_[control] = row; }
  void ShowMessage(std::string_view text, std::string_view title) override {
    told.push_back(std::string(title) + "|" + std::string(text));
  }
  void ShowModal(ui::Form& dialog) override {
    FakeView window(dialog);
    if (in_dialog) in_dialog(dialog, window);
    if (!window.closed) window.Close();
  }
  void SetBusy(bool on) override {
    busy = on;
    was_busy = was_busy || on;
  }
  void SetTimer(int milliseconds) override { timer = milliseconds; }
  void Close() override {
    if (closed) return;
    closed = true;
    form_.Form_Unload();
  }
  void SetChecked(int control, bool checked) override { checked_[control] = checked; }
  bool Checked(int control) const override { return checked_[control]; }
  void ShowModeless(ui::Form& dialog) override {
    if (beside == nullptr || beside->closed) beside = std::make_unique<FakeView>(dialog);
  }
  void PopupMenu(const std::vector<MenuEntry>& entries) override {
    menu.clear();
    for (const MenuEntry& e : entries) {
      const std::string name(form_.Table().menu[static_cast<std::size_t>(e.item)].name);
      menu.push_back(e.enabled ? name : "(" + name + ")");
    }
  }
  bool CopyText(std::string_view text) override {
    if (clipboard_free) clipboard = text;
    return clipboard_free;
  }

 private:
  static std::string Held(std::string_view text) {
    std::string held;
    while (!text.empty()) {
      const int n = static_cast<unsigned char>(text[0]) < 0x80 ? 1 : CharacterLength(text);
      held.append(n > 0 ? text.substr(0, static_cast<std::size_t>(n)) : "\uFFFD");
      text.remove_prefix(n > 0 ? static_cast<std::size_t>(n) : 1);
    }
    return held;
  }

  ui::Form& form_;
  std::map<int, std::string> texts_;
  std::map<int, bool> enabled_;
  // Nothing chosen and nothing checked until told.
  mutable std::map<int, std::optional<std::size_t>> selected_;
  mutable std::map<int, bool> checked_;
};

}  // namespace tallyrun::testing
