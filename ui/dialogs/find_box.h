// Form4, the find box: the text to find in the main window's list, which
// way, and whether the letter case counts. It stays open beside the list
// while the user goes on.
#pragma once

#include <functional>

#include "ui/common/form.h"
#include "ui/main/finding.h"

namespace tallyrun::ui {

class Form4 : public Form {
 public:
  enum Control { Label1, Text1, Command1, Command2, Check1, Frame1, Option1, Option2 };

  // `search` is the main window's own: shown as the box opens, and updated
  // before `find_next` is called for "次を検索".
  Form4(Search& search, std::function<void()> find_next)
      : search_(search), find_next_(std::move(find_next)) {}

  bool shown() const { return view_ != nullptr; }
  // As the user closes it.
  void Close() {
    if (view_ != nullptr) view_->Close();
  }

  const FormTable& Table() const override;
  void Form_Load(FormView& view) override;
  void Form_Unload() override { view_ = nullptr; }
  void Click(int control) override;
  void Change(int control) override;

 private:
  void Command1_Click();

  Search& search_;
  const std::function<void()> find_next_;
  FormView* view_ = nullptr;
};

}  // namespace tallyrun::ui
