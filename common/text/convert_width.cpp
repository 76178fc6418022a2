// Half width to full width and back: the standard mapping of code page 932,
// with the look-alike folding and the sound-mark combination that trademark
// texts get before they are stored or compared.
#include <cstring>

#include "runtime/zrcommon.h"
#include "text/convert.h"
#include "text/fold.h"
#include "text/sjis.h"
#include "text/width.h"

namespace {

using uchar = unsigned char;

uchar* U(char* p) { return reinterpret_cast<uchar*>(p); }
const uchar* U(const char* p) { return reinterpret_cast<const uchar*>(p); }

void put2(uchar*& o, unsigned code) {
  *o++ = uchar(code >> 8);
  *o++ = uchar(code & 0xFF);
}

unsigned code_at(const uchar* p) { return unsigned(p[0]) << 8 | p[1]; }

// The five XML entities and their full-width forms.
struct Entity {
  const char* text;
  std::size_t len;
  unsigned code;
};
constexpr Entity kEntities[] = {
    {"&gt;", 4, 0x8184},    // ＞
    {"&lt;", 4, 0x8183},    // ＜
    {"&amp;", 5, 0x8195},   // ＆
    {"&apos;", 6, 0x8166},  // ’
    {"&quot;", 6, 0x8168},  // ”
};

// The full-width forms of the look-alike family, in place over a text that is
// already in full width: every two-byte character is folded with fold(), ▲ and
// ▼ are dropped when asked, and a sound mark that directly follows a
// character that takes it is combined with that character.
int fold_and_combine(char* text, unsigned (*fold)(unsigned), bool drop_triangles) {
  uchar* in = U(text);
  uchar* o = U(text);
  while (*in) {
    if (zr::sjis_len(in) == 1) {
      *o++ = *in++;
      continue;
    }
    unsigned code = fold(code_at(in));
    in += 2;
    if (drop_triangles && (code == 0x81A3 || code == 0x81A5)) continue;  // ▲ ▼
    if (zr::fold::takes_mark(code) && zr::sjis_len(in) == 2) {
      const unsigned combined = zr::fold::with_mark(code, code_at(in));
      if (combined != code) {
        code = combined;
        in += 2;
      }
    }
    put2(o, code);
  }
  *o = 0;
  return static_cast<int>(o - U(text));
}

unsigned fold_htx(unsigned code) { return zr::fold::old_kana(zr::fold::shapes(code)); }
unsigned fold_vtx(unsigned code) { return fold_htx(zr::fold::letters(code)); }
unsigned fold_vtx2(unsigned code) { return zr::fold::old_kana(code); }

}  // namespace

// ---- half width to full width ------------------------------------------------------------

ZR_API int _conv_mb_h2z(const char* source, char* target) {
  const uchar* p = U(source);
  uchar* o = U(target);
  while (*p) {
    const Entity* entity = nullptr;
    if (*p == '&') {
      for (const Entity& e : kEntities)
        if (std::strncmp(reinterpret_cast<const char*>(p), e.text, e.len) == 0) entity = &e;
    }
    if (entity) {
      put2(o, entity->code);
      p += entity->len;
    } else if (p[0] == '\r' && p[1] == '\n') {
      *o++ = *p++;
      *o++ = *p++;
    } else if (*p < 0x20) {
      _dbg_print("*** _conv_mb_h2z 0x01～0x1F CUT [%x] pi:%d, po:%d ***", *p, int(p - U(source)),
                 int(o - U(target)));
      _dbg_print("    error of data buf:[%.100s]", reinterpret_cast<const char*>(p));
      ++p;
    } else if (zr::sjis_len(p) == 2) {
      *o++ = *p++;
      *o++ = *p++;
    } else if (const unsigned full = zr::width::full_of(*p)) {
      put2(o, full);
      ++p;
    } else {
      *o++ = *p++;  // 0x7F, 0x80, 0xA0: no full-width form
    }
  }
  *o = 0;
  return static_cast<int>(o - U(target));
}

ZR_API int _conv_h2z_htx(const char* source, char* target) {
  _conv_mb_h2z(source, target);
  return fold_and_combine(target, fold_htx, false);
}

ZR_API int _conv_h2z_vtx(const char* source, char* target) {
  _conv_mb_h2z(source, target);
  return fold_and_combine(target, fold_vtx, false);
}

