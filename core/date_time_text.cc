#include "core/date_time_text.h"

namespace tallyrun {
namespace {

void AppendTwoDigits(std::string& out, int v) {
  out.push_back(static_cast<char>('0' + (v / 10) % 10));
  out.push_back(static_cast<char>('0' + v % 10));
}

void AppendNumber(std::string& out, int v) {
  if (v < 0) {
    out.push_back('-');
    v = -v;
  }
  char digits[12];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v > 0);
  while (n > 0) out.push_back(digits[--n]);
}

}  // namespace

std::string DateTimeText(const LocalTime& t) {
  std::string out;
  out.reserve(19);
  if (t.year >= 0 && t.year < 1000) out.append(t.year < 10 ? "000" : t.year < 100 ? "00" : "0");
  AppendNumber(out, t.year);
  out.push_back('/');
  AppendTwoDigits(out, t.month);
  out.push_back('/');
  AppendTwoDigits(out, t.day);
  if (t.hour == 0 && t.minute == 0 && t.second == 0) return out;
  out.push_back(' ');
  AppendNumber(out, t.hour);
  out.push_back(':');
  AppendTwoDigits(out, t.minute);
  out.push_back(':');
  AppendTwoDigits(out, t.second);
  return out;
}

}  // namespace tallyrun
