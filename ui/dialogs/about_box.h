// Form3, the about box: the version line, what the program is for, and
// credits.
#pragma once

#include "ui/common/form.h"

namespace tallyrun::ui {

class Form3 : public Form {
 public:
  enum Control { Frame1, Label1, Command1, Label4, Frame2, Text1 };

  const FormTable& Table() const override;
  // Builds the description in Label4 anew.
  void Form_Load(FormView& view) override;
  void Click(int control) override;

 private:
  void Command1_Click();

  FormView* view_ = nullptr;
};

}  // namespace tallyrun::ui
