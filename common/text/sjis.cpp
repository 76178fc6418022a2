// Shift-JIS byte-level primitives: classification, case, comparison, fixed-width
// number fields and the space-trimming family.
#include "text/sjis.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "runtime/zrcommon.h"

namespace {

using uchar = unsigned char;

const uchar* U(const char* p) { return reinterpret_cast<const uchar*>(p); }
uchar* U(char* p) { return reinterpret_cast<uchar*>(p); }

constexpr uchar upper_ascii(uchar c) { return (c >= 'a' && c <= 'z') ? uchar(c - 0x20) : c; }

constexpr bool is_fw_space(const uchar* p) { return p[0] == 0x81 && p[1] == 0x40; }

// The fatal stop of this family: the text is composed in fnm_work (or in a
// local buffer while the areas are not built) and message 990 ends the process.
struct FatalText {
  char* buf;
  std::size_t cap;
};
FatalText fatal_text() {
  static char fallback[512];
  if (zr01) return {zr01->fnm_work, sizeof(zr01->fnm_work)};
  return {fallback, sizeof(fallback)};
}
[[noreturn]] void raise_logic_error(const FatalText& t) {
  _err_mes(990, t.buf);
  zr_exit();  // _err_mes does not return for 990
}
[[noreturn]] void length_over(const char* name, const char* buf, int length) {
  FatalText t = fatal_text();
  zr::format(t.buf, t.cap, "%s Buffer Length Over buf:%.*s(%d)", name, buf ? length : 0,
             buf ? buf : "", length);
  raise_logic_error(t);
}

// Copies the field (at most length bytes, stopping at a NUL) into a local text.
void field_text(const char* buf, int length, char* out, std::size_t cap) {
  std::size_t n = 0;
  if (buf && length > 0) {
    while (n < static_cast<std::size_t>(length) && n + 1 < cap && buf[n]) ++n;
    std::memcpy(out, buf, n);
  }
  out[n] = '\0';
}

std::int32_t clamp32(long long v) {
  if (v > INT32_MAX) return INT32_MAX;
  if (v < INT32_MIN) return INT32_MIN;
  return static_cast<std::int32_t>(v);
}

// Shortens the text in place to the characters that keep() accepts, walking by
// Shift-JIS characters. Returns the new length.
template <typename Keep>
int filter_chars(char* text, Keep keep) {
  uchar* s = U(text);
  std::size_t in = 0, out = 0;
  while (s[in]) {
    int n = zr::sjis_len(s + in);
    if (keep(s + in, n, out)) {
      for (int k = 0; k < n; ++k) s[out++] = s[in + k];
    }
    in += n;
  }
  s[out] = 0;
  return static_cast<int>(out);
}

}  // namespace

// ---- classification and case --------------------------------------------------------

ZR_API int _moji_type_sjis(const char* p) {
  const uchar* s = U(p);
  uchar c = s[0];
  if (c == 0 || c == '\r' || c == '\n' || c == ' ') return 0;
  if (c < 0x80) {
    if (c >= '0' && c <= '9') return 2;
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return 3;
    return 1;
  }
  if (c >= 0x88) return 8;
  uchar t = s[1];
  if (c == 0x82) {
    if (t >= 0x4F && t <= 0x58) return 2;
    if ((t >= 0x60 && t <= 0x79) || (t >= 0x81 && t <= 0x9A)) return 3;
    if (t >= 0x9F && t <= 0xF1) return 4;
  } else if (c == 0x83) {
    if (t >= 0x40 && t <= 0x96) return 5;
    if (t >= 0x9F && t <= 0xD6) return 6;
  } else if (c == 0x84) {
    if (t >= 0x40 && t <= 0x91) return 7;
  }
  return 1;
}

ZR_API int _han_kana_check(const char* text) {
  const uchar* s = U(text);
  while (*s) {
    if (zr::sjis_kana(*s)) return 1;
    s += zr::sjis_len(s);
  }
  return 0;
}

ZR_API void _zrtoupper(char* text) {
  uchar* s = U(text);
  while (*s) {
    int n = zr::sjis_len(s);
    if (n == 1) *s = upper_ascii(*s);
    s += n;
  }
}

