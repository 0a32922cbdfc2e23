// One line of the log: the moment of recording, TAB, the item's full path,
// TAB, the item's own last-modified moment; and the two forms it is written in.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/build_facts.h"
#include "core/env.h"

namespace tallyrun {

// Builds the record for `path`. A plain folder, or an item that cannot be
// read, gets a trailing separator in the caller's variable too, so that what
// is shown and what is logged agree. Never fails.
std::string MakeLogLine(std::string& path, Env& env);
// The same for an item already looked up; `facts` is empty when it could not
// be read. A modified moment the date form cannot express is left out.
std::string MakeLogLine(std::string& path, Env& env, const std::optional<ItemFacts>& facts,
                        const LocalTime& now);

// The command line writes records bare, a drop writes them in double quotes;
// both end in CR LF. A record the reader would take for CP932 starts with
// the UTF-8 byte order mark, which the reader takes off.
void AppendBareLine(std::string& batch, std::string_view record);
void AppendQuotedLine(std::string& batch, std::string_view record);

// A TAB, CR or LF in a path would break the line apart when read back.
bool FitsOnOneLogLine(std::string_view path);

}  // namespace tallyrun
