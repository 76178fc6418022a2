// Case, small-kana and look-alike folding, hiragana and katakana, and the
// kanji numerals: in place, each two-byte character mapped to another one.
#include <cstring>

#include "naming/code_tables.h"
#include "runtime/zrcommon.h"
#include "text/convert.h"
#include "text/fold.h"
#include "text/sjis.h"

namespace {

using uchar = unsigned char;

// A two-byte character written as a literal: its code, lead byte high.
constexpr unsigned sj(const char (&c)[3]) { return unsigned(uchar(c[0])) << 8 | uchar(c[1]); }

// Maps every two-byte character of the text in place; one-byte characters are
// kept, or changed by map1 when given. Returns the length; *changed tells
// whether any character changed.
template <typename Map>
int map_codes(char* text, Map map, bool* changed = nullptr, uchar (*map1)(uchar) = nullptr) {
  uchar* p = reinterpret_cast<uchar*>(text);
  bool any = false;
  while (*p) {
    if (zr::sjis_len(p) == 2) {
      const unsigned code = unsigned(p[0]) << 8 | p[1];
      const unsigned to = map(code);
      if (to != code) {
        p[0] = uchar(to >> 8);
        p[1] = uchar(to & 0xFF);
        any = true;
      }
      p += 2;
    } else {
      if (map1) {
        const uchar to = map1(*p);
        any |= to != *p;
        *p = to;
      }
      ++p;
    }
  }
  if (changed) *changed = any;
  return static_cast<int>(p - reinterpret_cast<uchar*>(text));
}

// The to-form of a character found among the from-forms of a pair table.
unsigned through_table(const ZR_CASE_TBL& t, unsigned code) {
  const int n = t.cnt < kCasePairs ? t.cnt : kCasePairs;
  for (int i = 0; i < n; ++i)
    if (sj(t.from[i]) == code) return sj(t.to[i]);
  return code;
}

uchar upper_ascii(uchar c) { return (c >= 'a' && c <= 'z') ? uchar(c - 0x20) : c; }

// Maps a code found in `from` to the code at the same place of `to`.
template <std::size_t N>
unsigned by_list(unsigned code, const unsigned (&from)[N], const unsigned (&to)[N]) {
  for (std::size_t i = 0; i < N; ++i)
    if (from[i] == code) return to[i];
  return code;
}

}  // namespace

// ---- case and small kana ------------------------------------------------------------------

ZR_API int _conv_low_upr_sjis(char* text) {
  return map_codes(text, [](unsigned c) { return through_table(zrcnst->low_upr, c); });
}

ZR_API int _conv_upr_low_sjis(char* text) {
  return map_codes(text, [](unsigned c) { return through_table(zrcnst->upr_low, c); });
}

ZR_API int _conv_low_upr_pa(char* text) {
  return map_codes(
      text,
      [](unsigned c) {
        const unsigned letter = zr::fold::letters(c);
        return letter != c ? letter : through_table(zrcnst->low_upr, c);
      },
      nullptr, upper_ascii);
}

ZR_API int _conv_low_upr_vtx(char* text) { return map_codes(text, zr::fold::small_long); }

