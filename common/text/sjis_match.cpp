// Loose matching of a pattern at the start of a text, used to compare trademark
// texts: blanks and marks that do not change a name are skipped, and characters
// that are written in several ways are folded to one form before comparing.
#include <cstdint>
#include <cstring>

#include "runtime/zrcommon.h"
#include "text/fold.h"
#include "text/sjis.h"

namespace {

using uchar = unsigned char;

const uchar* U(const char* p) { return reinterpret_cast<const uchar*>(p); }

constexpr uchar upper_ascii(uchar c) { return (c >= 'a' && c <= 'z') ? uchar(c - 0x20) : c; }

// ---- Shift-JIS --------------------------------------------------------------------

// The next character of a plain Shift-JIS walk: the byte count, and whether the
// character is a blank the text side skips (control bytes and 0x20).
bool sjis_blank(uchar c) { return c != 0 && c <= 0x20; }

// Characters the highlight matcher skips on both sides: blanks, the full-width
// space, ▲ and ▼. Sets the character's length.
bool hlt_skippable(const uchar* p, int& len) {
  if (p[0] == 0) return false;
  if (p[0] <= 0x20) {
    len = 1;
    return true;
  }
  if (p[0] == 0x81 && (p[1] == 0x40 || p[1] == 0xA3 || p[1] == 0xA5)) {
    len = 2;
    return true;
  }
  return false;
}

struct HltChar {
  unsigned code;
  int used;  // bytes of the text taken, a following sound mark included
};

HltChar hlt_fold(const uchar* p) {
  HltChar c;
  if (zr::sjis_len(p) == 2) {
    c = {unsigned(p[0]) << 8 | p[1], 2};
  } else {
    c = {upper_ascii(p[0]), 1};
  }
  c.code = zr::fold::old_kana(zr::fold::shapes(zr::fold::letters(c.code)));

  if (zr::fold::takes_mark(c.code)) {
    // A separate sound mark may follow after blanks; it belongs to this character.
    const uchar* q = p + c.used;
    while (*q && (*q <= 0x20 || (q[0] == 0x81 && q[1] == 0x40))) q += (*q <= 0x20) ? 1 : 2;
    const unsigned mark = q[0] == 0x81 ? (0x8100u | q[1]) : 0;
    const unsigned folded = zr::fold::with_mark(c.code, mark);
    if (folded != c.code) {
      c.code = folded;
      c.used = static_cast<int>(q + 2 - p);
    }
  }
  c.code = zr::fold::small_long(c.code);
  return c;
}

// ---- UTF-8 -------------------------------------------------------------------------

// One folded character: up to four bytes.
struct U8Char {
  uchar b[4] = {};
  int n = 0;
  bool operator==(const U8Char& o) const { return n == o.n && std::memcmp(b, o.b, n) == 0; }
};

U8Char u8_of(uchar c) {
  U8Char f;
  f.b[0] = c;
  f.n = 1;
  return f;
}

U8Char u8_encode3(unsigned cp) {
  U8Char f;
  zr::fold::u8_put3(cp, f.b);
  f.n = 3;
  return f;
}

U8Char u8_raw(const uchar* p, int n) {
  U8Char f;
  std::memcpy(f.b, p, n);
  f.n = n;
  return f;
}

bool small_kana_cp(unsigned cp) {
  switch (cp) {
    case 0x3041:
    case 0x3043:
    case 0x3045:
    case 0x3047:
    case 0x3049:  // ぁぃぅぇぉ
    case 0x3063:
    case 0x3083:
    case 0x3085:
    case 0x3087:  // っゃゅょ
    case 0x30A1:
    case 0x30A3:
    case 0x30A5:
    case 0x30A7:
    case 0x30A9:  // ァィゥェォ
    case 0x30C3:
    case 0x30E3:
    case 0x30E5:
    case 0x30E7:  // ッャュョ
      return true;
    default:
      return false;
  }
}

// Folding of _strcmp_tm.
U8Char tm_fold(const uchar* p, int& used) {
  int declared = zr::fold::u8_declared_len(p[0]);
  used = zr::fold::u8_len(p);
  if (used == 1) return u8_of(upper_ascii(p[0]));
  if (declared == 3 && used == 3) {
    unsigned cp = zr::fold::u8_cp3(p);
    if (cp == 0x2010 || cp == 0x2015 || cp == 0x30FC || cp == 0xFF0D) return u8_encode3(0x2500);
    if (small_kana_cp(cp)) return u8_encode3(cp + 1);
  }
  return u8_raw(p, used);
}

bool sign_to_space(uchar c) { return c && std::strchr("\"&'()*+,-./:;<=>?[]^`{}~", c); }

// Latin-1 letters U+00C0..U+00FF written as ASCII; a second letter goes to second.
char latin1_letter(unsigned cp, char& second) {
  second = 0;
  unsigned low = cp >= 0xE0 ? cp - 0x20 : cp;  // small letters to capitals
  if (cp == 0xD7) return 'X';
  if (cp == 0xF7) return 0;  // ÷ stays as it is
  if (cp == 0xFF) return 'Y';
  if (cp == 0xDF) {
    second = 'S';
    return 'S';
  }
  if (low >= 0xC0 && low <= 0xC5) return 'A';
  if (low == 0xC6) {
    second = 'E';
    return 'A';
  }
  if (low == 0xC7) return 'C';
  if (low >= 0xC8 && low <= 0xCB) return 'E';
  if (low >= 0xCC && low <= 0xCF) return 'I';
  if (low == 0xD0) return 'D';
  if (low == 0xD1) return 'N';
  if ((low >= 0xD2 && low <= 0xD6) || low == 0xD8) return 'O';
  if (low >= 0xD9 && low <= 0xDC) return 'U';
  if (low == 0xDD) return 'Y';
  if (low == 0xDE) return 'T';
  return 0;
}

bool kept_cp3(unsigned cp) {
  return (cp >= 0x3041 && cp <= 0x3096) || (cp >= 0x30A1 && cp <= 0x30F6) || cp == 0x30FC ||
         (cp >= 0x4E00 && cp <= 0x9F8D) || (cp >= 0xFF10 && cp <= 0xFF19) ||
         (cp >= 0xFF21 && cp <= 0xFF3A) || (cp >= 0xFF41 && cp <= 0xFF5A) ||
         (cp >= 0x2010 && cp <= 0x301F);
}

// Folding of _strcmp_utf8; a pending second letter is returned in second.
U8Char utf8_fold(const uchar* p, int& used, char& second) {
  second = 0;
  int declared = zr::fold::u8_declared_len(p[0]);
  used = zr::fold::u8_len(p);
  if (used != declared) return u8_raw(p, used);  // cut short by the end of the text
  switch (declared) {
    case 1: {
      uchar c = upper_ascii(p[0]);
      return u8_of(sign_to_space(c) ? ' ' : c);
    }
    case 2: {
      unsigned cp = (unsigned(p[0] & 0x1F) << 6) | (p[1] & 0x3F);
      if (cp >= 0xC0 && cp <= 0xFF) {
        char letter = latin1_letter(cp, second);
        if (letter) return u8_of(uchar(letter));
      }
      switch (cp) {
        case 0xA1:
          return u8_of('!');
        case 0xA5:
          return u8_of('\\');
        case 0xA6:
          return u8_of('|');
        case 0xA2:
        case 0xA3:
        case 0xAB:
        case 0xAD:
        case 0xBB:
        case 0xBF:
          return u8_of(' ');
        default:
          return u8_raw(p, 2);
      }
    }
    case 3:
      return kept_cp3(zr::fold::u8_cp3(p)) ? u8_raw(p, 3) : u8_of(' ');
    default:
      return u8_of(' ');
  }
}

// One side of a UTF-8 match: walks the text and delivers folded characters,
// a pending second letter first.
template <bool Latin>
struct U8Side {
  const uchar* start;
  const uchar* p;
  char pending = 0;

