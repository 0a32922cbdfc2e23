#include "bench/bench_support.h"

#include <fcntl.h>
#include <ftw.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace tallyrun::bench {
namespace {

int RemoveOne(const char* path, const struct stat*, int, struct FTW*) { return ::remove(path); }

// Scratch folders still in use, so that a benchmark that gives up midway
// leaves none of its data behind.
std::vector<std::string>& LiveScratchFolders() {
  static std::vector<std::string> folders;
  return folders;
}

void RemoveTree(const std::string& path) {
  ::nftw(path.c_str(), RemoveOne, 16, FTW_DEPTH | FTW_PHYS);
}

[[noreturn]] void Die(const std::string& what) {
  std::fprintf(stderr, "bench: %s\n", what.c_str());
  for (const std::string& folder : LiveScratchFolders()) RemoveTree(folder);
  std::exit(2);
}

[[noreturn]] void DieWithErrno(const std::string& what) { Die(what + ": " + std::strerror(errno)); }

}  // namespace

ScratchFolder::ScratchFolder() {
  char name[] = "/tmp/tallyrun-bench-XXXXXX";
  if (::mkdtemp(name) == nullptr) DieWithErrno("cannot make a scratch folder");
  path_ = name;
  LiveScratchFolders().push_back(path_);
}

ScratchFolder::~ScratchFolder() {
  RemoveTree(path_);
  std::erase(LiveScratchFolders(), path_);
}

Run RunProcess(const std::vector<std::string>& argv, const ProcessOptions& options) {
  std::vector<char*> args;
  args.reserve(argv.size() + 1);
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);

  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = ::fork();
  if (pid < 0) DieWithErrno("fork");
  if (pid == 0) {
    if (!options.directory.empty() && ::chdir(options.directory.c_str()) != 0) ::_exit(126);
    if (!options.output_file.empty()) {
      const int fd = ::open(options.output_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (fd < 0 || ::dup2(fd, STDOUT_FILENO) < 0) ::_exit(126);
      ::close(fd);
    }
    ::execvp(args[0], args.data());
    ::_exit(127);
  }
  int status = 0;
  struct rusage usage {};
  while (::wait4(pid, &status, 0, &usage) < 0) {
    if (errno != EINTR) DieWithErrno("wait4");
  }
  const auto end = std::chrono::steady_clock::now();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    Die(argv[0] + " did not succeed (wait status " + std::to_string(status) + ")");
  }
  return {std::chrono::duration<double>(end - start).count(), usage.ru_maxrss};
}

void CopyFile(const std::string& from, const std::string& to) {
  struct stat st;
  if (::stat(from.c_str(), &st) != 0) DieWithErrno("cannot read " + from);
  WriteFile(to, ReadFile(from));
  if (::chmod(to.c_str(), st.st_mode & 07777) != 0) DieWithErrno("cannot chmod " + to);
}

void MakeFolder(const std::string& path) {
  if (::mkdir(path.c_str(), 0755) != 0) DieWithErrno("cannot make " + path);
}

void WriteFile(const std::string& path, const std::string& contents) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) DieWithErrno("cannot write " + path);
  const bool written = std::fwrite(contents.data(), 1, contents.size(), f) == contents.size();
  if (std::fclose(f) != 0 || !written) DieWithErrno("cannot write " + path);
}

std::string ReadFile(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) DieWithErrno("cannot read " + path);
  std::string contents;
  char buffer[1 << 16];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) contents.append(buffer, n);
  std::fclose(f);
  return contents;
}

long FileSize(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) DieWithErrno("cannot read " + path);
  return static_cast<long>(st.st_size);
}

long CountLines(const std::string& text) { return std::count(text.begin(), text.end(), '\n'); }

std::string MachineLoad() {
  double load = 0;
  if (::getloadavg(&load, 1) != 1) return "load unknown";
  char text[64];
  std::snprintf(text, sizeof text, "load %.2f on %ld cores", load, ::sysconf(_SC_NPROCESSORS_ONLN));
  return text;
}

double Min(std::vector<double> values) { return *std::min_element(values.begin(), values.end()); }

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void PrintTimes(const std::string& label, const std::vector<double>& seconds) {
  std::printf("  %-20s min %9.3f ms   median %9.3f ms\n", label.c_str(), Min(seconds) * 1e3,
              Median(seconds) * 1e3);
}

bool Verdict(const std::string& what, double ratio, double ceiling) {
  const bool pass = ratio <= ceiling;
  std::printf("%s  %s: ratio %.2f (target <= %.2f)\n", pass ? "PASS" : "FAIL", what.c_str(), ratio,
              ceiling);
  std::fflush(stdout);
  return pass;
}

bool Summarise(const Contest& contest, const std::string& what, double ceiling) {
  PrintTimes("tallyrun", contest.ours);
  PrintTimes(contest.baseline_label, contest.baseline);
  std::printf("  median of the ratios %.2f\n", Median(contest.ratios));
  return Verdict(what, Min(contest.ours) / Min(contest.baseline), ceiling);
}

std::string CopyOfProgram(const ScratchFolder& scratch, const std::string& built) {
  const std::string program = scratch / "tallyrun";
  CopyFile(built, program);
  return program;
}

}  // namespace tallyrun::bench
