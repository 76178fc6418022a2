// Shift-JIS primitives: classification, case, comparison, loose matching, number
// fields and spaces. Literals in plain quotes are Shift-JIS (the sources are
// compiled with the CP932 execution character set); u8 literals stay UTF-8.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

#include "test_support.h"
#include "text/sjis.h"

namespace {

const char* u8(const char8_t* s) { return reinterpret_cast<const char*>(s); }

// ---- classification and case -------------------------------------------------------

struct TypeCase {
  const char* text;
  int type;
};

TEST(SjisClassify, MojiTypeByClass) {
  const TypeCase cases[] = {
      {"", 0},   {"\r", 0},   {"\n", 0},
      {" ", 0},  {"!", 1},    {"~", 1},
      {"\t", 1}, {"\x80", 1}, {"\x81\x40", 1} /* full-width space */,
      {"5", 2},  {"５", 2},   {"z", 3},
      {"Ａ", 3}, {"ｂ", 3},   {"あ", 4},
      {"ん", 4}, {"ア", 5},   {"ヶ", 5},
      {"α", 6},  {"А", 7},    {"\x83\x97", 1} /* after ヶ */,
      {"ｱ", 8},  {"ﾟ", 8},    {"漢", 8},
      {"表", 8},
  };
  for (const TypeCase& c : cases) EXPECT_EQ(_moji_type_sjis(c.text), c.type) << c.text;
}

TEST(SjisClassify, HalfWidthKanaIsFoundOnlyAsACharacter) {
  EXPECT_EQ(_han_kana_check("ABCｱ"), 1);
  EXPECT_EQ(_han_kana_check("ABC"), 0);
  // か is 0x82 0xA9: its trail byte lies in the half-width katakana range.
  EXPECT_EQ(_han_kana_check("かきく"), 0);
  EXPECT_EQ(_han_kana_check(""), 0);
}

TEST(SjisCase, ToUpperSkipsTrailBytes) {
  // Ｂ is 0x82 0x61: its trail byte is the ASCII "a" and must stay.
  char text[] = "abＢz表";
  _zrtoupper(text);
  EXPECT_STREQ(text, "ABＢZ表");
}

TEST(SjisCase, ToUpperExFoldsFullWidthLetters) {
  char text[] = "aｂcｚＡ";
  EXPECT_EQ(_zrtoupper_ex(text), 8);
  EXPECT_STREQ(text, "AＢCＺＡ");
}

TEST(SjisCase, LeadByteBeforeTheEndIsNotSteppedOver) {
  char text[] = "ab\x82";
  EXPECT_EQ(_zrtoupper_ex(text), 3);
  EXPECT_STREQ(text, "AB\x82");
  EXPECT_EQ(_strlen(text), 3);
}

TEST(SjisMbcs, ByteTypes) {
  const unsigned char* s = reinterpret_cast<const unsigned char*>("Aあｱ\x81\x20");
  EXPECT_EQ(__mbsbtype(s, 0), 0);   // A
  EXPECT_EQ(__mbsbtype(s, 1), 1);   // lead of あ
  EXPECT_EQ(__mbsbtype(s, 2), 2);   // trail of あ
  EXPECT_EQ(__mbsbtype(s, 3), 0);   // ｱ
  EXPECT_EQ(__mbsbtype(s, 4), 1);   // lead 0x81
  EXPECT_EQ(__mbsbtype(s, 5), -1);  // 0x20 is no trail byte
  EXPECT_EQ(__mbsbtype(s, 6), -1);  // the terminating NUL
  EXPECT_EQ(__mbsbtype(s, 9), -1);  // beyond it
  EXPECT_EQ(__mbsbtype(reinterpret_cast<const unsigned char*>("\t"), 0), -1);
}

TEST(SjisMbcs, SubstringStartsOnACharacter) {
  auto us = [](const char* s) { return reinterpret_cast<const unsigned char*>(s); };
  const unsigned char* text = us("xあいう");
  EXPECT_EQ(__mbsstr(text, us("いう")), text + 3);
  EXPECT_EQ(__mbsstr(text, us("")), text);
  EXPECT_EQ(__mbsstr(text, us("え")), nullptr);
  // ア is 0x83 0x41: its trail byte is "A", which is no character of the text.
  EXPECT_EQ(__mbsstr(us("ア"), us("A")), nullptr);
}

TEST(SjisBytes, ByteOrderSwaps) {
  unsigned char four[] = {1, 2, 3, 4};
  _int_chg(four);
  EXPECT_EQ(std::memcmp(four, "\x04\x03\x02\x01", 4), 0);
  unsigned char two[] = {0xAB, 0xCD};
  _short_chg(two);
  EXPECT_EQ(two[0], 0xCD);
  EXPECT_EQ(two[1], 0xAB);
}

// ---- comparison and search -----------------------------------------------------------

struct CmpCase {
  const char* a;
  const char* b;
  int result;
};

TEST(SjisCompare, StrcmpFoldsAsciiCaseOnly) {
  const CmpCase cases[] = {
      {"abc", "ABC", 0},
      {"abc", "abd", -1},
      {"abd", "ABC", 1},
      {"ab", "abc", -1},
      {"abc", "ab", 1},
      {"", "", 0},
      {"ａ", "Ａ", 1} /* full-width: exact bytes */,
      {"\xE0", "a", 1} /* bytes compared unsigned */,
  };
  for (const CmpCase& c : cases) EXPECT_EQ(_zr_strcmp(c.a, c.b), c.result) << c.a << " " << c.b;
}

TEST(SjisCompare, MemcmpUsesExactlyCountBytes) {
  EXPECT_EQ(_zr_memcmp("ab\0X", "AB\0Y", 3), 0);
  EXPECT_EQ(_zr_memcmp("ab\0X", "AB\0Y", 4), -1);
  EXPECT_EQ(_zr_memcmp("b", "A", 1), 1);
  EXPECT_EQ(_zr_memcmp("x", "y", 0), 0);
}

TEST(SjisCompare, StrstrMatchesBytesWithoutCase) {
  const char* text = "xAB";
  EXPECT_EQ(_zr_strstr(text, "ab"), text + 1);
  EXPECT_EQ(_zr_strstr(text, ""), text);
  EXPECT_EQ(_zr_strstr(text, "abc"), nullptr);
  EXPECT_EQ(_zr_strstr("", ""), nullptr);
  EXPECT_EQ(_zr_strstr("", "a"), nullptr);
  // Byte by byte: a match may start on a trail byte (ア is 0x83 0x41).
  const char* kana = "ア";
  EXPECT_EQ(_zr_strstr(kana, "a"), kana + 1);
}

// ---- loose matching ---------------------------------------------------------------------

struct MatchCase {
  const char* text;
  const char* pattern;
  int covered;
};

TEST(SjisMatch, StrcmpSjis) {
  const MatchCase cases[] = {
      {"ABC DEF", "abcdef", 7},
      {"abc", "ab", 2},
      {"AB", "ABC", 0},
      {" ABC", "ABC", 0},
      {"", "A", 0},
      {"あ い", "あい", 5},
      {"あい", "あう", 0},
      {"ａ", "Ａ", 0} /* two-byte characters exactly */,
      {"A\tB\r\nC", "abc", 6},
      {"AB", "A B", 0} /* the pattern keeps its blanks */,
      {"A\x82", "A\x82\xA0", 0} /* text ends inside a character */,
  };
  for (const MatchCase& c : cases)
    EXPECT_EQ(_strcmp_sjis(c.text, c.pattern), c.covered) << c.text << " / " << c.pattern;
}

TEST(SjisMatch, StrcmpHighlight) {
  const MatchCase cases[] = {
      {"カ゛ラス", "ガラス", 8},  // the separate mark belongs to the first character
      {"ガラス", "カ゛ラス", 6},
      {"工場", "エ場", 4},
      {"口二卜夕力", "ロニトタカ", 10},
      {"ﾌﾞﾗﾝﾄﾞ", "ブランド", 0},
      {"▲ガラス", "ガラス", 0},
      {"▼ガラス", "ガラス", 0},
      {"　ガラス", "ガラス", 0},
      {" ガラス", "ガラス", 0},
      {"ガ　ラ▼ス", "ガラス", 10},
      {"ガラス", "ガ ラ▲ス", 6},
      {"ハ ゜ン", "パン", 7},  // blanks before the mark are part of it
      {"ハ°ン", "パン", 6},
      {"は゛ら", "ばら", 6},
      {"ウ゛ィ", "ヴイ", 6},
      {"シ゛ュース", "ジユ─ス", 10},
      {"コーヒー", "コ―ヒ－", 8},
      {"へリ", "ヘり", 4},
      {"ゐゑヰヱ", "いえイエ", 8},
      {"ヵヶ", "カケ", 4},
      {"ｅｘ", "ＥＸ", 4},
      {"ex", "EX", 2},
      {"ガラ", "ガラス", 0},
      {"ガラス", "ガラ", 4},
      {"ナ゛", "ナ", 2},  // な row takes no mark: ゛ stays a character
      {"ｱ", "ｱ", 1},
  };
  for (const MatchCase& c : cases)
    EXPECT_EQ(_strcmp_hlt(c.text, c.pattern), c.covered) << c.text << " / " << c.pattern;
}

TEST(SjisMatch, StrcmpTm) {
  const MatchCase cases[] = {
      {u8(u8"abc"), u8(u8"ABC"), 3},
      {u8(u8"A B C"), u8(u8"abc"), 5},
      {u8(u8"ABC"), u8(u8"A B"), 2},
      {u8(u8" ABC"), u8(u8"ABC"), 0},
      {u8(u8"AB"), u8(u8"ABC"), 0},
      {u8(u8"コーヒー"), u8(u8"コ―ヒ‐"), 12},
      {u8(u8"コーヒー"), u8(u8"コ－ヒ─"), 12},
      {u8(u8"ショップ"), u8(u8"シヨツプ"), 12},
      {u8(u8"ぁぃ"), u8(u8"あい"), 6},
      {u8(u8"ガラス"), u8(u8"カラス"), 0},
      {u8(u8"Café"), u8(u8"CAFE"), 0},  // Latin-1 stays as it is here
      {u8(u8"Café"), u8(u8"CAFÉ"), 0},
      {u8(u8"Café"), u8(u8"cafÉ"), 0},
      {u8(u8"Café"), u8(u8"CAFé"), 5},
  };
  for (const MatchCase& c : cases)
    EXPECT_EQ(_strcmp_tm(c.text, c.pattern), c.covered) << c.text << " / " << c.pattern;
}

TEST(SjisMatch, StrcmpUtf8) {
  const MatchCase cases[] = {
      {u8(u8"Café"), u8(u8"CAFE"), 5},
      {u8(u8"ÀÉÎÕÜ"), u8(u8"aeiou"), 10},
      {u8(u8"Æon"), u8(u8"AEON"), 4},
      {u8(u8"AEON"), u8(u8"æon"), 4},
      {u8(u8"Æ"), u8(u8"A"), 0},  // the pending E is left over
      {u8(u8"straße"), u8(u8"STRASSE"), 7},
      {u8(u8"Rock'n'Roll"), u8(u8"rock n roll"), 11},
      {u8(u8"(ABC"), u8(u8"ABC"), 0},  // a sign at the start is a blank there
      {u8(u8"A-B"), u8(u8"AB"), 3},
      {u8(u8"¡Hola"), u8(u8"!HOLA"), 6},
      {u8(u8"A«B»"), u8(u8"AB"), 4},
      {u8(u8"A！B"), u8(u8"AB"), 5},  // outside the kept ranges: a blank
      {u8(u8"A😀B"), u8(u8"AB"), 6},   // four bytes: a blank
      {u8(u8"漢字ｶﾅ"), u8(u8"漢字"), 6},
      {u8(u8"Ｂ２"), u8(u8"Ｂ２"), 6},
      {u8(u8"ÿ×Þ"), u8(u8"YXT"), 6},
      {u8(u8"A÷"), u8(u8"A÷"), 3},
  };
  for (const MatchCase& c : cases)
    EXPECT_EQ(_strcmp_utf8(c.text, c.pattern), c.covered) << c.text << " / " << c.pattern;
}

TEST(SjisMatch, Utf8TextCutInsideACharacterDoesNotReadPastTheEnd) {
  const char text[] = "A\xE3\x81";  // a three-byte character missing its last byte
  EXPECT_EQ(_strcmp_tm(text, "A"), 1);
  EXPECT_EQ(_strcmp_utf8(text, "AB"), 0);
  EXPECT_EQ(_strcmp_tm(text, u8(u8"Aあ")), 0);
}

// ---- numbers from fixed-length fields ------------------------------------------------------

struct NumberCase {
  const char* buf;
  int length;
  long long value;
};

TEST(SjisNumbers, Zratoi) {
  const NumberCase cases[] = {
      {"0x1F", 4, 31},
      {"0X1f", 4, 31},
      {"12ab", 2, 12},
      {"12ab", 4, 12},
      {"  -42", 5, -42},
      {"+7", 2, 7},
      {"abc", 3, 0},
      {"", 0, 0},
      {"123", 0, 0},
      {"123", -1, 0},
      {"0x-10", 5, -16},
      {"12345678901234", 14, INT_MAX},
      {"-2147483648", 11, INT_MIN},
  };
  for (const NumberCase& c : cases) EXPECT_EQ(_zratoi(c.buf, c.length), c.value) << c.buf;
}

TEST(SjisNumbers, ZratolIsDecimalOnly) {
  EXPECT_EQ(_zratol("0x1F", 4), 0);
  EXPECT_EQ(_zratol("00123", 5), 123);
  EXPECT_EQ(_zratol("12345678901234", 14), INT_MAX);
}

TEST(SjisNumbers, Zratoi64) {
  EXPECT_EQ(_zratoi64("123456789012345678", 18), 123456789012345678LL);
  EXPECT_EQ(_zratoi64("-9", 2), -9);
  EXPECT_EQ(_zratoi64("0x10", 4), 0);
}

class SjisFatalTest : public qrt_test::AreasTest {};

TEST_F(SjisFatalTest, OverLongFieldsEndTheProcess) {
  EXPECT_EXIT(
      {
        zr_message_box_handler(qrt_test::box_to_stderr);
        _zratoi("123456789012345", 15);
      },
      ::testing::ExitedWithCode(0), "_zratoi Buffer Length Over buf:123456789012345\\(15\\)");
  EXPECT_EXIT(
      {
        zr_message_box_handler(qrt_test::box_to_stderr);
        _zratol("123456789012345", 15);
      },
      ::testing::ExitedWithCode(0), "_zratoi Buffer Length Over");
  EXPECT_EXIT(
      {
        zr_message_box_handler(qrt_test::box_to_stderr);
        _zratoi64("1234567890123456789", 19);
      },
      ::testing::ExitedWithCode(0), "_zratoi64 Buffer Length Over buf:1234567890123456789\\(19\\)");
  EXPECT_EXIT(
      {
        zr_message_box_handler(qrt_test::box_to_stderr);
        _space_get(501);
      },
      ::testing::ExitedWithCode(0), "_space_get length:501 \\(Max.500\\)");
}

// ---- spaces ---------------------------------------------------------------------------

struct SpaceCase {
  int (*fn)(char*);
  const char* name;
  const char* in;
  const char* out;
};

TEST(SjisSpaces, CutFamily) {
  const SpaceCase cases[] = {
      {_space_cut1_sjis, "cut1_sjis", "Ａ　Ｂ C ", "ＡＢC"},
      {_space_cut1_sjis, "cut1_sjis", "ａ@ x", "ａ@x"},  // ａ@ is 0x82 0x81 0x40
      {_space_cut1_sjis, "cut1_sjis", "　 ", ""},
      {_space_cut2_sjis, "cut2_sjis", "　 AB　C 　", "AB　C"},
      {_space_cut2_sjis, "cut2_sjis", "ａ@", "ａ@"},
      {_space_cut2_sjis, "cut2_sjis", "  　", ""},
      {_space_cut3_sjis, "cut3_sjis", "Ａ　　Ｂ  Ｃ", "Ａ Ｂ Ｃ"},
      {_space_cut3_sjis, "cut3_sjis", "　 A　", " A "},
      {_space_cut1_utf8, "cut1_utf8", " a b ", "ab"},
      {_space_cut2_utf8, "cut2_utf8", "  a b  ", "a b"},
      {_space_cut2_utf8, "cut2_utf8", "   ", ""},
      {_space_cut3_utf8, "cut3_utf8", "  a   b ", " a b "},
  };
  for (const SpaceCase& c : cases) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%s", c.in);
    EXPECT_EQ(c.fn(buf), static_cast<int>(std::strlen(c.out))) << c.name << " [" << c.in << "]";
    EXPECT_STREQ(buf, c.out) << c.name << " [" << c.in << "]";
  }
}

