// The settings reader and writer against any file, UTF-16 ones included: a
// written value reads back exactly, writing it again changes nothing, the
// file keeps its encoding, and every other section's and key's value stays
// as it was. The input's first line is the value, the rest the file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/ascii.h"
#include "core/profile.h"
#include "core/utf16.h"
#include "core/utf8.h"

namespace {

using namespace tallyrun;

constexpr std::string_view kSection = "Tallyrun";
constexpr std::string_view kKey = "LogFile";

std::string_view Trim(std::string_view s) { return Trimmed(s, " \t\r"); }

// Section and key names as they appear in the file, found loosely: any
// name is a fair question to ask before and after the write.
void Names(std::string_view text, std::vector<std::string>& sections,
           std::vector<std::string>& keys) {
  sections = {"Tallyrun", "Other"};
  keys = {"LogFile", "Other"};
  while (!text.empty() && sections.size() < 8 && keys.size() < 8) {
    const std::size_t end = std::min(text.find('\n'), text.size());
    const std::string_view line = Trim(text.substr(0, end));
    text.remove_prefix(std::min(text.size(), end + 1));
    if (!line.empty() && line.front() == '[') {
      sections.emplace_back(Trim(line.substr(1, line.find(']') - 1)));
    } else if (const std::size_t eq = line.find('='); eq != std::string_view::npos) {
      keys.emplace_back(Trim(line.substr(0, eq)));
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t nl = input.find('\n');
  std::string value(input.substr(0, nl));
  std::erase_if(value, [](char c) { return c == '\r' || c == '\0'; });
  const std::string_view text = nl == std::string_view::npos ? "" : input.substr(nl + 1);
  const std::optional<ByteOrder> order = Utf16MarkOf(text);
  // A UTF-16 file holds characters only.
  if (order && !IsValidUtf8(value)) return 0;

  const std::string written = WithProfileValue(text, kSection, kKey, value);
  if (ProfileValue(written, kSection, kKey) != value) std::abort();
  if (WithProfileValue(written, kSection, kKey, value) != written) std::abort();
  if (Utf16MarkOf(written) != order) std::abort();

  std::vector<std::string> sections, keys;
  Names(order ? Utf16ToUtf8(text.substr(2), *order) : std::string(text), sections, keys);
  for (const std::string& section : sections) {
    for (const std::string& key : keys) {
      if (EqualsIgnoringAsciiCase(section, kSection) && EqualsIgnoringAsciiCase(key, kKey))
        continue;
      if (ProfileValue(text, section, key) != ProfileValue(written, section, key)) std::abort();
    }
  }
  return 0;
}
