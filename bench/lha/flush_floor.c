/* The least a program can do to replace a file atomically and flush it:
 *   flush_floor TARGET
 * writes one line into a new file beside TARGET, flushes it to the disk and
 * renames it over TARGET, with nothing else around it (statically linked). The
 * start-up benchmark runs it next to qrtlha and lhasa: what qrtlha takes above
 * it is its own start-up, what it takes above lhasa is the flush and the
 * replacement that lhasa does not do. */
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

int main(int argc, char** argv) {
  static const char line[] = "one line of text\r\n";
  char tmp[4096];
  if (argc != 2 || snprintf(tmp, sizeof tmp, "%s.new", argv[1]) >= (int)sizeof tmp) return 2;
  int fd = open(tmp, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return 1;
  if (write(fd, line, strlen(line)) != (ssize_t)strlen(line) || fsync(fd) != 0) return 1;
  if (close(fd) != 0 || rename(tmp, argv[1]) != 0) return 1;
  return 0;
}