TEST(SjisSpaces, SpaceGet) {
  EXPECT_STREQ(_space_get(3), "   ");
  EXPECT_STREQ(_space_get(0), "");
  EXPECT_EQ(std::strlen(_space_get(500)), 500u);
  EXPECT_STREQ(_space_get(-4), "");
}

TEST(SjisSpaces, NullSetClearsTrailingBlanksOfTheField) {
  struct Case {
    std::string field;
    std::string expect;  // the whole field afterwards
  };
  const Case cases[] = {
      {std::string("AB\x81\x40    ", 8), std::string("AB\0\0\0\0\0\0", 8)},
      {std::string("A B  \0  ", 8), std::string("A B\0\0\0\0\0", 8)},
      {std::string("ａ@  ", 5), std::string("ａ@\0\0", 5)},  // 0x81 0x40 inside ａ@ is no space
      {std::string("        ", 8), std::string(8, '\0')},
      {std::string("ABCDEFGH", 8), std::string("ABCDEFGH", 8)},
  };
  for (const Case& c : cases) {
    char buf[16];
    std::memset(buf, 'Z', sizeof buf);
    std::memcpy(buf, c.field.data(), c.field.size());
    _null_set(buf, static_cast<int>(c.field.size()));
    EXPECT_EQ(std::string(buf, c.field.size()), c.expect);
    EXPECT_EQ(buf[c.field.size()], 'Z') << "wrote beyond the field";
  }
}

}  // namespace