ZR_API int _zrtoupper_ex(char* text) {
  uchar* s = U(text);
  uchar* p = s;
  while (*p) {
    int n = zr::sjis_len(p);
    if (n == 1)
      *p = upper_ascii(*p);
    else if (p[0] == 0x82 && p[1] >= 0x81 && p[1] <= 0x9A)
      p[1] = uchar(p[1] - 0x21);
    p += n;
  }
  return static_cast<int>(p - s);
}

ZR_API int _strlen(const char* text) { return static_cast<int>(std::strlen(text)); }

ZR_API int __mbsbtype(const unsigned char* mbstr, std::size_t count) {
  constexpr int kIllegal = -1, kSingle = 0, kLead = 1, kTrail = 2;
  if (!mbstr) return kIllegal;
  int type = kIllegal;
  for (std::size_t i = 0;; ++i) {
    uchar c = mbstr[i];
    if (c == 0) return kIllegal;
    if (type == kLead) {
      type = ((c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC)) ? kTrail : kIllegal;
    } else if ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) {
      // The byte-type query follows the code page's own table, in which
      // 0xFD-0xFF start no character (unlike the library's lead-byte rule).
      type = kLead;
    } else if ((c >= 0x20 && c <= 0x7E) || (c >= 0xA1 && c <= 0xDF)) {
      type = kSingle;
    } else {
      type = kIllegal;
    }
    if (i == count) return type;
  }
}

ZR_API unsigned char* __mbsstr(const unsigned char* str, const unsigned char* sub) {
  if (!str || !sub) return nullptr;
  std::size_t sub_len = std::strlen(reinterpret_cast<const char*>(sub));
  if (sub_len == 0) return const_cast<unsigned char*>(str);
  for (const uchar* p = str; *p; p += zr::sjis_len(p)) {
    if (std::strncmp(reinterpret_cast<const char*>(p), reinterpret_cast<const char*>(sub),
                     sub_len) == 0)
      return const_cast<unsigned char*>(p);
  }
  return nullptr;
}

ZR_API void _int_chg(void* p) {
  uchar* b = static_cast<uchar*>(p);
  uchar t0 = b[0], t1 = b[1];
  b[0] = b[3];
  b[1] = b[2];
  b[2] = t1;
  b[3] = t0;
}

ZR_API void _short_chg(void* p) {
  uchar* b = static_cast<uchar*>(p);
  uchar t = b[0];
  b[0] = b[1];
  b[1] = t;
}

// ---- comparison and search ------------------------------------------------------------

ZR_API int _zr_memcmp(const void* a, const void* b, std::size_t count) {
  const uchar* x = static_cast<const uchar*>(a);
  const uchar* y = static_cast<const uchar*>(b);
  for (std::size_t i = 0; i < count; ++i) {
    uchar cx = upper_ascii(x[i]), cy = upper_ascii(y[i]);
    if (cx != cy) return cx < cy ? -1 : 1;
  }
  return 0;
}

ZR_API int _zr_strcmp(const char* a, const char* b) {
  const uchar* x = U(a);
  const uchar* y = U(b);
  for (;; ++x, ++y) {
    uchar cx = upper_ascii(*x), cy = upper_ascii(*y);
    if (cx != cy) return cx < cy ? -1 : 1;
    if (cx == 0) return 0;
  }
}

ZR_API char* _zr_strstr(const char* text, const char* pattern) {
  if (!text || !*text) return nullptr;
  if (!pattern || !*pattern) return const_cast<char*>(text);
  std::size_t n = std::strlen(pattern);
  for (const char* p = text; *p; ++p) {
    std::size_t i = 0;
    while (i < n && p[i] && upper_ascii(U(p)[i]) == upper_ascii(U(pattern)[i])) ++i;
    if (i == n) return const_cast<char*>(p);
  }
  return nullptr;
}

// ---- numbers from fixed-length fields ----------------------------------------------------

ZR_API int _zratoi(const char* buf, int length) {
  if (length > 14) length_over("_zratoi", buf, length);
  char work[16];
  field_text(buf, length, work, sizeof(work));
  if (work[0] == '0' && (work[1] == 'x' || work[1] == 'X'))
    return clamp32(std::strtoll(work + 2, nullptr, 16));
  return clamp32(std::strtoll(work, nullptr, 10));
}

