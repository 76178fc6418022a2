// Dates and Japanese eras (see dates.h).
#include "text/dates.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>

#include "platform/platform.h"
#include "runtime/ini.h"
#include "runtime/zrcommon.h"
#include "platform/sjis_byte.h"

namespace {

struct Era {
  char letter;
  const char* name;  // 明治
  const char* one;   // 明
  int base;          // era year 1 is base + 1
};

// In calendar order.
const Era kEras[] = {
    {'M', "明治", "明", 1867}, {'T', "大正", "大", 1911}, {'S', "昭和", "昭", 1925},
    {'H', "平成", "平", 1988}, {'R', "令和", "令", 2018},
};
enum { kMeiji, kTaisho, kShowa, kHeisei, kReiwa };

// The era of a western year; 2019 is split at May.
const Era& era_of(std::int64_t year, std::int64_t month) {
  if (year <= 1911) return kEras[kMeiji];
  if (year <= 1925) return kEras[kTaisho];
  if (year <= 1988) return kEras[kShowa];
  if (year <= 2018 || (year == 2019 && month < 5)) return kEras[kHeisei];
  return kEras[kReiwa];
}

bool starts_with(const char* p, const char* s) { return std::strncmp(p, s, std::strlen(s)) == 0; }

// The era whose one-kanji mark starts p, or null.
const Era* one_kanji_era(const char* p) {
  for (const Era& e : kEras) {
    if (starts_with(p, e.one)) return &e;
  }
  return nullptr;
}

// Full-width digit ０-９ (0x82 0x4F-0x58) at p: its value, else -1.
int zen_digit(const char* p) {
  auto c0 = static_cast<unsigned char>(p[0]), c1 = static_cast<unsigned char>(p[1]);
  return (c0 == 0x82 && c1 >= 0x4F && c1 <= 0x58) ? c1 - 0x4F : -1;
}

// Length of the Shift-JIS character at p (never steps over the NUL).
int char_len(const char* p) {
  auto c = static_cast<unsigned char>(p[0]);
  bool lead = zr::sjis_lead(c);
  return (lead && p[1] != '\0') ? 2 : 1;
}

// Appends the number in full-width digits ("%d" made full-width).
void append_zen(std::string& out, std::int64_t v) {
  for (char c : std::to_string(v)) {
    if (c == '-') {
      out += "－";
    } else {
      out += '\x82';
      out += static_cast<char>(0x4F + (c - '0'));
    }
  }
}

// Reads up to width characters (stopping at the NUL) as a decimal number, the
// way fixed-width fields are read; moves p past them.
int take_num(const char*& p, int width) {
  char field[8];
  int n = 0;
  while (n < width && *p) field[n++] = *p++;
  field[n] = '\0';
  return zr_decimal(field);
}

// Exactly width ASCII digits at p, moved past them.
bool take_digits(const char*& p, int width, int& v) {
  v = 0;
  for (int i = 0; i < width; ++i, ++p) {
    if (*p < '0' || *p > '9') return false;
    v = v * 10 + (*p - '0');
  }
  return true;
}

std::int64_t floor_div(std::int64_t a, std::int64_t b) {
  std::int64_t q = a / b;
  return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}
std::int64_t floor_mod(std::int64_t a, std::int64_t b) { return a - floor_div(a, b) * b; }

std::int32_t to_i32(std::int64_t v) {
  return (v > INT32_MAX || v < INT32_MIN) ? 0 : static_cast<std::int32_t>(v);
}

struct Ymd {
  std::int64_t y, m, d;
};
Ymd split(std::int64_t ymd) { return {ymd / 10000, ymd / 100 % 100, ymd % 100}; }

std::int64_t utc_day(std::int64_t t) { return floor_div(t, 86400); }

void put(std::int32_t* out, std::int64_t v) {
  if (out) *out = to_i32(v);
}

// First and last day of month index (year * 12 + month - 1).
void month_range(std::int64_t index, std::int64_t& first, std::int64_t& last) {
  std::int64_t y = floor_div(index, 12);
  int m = static_cast<int>(floor_mod(index, 12)) + 1;
  first = y * 10000 + m * 100 + 1;
  last = y * 10000 + m * 100 + zr::month_days(y, m);
}

}  // namespace

