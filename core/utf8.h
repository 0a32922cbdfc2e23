// UTF-8 checks for text that may have come from a Japanese Windows system,
// and the carrying of stray bytes: a Linux name may hold any bytes, and a
// byte that belongs to no well-formed character is carried in text as
// U+DC80 to U+DCFF (the byte plus 0xDC00), written as three bytes in the
// UTF-8 pattern (ED B2 80 to ED B3 BF). Well-formed UTF-8 never holds those
// code points, so the exact bytes can always be given back.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tallyrun {

bool IsValidUtf8(std::string_view text);
// How far from its start `text` is well-formed UTF-8 with no two-byte
// character: text without one reads as UTF-8 whatever else it could be (see
// text_reading.h).
std::size_t PlainUtf8Length(std::string_view text);
// How many bytes at the start of `text` are ASCII.
std::size_t AsciiLength(std::string_view text);

std::string WithStraysCarried(std::string_view bytes);
// The bytes that `text` stands for: every carried stray back to its byte.
std::string StraysRestored(std::string_view text);
// The stray byte carried at the start of `text`, or -1.
int CarriedStrayAt(std::string_view text);
// The length of the well-formed non-ASCII character at the start of `text`,
// or 0.
int CharacterLength(std::string_view text);

}  // namespace tallyrun
