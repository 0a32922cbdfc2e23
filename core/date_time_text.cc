#include "core/date_time_text.h"

namespace tallyrun {
namespace {

// The text is put together in a small buffer and added in one go: a batch of
// thousands of records writes two of these each.
char* PutTwoDigits(char* at, int v) {
  at[0] = static_cast<char>('0' + (v / 10) % 10);
  at[1] = static_cast<char>('0' + v % 10);
  return at + 2;
}

}  // namespace

bool IsExpressible(const LocalTime& t) {
  return t.year >= 1 && t.year <= 9999 && t.month >= 1 && t.month <= 12 && t.day >= 1 &&
         t.day <= 31 && t.hour >= 0 && t.hour <= 23 && t.minute >= 0 && t.minute <= 59 &&
         t.second >= 0 && t.second <= 60;
}

void AppendDateTimeText(std::string& out, const LocalTime& t) {
  if (!IsExpressible(t)) return;
  char text[kLongestDateTimeText];
  char* at = PutTwoDigits(text, t.year / 100);
  at = PutTwoDigits(at, t.year);
  *at++ = '/';
  at = PutTwoDigits(at, t.month);
  *at++ = '/';
  at = PutTwoDigits(at, t.day);
  if (t.hour != 0 || t.minute != 0 || t.second != 0) {
    *at++ = ' ';
    if (t.hour >= 10) *at++ = static_cast<char>('0' + t.hour / 10);
    *at++ = static_cast<char>('0' + t.hour % 10);
    *at++ = ':';
    at = PutTwoDigits(at, t.minute);
    *at++ = ':';
    at = PutTwoDigits(at, t.second);
  }
  out.append(text, static_cast<std::size_t>(at - text));
}

}  // namespace tallyrun