namespace zr {

std::int64_t days_from_date(std::int64_t year, std::int64_t month, std::int64_t day) {
  year += floor_div(month - 1, 12);
  month = floor_mod(month - 1, 12) + 1;
  // Days from 1970-01-01 to the first of the month (civil calendar in eras of
  // 400 years, March-based).
  std::int64_t y = month <= 2 ? year - 1 : year;
  std::int64_t era = floor_div(y, 400);
  std::int64_t yoe = y - era * 400;
  std::int64_t mp = (month + 9) % 12;
  std::int64_t doy = (153 * mp + 2) / 5;
  std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468 + (day - 1);
}

std::int64_t date_of_days(std::int64_t days) {
  days += 719468;
  std::int64_t era = floor_div(days, 146097);
  std::int64_t doe = days - era * 146097;
  std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  std::int64_t mp = (5 * doy + 2) / 153;
  std::int64_t d = doy - (153 * mp + 2) / 5 + 1;
  std::int64_t m = mp < 10 ? mp + 3 : mp - 9;
  std::int64_t y = yoe + era * 400 + (m <= 2 ? 1 : 0);
  return y * 10000 + m * 100 + d;
}

std::int32_t date_add_days(std::int32_t ymd, std::int32_t days) {
  Ymd v = split(ymd);
  return to_i32(date_of_days(days_from_date(v.y, v.m, v.d) + days));
}

int month_days(std::int64_t year, int month) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return (month == 2 && floor_mod(year, 4) == 0) ? 29 : kDays[month - 1];
}

}  // namespace zr

void _date_conv_s2w(std::int32_t ymd, char* out, int form) {
  Ymd v = split(ymd);
  const Era& e = era_of(v.y, v.m);
  int era_year = static_cast<int>(v.y - e.base);
  int mmdd = ymd % 10000;
  if (form == 0) {
    zr::format(out, 16, "%c%02d%04d", e.letter, era_year, mmdd);
  } else {
    zr::format(out, 16, "%s%02d%04d", e.one, era_year, mmdd);
  }
}

std::int32_t _date_conv_w2s(const char* text) {
  if (!text) return 0;
  const Era* era = one_kanji_era(text);
  const char* p = text;
  if (era) {
    p += std::strlen(era->one);
  } else {
    for (const Era& e : kEras) {
      if (text[0] == e.letter) era = &e;
    }
    if (!era) return 0;
    ++p;
  }
  int yy = take_num(p, 2);
  int mmdd = take_num(p, 4);
  return (era->base + yy) * 10000 + mmdd;
}

void _date_conv_b2c(std::int32_t ymd, char* out) {
  Ymd v = split(ymd);
  const Era& e = era_of(v.y, v.m);
  std::string s = e.name;
  append_zen(s, v.y - e.base);
  s += "年";
  append_zen(s, v.m);
  s += "月";
  append_zen(s, v.d);
  s += "日";
  zr::copy(out, 40, s.c_str());
}

std::int32_t _date_conv_c2b(const char* text) {
  if (!text) return -1;
  const Era* era = nullptr;
  std::int64_t year = 0, month = 0, day = 0;
  bool year_set = false, month_set = false;
  std::int64_t value = 0;
  int count = 0;  // digits collected since the last 年, 月 or 日
  const char* p = text;
  for (;;) {
    if (*p == '\0' || *p == '\r') return -1;
    if (int d = zen_digit(p); d >= 0) {
      if (++count <= 4) value = value * 10 + d;
      p += 2;
    } else if (starts_with(p, "元年")) {
      if (count > 0) return -1;
      year = 1;
      year_set = true;
      p += std::strlen("元年");
    } else if (starts_with(p, "年")) {
      if (count > 4) return -1;
      if (count > 0) {
        year = value;
        year_set = true;
      }
      value = count = 0;
      p += std::strlen("年");
    } else if (starts_with(p, "月")) {
      if (count > 2) return -1;
      if (count > 0) {
        month = value;
        month_set = true;
      }
      value = count = 0;
      p += std::strlen("月");
    } else if (starts_with(p, "日")) {
      if (count > 2) return -1;
      day = value;
      break;
    } else if (starts_with(p, "（")) {
      p += std::strlen("（");
      int skipped = 0;
      while (!starts_with(p, "）")) {
        if (*p == '\0' || *p == '\r') return -1;
        skipped += char_len(p);
        if (skipped > 50) return -1;
        p += char_len(p);
      }
      p += std::strlen("）");
    } else if (const Era* e = one_kanji_era(p)) {
      era = e;
      p += std::strlen(e->one);
    } else {
      p += char_len(p);
    }
  }
  if (!year_set || !month_set) return -1;
  std::int64_t y = era ? era->base + year : year;
  return to_i32(y * 10000 + month * 100 + day);
}

