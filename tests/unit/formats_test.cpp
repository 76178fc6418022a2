// Number grouping, hexadecimal and percent encodings, the job and country
// tables, the series numbers, the spreadsheet file names and the gaiji fonts.
#include <cmath>
#include <cstring>
#include <string>

#include "test_support.h"

namespace {

using qrt_test::AreasTest;

class FormatsTables : public AreasTest {};

TEST(Comma, GroupsOfThreeDigits) {
  const struct {
    std::int32_t n;
    const char* text;
  } cases[] = {{0, "0"},
               {999, "999"},
               {1000, "1,000"},
               {999999, "999,999"},
               {1000000, "1,000,000"},
               {1234567890, "1,234,567,890"},
               {2147483647, "2,147,483,647"}};
  for (const auto& c : cases) {
    char out[20];
    EXPECT_EQ(_comma_set(c.n, out), int(std::strlen(c.text)));
    EXPECT_STREQ(out, c.text);
  }
  char out[20] = "stale";
  EXPECT_EQ(_comma_set(-1, out), 0);
  EXPECT_STREQ(out, "");
}

TEST(Comma, FloatingNumbersAreRoundedAndGrouped) {
  const struct {
    double n;
    const char* text;
  } cases[] = {{0.4, "0"},
               {999.5, "1,000"},
               {1234567.0, "1,234,567"},
               {1e20, "100,000,000,000,000,000,000"},
               {1e26, "100,000,000,000,000,004,764,729,344"}};  // 27 digits
  for (const auto& c : cases) {
    char out[40];
    EXPECT_EQ(_comma_set_ext(c.n, out), int(std::strlen(c.text)));
    EXPECT_STREQ(out, c.text);
  }
}

class CommaDeathTest : public AreasTest {};

TEST_F(CommaDeathTest, NegativeAndOverLongNumbersEndTheProcess) {
  char out[40];
  EXPECT_EXIT(
      {
        zr_message_box_handler(qrt_test::box_to_stderr);
        _comma_set_ext(-1.0, out);
      },
      ::testing::ExitedWithCode(0), "Comma set Error of min lng");
  EXPECT_EXIT(
      {
        zr_message_box_handler(qrt_test::box_to_stderr);
        _comma_set_ext(1e27, out);
      },
      ::testing::ExitedWithCode(0), "Comma set Error of max lng");
  EXPECT_EXIT(
      {
        zr_message_box_handler(qrt_test::box_to_stderr);
        _comma_set_ext(HUGE_VAL, out);  // no digits to group at all
      },
      ::testing::ExitedWithCode(0), "Comma set Error of max lng");
}

TEST(Hex, BytesAndDigitsBothWays) {
  const std::string bytes("\x00\x1F\xA5\xFF", 4);
  char hex[9] = "########";
  EXPECT_EQ(_conv_bin_b2h(bytes.data(), 4, hex), 8);
  EXPECT_STREQ(hex, "001FA5FF");  // no NUL is added: the ninth byte was one already
  char back[4];
  EXPECT_EQ(_conv_bin_h2b(hex, 8, back), 4);
  EXPECT_EQ(std::string(back, 4), bytes);
  // Lower-case digits are not hexadecimal here: the conversion stops at them.
  EXPECT_EQ(_conv_bin_h2b("0Aff", 4, back), 1);
  EXPECT_EQ(back[0], '\x0A');
  EXPECT_EQ(_conv_bin_h2b("ABC", 3, back), 1);  // an odd digit at the end is left
}

TEST(Percent, TwoByteCharactersAndSpacesAreEncoded) {
  char out[64];
  EXPECT_EQ(_conv_kanji_c2h("a 表.htm", out), 14);
  EXPECT_STREQ(out, "a%20%95%5C.htm");
  char back[64];
  EXPECT_EQ(_conv_kanji_h2c(out, back), 8);
  EXPECT_STREQ(back, "a 表.htm");
  // Only "%" with two upper-case digits is decoded.
  EXPECT_EQ(_conv_kanji_h2c("%41%4a%4", back), 6);
  EXPECT_STREQ(back, "A%4a%4");
  // A lead byte at the very end is encoded alone; the NUL stays the end.
  EXPECT_EQ(_conv_kanji_c2h("\x95", out), 3);
  EXPECT_STREQ(out, "%95");
}

TEST_F(FormatsTables, JobNamesAndCountryCodes) {
  char name[32];
  _jid_nm_get(86, name);
  EXPECT_STREQ(name, "ＳＤＩチェッカー");
  _jid_nm_get(34, name);
  EXPECT_STREQ(name, "ULCSVダウンロード");
  _jid_nm_get(99, name);
  EXPECT_STREQ(name, "*********");

  EXPECT_EQ(_ctcd_get("JP"), 0);
  EXPECT_EQ(_ctcd_get("USA"), 3);      // the first two bytes only
  EXPECT_EQ(_ctcd_get("MO"), 103);     // the last row searched
  EXPECT_EQ(_ctcd_get("EM"), 0xFFFF);  // row 104 lies beyond the search
  EXPECT_EQ(_ctcd_get("jp"), 0xFFFF);
}

TEST(Series, NumbersByDate) {
  const struct {
    std::int32_t date;
    int series;
  } limits[] = {{19000000, -1}, {19000001, 2},  {19471231, 2},  {19480101, 3},
                {19971229, 8},  {19971230, 9},  {20041130, 10}, {20041201, 11},
                {20101231, 12}, {20110101, 13}, {20499999, 13}, {20500000, -1}};
  for (const auto& c : limits) EXPECT_EQ(_usan_sno_get(c.date), c.series) << c.date;

  const struct {
    std::int32_t date, number;
    int answer;
  } answers[] = {
      {19930315, 123456, 8123456},  // period 1993-1997: series 8
      {19930315, 900000, 7900000},  // a high number early in the period is the earlier series
      {19930701, 900000, 8900000},  // not in the first six months
      {19971231, 100000, 9100000},  // a low number late in the period is the next series
      {19970630, 100000, 8100000}, {19971231, 100001, 8100001},
      {18991231, 1, -1},           {20500101, 1, -1},
  };
  for (const auto& c : answers) EXPECT_EQ(_usan_ans_get(c.date, c.number), c.answer) << c.date;
}

TEST_F(FormatsTables, SpreadsheetFileNames) {
  const struct {
    const char* name;
    int version;
    const char* result;
  } cases[] = {{"A.CSV", 11, "A.XLS"},   {"a.csv", 12, "a.XLSX"}, {"B.xlsx", 11, "B.XLS"},
               {"B.Xls", 16, "B.XLSX"},  {"C", 16, "C.XLSX"},     {"D.TXT", 11, "D.TXT.XLS"},
               {"表.CSV", 16, "表.XLSX"}};
  for (const auto& c : cases) {
    char name[64];
    zr::copy(name, c.name);
    EXPECT_EQ(_xls_ext_chg(name, c.version), 0);
    EXPECT_STREQ(name, c.result);
  }
  char empty[8] = "";
  EXPECT_EQ(_xls_ext_chg(empty, 16), -1);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, "ファイル名が不正です");

