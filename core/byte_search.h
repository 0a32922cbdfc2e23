// Finding one byte in text, as reading a log does for every line and field:
// with the C library's memchr where that is fast, else sixteen bytes a step.
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

}  // namespace tallyrun
