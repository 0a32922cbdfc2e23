// What every benchmark needs: a private scratch folder, running a program as a
// whole process and timing it, summing up repeated timings, and the verdict.
#pragma once

#include <string>
#include <vector>

namespace tallyrun::bench {

// A fresh folder under /tmp, removed with everything in it at the end.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

struct Run {
  double seconds = 0;     // wall time from fork to the end of the child
  long peak_rss_kib = 0;  // the child's own high-water mark
};

struct ProcessOptions {
  std::string directory;    // where the child starts; empty for ours
  std::string output_file;  // stdout is truncated into it; empty for ours
};

// Runs `argv` (argv[0] is looked up in PATH when it has no "/") to its end;
// exits the whole benchmark when it fails, since its timings would mean nothing.
Run RunProcess(const std::vector<std::string>& argv, const ProcessOptions& options = {});

// Copies a file, keeping its permission bits.
void CopyFile(const std::string& from, const std::string& to);
void MakeFolder(const std::string& path);
void WriteFile(const std::string& path, const std::string& contents);
std::string ReadFile(const std::string& path);
long FileSize(const std::string& path);
long CountLines(const std::string& text);

// "load 1.23 on 2 cores": how busy the machine was, since others share it.
std::string MachineLoad();

double Min(std::vector<double> values);
double Median(std::vector<double> values);

// Prints one contender's fastest and median time, in milliseconds.
void PrintTimes(const std::string& label, const std::vector<double>& seconds);

// Prints a PASS or FAIL line for `ratio` (ours over the baseline) against its
// ceiling; true when it passed.
bool Verdict(const std::string& what, double ratio, double ceiling);

// Timings of our program and its baseline, measured in alternation.
struct Contest {
  std::string baseline_label;
  std::vector<double> ours, baseline, ratios;
};

// Prints both sides' times and the median ratio, then the verdict on the
// ratio of the fastest of each; true when it passed.
bool Summarise(const Contest& contest, const std::string& what, double ceiling);

// A copy of the built command-line program in `scratch`, so that the settings file
// and the log beside it are the benchmark's own.
std::string CopyOfProgram(const ScratchFolder& scratch, const std::string& built);

}  // namespace tallyrun::bench
