#include "ui/main/open_entry.h"

#include <string>

#include "core/build_facts.h"
#include "core/log_reader.h"
#include "core/paths.h"
#include "core/utf8.h"

namespace tallyrun::ui {

Opening OpenEntry(Env& env, std::string_view entry) {
  if (entry.empty()) return Opening::kNothing;
  // The item as the system spells it: carried stray bytes restored. A name
  // with a NUL names nothing: the system would cut it there and find
  // whatever the part before names.
  const std::string path = StraysRestored(EntryPath(entry));
  if (path.empty() || path.find('\0') != std::string::npos || !env.Exists(path)) {
    return Opening::kNotFound;
  }
  env.ShowInFileManager(FullPath(path, env.CurrentDirectory()), path.back() == kPathSeparator);
  return Opening::kShown;
}

}  // namespace tallyrun::ui
