// Numbers written with kanji units, the markup entities, and the JIS (EUC)
// code conversions.
#include <cstdio>
#include <cstring>

#include "naming/code_tables.h"
#include "runtime/zrcommon.h"
#include "text/convert.h"
#include "text/sjis.h"

namespace {

using uchar = unsigned char;

constexpr unsigned sj(const char (&c)[3]) { return unsigned(uchar(c[0])) << 8 | uchar(c[1]); }

unsigned code_at(const uchar* p) { return zr::sjis_len(p) == 2 ? unsigned(p[0]) << 8 | p[1] : 0; }

// The value of a full-width digit, or -1.
int digit_of(unsigned code) {
  return (code >= sj("０") && code <= sj("９")) ? int(code - sj("０")) : -1;
}
// The value of 千, 百 or 十, or 0.
int unit_of(unsigned code) {
  if (code == sj("千")) return 1000;
  if (code == sj("百")) return 100;
  if (code == sj("十")) return 10;
  return 0;
}

// The code-conversion switch: set when SHIFTJIS.ZR was found at start-up.
bool conversion_off() { return zrcnst && zrcnst->sjis_sw; }

// Shift-JIS to JIS X 0208 (high bits clear).
unsigned to_jis(unsigned s1, unsigned s2) {
  if (s1 >= 0xE0) s1 -= 0x40;
  unsigned j1 = (s1 - 0x81) * 2 + 0x21;
  unsigned j2;
  if (s2 >= 0x9F) {
    ++j1;
    j2 = s2 - 0x9F + 0x21;
  } else {
    j2 = s2 - 0x40 + 0x21 - (s2 >= 0x80 ? 1 : 0);
  }
  return j1 << 8 | j2;
}

// Whether a two-byte character lies in the 94 rows of JIS X 0208: lead bytes
// up to 0xEF and a proper trail byte. The user-defined and extension rows
// beyond have no JIS code and stay as they are.
constexpr bool has_jis_code(uchar s1, uchar s2) {
  return s1 <= 0xEF && s2 >= 0x40 && s2 <= 0xFC && s2 != 0x7F;
}

// JIS X 0208 (high bits clear, both bytes 0x21-0x7E) to Shift-JIS.
unsigned to_sjis(unsigned j1, unsigned j2) {
  unsigned s1 = ((j1 - 0x21) >> 1) + 0x81;
  if (s1 > 0x9F) s1 += 0x40;
  unsigned s2;
  if (j1 & 1) {
    s2 = j2 - 0x21 + 0x40;
    if (s2 >= 0x7F) ++s2;
  } else {
    s2 = j2 - 0x21 + 0x9F;
  }
  return s1 << 8 | s2;
}

constexpr bool in_94(uchar b) { return b >= 0xA1 && b <= 0xFE; }

// Converts the first length bytes of text from JIS (EUC) to Shift-JIS in
// place; returns the converted part's new length.
std::size_t jis_to_sjis(uchar* text, std::size_t length) {
  std::size_t i = 0, o = 0;
  while (i < length && text[i]) {
    const uchar b = text[i];
    if (b < 0x80) {
      text[o++] = text[i++];
      continue;
    }
    if (in_94(b) && i + 1 < length && in_94(text[i + 1])) {
      const unsigned s = to_sjis(b & 0x7F, text[i + 1] & 0x7F);
      text[o++] = uchar(s >> 8);
      text[o++] = uchar(s & 0xFF);
      i += 2;
      continue;
    }
    ++i;  // a high-bit byte that starts no pair of the 94 rows and cells
  }
  return o;
}

}  // namespace

// ---- kanji numerals --------------------------------------------------------------------------

ZR_API int _conv_kanji_keta(const char* source, char* target) {
  const uchar* p = reinterpret_cast<const uchar*>(source);
  uchar* o = reinterpret_cast<uchar*>(target);
  while (*p) {
    const unsigned code = code_at(p);
    if (digit_of(code) < 0 && unit_of(code) == 0) {
      const int n = zr::sjis_len(p);
      std::memcpy(o, p, std::size_t(n));
      o += n;
      p += n;
      continue;
    }
    // A number: digit-unit pairs and lone units add up; a digit without a unit
    // is its ones and ends the number.
    long long value = 0;
    while (true) {
      const unsigned c = code_at(p);
      const int d = digit_of(c);
      const int unit = unit_of(d >= 0 ? code_at(p + 2) : c);
      if (d >= 0 && unit) {
        value += static_cast<long long>(d) * unit;
        p += 4;
      } else if (d >= 0) {
        value += d;
        p += 2;
        break;
      } else if (unit) {
        value += unit;
        p += 2;
      } else {
        break;
      }
    }
    char digits[24];
    const int n = std::snprintf(digits, sizeof digits, "%lld", value);
    for (int k = 0; k < n; ++k) {
      const unsigned full = sj("０") + unsigned(digits[k] - '0');
      *o++ = uchar(full >> 8);
      *o++ = uchar(full & 0xFF);
    }
  }
  *o = 0;
  return static_cast<int>(o - reinterpret_cast<uchar*>(target));
}

