// Reading a Win32 window as a user sees it, for the window tests: every
// control's name, class, text and place, and the message boxes it shows.
#pragma once

#include <windows.h>
// After windows.h, which it builds on.
#include <shellapi.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tallyrun::testing {

struct ControlFacts {
  HWND hwnd = nullptr;
  std::string name;  // the window's own name for it
  std::string window_class;
  std::string text;
  std::string parent;  // the frame that holds it; empty for the window
  RECT place;          // in pixels, relative to the parent's client area
  std::string font_face;
  int font_charset = 0;
};

// Every control, in tab order.
std::vector<ControlFacts> ReadControls(HWND form);
std::string TextOf(HWND hwnd);

// Handles the window's messages as the program's loop does until `done`
// holds or `timeout_ms` passes.
bool PumpUntil(const std::function<bool()>& done, DWORD timeout_ms = 5000);

struct MessageBoxSeen {
  std::string title;
  std::string text;
  bool has_icon = false;
};

// Watches this process for message boxes while it lives, reads each and
// closes it with its OK button.
class MessageBoxWatcher {
 public:
  MessageBoxWatcher() : thread_([this] { Run(); }) {}
  ~MessageBoxWatcher() {
    stop_ = true;
    thread_.join();
  }
  std::vector<MessageBoxSeen> seen() {
    const std::lock_guard hold(lock_);
    return seen_;
  }

 private:
  void Run();
  std::atomic<bool> stop_ = false;
  std::mutex lock_;
  std::vector<MessageBoxSeen> seen_;
  std::thread thread_;
};

// An HDROP as the shell hands it over: the paths, dropped at `at` in the
// window's client area.
HDROP MakeDrop(const std::vector<std::wstring>& paths, POINT at);

}  // namespace tallyrun::testing
