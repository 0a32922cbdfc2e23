// The log's scan and reading against any bytes cut into any pieces: it never crashes,
// every whole record line is an entry, in order, with its path's exact
// bytes, damaged lines are skipped, and how the pieces fall never matters.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/log_reader.h"
#include "core/text_reading.h"
#include "core/utf8.h"
#include "core/visible_text.h"
#include "platform/system_env.h"

namespace {

using namespace tallyrun;

std::vector<std::string> Read(std::string_view text, std::uint64_t seed) {
  platform::SystemEnv env;  // asked only to decode
  RecordPlaces places;
  LogScanner scanner(places);
  std::uint64_t state = seed;
  for (std::size_t at = 0; at < text.size();) {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    const std::size_t n =
        seed == 0 ? text.size() : std::min<std::size_t>(text.size() - at, 1 + (state >> 33) % 97);
    scanner.Feed(text.substr(at, n), at);
    at += n;
  }
  scanner.Finish();
  return EntriesOf(text, places, env);
}

// The path bytes of every line that is a whole record, oldest first; empty
// for a line read as CP932.
std::vector<std::optional<std::string>> RecordPaths(std::string_view text) {
  std::vector<std::optional<std::string>> paths;
  while (!text.empty()) {
    const std::size_t nl = std::min(text.find('\n'), text.size());
    std::string_view line = text.substr(0, nl);
    text.remove_prefix(std::min(nl + 1, text.size()));
    if (line.size() > (std::size_t{1} << 20)) continue;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const bool marked = line.starts_with(kUtf8Mark);
    if (marked) line.remove_prefix(kUtf8Mark.size());
    if (!line.empty() && line.front() == '"') {
      const std::size_t closing = line.rfind('"');
      line = closing == 0 ? line.substr(1) : line.substr(1, closing - 1);
    }
    const std::size_t first = line.find('\t');
    const std::size_t second = first == std::string_view::npos ? first : line.find('\t', first + 1);
    if (second == std::string_view::npos) continue;
    if (line.substr(0, first).find(kEntrySeparator) != std::string_view::npos) continue;
    const bool exact = marked || ReadingOf(line) != Reading::kCp932;
    paths.push_back(exact ? std::optional<std::string>(line.substr(first + 1, second - first - 1))
                          : std::nullopt);
  }
  return paths;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string> whole = Read(text, 0);
  const std::vector<std::optional<std::string>> paths = RecordPaths(text);
  if (whole.size() != paths.size()) std::abort();
  for (std::size_t i = 0; i < whole.size(); ++i) {
    const std::string& entry = whole[whole.size() - 1 - i];
    if (entry.find(kEntrySeparator) == std::string::npos) std::abort();
    if (entry.find_first_of("\t\n") != std::string::npos) std::abort();
    if (paths[i] && StraysRestored(EntryPath(entry)) != *paths[i]) std::abort();
    if (!IsValidUtf8(VisibleText(entry, ControlStyle::kPictures))) std::abort();
  }
  // Piece sizes follow from the input itself, so that a crash reproduces.
  if (Read(text, std::hash<std::string_view>{}(text) | 1) != whole) std::abort();
  return 0;
}
