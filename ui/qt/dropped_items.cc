#include "ui/qt/dropped_items.h"

#include "core/ascii.h"
#include "core/utf8.h"

namespace tallyrun::ui::qt {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

void PercentDecode(std::string_view text, std::string& out) {
  out.clear();
  while (!text.empty()) {
    const std::size_t percent = text.find('%');
    out.append(text.substr(0, percent));
    if (percent == std::string_view::npos) break;
    text.remove_prefix(percent);
    const int high = text.size() > 2 ? HexValue(text[1]) : -1;
    const int low = text.size() > 2 ? HexValue(text[2]) : -1;
    if (high >= 0 && low >= 0) {
      out.push_back(static_cast<char>(high * 16 + low));
      text.remove_prefix(3);
    } else {
      out.push_back('%');
      text.remove_prefix(1);
    }
  }
}

// The encoded path of a local file URI, or nothing.
bool LocalPathPart(std::string_view uri, std::string_view host_name, std::string_view& path) {
  constexpr std::string_view kScheme = "file:";
  if (uri.size() < kScheme.size() ||
      !EqualsIgnoringAsciiCase(uri.substr(0, kScheme.size()), kScheme)) {
    return false;
  }
  uri.remove_prefix(kScheme.size());
  const std::size_t end = uri.find_first_of("?#");
  if (end != std::string_view::npos) uri = uri.substr(0, end);
  if (uri.substr(0, 2) == "//") {
    uri.remove_prefix(2);
    const std::size_t slash = uri.find('/');
    if (slash == std::string_view::npos) return false;
    const std::string_view host = uri.substr(0, slash);
    if (!host.empty() && !EqualsIgnoringAsciiCase(host, "localhost") &&
        !(!host_name.empty() && EqualsIgnoringAsciiCase(host, host_name))) {
      return false;
    }
    uri.remove_prefix(slash);
  }
  if (uri.empty() || uri.front() != '/') return false;
  path = uri;
  return true;
}

}  // namespace

void ForEachLocalItem(std::string_view uri_list, std::string_view host_name,
                      const std::function<void(std::string& path, bool exact)>& take) {
  std::string path;
  while (!uri_list.empty()) {
    const std::size_t nl = uri_list.find('\n');
    const std::string_view line = Trimmed(uri_list.substr(0, nl), " \t\r");
    uri_list.remove_prefix(nl == std::string_view::npos ? uri_list.size() : nl + 1);
    std::string_view encoded;
    if (line.empty() || line.front() == '#' || !LocalPathPart(line, host_name, encoded)) continue;

    PercentDecode(encoded, path);
    // A folder is named without its trailing slash, as the file system gives it.
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    take(path, path.find('\0') == std::string::npos && IsValidUtf8(path));
  }
}

}  // namespace tallyrun::ui::qt
