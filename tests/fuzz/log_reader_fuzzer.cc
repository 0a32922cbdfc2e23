// The log reader against any bytes cut into any pieces: it never crashes,
// every entry is well formed, and how the pieces fall never matters.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "core/env.h"
#include "core/log_reader.h"
#include "core/utf8.h"
#include "platform/code_page.h"

namespace {

using namespace tallyrun;

// Reading asks the environment for nothing but decoding.
class DecodingEnv : public Env {
 public:
  LocalTime Now() override { return {}; }
  std::optional<ItemStatus> StatusOf(const std::string&) override { return std::nullopt; }
  Status AppendLines(const std::string&, std::string_view) override { return Unused(); }
  Status ReadChunks(const std::string&, const std::function<bool(std::string_view)>&) override {
    return Unused();
  }
  Status ReplaceFile(const std::string&, std::string_view) override { return Unused(); }
  std::string DecodeLegacyText(std::string_view bytes) override {
    return platform::Cp932ToUtf8(bytes);
  }

 private:
  static Status Unused() { return Status::Failure("unused"); }
};

// Piece sizes follow from the input itself, so that a crash reproduces.
std::uint64_t Hash(std::string_view text) {
  std::uint64_t h = 1469598103934665603ull;
  for (const char c : text) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
  return h;
}

std::vector<std::string> Read(std::string_view text, std::uint64_t seed) {
  DecodingEnv env;
  LogEntries entries;
  LogReader reader(env, entries);
  std::uint64_t state = seed;
  while (!text.empty()) {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    const std::size_t n =
        seed == 0 ? text.size() : std::min<std::size_t>(text.size(), 1 + (state >> 33) % 97);
    if (!reader.Feed(text.substr(0, n))) {
      if (reader.Feed("M\tlate\tD\r\n")) std::abort();  // a stopped reader stays stopped
      break;
    }
    text.remove_prefix(n);
  }
  reader.Finish();
  std::vector<std::string> out;
  for (std::size_t i = 0; i < entries.size(); ++i) out.emplace_back(entries[i]);
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string> whole = Read(text, 0);
  std::size_t lines = 1;
  for (const char c : text) lines += c == '\n';
  if (whole.size() > lines) std::abort();
  for (const std::string& entry : whole) {
    if (entry.find('|') == std::string::npos) std::abort();
    if (entry.find_first_of("\t\n") != std::string::npos) std::abort();
    if (!IsValidUtf8(entry)) std::abort();
  }
  if (Read(text, Hash(text) | 1) != whole) std::abort();
  return 0;
}