// ---- markup ------------------------------------------------------------------------------------

ZR_API int _conv_k2o(const char* source, char* target) {
  static constexpr const char* kKept[] = {"&gt;", "&lt;", "&quot;", "&apos;"};
  const uchar* p = reinterpret_cast<const uchar*>(source);
  char* o = target;
  auto put = [&o](const char* s) {
    const std::size_t n = std::strlen(s);
    std::memcpy(o, s, n);
    o += n;
  };
  while (*p) {
    const int n = zr::sjis_len(p);
    bool kept = false;
    switch (n == 1 ? *p : 0) {
      case '<':
        put("&lt;");
        break;
      case '>':
        put("&gt;");
        break;
      case '"':
        put("&quot;");
        break;
      case '\'':
        put("&apos;");
        break;
      case '&':
        for (const char* k : kKept)
          kept |= std::strncmp(reinterpret_cast<const char*>(p), k, std::strlen(k)) == 0;
        put(kept ? "&" : "&amp;");
        break;
      default:
        std::memcpy(o, p, std::size_t(n));
        o += n;
        break;
    }
    p += n;
  }
  *o = '\0';
  return static_cast<int>(o - target);
}

ZR_API int _conv_o2k_xls(char* text) {
  static constexpr struct {
    const char* entity;
    const char* text;
  } kEntities[] = {
      {"&le;", "≦"},    {"&lE;", "≦"},    {"&ge;", "≧"},    {"&gE;", "≧"},    {"&comma;", ","},
      {"&lsquo;", "‘"}, {"&rsquo;", "’"}, {"&ldquo;", "“"}, {"&rdquo;", "”"}, {"&bgr;", "β"},
  };
  char* in = text;
  char* o = text;
  while (*in) {
    bool replaced = false;
    if (*in == '&') {
      for (const auto& e : kEntities) {
        const std::size_t n = std::strlen(e.entity);
        if (std::strncmp(in, e.entity, n) != 0) continue;
        const std::size_t m = std::strlen(e.text);
        std::memmove(o, e.text, m);
        o += m;
        in += n;
        replaced = true;
        break;
      }
    }
    if (replaced) continue;
    const int n = zr::sjis_len(reinterpret_cast<const uchar*>(in));
    std::memmove(o, in, std::size_t(n));
    o += n;
    in += n;
  }
  *o = '\0';
  return static_cast<int>(o - text);
}

// ---- JIS (EUC) and Shift-JIS -----------------------------------------------------------------

ZR_API int _conv_sjis_jis(char* text) {
  uchar* p = reinterpret_cast<uchar*>(text);
  if (conversion_off()) return static_cast<int>(std::strlen(text));
  while (*p) {
    if (zr::sjis_len(p) == 2 && has_jis_code(p[0], p[1])) {
      const unsigned j = to_jis(p[0], p[1]) | 0x8080;
      p[0] = uchar(j >> 8);
      p[1] = uchar(j & 0xFF);
      p += 2;
    } else {
      p += zr::sjis_len(p);
    }
  }
  return static_cast<int>(p - reinterpret_cast<uchar*>(text));
}

ZR_API int _conv_jis_sjis(char* text) {
  if (conversion_off()) return -1;
  uchar* t = reinterpret_cast<uchar*>(text);
  const std::size_t n = jis_to_sjis(t, std::strlen(text));
  t[n] = 0;
  return static_cast<int>(n);
}

ZR_API int _conv_jis_sjis_n(char* text, int length) {
  if (conversion_off()) return -1;
  if (length <= 0) return 0;
  uchar* t = reinterpret_cast<uchar*>(text);
  const std::size_t part = ::strnlen(text, std::size_t(length));
  const std::size_t n = jis_to_sjis(t, part);
  // The rest of the text (after the converted part) moves up behind it.
  std::memmove(t + n, t + part, std::strlen(text + part) + 1);
  return static_cast<int>(n);
}
