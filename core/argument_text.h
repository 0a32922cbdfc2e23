// Splitting one raw command-line text into items, for systems that hand a
// program its arguments as a single text: blanks separate items, and double
// quotes hold an item that contains blanks.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tallyrun {

// Two blanks in a row give an empty item; an opening quote without its
// closing quote takes the rest of the text.
std::vector<std::string> SplitArgumentText(std::string_view text);

}  // namespace tallyrun
