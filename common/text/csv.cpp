// The CSV operations over the common areas and files, and the exported forms
// of the markup and address scanners.
#include <cstring>
#include <string>

#include "runtime/zrcommon.h"
#include "text/formats.h"
#include "text/scan.h"

namespace {

constexpr std::size_t kCsvLineMax = 9999;

// A lone LF becomes CR LF; the rest is copied. Writes to out when given and
// returns the length either way.
std::size_t crlf_convert(const char* src, char* out) {
  std::size_t o = 0;
  for (const char* p = src; *p; ++p) {
    if (*p == '\n' && (p == src || p[-1] != '\r')) {
      if (out) out[o] = '\r';
      ++o;
    }
    if (out) out[o] = *p;
    ++o;
  }
  if (out) out[o] = '\0';
  return o;
}

// The whole file, or false when it is missing or empty.
bool read_whole(const char* name, std::string& text) {
  std::FILE* fp = _fopen_ext(name, "rb");
  if (!fp) return false;
  const long size = _fsize(fp);
  if (size > 0) {
    text.resize(static_cast<std::size_t>(size));
    text.resize(_fread(text.data(), 1, text.size(), fp));
  }
  _fclose(fp);
  return !text.empty();
}

}  // namespace

ZR_API int _csvdata_sep(const char* line) {
  zr00->csv_fld_cnt = 0;
  const std::size_t len = ::strnlen(line, kCsvLineMax + 1);
  if (len > kCsvLineMax || len >= static_cast<std::size_t>(zr00->csv_cap)) {
    _dbg_print("*** _csvdata_sep line over %d bytes, not split: %.100s ***", int(kCsvLineMax),
               line);
    return -1;
  }
  std::memcpy(zr00->csv_buf, line, len + 1);
  const int count = zr::csv_split(zr00->csv_buf, zr00->csv_fld, 100);
  if (count < 0) {
    _dbg_print("*** _csvdata_sep over 100 fields, not split: %.100s ***", line);
    return -1;
  }
  zr00->csv_fld_cnt = count;
  return count;
}

ZR_API void _csvdata_disp() {
  _dbg_print("** pcsvsep cnt:%d **", zr00->csv_fld_cnt);
  for (int k = 0; k < zr00->csv_fld_cnt; ++k)
    _dbg_print("  no:%d, item:%.200s", k + 1, zr00->csv_fld[k]);
}

ZR_API int _csv_conv_crlf(const char* source, char* target) {
  return static_cast<int>(crlf_convert(source, target));
}

ZR_API int _csv_cut_crlf(char* text) {
  std::size_t o = 0;
  for (std::size_t i = 0; text[i]; ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) continue;
    text[o++] = text[i];
  }
  text[o] = '\0';
  return static_cast<int>(o);
}

ZR_API int _csv_conv_wq(const char* source, char* target) { return zr::csv_quote(source, target); }

ZR_API int _csv_conv_fil(const char* source_file, const char* target_file) {
  std::string text;
  if (!read_whole(source_file, text)) return -1;
  // The text ends at its first NUL, as every text of the conversions does.
  text.resize(std::strlen(text.c_str()));
  if (text.empty()) return -1;

  std::string lines(crlf_convert(text.c_str(), nullptr) + 3, '\0');
  std::size_t n = crlf_convert(text.c_str(), lines.data());
  if (lines[n - 1] != '\n') {
    lines[n++] = '\r';
    lines[n++] = '\n';
  }
  lines.resize(n);

  std::string quoted(zr::csv_quote_cap(lines.c_str()), '\0');
  const int len = zr::csv_quote(lines.c_str(), quoted.data());
  if (len < 0) return -1;
  // Written as a whole through a new file, so that converting a file onto
  // itself never loses it half-way.
  if (zr_replace_file(target_file, quoted.data(), static_cast<std::size_t>(len)) != 0) {
    _dbg_print("*** _csv_conv_fil %.200s not written ***", target_file);
    return -1;
  }
  return 0;
}

ZR_API int _attr_get(const char* tag, const char* name, char* output) {
  // The value is never longer than the tag it comes from.
  return zr::attr_value(tag, name, output, tag ? std::strlen(tag) + 1 : 1);
}

ZR_API int _url_pos_cnt(const char* text, int length) {
  return zr::url_scan(text, length, nullptr, nullptr, 0);
}

ZR_API int _url_pos_set(const char* text, int length, int* starts, int* lengths, int most) {
  const int found = zr::url_scan(text, length, starts, lengths, most);
  return found < most ? found : (most > 0 ? most : 0);
}