ZR_API void _conv_low_upr_utf8(char* text) {
  // Runs of code points that become a run of full-width katakana; `step` is
  // how far apart the targets lie.
  static constexpr struct {
    unsigned first, last, to, step;
  } kRuns[] = {
      {0x30A1, 0x30A9, 0x30A2, 1},  // ァィゥェォ (the odd ones: the small forms)
      {0x30E3, 0x30E7, 0x30E4, 1},  // ャュョ
      {0x30C3, 0x30C3, 0x30C4, 1},  // ッ
      {0xFF67, 0xFF6B, 0x30A2, 2},  // ｧｨｩｪｫ
      {0xFF71, 0xFF75, 0x30A2, 2},  // ｱｲｳｴｵ
      {0xFF6C, 0xFF6E, 0x30E4, 2},  // ｬｭｮ
      {0xFF94, 0xFF96, 0x30E4, 2},  // ﾔﾕﾖ
      {0xFF6F, 0xFF6F, 0x30C4, 0},  // ｯ
      {0xFF82, 0xFF82, 0x30C4, 0},  // ﾂ
  };
  static constexpr unsigned kDashes[] = {0x2010, 0x2013, 0x2015, 0x30FC, 0x4E00, 0xFF0D, 0xFE63};
  uchar* p = reinterpret_cast<uchar*>(text);
  while (*p) {
    const int n = zr::fold::u8_len(p);
    if (n == 3) {
      unsigned cp = zr::fold::u8_cp3(p);
      for (unsigned d : kDashes)
        if (cp == d) cp = 0x2500;  // ─
      for (const auto& r : kRuns) {
        if (cp < r.first || cp > r.last) continue;
        // In the small-katakana runs only the small forms (every other code) move.
        if (r.step == 1 && (cp - r.first) % 2 != 0) continue;
        cp = r.step == 1 ? cp + 1 : r.to + r.step * (cp - r.first);
        break;
      }
      zr::fold::u8_put3(cp, p);
    }
    p += n;
  }
}

ZR_API int _conv_low_upr_kak(char* text) {
  static constexpr unsigned kOpen[] = {sj("（"), sj("〔"), sj("［"), sj("｛"),
                                       sj("〈"), sj("《"), sj("「")};
  static constexpr unsigned kClose[] = {sj("）"), sj("〕"), sj("］"), sj("｝"),
                                        sj("〉"), sj("》"), sj("」")};
  return map_codes(text, [](unsigned c) {
    for (unsigned o : kOpen)
      if (c == o) return sj("『");
    for (unsigned o : kClose)
      if (c == o) return sj("』");
    return c;
  });
}

ZR_API int _conv_hepebe(char* text) {
  bool changed = false;
  map_codes(text, zr::fold::shapes, &changed);
  return changed ? 1 : 0;
}

// ---- kana ----------------------------------------------------------------------------------

ZR_API int _conv_kana_h2k(char* text) {
  return map_codes(text, [](unsigned c) {
    if (c >= 0x829F && c <= 0x82DD) return c - 0x829F + 0x8340;  // ぁ..み → ァ..ミ
    if (c >= 0x82DE && c <= 0x82F1) return c - 0x82DE + 0x8380;  // む..ん → ム..ン
    return c;
  });
}

ZR_API int _conv_kana_k2h(char* text) {
  return map_codes(text, [](unsigned c) {
    if (c >= 0x8340 && c <= 0x837E) return c - 0x8340 + 0x829F;
    if (c >= 0x8380 && c <= 0x8393) return c - 0x8380 + 0x82DE;
    return c;  // ヴ ヵ ヶ have no hiragana form here
  });
}

// ---- kanji numerals --------------------------------------------------------------------------

ZR_API int _conv_kanji_no(char* text) {
  static constexpr unsigned kKanji[] = {sj("〇"), sj("一"), sj("二"), sj("三"), sj("四"),
                                        sj("五"), sj("六"), sj("七"), sj("八"), sj("九")};
  static constexpr unsigned kDigits[] = {sj("０"), sj("１"), sj("２"), sj("３"), sj("４"),
                                         sj("５"), sj("６"), sj("７"), sj("８"), sj("９")};
  return map_codes(text, [](unsigned c) { return by_list(c, kKanji, kDigits); });
}

ZR_API int _conv_kyuji_no(char* text) {
  static constexpr unsigned kFormal[] = {sj("壱"), sj("弐"), sj("参"), sj("肆"),
                                         sj("伍"), sj("陸"), sj("漆"), sj("捌"),
                                         sj("玖"), sj("拾"), sj("佰"), sj("仟")};
  static constexpr unsigned kCommon[] = {sj("一"), sj("二"), sj("三"), sj("四"),
                                         sj("五"), sj("六"), sj("七"), sj("八"),
                                         sj("九"), sj("十"), sj("百"), sj("千")};
  return map_codes(text, [](unsigned c) { return by_list(c, kFormal, kCommon); });
}
