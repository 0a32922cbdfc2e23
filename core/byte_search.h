// Finding one byte in text, as reading a log does for every line and field:
// with the C library's memchr where that is fast, else sixteen bytes a step;
// and finding a piece of text, as a search through a whole log does.
#pragma once

#include <cstddef>
#include <string_view>

#include "core/build_facts.h"

namespace tallyrun {

// The same as FindByte, in plain code. The text comes as its start and size,
// which Windows' calling convention passes in registers, as it does not a
// string_view: for a call a line, that is a good part of the time.
std::size_t FindByteInBlocks(const char* text, std::size_t size, char byte, std::size_t from);

// Where `byte` first falls in `text` from `from` on, or npos.
inline std::size_t FindByte(std::string_view text, char byte, std::size_t from = 0) {
  if constexpr (kFastMemchr) {
    return text.find(byte, from);
  } else {
    return FindByteInBlocks(text.data(), text.size(), byte, from);
  }
}

// Where `key` first stands in `text`, or npos. With `any_case`, ASCII
// letters in `text` count in either case, and the key's are lower case.
std::size_t FindText(std::string_view text, std::string_view key, bool any_case);

}  // namespace tallyrun
