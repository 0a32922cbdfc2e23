// The log's scan and reading against any bytes cut into any pieces: it never
// crashes, every entry is one line of visible text with its separator, and
// how the pieces fall never matters. Which lines are records is the core
// tests' business.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/log_reader.h"
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
  for (std::size_t at = 0, n; at < text.size(); at += n) {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    n = seed == 0 ? text.size() : std::min<std::size_t>(text.size() - at, 1 + (state >> 33) % 97);
    scanner.Feed(text.substr(at, n), at);
  }
  scanner.Finish();
  return EntriesOf(text, places, env);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string> whole = Read(text, 0);
  for (const std::string& entry : whole) {
    if (entry.find(kEntrySeparator) == std::string::npos) std::abort();
    if (entry.find_first_of("\t\n") != std::string::npos) std::abort();
    if (!IsValidUtf8(VisibleText(entry, ControlStyle::kPictures))) std::abort();
  }
  // Piece sizes follow from the input itself, so that a crash reproduces.
  if (Read(text, std::hash<std::string_view>{}(text) | 1) != whole) std::abort();
  return 0;
}