void _year_conv_s2w(int year, char* out, int form) {
  const Era& e = era_of(year, 1);
  int era_year = year - e.base;
  switch (form) {
    case 0:
      zr::format(out, 16, "%c%02d", e.letter, era_year);
      break;
    case 1:
      zr::format(out, 16, "%s%02d", e.one, era_year);
      break;
    case 2:
      zr::format(out, 16, "%s%02d", e.name, era_year);
      break;
    default:
      break;
  }
}

void _conv_dt_s(std::int32_t ymd, char* out) {
  Ymd v = split(ymd);
  zr::format(out, 16, "%04d/%02d/%02d", static_cast<int>(v.y), static_cast<int>(v.m),
             static_cast<int>(v.d));
}

void _conv_dt_w(std::int32_t ymd, char* out) {
  char w[16];
  _date_conv_s2w(ymd, w, 0);
  zr::format(out, 16, "%.3s/%.2s/%.2s", w, w + std::min<std::size_t>(3, std::strlen(w)),
             w + std::min<std::size_t>(5, std::strlen(w)));
}

int _date_check(const char* text) {
  if (!text) return 1;
  const char* p = text;
  int year = 0, v = 0;
  switch (*p) {
    case '1':
    case '2':
      if (!take_digits(p, 4, year) || year < 1850 || year > 2050) return 1;
      break;
    default: {
      struct Code {
        char letter, digit;
        int era, max_year;
      };
      static const Code kCodes[] = {{'M', 0, kMeiji, 45},
                                    {'T', 0, kTaisho, 15},
                                    {'S', '3', kShowa, 64},
                                    {'H', '4', kHeisei, 31},
                                    {'R', '5', kReiwa, INT_MAX}};
      const Code* code = nullptr;
      for (const Code& c : kCodes) {
        if (*p == c.letter || (c.digit && *p == c.digit)) code = &c;
      }
      if (!code) return 1;
      ++p;
      if (!take_digits(p, 2, v) || v < 1 || v > code->max_year) return 1;
      year = kEras[code->era].base + v;
      break;
    }
  }
  int month = 0, day = 0;
  if (!take_digits(p, 2, month) || !take_digits(p, 2, day)) return 1;
  if (month < 1 || month > 12) return 1;
  return (day >= 1 && day <= zr::month_days(year, month)) ? 0 : 1;
}

char* _an_conv_b2c(std::int32_t number, int kind, int form) {
  static const char* const kKinds[] = {"特願", "実願", "意願", "商願"};
  std::string prefix;
  if (form != 2 && kind >= 0 && kind < 4) prefix = kKinds[kind];
  const char* dash = form == 1 ? "" : "-";
  int year = number / 1000000;
  int serial = number % 1000000;
  char* out = zrwork->wk_txt;
  if (year == 0) {
    ZR_FMT(zrwork->wk_txt, "%s%s%06d", prefix.c_str(), dash, serial);
  } else if (year < 2000) {
    const Era& e = year <= 1911   ? kEras[kMeiji]
                   : year <= 1925 ? kEras[kTaisho]
                   : year <= 1988 ? kEras[kShowa]
                                  : kEras[kHeisei];
    prefix += e.one;
    ZR_FMT(zrwork->wk_txt, "%s%02d%s%06d", prefix.c_str(), year - e.base, dash, serial);
  } else {
    ZR_FMT(zrwork->wk_txt, "%s%04d%s%06d", prefix.c_str(), year, dash, serial);
  }
  return out;
}