  char name[260] = "LIST.XLS";
  _xls_pas_chg("C:\\OUT", name);
  EXPECT_STREQ(name, "C:\\OUT\\LIST.XLS");
  _xls_pas_chg("C:\\OTHER", name);  // it has a folder now
  EXPECT_STREQ(name, "C:\\OUT\\LIST.XLS");
  // A joined name that would not fit a path is left as it was.
  const std::string long_name(250, 'N');
  zr::copy(name, long_name.c_str());
  _xls_pas_chg("C:\\A_FOLDER", name);
  EXPECT_EQ(std::string(name), long_name);
  // 表 ends in the byte of a backslash: it is no folder.
  zr::copy(name, "表.XLS");
  _xls_pas_chg("C:\\OUT", name);
  EXPECT_STREQ(name, "C:\\OUT\\表.XLS");
}

#ifndef _WIN32
TEST_F(FormatsTables, TheSpreadsheetProgramIsAbsentNatively) {
  EXPECT_EQ(_xls_version_get(), -1);
  char path[260] = "stale";
  _xls_pass_get(path);
  EXPECT_STREQ(path, "");
  const auto lines = trace();
  auto has = [&](const std::string& text) {
    for (const auto& l : lines)
      if (l.find(text) != std::string::npos) return true;
    return false;
  };
  EXPECT_TRUE(has("The registry is not opened (CurVer)"));
  EXPECT_TRUE(has("The registry is not opened (CLSID)"));
  EXPECT_TRUE(has("code_disp msg:"));
}
#endif

class Gaiji : public AreasTest {
 protected:
  // Writes the three files for n characters; byte values tell the parts apart.
  void write_fonts(int n, bool with32 = true) {
    std::string index(2, '\0');
    index[0] = char(n & 0xFF);
    index[1] = char(n >> 8);
    index += std::string(std::size_t(6 * n), 'i');
    qrt_test::write_file(dir.join("GAIINDEX.GAI"), index);
    qrt_test::write_file(dir.join("FONT24.GAI"), std::string(std::size_t(72 * n), 'a'));
    if (with32)
      qrt_test::write_file(dir.join("FONT32.GAI"), std::string(std::size_t(128 * n), 'b'));
  }
};

TEST_F(Gaiji, LoadsTheThreeFilesIntoOneBlockOnce) {
  write_fonts(3);
  _gaiji_ptr_set();
  ASSERT_NE(zr00->gaiji_ptr, nullptr);
  EXPECT_EQ(zr00->gaiji_cnt, 3);
  EXPECT_EQ(zr00->gaiji_size, 2 + 206 * 3);
  const auto* block = static_cast<const unsigned char*>(zr00->gaiji_ptr);
  EXPECT_EQ(zr00->gaiji_idx, zr00->gaiji_ptr);
  EXPECT_EQ(block[0], 3);
  EXPECT_EQ(block[2], 'i');
  EXPECT_EQ(static_cast<const unsigned char*>(zr00->gaiji_f24), block + 2 + 18);
  EXPECT_EQ(static_cast<const unsigned char*>(zr00->gaiji_f32), block + 2 + 18 + 216);
  EXPECT_EQ(block[2 + 18], 'a');
  EXPECT_EQ(block[2 + 18 + 216 + 127], 'b');
  EXPECT_STREQ(zrwork->rtn_nm, "_gaiji_ptr_set");

  void* first = zr00->gaiji_ptr;
  _gaiji_ptr_set();  // a second call keeps the block
  EXPECT_EQ(zr00->gaiji_ptr, first);
  _free(first);
}

TEST_F(Gaiji, NoIndexLoadsNothing) {
  _gaiji_ptr_set();
  EXPECT_EQ(zr00->gaiji_ptr, nullptr);
  EXPECT_EQ(zr00->gaiji_cnt, 0);
}

TEST_F(Gaiji, AMissingFontFileEndsTheProcess) {
  write_fonts(2, false);
  EXPECT_EXIT(_gaiji_ptr_set(), ::testing::ExitedWithCode(0), "");
  // The trace names the missing file (the child wrote it before ending).
  bool named = false;
  for (const auto& line : trace())
    named |= line.find("外字ファイル(") != std::string::npos &&
             line.find("FONT32.GAI)無し") != std::string::npos;
  EXPECT_TRUE(named);
}

}  // namespace
