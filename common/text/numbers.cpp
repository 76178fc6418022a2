// Number grouping, hexadecimal and percent encodings, the job names, the
// country codes and the series numbers by date.
#include <cmath>
#include <cstdio>
#include <cstring>

#include "runtime/zrcommon.h"
#include "text/formats.h"
#include "text/sjis.h"

namespace {

using uchar = unsigned char;

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

[[noreturn]] void comma_error(int number, const char* text) {
  _err_mes(number, text);
  zr_exit();  // _err_mes does not return for these numbers
}

struct Job {
  std::int32_t no;
  const char* name;
};
// Searched from the first row: the left column of the table, then the right.
constexpr Job kJobs[] = {
    {1, "回線接続"},
    {2, "回線切断"},
    {3, "回線切断後処理中"},
    {4, "同時接続数超過"},
    {11, "検索式呼出"},
    {13, "公報種別設定"},
    {15, "辞書機能"},
    {21, "検索実行"},
    {31, "テキストダウンロード"},
    {32, "ＣＳＶダウンロード"},
    {33, "公報番号ダウンロード"},
    {38, "エクセルダウンロード"},
    {34, "ULCSVダウンロード"},
    {41, "検索結果一覧"},
    {42, "キーワード更新"},
    {43, "検索結果抄録一覧"},
    {44, "結果一覧マップ"},
    {51, "目次印刷"},
    {52, "公報印刷"},
    {61, "テキスト表示"},
    {62, "イメージ表示"},
    {63, "抄録表示"},
    {64, "レイアウト表示"},
    {67, "キャッシュ表示"},
    {68, "キャッシュ取得中"},
    {71, "ZR-Link接続"},
    {81, "ＶＥＬＩＸ連動処理"},
    {82, "ＭＡＰ集計"},
    {83, "特許分類統計"},
    {84, "技術分布マップ"},
    {86, "ＳＤＩチェッカー"},
    {87, "かんたん検索"},
    {88, "ＳＤＩ処理"},
    {89, "ＳＤＩボード"},
    {90, "番号入力印刷"},
};

struct Period {
  std::int32_t first, last;
  int series;
};
constexpr Period kPeriods[] = {
    {19000101, 19471231, 2},  {19480101, 19591231, 3},  {19600101, 19691231, 4},
    {19700101, 19781231, 5},  {19790101, 19861231, 6},  {19870101, 19921231, 7},
    {19930101, 19971231, 8},  {19980101, 20011231, 9},  {20020101, 20041231, 10},
    {20050101, 20071231, 11}, {20080101, 20491231, 12},
};

struct Limit {
  std::int32_t up_to;
  int series;
};
constexpr Limit kLimits[] = {
    {19471231, 2}, {19591231, 3}, {19691231, 4},  {19781231, 5},  {19861231, 6},  {19921231, 7},
    {19971229, 8}, {20011231, 9}, {20041130, 10}, {20071231, 11}, {20101231, 12},
};

}  // namespace

// ---- numbers ---------------------------------------------------------------------------

// The longest grouped 32-bit number, "2,147,483,647", with its NUL.
constexpr std::size_t kCommaMax = 14;

ZR_API int _comma_set(std::int32_t number, char* output) {
  if (number < 0) {
    output[0] = '\0';
    return 0;
  }
  const int g1 = number % 1000, g2 = number / 1000 % 1000, g3 = number / 1000000 % 1000,
            g4 = number / 1000000000;
  if (number < 1000) return std::snprintf(output, kCommaMax, "%d", number);
  if (number < 1000000) return std::snprintf(output, kCommaMax, "%d,%03d", g2, g1);
  if (number < 1000000000) return std::snprintf(output, kCommaMax, "%d,%03d,%03d", g3, g2, g1);
  return std::snprintf(output, kCommaMax, "%d,%03d,%03d,%03d", g4, g3, g2, g1);
}

