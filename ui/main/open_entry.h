// Opening a list entry's item in the file manager: a folder as a folder view,
// a file selected in its folder; or finding that it seems to be gone.
#pragma once

#include <string_view>

#include "core/env.h"

namespace tallyrun::ui {

enum class Opening {
  kNothing,   // no entry
  kShown,     // the file manager was started, without waiting for it
  kNotFound,  // the user must be told
};

// `entry` is "moment|path"; a path ending with the separator is a folder.
Opening OpenEntry(Env& env, std::string_view entry);

}  // namespace tallyrun::ui
