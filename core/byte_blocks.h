// Sixteen bytes compared at once by the compiler's vector types, which every
// target has in some form; no processor's own instructions are named here.
// For the loops that read whole logs: finding bytes, judging lines.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace tallyrun::blocks {

using Bytes = signed char __attribute__((vector_size(16)));

inline Bytes Load(const char* at) {
  Bytes v;
  std::memcpy(&v, at, sizeof v);
  return v;
}

// Sixteen of `c`, to compare with.
inline Bytes Splat(char c) { return Bytes{} + static_cast<signed char>(c); }

// Where the first all-ones byte of a comparison falls, or -1.
inline int FirstMatch(Bytes matches) {
  std::uint64_t words[2];
  std::memcpy(words, &matches, sizeof words);
  for (int k = 0; k < 2; ++k) {
    if (words[k] != 0) {
      const int in_word = std::endian::native == std::endian::little
                              ? std::countr_zero(words[k]) / 8
                              : std::countl_zero(words[k]) / 8;
      return 8 * k + in_word;
    }
  }
  return -1;
}

// Where the last all-ones byte of a comparison falls, or -1.
inline int LastMatch(Bytes matches) {
  std::uint64_t words[2];
  std::memcpy(words, &matches, sizeof words);
  for (int k = 1; k >= 0; --k) {
    if (words[k] != 0) {
      const int in_word = std::endian::native == std::endian::little
                              ? 7 - std::countl_zero(words[k]) / 8
                              : 7 - std::countr_zero(words[k]) / 8;
      return 8 * k + in_word;
    }
  }
  return -1;
}

inline bool AnyMatch(Bytes matches) {
  std::uint64_t words[2];
  std::memcpy(words, &matches, sizeof words);
  return (words[0] | words[1]) != 0;
}

}  // namespace tallyrun::blocks
