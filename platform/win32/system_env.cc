#include "platform/system_env.h"

#include <windows.h>
// The Win32 macro of this name would rename ours.
#undef ReplaceFile

#include "platform/clock.h"
#include "platform/files.h"
#include "platform/win32/wide_text.h"

namespace tallyrun::platform {
namespace {

// The user's general date form: the short date, a blank, the long time; the
// date alone at exactly midnight.
std::wstring GeneralDateText(const LocalTime& t) {
  SYSTEMTIME st{};
  st.wYear = static_cast<WORD>(t.year);
  st.wMonth = static_cast<WORD>(t.month);
  st.wDay = static_cast<WORD>(t.day);
  st.wHour = static_cast<WORD>(t.hour);
  st.wMinute = static_cast<WORD>(t.minute);
  st.wSecond = static_cast<WORD>(t.second);
  wchar_t date[80], time[80];
  if (::GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, date, 80,
                        nullptr) <= 0) {
    return {};
  }
  if (t.hour == 0 && t.minute == 0 && t.second == 0) return date;
  if (::GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &st, nullptr, time, 80) <= 0) return {};
  return std::wstring(date) + L" " + time;
}

}  // namespace

LocalTime SystemEnv::Now() { return LocalNow(); }

void SystemEnv::AppendMomentText(std::string& out, const LocalTime& t) {
  // A moment the date form cannot express (beyond four-digit years, or before
  // the system's calendar begins) stays empty, as an unreadable date does.
  if (t.year < 1601 || t.year > 9999) return;
  out.append(Narrow(GeneralDateText(t)));
}

void SystemEnv::DecodeLegacyText(std::string_view bytes, std::string& out) {
  DecodeCodePage(bytes, CP_ACP, out);
}

std::optional<std::string> SystemEnv::SystemCodePageText(std::string_view text) {
  return AnsiExact(text);
}

}  // namespace tallyrun::platform
