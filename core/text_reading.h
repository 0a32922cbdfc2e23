// Bytes from outside (a log line, a settings value) come in UTF-8 or, from a
// Japanese Windows system, in CP932, and nothing says which. One rule decides
// for every reader, and for the writers, which must be read back right.
#pragma once

#include <string_view>

namespace tallyrun {

// The byte order mark, which a line Tallyrun writes in UTF-8 starts with
// where the rule would otherwise take it for CP932 (and a file may start with).
inline constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

// CP932 as Windows' table defines it: ASCII, half-width katakana and the
// double-byte characters, less the user-defined ones (F040 to F9FC), which no
// name a font can show holds.
bool IsValidCp932(std::string_view bytes);

enum class Reading {
  kUtf8,            // taken as it is
  kCp932,           // decoded from CP932
  kUtf8WithStrays,  // neither: UTF-8, its stray bytes carried (see utf8.h)
};

// Bytes valid in one encoding only are read in that one; valid in neither,
// as UTF-8 with stray bytes. Valid both ways (CP932 half-width katakana pair
// up as two-byte UTF-8 characters, and the reverse), they are UTF-8 unless,
// so read, a two-byte character in them is one names hardly ever hold:
//  - a C1 control, a letter of Latin Extended-B but for those of Vietnamese,
//    Pinyin and Romanian, a phonetic or modifier letter (U+0250 to U+02FF),
//    a sign of the Armenian, Hebrew or Arabic blocks, or a character of
//    U+0700 to U+07FF (Syriac, Thaana, N'Ko);
//  - a combining mark that follows no letter;
//  - a Latin, Greek, Cyrillic, Armenian, Hebrew or Arabic letter with no
//    letter of its own script beside it (ASCII letters are Latin);
//  - a small letter directly followed by a capital.
// CP932 misread as UTF-8 nearly always makes one of these, as runs of
// half-width katakana come out as lone letters of mixed scripts and cases;
// names in UTF-8 nearly never do. A generated corpus of each kind checks it.
Reading ReadingOf(std::string_view bytes);

}  // namespace tallyrun
