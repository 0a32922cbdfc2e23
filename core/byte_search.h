// Finding one byte in text, as reading a log does for every line and field:
// with the C library's memchr where that is fast, else sixteen bytes a step;
// and finding a piece of text, as a search through a whole log does.
#pragma once

#include <cstddef>
#include <string_view>

#include "core/build_facts.h"

namespace tallyrun {

// The same as FindByte, in plain code.
std::size_t FindByteInBlocks(std::string_view text, char byte, std::size_t from = 0);

// Where `byte` first falls in `text` from `from` on, or npos.
inline std::size_t FindByte(std::string_view text, char byte, std::size_t from = 0) {
  if constexpr (kFastMemchr) {
    return text.find(byte, from);
  } else {
    return FindByteInBlocks(text, byte, from);
  }
}

// Where `key` first stands in `text`, or npos. With `any_case`, ASCII
// letters in `text` count in either case, and the key's are lower case.
std::size_t FindText(std::string_view text, std::string_view key, bool any_case);

}  // namespace tallyrun
