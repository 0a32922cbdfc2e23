// Opening a log of a million records, and of ten million, in the main window
// until its list is shown, as a process of its own: against `tac | awk`
// producing the same "moment|path" lines, against `wc -l` merely counting the
// lines, and by its peak memory against the size of the file.
#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_support.h"

using namespace tallyrun::bench;

namespace {

constexpr int kRounds = 7;
constexpr double kAwkCeiling = 0.5;  // at least twice as fast
constexpr double kWcCeiling = 2.0;
constexpr double kMemoryCeiling = 0.15;
constexpr double kLargeSeconds = 0.3;

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
void MakeLog(const std::string& path, int records) {
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
  std::string line;
  std::FILE* out = std::fopen(path.c_str(), "wb");
  long recorded = 1700000000L % (86400L * 336 * 5);
  for (int i = 0; i < records; ++i) {
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
    if (log.size() > (1 << 20) || i + 1 == records) {
      std::fwrite(log.data(), 1, log.size(), out);
      log.clear();
    }
  }
  std::fclose(out);
}

// Both must give the very same entries, or the comparison means nothing.
// Nothing of this stays in memory, which would slow down every fork after it.
bool SameEntries(const ScratchFolder& scratch, const std::string& log, int records,
                 const std::vector<std::string>& awk) {
  RunProcess({OPEN_LOG_ONLY_EXE, log, scratch / "ours.txt"});
  RunProcess(awk, {"", scratch / "awk.txt"});
  const std::string ours = ReadFile(scratch / "ours.txt");
  return CountLines(ours) == records && ours == ReadFile(scratch / "awk.txt");
}

// One size of log: the window against wc -l (and tac | awk where asked),
// alternating, and its peak memory beyond the empty window's against the log.
// With the empty window's fastest start given, what the log adds to it is
// printed beside the verdicts: against a million records, start-up is most
// of the window's time and more than all of wc's.
bool OpenLog(const ScratchFolder& scratch, int records, bool with_awk, double empty_window_bytes,
             double empty_window_seconds, double seconds_ceiling) {
  const std::string log = scratch / ("Tallyrun-" + std::to_string(records) + ".log");
  MakeLog(log, records);
  const double log_bytes = static_cast<double>(FileSize(log));
  const std::string pipeline = "tac '" + log + "' | awk -F'\t' '" + kAwkProgram + "'";
  const std::vector<std::string> ours = {OPEN_LOG_ONLY_EXE, log};
  const std::vector<std::string> awk = {"sh", "-c", pipeline};
  const std::vector<std::string> wc = {"wc", "-l", log};
  const ProcessOptions discard{"", "/dev/null"};
  if (with_awk && !SameEntries(scratch, log, records, awk)) {
    std::fprintf(stderr, "bench: the window and awk disagree\n");
    std::exit(2);
  }
  std::vector<double> ours_times, awk_times, wc_times;
  long peak_rss_kib = 0;
  for (int round = 0; round < kRounds; ++round) {
    const Run run = RunProcess(ours, discard);
    ours_times.push_back(run.seconds);
    peak_rss_kib = std::max(peak_rss_kib, run.peak_rss_kib);
    if (with_awk) awk_times.push_back(RunProcess(awk, discard).seconds);
    wc_times.push_back(RunProcess(wc, discard).seconds);
  }
  const double peak_bytes = static_cast<double>(peak_rss_kib) * 1024;
  std::printf("Open a log of %d records, %.1f MB, until shown: %d rounds, alternating (%s)\n",
              records, log_bytes / 1e6, kRounds, MachineLoad().c_str());
  PrintTimes("the window", ours_times);
  if (with_awk) PrintTimes("tac | awk", awk_times);
  PrintTimes("wc -l", wc_times);
  if (empty_window_seconds > 0) {
    const double added = Min(ours_times) - empty_window_seconds;
    std::printf(
        "  the window on an empty log, start-up alone: min %.3f ms; the log adds %.3f ms, "
        "%.2f times wc -l\n",
        empty_window_seconds * 1e3, added * 1e3, added / Min(wc_times));
  }
  std::printf("  peak RSS of the window %.1f MB, of an empty one %.1f MB\n", peak_bytes / 1e6,
              empty_window_bytes / 1e6);
  bool pass = true;
  if (with_awk) {
    pass &= Verdict("window vs tac | awk (min)", Min(ours_times) / Min(awk_times), kAwkCeiling);
  }
  pass &= Verdict("window vs wc -l (min)", Min(ours_times) / Min(wc_times), kWcCeiling);
  if (seconds_ceiling > 0) {
    pass &=
        Verdict("window's seconds (min) vs " + std::to_string(seconds_ceiling).substr(0, 3) + " s",
                Min(ours_times) / seconds_ceiling, 1.0);
  }
  pass &= Verdict("window's peak RSS beyond an empty one vs log size",
                  (peak_bytes - empty_window_bytes) / log_bytes, kMemoryCeiling);
  return pass;
}

}  // namespace

int main() {
  ScratchFolder scratch;
  const std::string empty = scratch / "empty.log";
  WriteFile(empty, "");
  long empty_kib = 0;
  std::vector<double> empty_times;
  for (int round = 0; round < kRounds; ++round) {
    const Run run = RunProcess({OPEN_LOG_ONLY_EXE, empty}, {"", "/dev/null"});
    empty_kib = std::max(empty_kib, run.peak_rss_kib);
    empty_times.push_back(run.seconds);
  }
  const double empty_window = static_cast<double>(empty_kib) * 1024;
  bool pass = OpenLog(scratch, 1'000'000, true, empty_window, Min(empty_times), 0);
  // Ten million: the whole window counts against the log, as it opens.
  pass &= OpenLog(scratch, 10'000'000, false, 0, 0, kLargeSeconds);
  return pass ? 0 : 1;
}
