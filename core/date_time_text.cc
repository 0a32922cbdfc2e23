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

char* PutNumber(char* at, int v) {
  unsigned magnitude = static_cast<unsigned>(v);
  if (v < 0) {
    *at++ = '-';
    magnitude = 0u - magnitude;
  }
  char digits[12];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude > 0);
  while (n > 0) *at++ = digits[--n];
  return at;
}

}  // namespace

std::string DateTimeText(const LocalTime& t) {
  std::string out;
  AppendDateTimeText(out, t);
  return out;
}

void AppendDateTimeText(std::string& out, const LocalTime& t) {
  char text[64];
  char* at = text;
  if (t.year >= 0 && t.year < 1000) {
    for (int width = t.year < 10 ? 3 : t.year < 100 ? 2 : 1; width > 0; --width) *at++ = '0';
  }
  at = PutNumber(at, t.year);
  *at++ = '/';
  at = PutTwoDigits(at, t.month);
  *at++ = '/';
  at = PutTwoDigits(at, t.day);
  if (t.hour != 0 || t.minute != 0 || t.second != 0) {
    *at++ = ' ';
    at = PutNumber(at, t.hour);
    *at++ = ':';
    at = PutTwoDigits(at, t.minute);
    *at++ = ':';
    at = PutTwoDigits(at, t.second);
  }
  out.append(text, static_cast<std::size_t>(at - text));
}

}  // namespace tallyrun
