// Width, case and code conversions. The JIS (EUC) conversions and the standard
// width mapping are checked against the system's iconv where there is one.
#include <cstring>
#include <string>
#include <vector>

#ifndef _WIN32
#include <iconv.h>
#endif

#include "test_support.h"

namespace {

using qrt_test::AreasTest;

// The conversions that read or write the common areas (the trace, zrcnst, zr00).
class ConvertText : public AreasTest {};

std::string conv(int (*fn)(const char*, char*), const std::string& in) {
  std::string out(4 * in.size() + 8, '#');
  const int n = fn(in.c_str(), out.data());
  EXPECT_EQ(n, int(std::strlen(out.c_str()))) << in;
  return out.substr(0, std::size_t(n));
}

std::string in_place(int (*fn)(char*), const std::string& in) {
  std::string buf = in + '\0';
  const int n = fn(buf.data());
  EXPECT_EQ(n, int(std::strlen(buf.c_str()))) << in;
  return buf.c_str();
}

struct Case {
  std::string in, out;
};

// ---- half width to full width --------------------------------------------------------

TEST_F(ConvertText, HalfToFullWidthWithTheLookAlikeFolding) {
  const Case htx[] = {
      {"ｶﾞﾗｽ", "ガラス"},  // the half-width mark becomes ゛ and is combined
      {"工力", "エカ"},
      {"へべぺり", "ヘベペリ"},
      {"夕卜二口", "タトニロ"},
      {"ゐゑヰヱ", "いえイエ"},
      {"か゛さ゛た゛", "がざだ"},
      {"ハ゛ハ゜ハ°ほ゜", "バパパぽ"},
      {"ウ゛ｳﾞ", "ヴヴ"},
      {"へ゛力゛", "ベガ"},      // folded first, then combined
      {"カ ゛", "カ　゛"},       // the mark must follow directly
      {"ガ゛ナ゛", "ガ゛ナ゛"},  // nothing to combine with
      {"ｂ1", "ｂ１"},
      {"A&amp;B&lt;&gt;&apos;&quot;&nbsp;", "Ａ＆Ｂ＜＞’”＆ｎｂｓｐ；"},
  };
  for (const auto& c : htx) EXPECT_EQ(conv(_conv_h2z_htx, c.in), c.out) << c.in;

  EXPECT_EQ(conv(_conv_h2z_vtx, "ａbｶﾞ工"), "ＡＢガエ");
  EXPECT_EQ(conv(_conv_h2z_htx, "ａ"), "ａ");

  const Case vtx2[] = {
      {"▲工力▼", "工力"},
      {"ゐへｶﾞ", "いへガ"},  // no other look-alikes
      {"ａ", "ａ"},
  };
  for (const auto& c : vtx2) EXPECT_EQ(conv(_conv_h2z_vtx2, c.in), c.out) << c.in;
}

TEST_F(ConvertText, ControlBytesAreDroppedWithTheirTraceLine) {
  EXPECT_EQ(conv(_conv_mb_h2z, "A\tB\r\nC\nD\r"), "ＡＢ\r\nＣＤ");
  const auto lines = trace();
  std::vector<std::string> cuts;
  for (const auto& l : lines)
    if (l.find("_conv_mb_h2z") != std::string::npos || l.find("error of data") != std::string::npos)
      cuts.push_back(
          l.substr(l.find("***") == std::string::npos ? l.find("    error") : l.find("***")));
  ASSERT_EQ(cuts.size(), 6u);
  EXPECT_EQ(cuts[0], "*** _conv_mb_h2z 0x01～0x1F CUT [9] pi:1, po:2 ***");
  EXPECT_EQ(cuts[1], "    error of data buf:[\tB");  // the trace reader splits at CR LF
  EXPECT_EQ(cuts[2], "*** _conv_mb_h2z 0x01～0x1F CUT [a] pi:6, po:8 ***");
  EXPECT_EQ(cuts[4], "*** _conv_mb_h2z 0x01～0x1F CUT [d] pi:8, po:10 ***");
}

TEST(Convert, HalfToFullInPlaceAndByLength) {
  std::string text = "a b表ｱ\x7F";
  text.resize(64, '\0');
  EXPECT_EQ(_conv_h2z(text.data(), 7), 10);
  EXPECT_STREQ(text.c_str(), "ａ ｂ表ア\x7F");
  // A length above 1999 is refused and changes nothing.
  std::string big(2000, 'a');
  big.resize(4100, '\0');
  EXPECT_EQ(_conv_h2z(big.data(), 2000), -1);
  EXPECT_EQ(big.substr(0, 3), "aaa");
  big[1999] = '\0';
  EXPECT_EQ(_conv_h2z(big.data(), 1999), 3998);

  char out[32];
  EXPECT_EQ(_conv_han2zen("a\x7F z\0b", out, 6), 8);
  EXPECT_STREQ(out, "ａ　ｚｂ");  // 0x7F and NUL have no full-width form

  EXPECT_EQ(conv(_conv_han2zen_pa, "aZ09-アｱ "), "ａＺ０９-アｱ ");  // ア's trail byte is "A"

  std::u16string wide = u" \"'\\`~Az0";
  std::vector<std::uint16_t> w(wide.begin(), wide.end());
  w.push_back(0);
  EXPECT_EQ(_conv_wc_h2z(w.data()), 18);
  EXPECT_EQ(std::u16string(w.begin(), w.end() - 1),
            u"\u3000\u201D\u2019\uFFE5\u2018\uFFE3\uFF21\uFF5A\uFF10");

  std::string hepebe = "へり工ゐ";
  EXPECT_EQ(_conv_hepebe(hepebe.data()), 1);
  EXPECT_EQ(hepebe, "ヘリエゐ");
  EXPECT_EQ(_conv_hepebe(hepebe.data()), 0);
}

// ---- full width to half width ---------------------------------------------------------------

TEST(Convert, FullToHalfWidth) {
  const Case cases[] = {
      {"ＡＢＣ－１２３", "ABC-123"},
      {"一", "-"},
      {"ー―‐─", "----"},
      {"；：", ",:"},
      {"アガ", "ｱガ"},
      {"表ab", "表ab"},
      {"”’￥‘￣", "\"'\\`~"},
  };
  for (const auto& c : cases) {
    char out[64];
    EXPECT_EQ(_conv_zen2han(c.in.c_str(), out, int(c.in.size())), int(c.out.size())) << c.in;
    EXPECT_EQ(std::string(out), c.out);
  }
  char out[16];
  EXPECT_EQ(_conv_zen2han("ＡＢ", out, 3), 2);  // a lead byte at the end of the count is copied
  EXPECT_EQ(std::string(out), std::string("A\x82", 2));

  EXPECT_EQ(conv(_conv_zen2han_utf8, "\xEF\xBC\xA1\xEF\xBD\x9A\xEF\xBC\x90-\xE3\x81\x82\xEF\xBC"),
            "Az0-\xE3\x81\x82\xEF\xBC");  // Ａｚ０ as ASCII; あ and a cut character copied
}

// ---- case and small kana ------------------------------------------------------------------

TEST_F(ConvertText, CaseAndSmallKana) {
  EXPECT_EQ(in_place(_conv_low_upr_sjis, "ーァっ．、ａ"), "─アつ・，ａ");
  EXPECT_EQ(in_place(_conv_upr_low_sjis, "─－アつ・，Ａ"), "ーーァっ．、Ａ");
  EXPECT_EQ(in_place(_conv_low_upr_pa, "abアｚｱ―"), "ABアＺｱ─");
  EXPECT_EQ(in_place(_conv_low_upr_vtx, "ー―‐－ァヮヵヶぁゎっ"), "────アワカケあわつ");
  EXPECT_EQ(in_place(_conv_low_upr_kak, "（〔［｛〈《「a」》〉｝］〕）"),
            "『『『『『『『a』』』』』』』");

  // UTF-8: ー 一 ‐ ァ ャ ッ ｧ ｱ ﾖ ﾂ, all three bytes.
  std::string u8 =
      "\xE3\x83\xBC\xE4\xB8\x80\xE2\x80\x90\xE3\x82\xA1\xE3\x83\xA3\xE3\x83\x83"
      "\xEF\xBD\xA7\xEF\xBD\xB1\xEF\xBE\x96\xEF\xBE\x82"
      "a";
  _conv_low_upr_utf8(u8.data());
  EXPECT_EQ(u8,
            "\xE2\x94\x80\xE2\x94\x80\xE2\x94\x80\xE3\x82\xA2\xE3\x83\xA4\xE3\x83\x84"
            "\xE3\x82\xA2\xE3\x82\xA2\xE3\x83\xA8\xE3\x83\x84"
            "a");
}

// ---- kana and numerals ------------------------------------------------------------------------

TEST(Convert, KanaAndNumerals) {
  EXPECT_EQ(in_place(_conv_kana_h2k, "がっこうみむんa"), "ガッコウミムンa");
  EXPECT_EQ(in_place(_conv_kana_k2h, "ガッコウミムンヴヵヶ"), "がっこうみむんヴヵヶ");

  EXPECT_EQ(in_place(_conv_kanji_no, "〇一二三四五六七八九十"), "０１２３４５６７８９十");
  EXPECT_EQ(in_place(_conv_kyuji_no, "壱弐参肆伍陸漆捌玖拾佰仟"), "一二三四五六七八九十百千");

  std::string text = "平成二十一年";
  _conv_kanji_no(text.data());
  EXPECT_EQ(conv(_conv_kanji_keta, text), "平成２１年");
  const Case keta[] = {
      {"平成二十一年", "平成二１０一年"},  // kanji digits are not read
      {"２千十５", "２０１５"},
      {"百", "１００"},
      {"千百十", "１１１０"},
      {"３百５", "３０５"},
      {"２０１５年", "２０１５年"},
      {"a十b", "a１０b"},
  };
  for (const auto& c : keta) EXPECT_EQ(conv(_conv_kanji_keta, c.in), c.out) << c.in;
}

// ---- markup ----------------------------------------------------------------------------------

TEST(Convert, MarkupEntities) {
  EXPECT_EQ(conv(_conv_k2o, "<a href='x'>\"&amp;&gt;&lt;&quot;&apos;&表</a>"),
            "&lt;a href=&apos;x&apos;&gt;&quot;&amp;amp;&gt;&lt;&quot;&apos;&amp;表&lt;/a&gt;");
  EXPECT_EQ(
      in_place(_conv_o2k_xls, "a&le;b&lE;&ge;&gE;&comma;&lsquo;&rsquo;&ldquo;&rdquo;&bgr;&amp;"),
      "a≦b≦≧≧,‘’“”β&amp;");
}

// ---- JIS (EUC) --------------------------------------------------------------------------------

TEST_F(ConvertText, JisConversionsEdges) {
  EXPECT_EQ(in_place(_conv_sjis_jis, "A亜ｱ　"), "A\xB0\xA1\xB1\xA1\xA1");
  // Characters of the rows beyond the 94 keep their bytes.
  EXPECT_EQ(in_place(_conv_sjis_jis, "\xF0\x40\xFA\x40"), "\xF0\x40\xFA\x40");

  std::string euc = "A\xB0\xA1\xA0\xFF\x8E\xA1\xA1";
  euc += '\0';
  EXPECT_EQ(_conv_jis_sjis(euc.data()), 5);  // the bytes that start no pair are dropped
  EXPECT_STREQ(euc.c_str(), "A亜　");

  std::string part = "\xB0\xA1\xB0\xA1rest";
  part += '\0';
  EXPECT_EQ(_conv_jis_sjis_n(part.data(), 3), 2);
  EXPECT_STREQ(part.c_str(), "亜\xA1rest");  // the lead byte without its pair was dropped

  // The code-conversion switch leaves every text as it is.
  zrcnst->sjis_sw = 1;
  std::string same = "亜\xB0\xA1";
  EXPECT_EQ(_conv_sjis_jis(same.data()), 4);
  EXPECT_EQ(_conv_jis_sjis(same.data()), -1);
  EXPECT_EQ(_conv_jis_sjis_n(same.data(), 4), -1);
  EXPECT_EQ(same, "亜\xB0\xA1");
  zrcnst->sjis_sw = 0;
}

#ifndef _WIN32

// One conversion of the system's iconv; empty when it refuses the input.
std::string iconv_of(const char* from, const char* to, const std::string& in) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return "<no iconv>";
  std::string out(16 + 4 * in.size(), '\0');
  char* ip = const_cast<char*>(in.data());
  char* op = out.data();
  std::size_t il = in.size(), ol = out.size();
  const std::size_t rc = iconv(cd, &ip, &il, &op, &ol);
  iconv_close(cd);
  if (rc == std::size_t(-1) || il != 0) return "";
  out.resize(out.size() - ol);
  return out;
}

