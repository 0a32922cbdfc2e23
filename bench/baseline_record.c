/* The least a recorder of one item can do, for the start-up benchmark to
 * measure against: stat the item, format both moments, append one line.
 * Usage: baseline_record LOG ITEM */
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

static void format_moment(char* out, size_t size, time_t seconds) {
  struct tm tm;
  localtime_r(&seconds, &tm);
  snprintf(out, size, "%04d/%02d/%02d %d:%02d:%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
           tm.tm_hour, tm.tm_min, tm.tm_sec);
}

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  char modified[80] = "";
  struct stat st;
  if (stat(argv[2], &st) == 0) format_moment(modified, sizeof modified, st.st_mtime);
  char now[80];
  format_moment(now, sizeof now, time(NULL));

  char line[PATH_MAX + 80];
  const int n = snprintf(line, sizeof line, "%s\t%s\t%s\r\n", now, argv[2], modified);
  if (n < 0 || (size_t)n >= sizeof line) return 1;
  const int fd = open(argv[1], O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return 1;
  if (write(fd, line, (size_t)n) != n) return 1;
  return close(fd) == 0 ? 0 : 1;
}
