// The Win32 main window, three figures:
// - a log of 1,000,000 records opened until the list is shown, timed as
//   bench/window_bench.cc times the Linux window (processor time, best of
//   five rounds), so that scripts/test-windows.sh --bench can set the two
//   side by side;
// - the same with 10,000,000 records (best of three), and the window's peak
//   private memory then, at most 0.15 times the file, the empty window's own
//   included;
// - the log followed while Tallyrun.exe, started once per record, appends
//   to it: the last record is listed within half a second of its writing,
//   and the window spends at most 1.5 times the time the command line
//   spends writing them.
// Status 1 when a figure is missed.
#include <windows.h>
// After windows.h, which it needs.
#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>

#include "core/log_reader.h"
#include "platform/system_env.h"
#include "platform/win32/wide_text.h"
#include "ui/main/main_window.h"
#include "ui/win32/form_window.h"

namespace {

using tallyrun::platform::Narrow;
using tallyrun::platform::Widen;
using tallyrun::ui::Form1;

constexpr int kRecords = 1'000'000;
constexpr int kRounds = 5;
// Wine counts processor time in steps of 10 ms: each round times several
// openings, to tell apart what a step would hide.
constexpr int kTimesARound = 4;
constexpr int kHugeRecords = 10'000'000;
constexpr int kHugeRounds = 3;
constexpr double kMemoryPerFileByte = 0.15;
// A Tallyrun.exe start costs tens of milliseconds under Wine: a thousand
// calls keep the run to a minute or two and still make the window look at
// the log many hundred times. TALLYRUN_BENCH_CALLS asks for another count.
const int kCalls = [] {
  wchar_t count[16];
  const DWORD n = ::GetEnvironmentVariableW(L"TALLYRUN_BENCH_CALLS", count, 16);
  return n > 0 && n < 16 ? std::max(1, _wtoi(count)) : 1'000;
}();
constexpr double kLatestListing = 0.5;
constexpr double kFollowingRatio = 1.5;

double ProcessorSeconds(const FILETIME& kernel, const FILETIME& user) {
  const auto ticks = [](const FILETIME& t) {
    return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) |
                               t.dwLowDateTime);
  };
  return (ticks(kernel) + ticks(user)) * 1e-7;
}

double ThisProcessSeconds() {
  FILETIME created, ended, kernel, user;
  ::GetProcessTimes(::GetCurrentProcess(), &created, &ended, &kernel, &user);
  return ProcessorSeconds(kernel, user);
}

double ThisThreadSeconds() {
  FILETIME created, ended, kernel, user;
  ::GetThreadTimes(::GetCurrentThread(), &created, &ended, &kernel, &user);
  return ProcessorSeconds(kernel, user);
}