ZR_API int _zratol(const char* buf, int length) {
  if (length > 14) length_over("_zratoi", buf, length);
  char work[16];
  field_text(buf, length, work, sizeof(work));
  return clamp32(std::strtoll(work, nullptr, 10));
}

ZR_API long long _zratoi64(const char* buf, int length) {
  if (length > 18) length_over("_zratoi64", buf, length);
  char work[20];
  field_text(buf, length, work, sizeof(work));
  return std::strtoll(work, nullptr, 10);
}

// ---- spaces ---------------------------------------------------------------------------

ZR_API int _space_cut1_sjis(char* text) {
  return filter_chars(text, [](const uchar* c, int n, std::size_t) {
    return !(c[0] == ' ' || (n == 2 && is_fw_space(c)));
  });
}

ZR_API int _space_cut2_sjis(char* text) {
  constexpr std::size_t kNone = SIZE_MAX;
  uchar* s = U(text);
  std::size_t pos = 0, first = kNone, end = 0;
  while (s[pos]) {
    int n = zr::sjis_len(s + pos);
    bool space = s[pos] == ' ' || (n == 2 && is_fw_space(s + pos));
    if (!space) {
      if (first == kNone) first = pos;
      end = pos + n;
    }
    pos += n;
  }
  if (first == kNone) {
    s[0] = 0;
    return 0;
  }
  std::size_t len = end - first;
  std::memmove(s, s + first, len);
  s[len] = 0;
  return static_cast<int>(len);
}

ZR_API int _space_cut3_sjis(char* text) {
  uchar* s = U(text);
  std::size_t in = 0, out = 0;
  bool prev_space = false;
  while (s[in]) {
    int n = zr::sjis_len(s + in);
    bool space = s[in] == ' ' || (n == 2 && is_fw_space(s + in));
    if (space) {
      if (!prev_space) s[out++] = ' ';
    } else {
      for (int k = 0; k < n; ++k) s[out++] = s[in + k];
    }
    prev_space = space;
    in += n;
  }
  s[out] = 0;
  return static_cast<int>(out);
}

ZR_API int _space_cut1_utf8(char* text) {
  std::size_t out = 0;
  for (std::size_t in = 0; text[in]; ++in)
    if (text[in] != ' ') text[out++] = text[in];
  text[out] = 0;
  return static_cast<int>(out);
}

ZR_API int _space_cut2_utf8(char* text) {
  std::size_t len = std::strlen(text);
  std::size_t first = 0;
  while (first < len && text[first] == ' ') ++first;
  while (len > first && text[len - 1] == ' ') --len;
  len -= first;
  std::memmove(text, text + first, len);
  text[len] = 0;
  return static_cast<int>(len);
}

ZR_API int _space_cut3_utf8(char* text) {
  std::size_t out = 0;
  for (std::size_t in = 0; text[in]; ++in) {
    if (text[in] == ' ' && out > 0 && text[out - 1] == ' ') continue;
    text[out++] = text[in];
  }
  text[out] = 0;
  return static_cast<int>(out);
}

ZR_API char* _space_get(int length) {
  static char spaces[501];
  if (length > 500) {
    FatalText t = fatal_text();
    zr::format(t.buf, t.cap, "_space_get length:%d (Max.500)", length);
    raise_logic_error(t);
  }
  if (length < 0) length = 0;
  std::memset(spaces, ' ', static_cast<std::size_t>(length));
  spaces[length] = 0;
  return spaces;
}

ZR_API void _null_set(char* field, int width) {
  if (!field || width <= 0) return;
  uchar* s = U(field);
  std::size_t w = static_cast<std::size_t>(width);
  // Walk the whole field by characters (a lead byte in the last position counts
  // as one byte) and remember where the last character that is neither a space
  // nor a NUL ends; everything after it becomes NUL.
  std::size_t pos = 0, end = 0;
  while (pos < w) {
    std::size_t n = (pos + 1 < w && zr::sjis_lead(s[pos])) ? 2 : 1;
    bool blank = s[pos] == 0 || s[pos] == ' ' || (n == 2 && is_fw_space(s + pos));
    if (!blank) end = pos + n;
    pos += n;
  }
  std::memset(s + end, 0, w - end);
}
