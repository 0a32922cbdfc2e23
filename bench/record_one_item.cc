// Recording one item from the command line, as a whole process from fork to
// exit, against a minimal C program that does the same stat, formatting and
// append. Start-up dominates, so this is what linking and initialising cost.
#include <cstdio>
#include <string>
#include <vector>

#include "bench/bench_support.h"

using namespace tallyrun::bench;

namespace {

constexpr int kBatches = 40;
constexpr int kRunsPerBatch = 25;
constexpr double kCeiling = 1.5;

struct BatchMeans {
  double ours = 0;
  double baseline = 0;
};

// The two alternate run by run, so that whatever else the machine is doing
// falls on both alike; the means are seconds per run.
BatchMeans Batch(const std::vector<std::string>& ours, const std::vector<std::string>& baseline) {
  BatchMeans means;
  for (int i = 0; i < kRunsPerBatch; ++i) {
    means.ours += RunProcess(ours).seconds / kRunsPerBatch;
    means.baseline += RunProcess(baseline).seconds / kRunsPerBatch;
  }
  return means;
}

}  // namespace

int main() {
  ScratchFolder scratch;
  const std::string program = CopyOfProgram(scratch, TALLYRUN_EXE);
  const std::string item = scratch / "report.txt";
  WriteFile(item, "an item to record\n");

  const std::vector<std::string> ours = {program, item};
  const std::vector<std::string> baseline = {BASELINE_RECORD_EXE, scratch / "baseline.log", item};
  Batch(ours, baseline);  // warms the page cache for both

  Contest contest{"baseline_record", {}, {}, {}};
  for (int b = 0; b < kBatches; ++b) {
    const BatchMeans means = Batch(ours, baseline);
    contest.ours.push_back(means.ours);
    contest.baseline.push_back(means.baseline);
    contest.ratios.push_back(means.ours / means.baseline);
  }
  if (ReadFile(scratch / "Tallyrun.log").find(item) == std::string::npos) {
    std::fprintf(stderr, "bench: tallyrun recorded nothing\n");
    return 2;
  }

  std::printf("Record one item: %d batches of %d runs each, alternating (%s)\n", kBatches,
              kRunsPerBatch, MachineLoad().c_str());
  return Summarise(contest, "record one item vs baseline_record (min of batches)", kCeiling) ? 0
                                                                                             : 1;
}