ZR_API int _conv_h2z_vtx2(const char* source, char* target) {
  _conv_mb_h2z(source, target);
  return fold_and_combine(target, fold_vtx2, true);
}

ZR_API int _conv_h2z(char* text, int length) {
  constexpr int kMax = 1999;
  if (length > kMax) return -1;
  uchar work[2 * kMax + 1];
  const uchar* p = U(text);
  const uchar* end = p + (length > 0 ? length : 0);
  uchar* o = work;
  while (p < end && *p) {
    if (zr::sjis_len(p) == 2 && p + 1 < end) {
      *o++ = *p++;
      *o++ = *p++;
    } else if (const unsigned full = *p == ' ' ? 0 : zr::width::full_of(*p)) {
      put2(o, full);
      ++p;
    } else {
      *o++ = *p++;
    }
  }
  const std::size_t n = std::size_t(o - work);
  std::memcpy(text, work, n);
  text[n] = '\0';
  return static_cast<int>(n);
}

ZR_API int _conv_han2zen(const char* source, char* target, int length) {
  uchar* o = U(target);
  for (int i = 0; i < length; ++i)
    if (const unsigned full = zr::width::full_of(U(source)[i])) put2(o, full);
  *o = 0;
  return static_cast<int>(o - U(target));
}

ZR_API int _conv_han2zen_pa(const char* source, char* target) {
  const uchar* p = U(source);
  uchar* o = U(target);
  while (*p) {
    const uchar c = *p;
    if (zr::sjis_len(p) == 2) {
      *o++ = *p++;
      *o++ = *p++;
    } else if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z')) {
      put2(o, 0x8200u | (c + 0x1F));
      ++p;
    } else if (c >= 'a' && c <= 'z') {
      put2(o, 0x8200u | (c + 0x20));
      ++p;
    } else {
      *o++ = *p++;
    }
  }
  *o = 0;
  return static_cast<int>(o - U(target));
}

ZR_API int _conv_wc_h2z(std::uint16_t* text) {
  // The signs whose full-width form is not the plain offset one.
  static constexpr std::uint16_t kSigns[][2] = {{' ', 0x3000},  {'"', 0x201D}, {'\'', 0x2019},
                                                {'\\', 0xFFE5}, {'`', 0x2018}, {'~', 0xFFE3}};
  int n = 0;
  for (; text[n]; ++n) {
    const std::uint16_t c = text[n];
    if (c < 0x20 || c > 0x7E) continue;
    std::uint16_t to = static_cast<std::uint16_t>(c + 0xFEE0);
    for (const auto& s : kSigns)
      if (s[0] == c) to = s[1];
    text[n] = to;
  }
  return 2 * n;
}

// ---- full width to half width --------------------------------------------------------------

ZR_API int _conv_zen2han(const char* source, char* target, int length) {
  const uchar* p = U(source);
  const uchar* end = p + (length > 0 ? length : 0);
  uchar* o = U(target);
  while (p < end) {
    if (!(zr::sjis_lead(*p) && p + 1 < end)) {
      *o++ = *p++;
      continue;
    }
    const unsigned code = code_at(p);
    int half;
    switch (code) {
      case 0x8147:  // ；
        half = ',';
        break;
      case 0x849F:  // ─
      case 0x817C:  // －
      case 0x815B:  // ー
      case 0x815C:  // ―
      case 0x815D:  // ‐
      case 0x88EA:  // 一
        half = '-';
        break;
      default:
        half = zr::width::half_of(code);
        break;
    }
    if (half >= 0) {
      *o++ = uchar(half);
    } else {
      *o++ = p[0];
      *o++ = p[1];
    }
    p += 2;
  }
  *o = 0;
  return static_cast<int>(o - U(target));
}

ZR_API int _conv_zen2han_utf8(const char* source, char* target) {
  const uchar* p = U(source);
  uchar* o = U(target);
  while (*p) {
    const int n = zr::fold::u8_len(p);
    if (n == 3) {
      const unsigned cp = zr::fold::u8_cp3(p);
      if ((cp >= 0xFF10 && cp <= 0xFF19) || (cp >= 0xFF21 && cp <= 0xFF3A) ||
          (cp >= 0xFF41 && cp <= 0xFF5A)) {
        *o++ = uchar(cp - 0xFEE0);
        p += 3;
        continue;
      }
    }
    std::memcpy(o, p, std::size_t(n));
    o += n;
    p += n;
  }
  *o = 0;
  return static_cast<int>(o - U(target));
}
