// Reading a log's records back as the list's entries ("moment|path"). Which
// lines are records is the scan's rule (core/log_index.h); a record's bytes
// are read as UTF-8 or CP932 by one rule for every reader
// (core/text_reading.h).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/env.h"
#include "core/log_index.h"

namespace tallyrun {

inline constexpr char kEntrySeparator = '|';
// Everything after the entry's first separator.
std::string_view EntryPath(std::string_view entry);

// The entry a line (without its line end) stands for; empty when the line is
// no record.
std::string EntryOf(std::string_view line, Env& env);

// Every entry of a log, newest first, each a copy: for tools and checks that
// want them all at once. A log that cannot be read gives none.
std::vector<std::string> ReadEntries(Env& env, const std::string& path);
// The same from the log's bytes and the places a scan found in them.
std::vector<std::string> EntriesOf(std::string_view log, const RecordPlaces& places, Env& env);

// The places of the records in the log's bytes before `end` (a line start),
// found by one scan that keeps none of the bytes.
Status ScanLog(Env& env, const std::string& path, RecordPlaces& places,
               std::uint64_t end = UINT64_MAX);

}  // namespace tallyrun