TEST_F(ConvertText, JisConversionsAgreeWithIconvOverTheNinetyFourRows) {
  int compared = 0;
  for (int r = 0xA1; r <= 0xFE; ++r) {
    for (int c = 0xA1; c <= 0xFE; ++c) {
      const std::string euc{char(r), char(c)};
      const std::string sjis = iconv_of("EUC-JP", "CP932", euc);
      if (sjis.size() != 2) continue;  // a cell without a character
      std::string buf = euc + '\0';
      ASSERT_EQ(_conv_jis_sjis(buf.data()), 2);
      ASSERT_EQ(buf.substr(0, 2), sjis) << std::hex << r << " " << c;
      ASSERT_EQ(_conv_sjis_jis(buf.data()), 2);
      ASSERT_EQ(buf.substr(0, 2), euc) << std::hex << r << " " << c;
      ++compared;
    }
  }
  EXPECT_EQ(compared, 6879);  // every character of JIS X 0208

  // And from the Shift-JIS side: every two-byte code of the 94 rows that iconv
  // writes as a two-byte EUC character and reads back as itself (code page 932
  // writes a few signs twice, in row 13 and in rows 1 and 2; iconv writes the
  // second place of those).
  int from_sjis = 0;
  for (int lead = 0x81; lead <= 0xEF; ++lead) {
    if (lead > 0x9F && lead < 0xE0) continue;
    for (int trail = 0x40; trail <= 0xFC; ++trail) {
      if (trail == 0x7F) continue;
      const std::string sjis{char(lead), char(trail)};
      const std::string euc = iconv_of("CP932", "EUC-JP", sjis);
      if (euc.size() != 2 || iconv_of("EUC-JP", "CP932", euc) != sjis) continue;
      std::string buf = sjis + '\0';
      _conv_sjis_jis(buf.data());
      ASSERT_EQ(buf.substr(0, 2), euc) << std::hex << lead << " " << trail;
      ++from_sjis;
    }
  }
  EXPECT_GE(from_sjis, 6870);  // all but the few signs that iconv reads back in another row
}

