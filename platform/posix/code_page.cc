#include "platform/posix/code_page.h"

#include <iconv.h>

#include <cerrno>

namespace tallyrun::platform {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// Without the converter, ASCII still reads and nothing else is made up.
std::string AsciiOnly(std::string_view bytes) {
  std::string out;
  for (const char c : bytes) {
    if (static_cast<unsigned char>(c) < 0x80) {
      out.push_back(c);
    } else {
      out.append(kReplacement);
    }
  }
  return out;
}

// Output space that grows as iconv asks for it.
struct Output {
  std::string text;
  char* at;
  std::size_t left;

  explicit Output(std::size_t size) : text(size, '\0'), at(text.data()), left(size) {}
  void Grow(std::size_t more) {
    const std::size_t used = static_cast<std::size_t>(at - text.data());
    text.resize(text.size() + more);
    at = text.data() + used;
    left = text.size() - used;
  }
  std::string Done() {
    text.resize(static_cast<std::size_t>(at - text.data()));
    return std::move(text);
  }
};

}  // namespace

std::string Cp932ToUtf8(std::string_view bytes) {
  static const iconv_t converter = ::iconv_open("UTF-8", "CP932");
  if (converter == reinterpret_cast<iconv_t>(-1)) return AsciiOnly(bytes);
  (void)::iconv(converter, nullptr, nullptr, nullptr, nullptr);
  Output out(bytes.size() * 3 + 4);
  char* in = const_cast<char*>(bytes.data());
  std::size_t in_left = bytes.size();
  while (in_left > 0) {
    if (::iconv(converter, &in, &in_left, &out.at, &out.left) != static_cast<std::size_t>(-1)) {
      break;
    }
    if (errno == E2BIG) {
      out.Grow(out.text.size());
      continue;
    }
    // An invalid or cut-off sequence: one replacement character per bad byte.
    if (out.left < kReplacement.size()) out.Grow(16);
    for (const char c : kReplacement) *out.at++ = c;
    out.left -= kReplacement.size();
    ++in;
    --in_left;
    (void)::iconv(converter, nullptr, nullptr, nullptr, nullptr);
  }
  return out.Done();
}

}  // namespace tallyrun::platform
