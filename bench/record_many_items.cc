// Recording 10,000 existing files in one call against GNU stat printing each
// file's modification time and name, both writing to a file.
#include <cstdio>
#include <string>
#include <vector>

#include "bench/bench_support.h"

using namespace tallyrun::bench;

namespace {

constexpr int kFiles = 10000;
constexpr int kRounds = 25;
constexpr double kCeiling = 1.0;

}  // namespace

int main() {
  ScratchFolder scratch;
  const std::string program = CopyOfProgram(scratch, TALLYRUN_EXE);
  const std::string log = scratch / "Tallyrun.log";
  const std::string files = scratch / "files";
  const std::string stat_output = scratch / "stat.txt";

  std::vector<std::string> ours = {program};
  std::vector<std::string> baseline = {"stat", "--printf=%y\t%n\n"};
  MakeFolder(files);
  for (int i = 1; i <= kFiles; ++i) {  // named the way a camera names them
    char name[32];
    std::snprintf(name, sizeof name, "IMG_2024%04d_%05d.jpg", 100 + i % 1200, i);
    WriteFile(files + "/" + name, "");
    ours.push_back(name);
    baseline.push_back(name);
  }
  const ProcessOptions in_files{files, ""};
  const ProcessOptions in_files_to_output{files, stat_output};

  Contest contest{"stat --printf", {}, {}, {}};
  for (int round = -1; round < kRounds; ++round) {  // round -1 warms up
    WriteFile(log, "");
    const double ours_seconds = RunProcess(ours, in_files).seconds;
    const double baseline_seconds = RunProcess(baseline, in_files_to_output).seconds;
    if (round < 0) continue;
    contest.ours.push_back(ours_seconds);
    contest.baseline.push_back(baseline_seconds);
    contest.ratios.push_back(ours_seconds / baseline_seconds);
  }
  if (CountLines(ReadFile(log)) != kFiles || CountLines(ReadFile(stat_output)) != kFiles) {
    std::fprintf(stderr, "bench: a line per file was expected from both\n");
    return 2;
  }

  std::printf("Record %d files in one call: %d rounds, alternating (%s)\n", kFiles, kRounds,
              MachineLoad().c_str());
  return Summarise(contest, "record 10,000 files vs GNU stat (min of rounds)", kCeiling) ? 0 : 1;
}
