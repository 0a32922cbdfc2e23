// The Win32 main window opening a log of 1,000,000 records until the list is
// shown, timed as bench/window_bench.cc times the Linux window (processor
// time, best of five rounds), so that scripts/test-windows.sh --bench can set the
// two side by side. Prints the seconds; status 1 when the list is short.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>

#include "core/log_reader.h"
#include "platform/system_env.h"
#include "platform/win32/wide_text.h"
#include "ui/win32/main_window.h"

namespace {

constexpr int kRecords = 1'000'000;
constexpr int kRounds = 5;
// Wine counts processor time in steps of 10 ms: each round times several
// openings, to tell apart what a step would hide.
constexpr int kTimesARound = 4;

double Seconds(const std::function<void()>& work) {
  const auto now = [] {
    FILETIME created, ended, kernel, user;
    ::GetProcessTimes(::GetCurrentProcess(), &created, &ended, &kernel, &user);
    const auto ticks = [](const FILETIME& t) {
      return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) |
                                 t.dwLowDateTime);
    };
    return (ticks(kernel) + ticks(user)) * 1e-7;
  };
  const double start = now();
  work();
  return now() - start;
}

// The same mix as the Linux benchmark's log, with Windows paths.
void WriteLargeLog(const std::string& path) {
  const HANDLE out = ::CreateFileW(tallyrun::platform::Widen(path).c_str(), GENERIC_WRITE, 0,
                                   nullptr, CREATE_ALWAYS, 0, nullptr);
  std::string chunk;
  char line[256];
  const std::string japanese =
      tallyrun::platform::AnsiWhereExact("C:\\Users\\user\\ドキュメント\\案件\\顧客");
  for (int i = 0; i < kRecords; ++i) {
    const char* folder =
        i % 4 == 0 ? japanese.c_str() : "C:\\Users\\user\\Documents\\projects\\client";
    const int n = std::snprintf(
        line, sizeof line,
        i % 3 == 0
            ? "\"2024/%d/%d %d:%02d:%02d\t%s-%04d\\report-final %06d.txt\t2023/12/1 8:00:00\"\r\n"
            : "2024/%d/%d %d:%02d:%02d\t%s-%04d\\report-final %06d.txt\t2023/12/1 8:00:00\r\n",
        1 + i % 12, 1 + i % 28, i % 24, i % 60, (i / 60) % 60, folder, i % 10000, i);
    chunk.append(line, static_cast<std::size_t>(n));
    if (chunk.size() > (1u << 20) || i + 1 == kRecords) {
      DWORD written = 0;
      ::WriteFile(out, chunk.data(), static_cast<DWORD>(chunk.size()), &written, nullptr);
      chunk.clear();
    }
  }
  ::CloseHandle(out);
}

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

}  // namespace

int main() {
  wchar_t temp[MAX_PATH];
  ::GetTempPathW(MAX_PATH, temp);
  const std::string dir = tallyrun::platform::Narrow(temp);
  const std::string log = dir + "tallyrun-window-bench.log";
  WriteLargeLog(log);
  tallyrun::platform::SystemEnv env;
  std::size_t shown = 0;
  double window = 1e9, reader = 1e9;
  {
    tallyrun::ui::win32::Form1 form(env, {dir + "tallyrun-window-bench.ini", log}, log);
    form.EndProgramOnClose(false);
    if (!form.Show()) {
      std::printf("the window could not be opened (no display?)\n");
      ::DeleteFileW(tallyrun::platform::Widen(log).c_str());
      return 1;
    }
    ShowNow(form.hwnd());
    for (int round = 0; round < kRounds; ++round) {
      window = std::min(window, Seconds([&] {
                                  for (int i = 0; i < kTimesARound; ++i) {
                                    form.GetListFromLogFile();
                                    ShowNow(form.hwnd());
                                  }
                                }) / kTimesARound);
      shown = form.entries().size();
      tallyrun::LogEntries kept;
      reader = std::min(reader, Seconds([&] {
                                  for (int i = 0; i < kTimesARound; ++i) {
                                    kept = tallyrun::ReadLogEntries(env, log);
                                  }
                                }) / kTimesARound);
    }
  }
  ::DeleteFileW(tallyrun::platform::Widen(log).c_str());
  std::printf(
      "open a log of %zu records until shown (Win32, Wine): reader alone %.3f s, window %.3f s\n",
      shown, reader, window);
  return shown == kRecords ? 0 : 1;
}
