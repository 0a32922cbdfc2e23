#include "core/log_reader.h"

#include "core/byte_search.h"
#include "core/log_index.h"
#include "core/text_reading.h"
#include "core/utf8.h"

namespace tallyrun {
namespace {

bool HoldsReplacementCharacter(std::string_view text) {
  return text.find("\xEF\xBF\xBD") != std::string_view::npos;
}

std::string Decoded(std::string_view field, Reading reading, Env& env) {
  if (reading == Reading::kCp932) {
    std::string text;
    env.DecodeLegacyText(field, text);
    // Should the system's converter still refuse a byte, nothing is made up.
    if (!HoldsReplacementCharacter(text)) return text;
  }
  return WithStraysCarried(field);
}

}  // namespace

std::string_view EntryPath(std::string_view entry) {
  const std::size_t separator = entry.find(kEntrySeparator);
  return separator == std::string_view::npos ? entry : entry.substr(separator + 1);
}

std::string EntryOf(std::string_view line, Env& env) {
  if (!IsRecordLine(line)) return {};
  if (line.back() == '\r') line.remove_suffix(1);
  // Tallyrun's own mark on a line in UTF-8 that would read otherwise.
  const bool marked = line.starts_with(kUtf8Mark);
  if (marked) line.remove_prefix(kUtf8Mark.size());
  std::string_view field = RecordField(line);
  const Reading reading = !marked              ? ReadingOf(field)
                          : IsValidUtf8(field) ? Reading::kUtf8
                                               : Reading::kUtf8WithStrays;
  std::string entry = reading == Reading::kUtf8 ? std::string(field) : Decoded(field, reading, env);
  // No CP932 character holds a TAB, so the decoded text has the line's.
  const std::size_t first_tab = entry.find('\t');
  entry.resize(entry.find('\t', first_tab + 1));
  entry[first_tab] = kEntrySeparator;
  return entry;
}

std::vector<std::string> ReadEntries(Env& env, const std::string& path) {
  RecordPlaces places;
  LogScanner scanner(places);
  std::string log;
  (void)env.ReadChunks(path, 0, [&](std::string_view piece) {
    scanner.Feed(piece, log.size());
    log.append(piece);
    return true;
  });
  scanner.Finish();
  return EntriesOf(log, places, env);
}

Status ScanLog(Env& env, const std::string& path, RecordPlaces& places, std::uint64_t end) {
  LogScanner scanner(places);
  std::uint64_t at = 0;
  const Status read = env.ReadChunks(path, 0, [&](std::string_view piece) {
    piece = piece.substr(0, end - at);
    scanner.Feed(piece, at);
    at += piece.size();
    return at < end;
  });
  scanner.Finish();
  return read;
}

std::vector<std::string> EntriesOf(std::string_view log, const RecordPlaces& places, Env& env) {
  std::vector<std::string> entries;
  for (std::size_t row = 0; row < places.size(); ++row) {
    const RecordPlaces::Place place = places.Locate(row);
    std::string_view from = log.substr(place.at);
    const std::vector<std::size_t> records = RecordLinesFrom(from, place.records_before + 1);
    from = from.substr(records.size() > place.records_before ? records.back() : from.size());
    entries.push_back(EntryOf(from.substr(0, from.find('\n')), env));
  }
  return entries;
}

}  // namespace tallyrun
