#include "core/byte_search.h"

#include "core/byte_blocks.h"

namespace tallyrun {
using blocks::AnyMatch;
using blocks::Bytes;
using blocks::FirstMatch;
using blocks::Load;

std::size_t FindByteInBlocks(const char* const p, const std::size_t size, char byte,
                             std::size_t from) {
  const Bytes sought = blocks::Splat(byte);
  std::size_t i = from;
  for (; i + 32 <= size; i += 32) {
    const Bytes first = Load(p + i) == sought;
    const Bytes second = Load(p + i + 16) == sought;
    if (AnyMatch(first | second)) {
      const int at = FirstMatch(first);
      return at >= 0 ? i + static_cast<std::size_t>(at)
                     : i + 16 + static_cast<std::size_t>(FirstMatch(second));
    }
  }
  if (i + 16 <= size) {
    const int at = FirstMatch(Load(p + i) == sought);
    if (at >= 0) return i + static_cast<std::size_t>(at);
    i += 16;
  }
  if (i < size && size >= from + 16) {
    // The last sixteen bytes: those before `i` are known not to match.
    const std::size_t last = size - 16;
    const int at = FirstMatch(Load(p + last) == sought);
    return at >= 0 ? last + static_cast<std::size_t>(at) : std::string_view::npos;
  }
  for (; i < size; ++i) {
    if (p[i] == byte) return i;
  }
  return std::string_view::npos;
}

std::size_t FindText(std::string_view text, std::string_view key, bool any_case) {
  if (key.empty()) return 0;
  if (key.size() > text.size()) return std::string_view::npos;
  const auto lower = [any_case](Bytes v) {
    return any_case ? v | (((v >= 'A') & (v <= 'Z')) & ('a' - 'A')) : v;
  };
  const auto stands_at = [&](std::size_t at) {
    for (std::size_t k = 0; k < key.size(); ++k) {
      char c = text[at + k];
      if (any_case && c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
      if (c != key[k]) return false;
    }
    return true;
  };
  // Sixteen places at a time, each tried only where the key's first and last
  // bytes both fall: few places in any text.
  const Bytes first = blocks::Splat(key.front());
  const Bytes last = blocks::Splat(key.back());
  const std::size_t places = text.size() - key.size() + 1;
  std::size_t i = 0;
  for (; places - i >= 16; i += 16) {
    Bytes both = (lower(Load(text.data() + i)) == first) &
                 (lower(Load(text.data() + i + key.size() - 1)) == last);
    for (int at = FirstMatch(both); at >= 0; at = FirstMatch(both)) {
      if (stands_at(i + static_cast<std::size_t>(at))) return i + static_cast<std::size_t>(at);
      both[at] = 0;
    }
  }
  for (; i < places; ++i) {
    if (stands_at(i)) return i;
  }
  return std::string_view::npos;
}

}  // namespace tallyrun
