// Reading a log of a million records into the list's entries, as a process of
// its own: against `tac | awk` producing the same "moment|path" lines, against
// `wc -l` merely counting the lines, and by its peak memory against the size
// of the file.
#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_support.h"

using namespace tallyrun::bench;

namespace {

constexpr int kRecords = 1000000;
constexpr int kRounds = 11;
constexpr double kAwkCeiling = 0.5;  // at least twice as fast
constexpr double kWcCeiling = 8.0;
constexpr double kMemoryCeiling = 2.0;

// Newest first, the same for both line forms: a quoted line is the text
// between its first and its last double quote.
constexpr char kAwkProgram[] =
    R"({ sub(/\r$/, "") }
/^"/ { match($0, /"[^"]*$/); $0 = RSTART > 1 ? substr($0, 2, RSTART - 2) : substr($0, 2) }
{ print $1 "|" $2 })";

template <std::size_t N>
const char* Pick(std::mt19937_64& random, const char* const (&choices)[N]) {
  return choices[random() % N];
}

void AppendMoment(std::string& out, long seconds) {
  const long day = seconds / 86400, in_day = seconds % 86400;
  const int year = 2019 + static_cast<int>(day / 336), month = 1 + static_cast<int>(day / 28 % 12);
  const int mday = 1 + static_cast<int>(day % 28);
  char text[80];
  if (in_day == 0) {
    std::snprintf(text, sizeof text, "%04d/%02d/%02d", year, month, mday);
  } else {
    std::snprintf(text, sizeof text, "%04d/%02d/%02d %ld:%02ld:%02ld", year, month, mday,
                  in_day / 3600, in_day / 60 % 60, in_day % 60);
  }
  out.append(text);
}

// Records as people make them: mostly files deep in their own folders, some
// with Japanese names, spaces or commas; a few folders and unreadable items;
// about a third dropped on the window (quoted), the rest from the command line.
std::string MakeLog() {
  static const char* const kRoots[] = {"/home/taro", "/home/hanako/Nextcloud", "/srv/share/営業部",
                                       "/mnt/nas/projects", "/home/taro/.local/share"};
  static const char* const kFolders[] = {"Documents/contracts",
                                         "Pictures/2023/summer",
                                         "Downloads",
                                         "書類/見積書",
                                         "写真/2024年 旅行",
                                         "src/tallyrun/core",
                                         "Music/Albums/Kind of Blue",
                                         "デスクトップ",
                                         "Client A, Ltd/2024/invoices",
                                         "reports/weekly",
                                         "議事録/第3四半期",
                                         "old backups/2019/home"};
  static const char* const kStems[] = {"IMG_",     "見積書_",        "meeting notes ",
                                       "invoice-", "design, final ", "DSC",
                                       "報告書",   "main_window_"};
  static const char* const kExtensions[] = {".jpg", ".xlsx", ".txt", ".pdf", ".docx", ".cc", ""};

  std::mt19937_64 random(20020626);
  std::string log;
  log.reserve(std::size_t{kRecords} * 110);
  std::string line;
  long recorded = 1700000000L % (86400L * 336 * 5);
  for (int i = 0; i < kRecords; ++i) {
    recorded += static_cast<long>(random() % 90);
    line.clear();
    AppendMoment(line, recorded);
    line.push_back('\t');
    line.append(Pick(random, kRoots)).push_back('/');
    line.append(Pick(random, kFolders)).push_back('/');
    const unsigned kind = random() % 100;
    if (kind < 4) {
      line.append("subfolder ").append(std::to_string(random() % 500)).append("/\t");
      AppendMoment(line, recorded - static_cast<long>(random() % 8000000));
    } else if (kind < 6) {
      line.append("removed since.tmp/\t");
    } else {
      line.append(Pick(random, kStems)).append(std::to_string(random() % 100000));
      line.append(Pick(random, kExtensions)).push_back('\t');
      AppendMoment(line, recorded - static_cast<long>(random() % 8000000));
    }
    if (random() % 3 == 0) {
      log.append("\"").append(line).append("\"\r\n");
    } else {
      log.append(line).append("\r\n");
    }
  }
  return log;
}

// Both must give the very same entries, or the comparison means nothing.
// Nothing of this stays in memory, which would slow down every fork after it.
bool SameEntries(const ScratchFolder& scratch, const std::string& log,
                 const std::vector<std::string>& awk) {
  RunProcess({READ_LOG_ONLY_EXE, log, scratch / "ours.txt"});
  RunProcess(awk, {"", scratch / "awk.txt"});
  const std::string ours = ReadFile(scratch / "ours.txt");
  return CountLines(ours) == kRecords && ours == ReadFile(scratch / "awk.txt");
}

}  // namespace

int main() {
  ScratchFolder scratch;
  const std::string log = scratch / "Tallyrun.log";
  WriteFile(log, MakeLog());
  const double log_bytes = static_cast<double>(FileSize(log));

  const std::string pipeline = "tac '" + log + "' | awk -F'\t' '" + kAwkProgram + "'";
  const std::vector<std::string> ours = {READ_LOG_ONLY_EXE, log};
  const std::vector<std::string> awk = {"sh", "-c", pipeline};
  const std::vector<std::string> wc = {"wc", "-l", log};
  const ProcessOptions discard{"", "/dev/null"};

  if (!SameEntries(scratch, log, awk)) {
    std::fprintf(stderr, "bench: the reader and awk disagree\n");
    return 2;
  }

  std::vector<double> ours_times, awk_times, wc_times;
  long peak_rss_kib = 0;
  for (int round = 0; round < kRounds; ++round) {
    const Run run = RunProcess(ours, discard);
    ours_times.push_back(run.seconds);
    peak_rss_kib = std::max(peak_rss_kib, run.peak_rss_kib);
    awk_times.push_back(RunProcess(awk, discard).seconds);
    wc_times.push_back(RunProcess(wc, discard).seconds);
  }
  const double peak_bytes = static_cast<double>(peak_rss_kib) * 1024;

  std::printf("Read a log of %d records, %.1f MB: %d rounds, alternating (%s)\n", kRecords,
              log_bytes / 1e6, kRounds, MachineLoad().c_str());
  PrintTimes("ReadLogEntries", ours_times);
  PrintTimes("tac | awk", awk_times);
  PrintTimes("wc -l", wc_times);
  std::printf("  peak RSS of the reader %.1f MB\n", peak_bytes / 1e6);
  bool pass = Verdict("read log vs tac | awk (min)", Min(ours_times) / Min(awk_times), kAwkCeiling);
  pass &= Verdict("read log vs wc -l (min)", Min(ours_times) / Min(wc_times), kWcCeiling);
  pass &= Verdict("reader's peak RSS vs log size", peak_bytes / log_bytes, kMemoryCeiling);
  return pass ? 0 : 1;
}
