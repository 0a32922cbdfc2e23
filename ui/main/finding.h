// Finding text in the list as it shows its entries: with the letter case
// ignored or not; full-width and half-width forms are never taken for each
// other.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tallyrun::ui {

struct Search {
  std::string text;
  bool down = true;  // toward the older entries
  bool match_case = false;
};

// Prepared once for many entries.
class Finder {
 public:
  explicit Finder(const Search& search);
  bool In(std::string_view shown) const;

  // The runs of the text as compared (folded unless the case counts) that
  // text holding a match holds too, with its ASCII letters folded when
  // `folds_ascii`: the text broken at each character `breaks` and, the case
  // ignored, at each letter that other letters fold to.
  std::vector<std::string_view> Pieces(bool (*breaks)(char32_t)) const;
  bool folds_ascii() const { return !match_case_; }

 private:
  bool match_case_;
  bool ascii_;        // the text has no letter beyond ASCII to fold
  std::string text_;  // folded unless the case counts
  mutable std::string folded_;
};

// Letters in one case, for comparing without regard to it: the Latin,
// Greek and Cyrillic letters and their full-width forms.
void FoldCase(std::string_view text, std::string& out);

}  // namespace tallyrun::ui
