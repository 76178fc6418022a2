// The character foldings shared by the loose matchers and the conversions:
// look-alike characters, sound marks, small kana and dashes in Shift-JIS (on
// two-byte codes, lead byte high), and the UTF-8 character helpers.
#pragma once

namespace zr::fold {

// へ べ ぺ り and the kanji 工 口 二 卜 夕 力 to the katakana they look like.
constexpr unsigned shapes(unsigned code) {
  switch (code) {
    case 0x82D6:
      return 0x8377;  // へ → ヘ
    case 0x82D7:
      return 0x8378;  // べ → ベ
    case 0x82D8:
      return 0x8379;  // ぺ → ペ
    case 0x82E8:
      return 0x838A;  // り → リ
    case 0x8D48:
      return 0x8347;  // 工 → エ
    case 0x8CFB:
      return 0x838D;  // 口 → ロ
    case 0x93F1:
      return 0x836A;  // 二 → ニ
    case 0x966D:
      return 0x8367;  // 卜 → ト
    case 0x975B:
      return 0x835E;  // 夕 → タ
    case 0x97CD:
      return 0x834A;  // 力 → カ
    default:
      return code;
  }
}

// The old kana ゐ ゑ ヰ ヱ to い え イ エ.
constexpr unsigned old_kana(unsigned code) {
  switch (code) {
    case 0x82EE:
      return 0x82A2;  // ゐ → い
    case 0x82EF:
      return 0x82A6;  // ゑ → え
    case 0x8390:
      return 0x8343;  // ヰ → イ
    case 0x8391:
      return 0x8347;  // ヱ → エ
    default:
      return code;
  }
}

// Full-width small letters to full-width capitals.
constexpr unsigned letters(unsigned code) {
  return (code >= 0x8281 && code <= 0x829A) ? code - 0x21 : code;
}

// Small kana to their normal size, ヵ ヶ to カ ケ, the dashes ー ― ‐ － to ─.
constexpr unsigned small_long(unsigned code) {
  switch (code) {
    case 0x829F:
    case 0x82A1:
    case 0x82A3:
    case 0x82A5:
    case 0x82A7:  // ぁぃぅぇぉ
    case 0x82C1:
    case 0x82E1:
    case 0x82E3:
    case 0x82E5:
    case 0x82EC:  // っゃゅょゎ
    case 0x8340:
    case 0x8342:
    case 0x8344:
    case 0x8346:
    case 0x8348:  // ァィゥェォ
    case 0x8362:
    case 0x8383:
    case 0x8385:
    case 0x8387:
    case 0x838E:  // ッャュョヮ
      return code + 1;
    case 0x8395:
      return 0x834A;  // ヵ → カ
    case 0x8396:
      return 0x8350;  // ヶ → ケ
    case 0x815B:
    case 0x815C:
    case 0x815D:
    case 0x817C:      // ー ― ‐ －
      return 0x849F;  // ─
    default:
      return code;
  }
}

constexpr unsigned kVoicedMark = 0x814A;      // ゛
constexpr unsigned kSemiVoicedMark = 0x814B;  // ゜
constexpr unsigned kDegreeSign = 0x818B;      // °, taken as ゜

// Voiceable characters of the か, さ and た rows (hiragana and katakana): the
// unvoiced ones, whose voiced form is the next code.
constexpr bool voiceable_kst(unsigned code) {
  if (code >= 0x82A9 && code <= 0x82BF) return (code - 0x82A9) % 2 == 0;  // か..ち
  if (code == 0x82C2 || code == 0x82C4 || code == 0x82C6) return true;    // つ て と
  if (code >= 0x834A && code <= 0x8360) return (code - 0x834A) % 2 == 0;  // カ..チ
  if (code == 0x8363 || code == 0x8365 || code == 0x8367) return true;    // ツ テ ト
  return false;
}

// は..ほ and ハ..ホ: voiced code + 1, semi-voiced code + 2.
constexpr bool voiceable_h(unsigned code) {
  if (code >= 0x82CD && code <= 0x82D9) return (code - 0x82CD) % 3 == 0;
  if (code >= 0x836E && code <= 0x837A) return (code - 0x836E) % 3 == 0;
  return false;
}

// Whether a sound mark may follow the character at all.
constexpr bool takes_mark(unsigned code) {
  return voiceable_kst(code) || voiceable_h(code) || code == 0x8345;  // ウ
}

// The character combined with a following sound mark, or code itself when the
// mark does not combine with it.
constexpr unsigned with_mark(unsigned code, unsigned mark) {
  if (mark == kVoicedMark) {
    if (code == 0x8345) return 0x8394;  // ウ゛ → ヴ
    if (voiceable_kst(code) || voiceable_h(code)) return code + 1;
  } else if (mark == kSemiVoicedMark || mark == kDegreeSign) {
    if (voiceable_h(code)) return code + 2;
  }
  return code;
}

// ---- UTF-8 --------------------------------------------------------------------

// A character's length by its lead byte: 4, 3, 2 or 1.
constexpr int u8_declared_len(unsigned char c) {
  if (c >= 0xF0) return 4;
  if (c >= 0xE0) return 3;
  if (c >= 0xC0) return 2;
  return 1;
}

// The character's length, cut short at the terminating NUL.
inline int u8_len(const unsigned char* p) {
  const int declared = u8_declared_len(p[0]);
  int n = 1;
  while (n < declared && p[n]) ++n;
  return n;
}

// The code point of a three-byte character.
constexpr unsigned u8_cp3(const unsigned char* p) {
  return (unsigned(p[0] & 0x0F) << 12) | (unsigned(p[1] & 0x3F) << 6) | (p[2] & 0x3F);
}

// Writes a code point of U+0800..U+FFFF as three bytes.
inline void u8_put3(unsigned cp, unsigned char* out) {
  out[0] = static_cast<unsigned char>(0xE0 | (cp >> 12));
  out[1] = static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F));
  out[2] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
}

}  // namespace zr::fold