TEST(Convert, WidthMappingAgreesWithIconv) {
  // ASCII: the full-width forms U+FF01..U+FF5E, as iconv writes them in CP932.
  // Five signs have another standard full-width form in code page 932 (”’￥‘￣,
  // the forms the UTF-16 conversion writes too), and the space is U+3000.
  for (int c = 0x20; c <= 0x7E; ++c) {
    if (std::strchr("\"'\\`~", c)) continue;
    const char32_t wide = c == ' ' ? 0x3000 : char32_t(0xFF01 + (c - 0x21));
    const std::string expected =
        iconv_of("UTF-32LE", "CP932", std::string(reinterpret_cast<const char*>(&wide), 4));
    char in[2] = {char(c), 0}, out[8];
    ASSERT_EQ(_conv_han2zen(in, out, 1), 2);
    EXPECT_EQ(std::string(out, 2), expected) << char(c);
    char back[4];
    EXPECT_EQ(_conv_zen2han(out, back, 2), 1);
    EXPECT_EQ(back[0], c == ';' ? ',' : char(c));  // ； is taken as a comma
  }
  // The half-width katakana in order, with their full-width compatibility forms.
  const std::string kana = iconv_of(
      "UTF-8", "CP932",
      reinterpret_cast<const char*>(
          u8"。「」、・ヲァィゥェォャュョッーアイウエオカキクケコサシスセソタチツテトナニヌネノ"
          u8"ハヒフヘホマミムメモヤユヨラリルレロワン゛゜"));
  ASSERT_EQ(kana.size(), 2u * 63);
  for (int b = 0xA1; b <= 0xDF; ++b) {
    // iconv agrees that the byte is the half-width form U+FF61 + k.
    const std::string u32 = iconv_of("CP932", "UTF-32LE", std::string(1, char(b)));
    ASSERT_EQ(u32.size(), 4u);
    EXPECT_EQ(std::uint8_t(u32[0]) | std::uint8_t(u32[1]) << 8, 0xFF61 + (b - 0xA1));
    char in[2] = {char(b), 0}, out[8];
    ASSERT_EQ(_conv_han2zen(in, out, 1), 2);
    EXPECT_EQ(std::string(out, 2), kana.substr(std::size_t(2 * (b - 0xA1)), 2)) << std::hex << b;
    char back[4];
    EXPECT_EQ(_conv_zen2han(out, back, 2), 1);
    EXPECT_EQ(std::uint8_t(back[0]), b == 0xB0 ? '-' : b);  // ー is taken as a dash
  }
}

#endif

}  // namespace
