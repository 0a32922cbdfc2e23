#include "ui/dialogs/find_box.h"

namespace tallyrun::ui {
namespace {

constexpr Control kControls[] = {
    {"Label1", Kind::kLabel, "検索する文字列（&N）：", {120, 165, 1905, 255}},
    {"Text1", Kind::kTextBox, {}, {2040, 120, 2640, 315}, -1, Face::kGothic, kPlain, Form4::Label1},
    {"Command1", Kind::kButton, "次を検索（&F）", {4800, 105, 1500, 375}},
    {"Command2", Kind::kButton, "閉じる", {4800, 585, 1500, 375}},
    {"Check1", Kind::kCheck, "大文字と小文字を区別する（&C）", {120, 960, 2880, 315}},
    {"Frame1", Kind::kFrame, "方向", {3120, 540, 1560, 780}},
    {"Option1", Kind::kOption, "上へ（&U）", {120, 240, 1320, 240}, Form4::Frame1},
    {"Option2", Kind::kOption, "下へ（&D）", {120, 495, 1320, 240}, Form4::Frame1},
};

constexpr FormTable kTable{"Form4", "検索", 6420, 1440, kControls, Form4::Text1, Form4::Command1};

}  // namespace

const FormTable& Form4::Table() const { return kTable; }

void Form4::Form_Load(FormView& view) {
  view_ = &view;
  view.SetText(Text1, search_.text);
  view.SetChecked(Option1, !search_.down);
  view.SetChecked(Option2, search_.down);
  view.SetChecked(Check1, search_.match_case);
  view.Enable(Command1, !search_.text.empty());
}

void Form4::Click(int control) {
  if (control == Command1) Command1_Click();
  if (control == Command2) view_->Close();
}

// Nothing to find, nothing to press.
void Form4::Change(int control) {
  if (control == Text1) view_->Enable(Command1, !view_->Text(Text1).empty());
}

void Form4::Command1_Click() {
  search_.text = view_->Text(Text1);
  search_.down = view_->Checked(Option2);
  search_.match_case = view_->Checked(Check1);
  if (!search_.text.empty()) find_next_();
}

}  // namespace tallyrun::ui
