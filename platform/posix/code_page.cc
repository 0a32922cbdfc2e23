#include "platform/code_page.h"

#include <iconv.h>

#include <cerrno>

namespace tallyrun::platform {

std::string Cp932ToUtf8(std::string_view bytes) {
  static const iconv_t converter = ::iconv_open("UTF-8", "CP932");
  std::string out;
  if (converter == reinterpret_cast<iconv_t>(-1)) {
    for (const char c : bytes) {
      if (static_cast<unsigned char>(c) < 0x80)
        out.push_back(c);
      else
        out.append("\uFFFD");
    }
    return out;
  }
  ::iconv(converter, nullptr, nullptr, nullptr, nullptr);
  out.resize(bytes.size() * 3 + 4);
  char* in = const_cast<char*>(bytes.data());
  std::size_t in_left = bytes.size();
  char* at = out.data();
  std::size_t out_left = out.size();
  while (in_left > 0) {
    if (::iconv(converter, &in, &in_left, &at, &out_left) != static_cast<std::size_t>(-1)) break;
    if (errno == E2BIG) {
      const std::size_t used = static_cast<std::size_t>(at - out.data());
      out.resize(out.size() * 2);
      at = out.data() + used;
      out_left = out.size() - used;
      continue;
    }
    // An invalid or cut-off sequence: one replacement character per bad byte.
    if (out_left < 3) {
      const std::size_t used = static_cast<std::size_t>(at - out.data());
      out.resize(out.size() + 16);
      at = out.data() + used;
      out_left = out.size() - used;
    }
    static constexpr char kReplacement[] = "\xEF\xBF\xBD";
    for (int i = 0; i < 3; ++i) *at++ = kReplacement[i];
    out_left -= 3;
    ++in;
    --in_left;
    ::iconv(converter, nullptr, nullptr, nullptr, nullptr);
  }
  out.resize(static_cast<std::size_t>(at - out.data()));
  return out;
}

}  // namespace tallyrun::platform
