// The trace file, the error log and the printf-style message box.
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "runtime/zrcommon.h"

namespace {

constexpr int kLineCap = 2048;
constexpr int kLineMax = 2046;  // longest text; CR LF make it 2048 bytes

[[noreturn]] void length_error(int length) {
  _mes_print("Error of Length lng:%d", length);
  zr_exit();
}

// The length of text cut to at most max bytes without splitting a two-byte
// Shift-JIS character.
int cut_length(const char* text, int len, int max) {
  int at = 0;
  while (at < len) {
    const auto c = static_cast<unsigned char>(text[at]);
    const int step = ((c >= 0x81 && c <= 0x9F) || c >= 0xE0) && at + 1 < len ? 2 : 1;
    if (at + step > max) break;
    at += step;
  }
  return at;
}

// Formats one line and appends it with CR LF. The file is opened and closed for
// every line (and never through the file table), so the trace survives a crash
// up to its last complete line. A line longer than 2046 bytes (a text from
// outside can be any length) is cut to fit and marked with its full length; a
// trace line never ends the process.
void append_line(const char* file_name, const char* fmt, std::va_list ap) {
  if (!file_name || !file_name[0]) return;
  char line[kLineCap + 1];
  int n = zr::vformat(line, kLineCap, fmt, ap);
  if (n < 0) n = 0;
  if (n > kLineMax) {
    char mark[40];
    const int mark_len = ZR_FMT(mark, " ...(lng:%d)", n);
    n = cut_length(line, kLineCap - 1, kLineMax - mark_len);
    std::memcpy(line + n, mark, static_cast<std::size_t>(mark_len));
    n += mark_len;
  }
  line[n] = '\r';
  line[n + 1] = '\n';
  std::FILE* fp = plat::open_stream(file_name, "ab");
  if (!fp) return;
  std::fwrite(line, 1, static_cast<std::size_t>(n) + 2, fp);
  std::fclose(fp);
}

}  // namespace

void _dbg_print(const char* fmt, ...) {
  if (!zr00 || !zr00->dbg_fnm[0]) return;
  std::va_list ap;
  va_start(ap, fmt);
  append_line(zr00->dbg_fnm, fmt, ap);
  va_end(ap);
}

void _err_print(const char* fmt, ...) {
  if (!zr00 || !zr00->err_fnm[0]) return;
  std::va_list ap;
  va_start(ap, fmt);
  append_line(zr00->err_fnm, fmt, ap);
  va_end(ap);
}

void _mes_print(const char* fmt, ...) {
  char text[kLineCap];
  std::va_list ap;
  va_start(ap, fmt);
  int n = zr::vformat(text, sizeof text, fmt, ap);
  va_end(ap);
  if (n > kLineMax) length_error(n);
  _mes_box(text, 0);
}
