#include "core/byte_search.h"

#include <bit>
#include <cstdint>
#include <cstring>

namespace tallyrun {

std::size_t FindByteByWords(std::string_view text, char byte, std::size_t from) {
  constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;
  const std::uint64_t pattern = 0x0101010101010101ull * static_cast<unsigned char>(byte);
  // The high bit of each byte at `at` equal to `byte`, and of no other.
  const auto matches = [&](const char* at) {
    std::uint64_t word;
    std::memcpy(&word, at, sizeof word);
    const std::uint64_t x = word ^ pattern;
    return ~(((x & kLow7) + kLow7) | x | kLow7);
  };
  const auto first_in = [](std::uint64_t found) {
    return static_cast<std::size_t>(std::endian::native == std::endian::little
                                        ? std::countr_zero(found) / 8
                                        : std::countl_zero(found) / 8);
  };
  std::size_t i = from;
  for (; i + 16 <= text.size(); i += 16) {
    const std::uint64_t first = matches(text.data() + i);
    const std::uint64_t second = matches(text.data() + i + 8);
    if ((first | second) != 0) return first != 0 ? i + first_in(first) : i + 8 + first_in(second);
  }
  if (i + 8 <= text.size()) {
    if (const std::uint64_t found = matches(text.data() + i); found != 0)
      return i + first_in(found);
    i += 8;
  }
  for (; i < text.size(); ++i) {
    if (text[i] == byte) return i;
  }
  return std::string_view::npos;
}

}  // namespace tallyrun
