// UTF-16 text with a byte order mark, as Notepad's "Unicode" saves a file,
// to UTF-8 and back, so that the rest of the program only sees bytes.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tallyrun {

enum class ByteOrder { kLittleEndian, kBigEndian };

// The order named by the mark at the start of `bytes`, if there is one.
std::optional<ByteOrder> Utf16MarkOf(std::string_view bytes);

// UTF-16 without its mark as UTF-8. A lone surrogate keeps its three-byte
// form, so that the text converts back to the same bytes; a last odd byte is
// dropped.
std::string Utf16ToUtf8(std::string_view bytes, ByteOrder order);
// Without a mark. Bytes that are not UTF-8 become U+FFFD.
std::string Utf8ToUtf16(std::string_view text, ByteOrder order);

}  // namespace tallyrun
