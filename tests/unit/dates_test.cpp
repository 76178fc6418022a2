// Dates and eras: era conversions (with the 2019 split), long-form parsing,
// date checks, application numbers and the calendar periods.
#include <filesystem>
#include <string>

#include "test_support.h"
#include "text/dates.h"

namespace {

using qrt_test::write_file;

class DatesTest : public qrt_test::AreasTest {};

TEST_F(DatesTest, CompactEraDates) {
  struct Case {
    std::int32_t ymd;
    int form;
    const char* text;
  } cases[] = {
      {20190430, 0, "H310430"},  {20190501, 0, "R010501"}, {19980101, 0, "H100101"},
      {19260101, 0, "S010101"},  {19251231, 0, "T141231"}, {19120101, 0, "T010101"},
      {19110101, 0, "M440101"},  {19890107, 0, "H010107"}, {20240203, 1, "令060203"},
      {19880101, 7, "昭630101"},
  };
  for (const Case& c : cases) {
    char out[16] = "";
    _date_conv_s2w(c.ymd, out, c.form);
    EXPECT_STREQ(out, c.text) << c.ymd;
    EXPECT_EQ(_date_conv_w2s(c.text), c.ymd) << c.text;
  }
  EXPECT_EQ(_date_conv_w2s("X100101"), 0);
  EXPECT_EQ(_date_conv_w2s(""), 0);
  EXPECT_EQ(_date_conv_w2s("H1"), 19890000);  // a short text is read as far as it goes
}

TEST_F(DatesTest, YearOnlyPutsAll2019InHeisei) {
  struct Case {
    int year, form;
    const char* text;
  } cases[] = {{2019, 0, "H31"},    {2019, 1, "平31"}, {2019, 2, "平成31"},   {2020, 0, "R02"},
               {1926, 2, "昭和01"}, {1868, 0, "M01"},  {2019, 3, "unchanged"}};
  for (const Case& c : cases) {
    char out[16] = "unchanged";
    _year_conv_s2w(c.year, out, c.form);
    EXPECT_STREQ(out, c.text) << c.year << " form " << c.form;
  }
}

TEST_F(DatesTest, LongFormBothWays) {
  struct Case {
    std::int32_t ymd;
    const char* text;
  } cases[] = {{19981231, "平成１０年１２月３１日"},
               {20190501, "令和１年５月１日"},
               {20190430, "平成３１年４月３０日"},
               {19260101, "昭和１年１月１日"}};
  for (const Case& c : cases) {
    char out[40] = "";
    _date_conv_b2c(c.ymd, out);
    EXPECT_STREQ(out, c.text);
    EXPECT_EQ(_date_conv_c2b(c.text), c.ymd) << c.text;
  }
}

TEST_F(DatesTest, LongFormParse) {
  struct Case {
    const char* text;
    std::int32_t want;
  } cases[] = {
      {"平成元年１月８日", 19890108},
      {"２０２４年２月３日（土）", 20240203},
      {"令和６年（２０２４年）３月１日", 20240301},
      {"昭６４年１月７日以降は無視", 19890107},
      {"大正元年７月３０日", 19120730},
      {"平成２年１２月", -1},        // no 日
      {"平成２年１２月\r１日", -1},  // CR before 日
      {"１２月３日", -1},            // no year
      {"令和６年３日", -1},          // no month
      {"１２３４５年１月１日", -1},  // five year digits
      {"令和６年１２３月１日", -1},  // three month digits
      {"令和６年１月１２３日", -1},  // three day digits
      {"２元年１月１日", -1},        // digits before 元年
      {"令和６年（あいうえおかきくけこさしすせそたちつてとなにぬねのは）１月１日",
       -1},  // 52 bytes in （）
      {"令和６年（あいうえおかきくけこさしすせそたちつてとなにぬねの）１月１日",
       20240101},  // 50 bytes
      {"令和６年（閉じない１月１日", -1},
      {"", -1},
  };
  for (const Case& c : cases) EXPECT_EQ(_date_conv_c2b(c.text), c.want) << c.text;
}

TEST_F(DatesTest, SlashForms) {
  char out[16];
  _conv_dt_s(20240203, out);
  EXPECT_STREQ(out, "2024/02/03");
  _conv_dt_w(19981231, out);
  EXPECT_STREQ(out, "H10/12/31");
  _conv_dt_w(20190501, out);
  EXPECT_STREQ(out, "R01/05/01");
}

TEST_F(DatesTest, DateCheck) {
  struct Case {
    const char* text;
    int want;
  } cases[] = {
      {"20240229", 0}, {"20230229", 1}, {"19000229", 0},  // every fourth year
      {"18500101", 0}, {"18491231", 1}, {"20501231", 0}, {"20510101", 1}, {"20240431", 1},
      {"20241301", 1}, {"20240100", 1}, {"2024ab01", 1}, {"2024022", 1},  {"H310430", 0},
      {"H320101", 1},  {"4310430", 0},  {"H000101", 1},  {"S640107", 0},  {"3650101", 1},
      {"M450730", 0},  {"M460101", 1},  {"T150101", 0},  {"T160101", 1},  {"R990101", 0},
      {"5000101", 1},  {"R060229", 0},  {"R050229", 1},  {"X240101", 1},  {"", 1},
  };
  for (const Case& c : cases) EXPECT_EQ(_date_check(c.text), c.want) << c.text;
}

TEST_F(DatesTest, ApplicationNumbers) {
  struct Case {
    std::int32_t number;
    int kind, form;
    const char* text;
  } cases[] = {
      {123, 0, 0, "特願-000123"},
      {123, 2, 1, "意願000123"},
      {1998000123, 3, 0, "商願平10-000123"},
      {1998000123, 3, 1, "商願平10000123"},
      {1998000123, 3, 2, "平10-000123"},
      {2005000123, 3, 0, "商願2005-000123"},
      {2005000123, 1, 1, "実願2005000123"},
      {1925000001, 1, 0, "実願大14-000001"},
      {1988999999, 0, 0, "特願昭63-999999"},
      {1911000001, 0, 0, "特願明44-000001"},
  };
  for (const Case& c : cases) {
    EXPECT_STREQ(_an_conv_b2c(c.number, c.kind, c.form), c.text) << c.number;
  }
  EXPECT_EQ(_an_conv_b2c(1, 0, 0), zrwork->wk_txt);
}

TEST_F(DatesTest, EraNumbers) {
  struct Case {
    const char* text;
    std::int32_t want;
  } cases[] = {
      {"平１０－１２３", 1998000123},
      {"昭１９－１", 2007000001},            // 昭 with a year below 20 is 平
      {"平３１－５", 1956000005},            // 平 with a year of 31 or more is 昭
      {"令６－１２３４５６７", 2025234567},  // a seven-digit serial reaches into the year
      {"２００５－１２３（注）－９", 2005000123},
      {"平１０－１２\r３", 1998000012},
      {"平１０", -1},
      {"－１２３", -1},
      {"平１２３４５６－１", -1},
      {"平１－１２３４５６７８", -1},
      {"９９９９９－１", -1},  // does not fit the 32-bit result
  };
  for (const Case& c : cases) EXPECT_EQ(_pn_conv_c2b(c.text), c.want) << c.text;
}

TEST_F(DatesTest, Periods) {
  const std::int64_t mar20 = 1710936000;  // 2024-03-20 12:00 UTC, a Wednesday
  const std::int64_t jan15 = 1705276800;  // 2024-01-15 00:00 UTC
  struct Case {
    void (*fn)(std::int64_t, int, std::int32_t*, std::int32_t*);
    std::int64_t t;
    int offset;
    std::int32_t from, to;
  } cases[] = {
      {_half_month_get, mar20, -3, 20240201, 20240215},
      {_half_month_get, mar20, 1, 20240401, 20240415},
      {_half_month_get, mar20, 0, 20240316, 20240331},
      {_half_month_get, mar20, -1, 20240301, 20240315},
      {_half_month_get, jan15, -1, 20231216, 20231231},
      {_half_month_get, mar20, -24, 20230316, 20230331},
      {_month_get, jan15, -1, 20231201, 20231231},
      {_month_get, jan15, 1, 20240201, 20240229},
      {_month_get, jan15, 13, 20250201, 20250228},
      {_month_get, jan15, -13, 20221201, 20221231},
      {_week_get, mar20, 0, 20240317, 20240323},
      {_week_get, mar20, -1, 20240310, 20240316},
      {_week_get, jan15, 3, 20240204, 20240210},
      {_week_get, -3600, 0, 19691228, 19700103},
  };
  for (const Case& c : cases) {
    std::int32_t from = 0, to = 0;
    c.fn(c.t, c.offset, &from, &to);
    EXPECT_EQ(from, c.from) << c.t << " " << c.offset;
    EXPECT_EQ(to, c.to) << c.t << " " << c.offset;
  }
}

TEST_F(DatesTest, AddDays) {
  struct Case {
    std::int32_t ymd, days, want;
  } cases[] = {
      {20240301, -1, 20240229}, {20241231, 1, 20250101},    {20230301, -1, 20230228},
      {20240228, 1, 20240229},  {20240510, -100, 20240131}, {20000229, 365, 20010228},
      {21000301, -1, 21000228}, {20240101, -366, 20221231}, {20241301, 0, 20250101},
  };
  for (const Case& c : cases) EXPECT_EQ(zr::date_add_days(c.ymd, c.days), c.want) << c.ymd;
}

TEST_F(DatesTest, CopyrightFiles) {
  std::uint8_t flags[7] = {};
  int year = -1;
  EXPECT_EQ(_cpy_search_ymo(dir.str().c_str(), flags, &year), -1);

  write_file(dir.join("COPYRGHT.TXT"), "x");
  write_file(dir.join("COPYRGHT.O5"), "x");
  EXPECT_EQ(_cpy_search_ymo(dir.str().c_str(), flags, &year), -1);

  write_file(dir.join("COPYRGHT.W23"), "x");
  EXPECT_EQ(_cpy_search_ymo(dir.str().c_str(), flags, &year), 0);
  EXPECT_EQ(year, 2023);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(flags), 7), std::string("\0\0\0\0\0\1\0", 7));

  std::filesystem::remove(dir.join("COPYRGHT.W23"));
  write_file(dir.join("COPYRGHT.B51"), "x");
  EXPECT_EQ(_cpy_search_ymo(dir.str().c_str(), flags, &year), 0);
  EXPECT_EQ(year, 1951);
  EXPECT_EQ(flags[1], 1);

  write_file(dir.join("COPYRGHT.COR"), "x");
  EXPECT_EQ(_cpy_search_ymo(dir.str().c_str(), flags, &year), 0);
  EXPECT_EQ(year, 0);
  EXPECT_EQ(flags[6], 1);
}

}  // namespace
