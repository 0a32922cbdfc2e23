#include "ui/dialogs/about_box.h"

#include <string>

#include "core/build_facts.h"
#include "ui/common/texts.h"

namespace tallyrun::ui {
namespace {

constexpr Control kControls[] = {
    {.name = "Frame1", .kind = Kind::kFrame, .place = {240, 420, 4095, 1995}, .bordered = true},
    {"Label1", Kind::kLabel, {}, {120, 120, 4335, 255}},
    {"Command1", Kind::kButton, "戻る", {300, 1560, 3495, 315}, Form3::Frame1, Face::kPGothic},
    {"Label4", Kind::kLabel, {}, {180, 240, 3735, 1215}, Form3::Frame1},
    {.name = "Frame2", .kind = Kind::kFrame, .place = {120, 2460, 4335, 1515}, .bordered = true},
    {.name = "Text1",
     .kind = Kind::kNote,
     .caption = text::kCredits,
     .place = {120, 180, 4095, 1215},
     .in = Form3::Frame2,
     .face = Face::kPGothic,
     .heard_as = "クレジット"},
};

constexpr FormTable kTable{"Form3",   "バージョン情報", 4575,           4050,
                           kControls, Form3::Command1,  Form3::Command1};

}  // namespace

const FormTable& Form3::Table() const { return kTable; }

void Form3::Form_Load(FormView& view) {
  view_ = &view;
  view.SetText(Label1, std::string(text::kProgramFileName) + kVersionLine);
  view.SetText(Label4, std::string(text::kDescriptionFirst) + "\r\r");
  view.SetText(Label4, view.Text(Label4) + text::kDescriptionSecond + "\r");
  view.SetText(Label4, view.Text(Label4) + text::kDescriptionThird);
}

void Form3::Click(int control) {
  if (control == Command1) Command1_Click();
}

void Form3::Command1_Click() { view_->Close(); }

}  // namespace tallyrun::ui