std::int32_t _pn_conv_c2b(const char* text) {
  if (!text) return -1;
  const Era* era = nullptr;
  std::int64_t year = 0, serial = 0;
  int year_digits = 0, serial_digits = 0;
  bool in_serial = false;
  for (const char* p = text; p[0] != '\0' && p[0] != '\r' && p[1] != '\0'; p += 2) {
    if (starts_with(p, "（")) break;
    if (int d = zen_digit(p); d >= 0) {
      if (in_serial) {
        if (++serial_digits > 7) return -1;
        serial = serial * 10 + d;
      } else {
        if (++year_digits > 5) return -1;
        year = year * 10 + d;
      }
    } else if (starts_with(p, "－")) {
      in_serial = true;
    } else if (const Era* e = one_kanji_era(p)) {
      era = e;
    }
  }
  if (year_digits == 0 || serial_digits == 0) return -1;
  if (era) {
    if (era == &kEras[kShowa] && year < 20)
      era = &kEras[kHeisei];
    else if (era == &kEras[kHeisei] && year >= 31)
      era = &kEras[kShowa];
    year += era->base;
  }
  // A number that does not fit the 32-bit result is refused.
  std::int64_t result = year * 1000000 + serial;
  return result > INT32_MAX ? -1 : static_cast<std::int32_t>(result);
}

void _week_get(std::int64_t t, int weeks, std::int32_t* from, std::int32_t* to) {
  std::int64_t day = utc_day(t) + static_cast<std::int64_t>(weeks) * 7;
  std::int64_t sunday = day - floor_mod(day + 4, 7);  // 1970-01-01 was a Thursday
  put(from, zr::date_of_days(sunday));
  put(to, zr::date_of_days(sunday + 6));
}

void _month_get(std::int64_t t, int months, std::int32_t* from, std::int32_t* to) {
  Ymd v = split(zr::date_of_days(utc_day(t)));
  std::int64_t first, last;
  month_range(v.y * 12 + v.m - 1 + months, first, last);
  put(from, first);
  put(to, last);
}

void _half_month_get(std::int64_t t, int halves, std::int32_t* from, std::int32_t* to) {
  Ymd v = split(zr::date_of_days(utc_day(t)));
  std::int64_t half = (v.y * 12 + v.m - 1) * 2 + (v.d > 15 ? 1 : 0) + halves;
  std::int64_t first, last;
  month_range(floor_div(half, 2), first, last);
  bool second = floor_mod(half, 2) == 1;
  put(from, second ? first + 15 : first);
  put(to, second ? last : first + 14);
}

void _pass_time(int flag, const char* text) {}

int _cpy_search_ymo(const char* dir, std::uint8_t* flags, int* year) {
  // The pattern is composed here; the caller's folder text is left as it is.
  std::string pattern = std::string(dir ? dir : "") + "\\COPYRGHT.*";
  bool dated = false, cor = false;
  int yy = 0;
  for (const plat::DirEntry& e : plat::find_files(pattern.c_str())) {
    if (e.is_dir) continue;
    std::size_t dot = e.name.rfind('.');
    if (dot == std::string::npos) continue;
    std::string ext = e.name.substr(dot + 1);
    if (ext == "COR") {
      if (flags) flags[6] = 1;
      cor = true;
      continue;
    }
    if (ext.size() != 3 || ext[1] < '0' || ext[1] > '9' || ext[2] < '0' || ext[2] > '9') continue;
    int slot = ext[0] == 'O' ? 0 : ext[0] == 'B' ? 1 : ext[0] == 'W' ? 5 : -1;
    if (slot < 0) continue;
    if (flags) flags[slot] = 1;
    yy = (ext[1] - '0') * 10 + (ext[2] - '0');
    dated = true;
  }
  if (cor) {
    if (year) *year = 0;
    return 0;
  }
  if (!dated) return -1;
  if (year) *year = yy <= 50 ? 2000 + yy : 1900 + yy;
  return 0;
}