ZR_API int _comma_set_ext(double number, char* output) {
  if (number < 0) comma_error(990, "Comma set Error of min lng");
  if (!std::isfinite(number) || number >= 1e27) comma_error(940, "Comma set Error of max lng");
  char digits[40];
  const int n = std::snprintf(digits, sizeof digits, "%.f", number);
  if (n < 0 || n > 27) comma_error(940, "Comma set Error of max lng");
  int o = 0;
  for (int i = 0; i < n; ++i) {
    if (i > 0 && (n - i) % 3 == 0) output[o++] = ',';
    output[o++] = digits[i];
  }
  output[o] = '\0';
  return o;
}

// ---- encodings ---------------------------------------------------------------------------

ZR_API int _conv_bin_b2h(const void* source, int length, char* target) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  const auto* in = static_cast<const uchar*>(source);
  for (int i = 0; i < length; ++i) {
    target[2 * i] = kHex[in[i] >> 4];
    target[2 * i + 1] = kHex[in[i] & 0x0F];
  }
  return length > 0 ? 2 * length : 0;
}

ZR_API int _conv_bin_h2b(const char* source, int length, void* target) {
  auto* out = static_cast<uchar*>(target);
  int n = 0;
  for (int i = 0; i + 1 < length; i += 2) {
    const int hi = hex_value(source[i]), lo = hex_value(source[i + 1]);
    if (hi < 0 || lo < 0) break;
    out[n++] = uchar(hi << 4 | lo);
  }
  return n;
}

ZR_API int _conv_kanji_c2h(const char* source, char* target) {
  const auto* p = reinterpret_cast<const uchar*>(source);
  int o = 0;
  while (*p) {
    if (*p >= 0x80) {
      // Both bytes of the pair, but never the terminating NUL.
      const int n = p[1] ? 2 : 1;
      for (int k = 0; k < n; ++k) o += std::snprintf(target + o, 4, "%%%02X", p[k]);
      p += n;
    } else if (*p == ' ') {
      o += std::snprintf(target + o, 4, "%%20");
      ++p;
    } else {
      target[o++] = char(*p++);
    }
  }
  target[o] = '\0';
  return o;
}

ZR_API int _conv_kanji_h2c(const char* source, char* target) {
  int o = 0;
  for (const char* p = source; *p;) {
    if (p[0] == '%' && hex_value(p[1]) >= 0 && hex_value(p[2]) >= 0) {
      target[o++] = char(hex_value(p[1]) << 4 | hex_value(p[2]));
      p += 3;
    } else {
      target[o++] = *p++;
    }
  }
  target[o] = '\0';
  return o;
}

// ---- tables and series ---------------------------------------------------------------------

ZR_API void _jid_nm_get(std::int32_t job, char* output) {
  for (const Job& j : kJobs) {
    if (j.no == job) {
      zr::copy(output, 32, j.name);
      return;
    }
  }
  zr::copy(output, 32, "*********");
}

ZR_API std::uint16_t _ctcd_get(const char* text) {
  if (!zrcnst || !text || !text[0]) return 0xFFFF;
  for (int row = 0; row < 104 && row < kCtcdRows; ++row) {
    const ZR_CTCD& c = zrcnst->ctcd[row];
    if (std::memcmp(c.ctcd, text, 2) == 0) return static_cast<std::uint16_t>(c.code);
  }
  return 0xFFFF;
}

ZR_API int _usan_sno_get(std::int32_t date) {
  if (date <= 19000000) return -1;
  for (const Limit& l : kLimits)
    if (date <= l.up_to) return l.series;
  return date < 20500000 ? 13 : -1;
}

ZR_API int _usan_ans_get(std::int32_t date, std::int32_t number) {
  for (const Period& p : kPeriods) {
    if (date < p.first || date > p.last) continue;
    int series = p.series;
    const bool first_half = date < (p.first / 10000) * 10000 + 701;
    const bool last_half = date >= (p.last / 10000) * 10000 + 701;
    if (number > 899999 && first_half) --series;
    if (number <= 100000 && last_half) ++series;
    return series * 1000000 + number;
  }
  return -1;
}
