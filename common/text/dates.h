// Dates and Japanese eras. Dates are 32-bit numbers year * 10000 + month * 100 +
// day throughout the library. The era of a western year: 明治 up to 1911, 大正
// 1912-1925, 昭和 1926-1988, 平成 1989-2018 and 2019 January to April, 令和 from
// May 2019 (only the year-only conversion puts the whole of 2019 in 平成).
#pragma once

#include <cstdint>

#include "runtime/areas.h"

// Compact era date: form 0 "H100101" (era letter, era year, mmdd), any other
// form "平100101" with the one-kanji era. out holds 16 bytes.
ZR_API void _date_conv_s2w(std::int32_t ymd, char* out, int form);
// yyyymmdd of a compact era date (letter or one-kanji era), or 0 when the text
// starts with no known era.
ZR_API std::int32_t _date_conv_w2s(const char* text);
// Long form with full-width digits, e.g. 平成１０年１２月３１日. out holds 40 bytes.
ZR_API void _date_conv_b2c(std::int32_t ymd, char* out);
// yyyymmdd of a long-form date (era name or western year, full-width digits,
// 元年, a part in （） skipped, ending at 日), or -1.
ZR_API std::int32_t _date_conv_c2b(const char* text);
// Era year of a western year: form 0 "H31", 1 "平31", 2 "平成31"; other forms
// write nothing. out holds 16 bytes.
ZR_API void _year_conv_s2w(int year, char* out, int form);
// "yyyy/mm/dd". out holds 16 bytes.
ZR_API void _conv_dt_s(std::int32_t ymd, char* out);
// The letter form split as "H10/12/31". out holds 16 bytes.
ZR_API void _conv_dt_w(std::int32_t ymd, char* out);
// 0 when the text is a valid date (yyyymmdd of 1850-2050, or an era letter or
// code M, T, S/3, H/4, R/5 with yymmdd), 1 when not.
ZR_API int _date_check(const char* text);
// Application number (year * 1000000 + serial) as text in wk_txt of zrwork:
// kind 0 特願, 1 実願, 2 意願, 3 商願; form 0 "商願平10-000123", form 1 without the
// hyphen, form 2 without the kind. Returns wk_txt.
ZR_API char* _an_conv_b2c(std::int32_t number, int kind, int form);
// year * 1000000 + serial of an era number such as 平１０－１２３, or -1.
ZR_API std::int32_t _pn_conv_c2b(const char* text);
// Calendar periods of a time value (seconds since 1970, taken as a UTC date),
// moved by the given number of periods, as yyyymmdd: the Sunday and Saturday of
// the week, the first and last day of the half month (1-15, 16-end) or month.
ZR_API void _week_get(std::int64_t t, int weeks, std::int32_t* from, std::int32_t* to);
ZR_API void _half_month_get(std::int64_t t, int halves, std::int32_t* from, std::int32_t* to);
ZR_API void _month_get(std::int64_t t, int months, std::int32_t* from, std::int32_t* to);
// Elapsed-time log; it needs an elapsed-time file name that neither program
// sets, so it writes nothing.
ZR_API void _pass_time(int flag, const char* text);
// Looks for COPYRGHT.* files in the folder: an extension O, B or W with two
// digits sets flag byte 0, 1 or 5 and gives the year (yy <= 50: 20yy, else
// 19yy); COR sets flag byte 6 and the year 0. 0, or -1 when neither was found.
ZR_API int _cpy_search_ymo(const char* dir, std::uint8_t* flags, int* year);

namespace zr {

// Days since 1970-01-01 of a (proleptic Gregorian) date; month may lie outside
// 1-12 and day outside the month, both roll over as in mktime.
std::int64_t days_from_date(std::int64_t year, std::int64_t month, std::int64_t day);
// yyyymmdd of a day number.
std::int64_t date_of_days(std::int64_t days);
// The date moved by the given number of days across month and year ends;
// 0 when the result leaves the 32-bit range.
std::int32_t date_add_days(std::int32_t ymd, std::int32_t days);
// Days of the month (February has 29 in every year divisible by 4).
int month_days(std::int64_t year, int month);

}  // namespace zr
