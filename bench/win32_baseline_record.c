/* The least a Windows recorder of one item can do, for the start-up benchmark
 * to measure against: read the item's attributes, format both moments in the
 * user's date form, append one line in the ANSI code page.
 * Usage: win32_baseline_record LOG ITEM */
#include <windows.h>

static int format_moment(wchar_t* out, int size, const SYSTEMTIME* t) {
  int n = GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, t, NULL, out, size, NULL);
  if (n <= 0) return 0;
  out[n - 1] = L' ';
  int m = GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, t, NULL, out + n, size - n);
  return m > 0 ? n + m - 1 : 0;
}

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) return 2;
  wchar_t line[1024];
  SYSTEMTIME now;
  GetLocalTime(&now);
  int at = format_moment(line, 100, &now);
  line[at++] = L'\t';
  lstrcpynW(line + at, argv[2], 700);
  at += lstrlenW(argv[2]);
  line[at++] = L'\t';
  WIN32_FILE_ATTRIBUTE_DATA data;
  SYSTEMTIME universal, local;
  if (GetFileAttributesExW(argv[2], GetFileExInfoStandard, &data) &&
      FileTimeToSystemTime(&data.ftLastWriteTime, &universal) &&
      SystemTimeToTzSpecificLocalTime(NULL, &universal, &local)) {
    at += format_moment(line + at, 100, &local);
  }
  line[at++] = L'\r';
  line[at++] = L'\n';

  char bytes[3072];
  const int n = WideCharToMultiByte(CP_ACP, 0, line, at, bytes, sizeof bytes, NULL, NULL);
  HANDLE h = CreateFileW(argv[1], FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  if (h == INVALID_HANDLE_VALUE) return 1;
  DWORD written;
  const BOOL ok = WriteFile(h, bytes, (DWORD)n, &written, NULL);
  CloseHandle(h);
  return ok && written == (DWORD)n ? 0 : 1;
}