double Clock() {
  LARGE_INTEGER counter, frequency;
  ::QueryPerformanceCounter(&counter);
  ::QueryPerformanceFrequency(&frequency);
  return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double Seconds(const std::function<void()>& work) {
  const double start = ThisProcessSeconds();
  work();
  return ThisProcessSeconds() - start;
}

// The same mix as the Linux benchmark's log, with Windows paths. Written a
// few megabytes at a time, in one buffer that never grows: fewer writes
// through Wine, and no peak of memory before the window's own (Windows keeps
// the peak since the process started). The file's size.
std::uint64_t WriteLargeLog(const std::string& path, int records) {
  constexpr std::size_t kPiece = std::size_t{4} << 20;
  const HANDLE out =
      ::CreateFileW(Widen(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  std::uint64_t size = 0;
  std::string chunk;
  chunk.reserve(kPiece + 256);
  char line[256];
  const std::string japanese =
      tallyrun::platform::AnsiWhereExact("C:\\Users\\user\\ドキュメント\\案件\\顧客");
  for (int i = 0; i < records; ++i) {
    const char* folder =
        i % 4 == 0 ? japanese.c_str() : "C:\\Users\\user\\Documents\\projects\\client";
    const int n = std::snprintf(
        line, sizeof line,
        i % 3 == 0
            ? "\"2024/%d/%d %d:%02d:%02d\t%s-%04d\\report-final %06d.txt\t2023/12/1 8:00:00\"\r\n"
            : "2024/%d/%d %d:%02d:%02d\t%s-%04d\\report-final %06d.txt\t2023/12/1 8:00:00\r\n",
        1 + i % 12, 1 + i % 28, i % 24, i % 60, (i / 60) % 60, folder, i % 10000, i);
    chunk.append(line, static_cast<std::size_t>(n));
    if (chunk.size() > kPiece || i + 1 == records) {
      DWORD written = 0;
      ::WriteFile(out, chunk.data(), static_cast<DWORD>(chunk.size()), &written, nullptr);
      size += written;
      chunk.clear();
    }
  }
  ::CloseHandle(out);
  return size;
}

// The process's private bytes: on Windows PagefileUsage, the memory it has
// committed for itself, and PeakPagefileUsage its peak so far. Wine 8 fills
// both from the process's /proc/<pid>/status, with its resident anonymous
// memory (RssAnon) as it stands, so the "peak" is no peak there, and leaves
// PrivateUsage 0. Hence a watcher samples the figure while the work runs;
// its highest, or the peak Windows reports if higher, counts.
std::uint64_t PrivateBytes(bool peak) {
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof counters;
  if (!::GetProcessMemoryInfo(::GetCurrentProcess(),
                              reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                              sizeof counters)) {
    return 0;
  }
  return peak ? counters.PeakPagefileUsage : counters.PagefileUsage;
}

std::uint64_t PeakPrivateBytes(const std::function<void()>& work) {
  std::atomic<bool> done = false;
  std::atomic<std::uint64_t> highest = 0;
  std::thread watcher([&] {
    while (!done) {
      highest = std::max<std::uint64_t>(highest, PrivateBytes(false));
      ::Sleep(1);
    }
  });
  work();
  const std::uint64_t after = PrivateBytes(true);
  done = true;
  watcher.join();
  return std::max<std::uint64_t>(highest, after);
}

double Megabytes(std::uint64_t bytes) { return static_cast<double>(bytes) / (1 << 20); }

// Until shown: what the change left to paint is painted, as the message loop
// would do next; the controls that did not change are not drawn again.
void ShowNow(HWND form) {
  ::RedrawWindow(form, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

struct Opening {
  std::size_t shown = 0;
  double reader = 1e9, window = 1e9;
};

Opening OpenLargeLog(const std::string& dir) {
  const std::string log = dir + "tallyrun-window-bench.log";
  WriteLargeLog(log, kRecords);
  tallyrun::platform::SystemEnv env;
  Opening o;
  {
    Form1 form(env, {dir + "tallyrun-window-bench.ini", log}, log);
    tallyrun::ui::win32::FormWindow window(form);
    if (!window.made()) return o;
    window.Show();
    form.SetText1(log);
    ShowNow(window.hwnd());
    for (int round = 0; round < kRounds; ++round) {
      o.window = std::min(o.window, Seconds([&] {
                                      for (int i = 0; i < kTimesARound; ++i) {
                                        form.GetListFromLogFile();
                                        ShowNow(window.hwnd());
                                      }
                                    }) / kTimesARound);
      o.shown = form.ListCount(Form1::List1);
      o.reader = std::min(o.reader, Seconds([&] {
                                      for (int i = 0; i < kTimesARound; ++i) {
                                        tallyrun::RecordPlaces places;
                                        (void)tallyrun::ScanLog(env, log, places);
                                      }
                                    }) / kTimesARound);
    }
  }
  ::DeleteFileW(Widen(log).c_str());
  return o;
}

// The window shown on a log that is not there: what it holds before any log.
std::uint64_t EmptyWindowPrivateBytes(const std::string& dir) {
  const std::string log = dir + "tallyrun-window-bench-none.log";
  tallyrun::platform::SystemEnv env;
  Form1 form(env, {dir + "tallyrun-window-bench.ini", log}, log);
  return PeakPrivateBytes([&] {
    tallyrun::ui::win32::FormWindow window(form);
    if (!window.made()) return;
    window.Show();
    form.SetText1(log);
    form.GetListFromLogFile();
    ShowNow(window.hwnd());
  });
}

struct HugeOpening {
  std::size_t shown = 0;
  std::uint64_t file_bytes = 0;
  double window = 1e9;
  std::uint64_t peak_private = 0;
};

// The first opening, untimed, finds the peak memory; the watcher's own
// processor time stays out of the rounds.
HugeOpening OpenHugeLog(const std::string& dir) {
  const std::string log = dir + "tallyrun-window-bench-huge.log";
  HugeOpening o;
  o.file_bytes = WriteLargeLog(log, kHugeRecords);
  tallyrun::platform::SystemEnv env;
  {
    Form1 form(env, {dir + "tallyrun-window-bench.ini", log}, log);
    tallyrun::ui::win32::FormWindow window(form);
    if (window.made()) {
      window.Show();
      form.SetText1(log);
      ShowNow(window.hwnd());
      const auto open = [&] {
        form.GetListFromLogFile();
        ShowNow(window.hwnd());
      };
      o.peak_private = PeakPrivateBytes(open);
      for (int round = 0; round < kHugeRounds; ++round)
        o.window = std::min(o.window, Seconds(open));
      o.shown = form.ListCount(Form1::List1);
    }
  }
  ::DeleteFileW(Widen(log).c_str());
  return o;
}

struct Following {
  int recorded = 0;  // calls that ended well
  int listed = 0;
  double latest = 1e9;      // from the last write until it was listed
  double command_line = 0;  // processor time of all the calls
  double window = 0;        // of the window's thread meanwhile
};

// Runs Tallyrun.exe once per record from a thread of its own, while this
// thread runs the window as the program's main loop does.
Following FollowCalls(const std::string& dir) {
  const std::wstring folder = Widen(dir) + L"tallyrun-follow-bench";
  ::CreateDirectoryW(folder.c_str(), nullptr);
  wchar_t self[MAX_PATH];
  std::wstring program(self, ::GetModuleFileNameW(nullptr, self, MAX_PATH));
  program = program.substr(0, program.find_last_of(L'\\')) + L"\\Tallyrun.exe";
  const std::wstring exe = folder + L"\\Tallyrun.exe", item = folder + L"\\item.txt";
  const std::string log = Narrow(folder + L"\\Tallyrun.log");
  ::CopyFileW(program.c_str(), exe.c_str(), FALSE);
  ::CloseHandle(::CreateFileW(item.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  ::DeleteFileW(Widen(log).c_str());

  tallyrun::platform::SystemEnv env;
  Form1 form(env, {Narrow(folder) + "\\Tallyrun.ini", log}, log);
  tallyrun::ui::win32::FormWindow window(form);
  Following f;
  if (!window.made()) return f;
  window.Show();
  form.SetText1(log);
  form.GetListFromLogFile();
  ShowNow(window.hwnd());

  const DWORD main_thread = ::GetCurrentThreadId();
  std::atomic<double> last_write = 0;
  std::thread calls([&] {
    for (int i = 0; i < kCalls; ++i) {
      std::wstring line = L"\"" + exe + L"\" \"" + item + L"\"";
      STARTUPINFOW startup{};
      startup.cb = sizeof startup;
      PROCESS_INFORMATION process{};
      const double started = Clock();
      // Under load Wine now and then loses a new process while it starts
      // (ERROR_INTERNAL_ERROR); that start is made again.
      bool made = false;
      for (int attempt = 0; attempt < 3 && !made; ++attempt) {
        made = ::CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                nullptr, &startup, &process) != FALSE;
        if (!made) std::printf("call %d could not be started (%lu)\n", i, ::GetLastError());
      }
      if (!made) break;
      ::WaitForSingleObject(process.hProcess, INFINITE);
      last_write = Clock();
      f.command_line += last_write - started;
      DWORD code = 1;
      ::GetExitCodeProcess(process.hProcess, &code);
      f.recorded += code == 0 ? 1 : 0;
      ::CloseHandle(process.hProcess);
      ::CloseHandle(process.hThread);
    }
    ::PostThreadMessageW(main_thread, WM_APP, 0, 0);
  });
  const double window_start = ThisThreadSeconds();
  bool written = false;
  MSG msg;
  // Until every call has written and its record is listed, or five seconds
  // after the last write.
  while (!(written && form.ListCount(Form1::List1) >= static_cast<std::size_t>(kCalls)) &&
         (!written || Clock() - last_write < 5) && ::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (msg.hwnd == nullptr && msg.message == WM_APP) written = true;
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  const double listed_at = Clock();
  f.window = ThisThreadSeconds() - window_start;
  calls.join();
  f.listed = static_cast<int>(form.ListCount(Form1::List1));
  if (f.listed >= kCalls) f.latest = listed_at - last_write;
  ::DeleteFileW(exe.c_str());
  ::DeleteFileW(item.c_str());
  ::DeleteFileW(Widen(log).c_str());
  ::RemoveDirectoryW(folder.c_str());
  return f;
}

}  // namespace

int main() {
  wchar_t temp[MAX_PATH];
  ::GetTempPathW(MAX_PATH, temp);
  const std::string dir = Narrow(temp);
  // First, before any log has been held.
  const std::uint64_t empty_window = EmptyWindowPrivateBytes(dir);
  const Opening o = OpenLargeLog(dir);
  if (o.shown == 0) {
    std::printf("the window could not be opened (no display?)\n");
    return 1;
  }
  std::printf(
      "open a log of %zu records until shown (Win32, Wine): the scan alone %.3f s, window %.3f s\n",
      o.shown, o.reader, o.window);
  const Following f = FollowCalls(dir);
  const double ratio = f.window / f.command_line;
  const bool follows = f.listed == kCalls && f.latest <= kLatestListing;
  std::printf(
      "follow %d Tallyrun.exe calls while the window is open: %d recorded, %d listed, the last "
      "%.3f s after its write (limit %.1f); window %.3f s of processor time, command line %.3f s "
      "from start to exit, ratio %.2f (limit %.1f)\n",
      kCalls, f.recorded, f.listed, f.latest, kLatestListing, f.window, f.command_line, ratio,
      kFollowingRatio);
  const HugeOpening h = OpenHugeLog(dir);
  std::printf("open a log of %zu records (%.1f MB) until shown (Win32, Wine): window %.3f s\n",
              h.shown, Megabytes(h.file_bytes), h.window);
  const double memory_ratio = static_cast<double>(h.peak_private) /
                              static_cast<double>(std::max<std::uint64_t>(h.file_bytes, 1));
  std::printf(
      "peak private memory with the log of %zu records open: %.1f MB, the empty window's own "
      "%.1f MB included: %.3f times the file (limit %.2f)\n",
      h.shown, Megabytes(h.peak_private), Megabytes(empty_window), memory_ratio,
      kMemoryPerFileByte);
  return o.shown == kRecords && follows && ratio <= kFollowingRatio && h.shown == kHugeRecords &&
                 memory_ratio <= kMemoryPerFileByte
             ? 0
             : 1;
}