  explicit U8Side(const char* s) : start(U(s)), p(U(s)) {}
  bool more() const { return pending || *p; }
  U8Char next() {
    if (pending) {
      U8Char f = u8_of(uchar(pending));
      pending = 0;
      return f;
    }
    int used = 1;
    U8Char f;
    if constexpr (Latin)
      f = utf8_fold(p, used, pending);
    else
      f = tm_fold(p, used);
    p += used;
    return f;
  }
  int consumed() const { return static_cast<int>(p - start); }
};

template <bool Latin>
int utf8_match(const char* text, const char* pattern) {
  if (!text || !pattern || U(text)[0] <= 0x20) return 0;
  U8Side<Latin> t(text), pat(pattern);
  bool matched_any = false;
  for (;;) {
    U8Char pc;
    bool have = false;
    while (pat.more()) {
      pc = pat.next();
      if (pc.b[0] > 0x20) {
        have = true;
        break;
      }
    }
    if (!have) break;
    U8Char tc;
    bool text_has = false;
    while (t.more()) {
      tc = t.next();
      if (matched_any && tc.b[0] <= 0x20) continue;  // blanks count only after the start
      text_has = true;
      break;
    }
    if (!text_has || !(tc == pc)) return 0;
    matched_any = true;
  }
  if (t.pending) return 0;
  return t.consumed();
}

}  // namespace

ZR_API int _strcmp_sjis(const char* text, const char* pattern) {
  if (!text || !pattern) return 0;
  const uchar* t = U(text);
  const uchar* p = U(pattern);
  if (t[0] <= 0x20) return 0;
  std::size_t ti = 0, pi = 0;
  while (p[pi]) {
    while (sjis_blank(t[ti])) ++ti;
    if (!t[ti]) return 0;
    int n = zr::sjis_len(p + pi);
    if (n == 2) {
      if (t[ti] != p[pi] || t[ti + 1] != p[pi + 1]) return 0;
    } else if (upper_ascii(t[ti]) != upper_ascii(p[pi])) {
      return 0;
    }
    ti += n;
    pi += n;
  }
  return static_cast<int>(ti);
}

ZR_API int _strcmp_hlt(const char* text, const char* pattern) {
  if (!text || !pattern) return 0;
  const uchar* t = U(text);
  const uchar* p = U(pattern);
  int len = 0;
  if (t[0] <= 0x20 || hlt_skippable(t, len)) return 0;
  std::size_t ti = 0, pi = 0;
  for (;;) {
    while (hlt_skippable(p + pi, len)) pi += len;
    if (!p[pi]) return static_cast<int>(ti);
    while (hlt_skippable(t + ti, len)) ti += len;
    if (!t[ti]) return 0;
    HltChar a = hlt_fold(t + ti), b = hlt_fold(p + pi);
    if (a.code != b.code) return 0;
    ti += a.used;
    pi += b.used;
  }
}

ZR_API int _strcmp_tm(const char* text, const char* pattern) {
  return utf8_match<false>(text, pattern);
}

ZR_API int _strcmp_utf8(const char* text, const char* pattern) {
  return utf8_match<true>(text, pattern);
}
