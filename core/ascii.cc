#include "core/ascii.h"

#include <cstring>

namespace tallyrun {

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

void LowerAscii(std::string_view text, std::string& out) {
  out.resize(text.size());
  // Sixteen bytes a step, by the compiler's vector types: a search lowers
  // whole logs.
  using Bytes = signed char __attribute__((vector_size(16)));
  std::size_t i = 0;
  for (; text.size() - i >= sizeof(Bytes); i += sizeof(Bytes)) {
    Bytes v;
    std::memcpy(&v, text.data() + i, sizeof v);
    v |= ((v >= 'A') & (v <= 'Z')) & ('a' - 'A');
    std::memcpy(out.data() + i, &v, sizeof v);
  }
  for (; i < text.size(); ++i) {
    const char c = text[i];
    out[i] = c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
  }
}

std::string_view Trimmed(std::string_view text, std::string_view blanks) {
  const std::size_t first = text.find_first_not_of(blanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

}  // namespace tallyrun
