// Reads a log into the list's entries and does nothing else, so that the
// reading benchmark can time and weigh it as a process of its own.
// Usage: read_log_only LOG [OUT]; with OUT, the entries are also written there,
// one a line, newest first, to be checked against another reader's.
#include <cstdio>

#include "core/log_reader.h"
#include "platform/system_env.h"

int main(int argc, char** argv) {
  if (argc != 2 && argc != 3) return 2;
  tallyrun::platform::SystemEnv env;
  const tallyrun::LogEntries entries = tallyrun::ReadLogEntries(env, argv[1]);
  if (argc == 3) {
    std::FILE* out = std::fopen(argv[2], "wb");
    if (out == nullptr) return 1;
    for (std::size_t i = 0; i < entries.size(); ++i) {
      std::fwrite(entries[i].data(), 1, entries[i].size(), out);
      std::fputc('\n', out);
    }
    if (std::fclose(out) != 0) return 1;
  }
  return entries.empty() ? 1 : 0;
}
