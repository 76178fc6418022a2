// The SDI delivery store (see sdi.h).
#include "sdi/sdi.h"

#include <cstdarg>
#include <cstring>
#include <string>

#include "runtime/ini.h"
#include "runtime/zrcommon.h"
#include "text/dates.h"

namespace {

constexpr char kSystem[] = "SYSTEM";
constexpr char kCommon[] = "COMMON";
constexpr char kList[] = "LIST";
constexpr std::int32_t kResultNoMax = 99999;
constexpr int kRetentionDays = 100;
constexpr int kCalendarLineCap = 255;
constexpr std::size_t kResultLineMax = 599;  // the longest line _config_read takes

// A path below the install folder.
struct Path {
  char s[512];
  operator const char*() const { return s; }
};

__attribute__((format(printf, 1, 2))) Path inst_path(const char* fmt, ...) {
  char rel[256];
  va_list ap;
  va_start(ap, fmt);
  zr::vformat(rel, sizeof rel, fmt, ap);
  va_end(ap);
  Path p;
  ZR_FMT(p.s, "%s\\%s", zrenv->inst_dir, rel);
  return p;
}

Path config_path() { return inst_path("DLV\\CONFIG.INI"); }
Path list_no_path() { return inst_path("DLV\\RESULT\\LIST_NO.FIL"); }
Path result_path(std::int32_t n) { return inst_path("DLV\\RESULT\\%05d.FIL", n); }
Path vwd_path(std::int32_t n) { return inst_path("DLV\\RESULT\\%05d_VWD.FIL", n); }

// The number after n in the circular order 1 ... 99999 (1 after anything
// outside it).
std::int32_t next_no(std::int32_t n) { return n >= 1 && n < kResultNoMax ? n + 1 : 1; }

bool is_result_no(std::int32_t n) { return n >= 1 && n <= kResultNoMax; }

// Writes a whole file; a file that cannot be written is an I/O failure report.
void replace_or_report(const char* name, const void* data, std::size_t len) {
  if (zr_replace_file(name, data, len) == 0) return;
  zr::copy(zrwork->fail_fnm, name);
  _io_error(nullptr, ZR_IO_FOPEN, "wb");
}

// The files written from the server's text are read back line by line (CR
// dropped) with a bounded line buffer; a line longer than the reader takes is
// cut to max bytes on a character boundary before it is written. *cut counts
// the lines cut.
std::string lines_within(const char* data, std::size_t len, std::size_t max, int* cut) {
  std::string out;
  out.reserve(len);
  std::size_t line_len = 0;   // bytes of the line so far, CR not counted
  bool pending_lead = false;  // the last byte kept starts a two-byte character
  bool dropping = false;
  *cut = 0;
  for (std::size_t i = 0; i < len; ++i) {
    const auto c = static_cast<unsigned char>(data[i]);
    if (c == '\n') {
      if (dropping && i > 0 && data[i - 1] == '\r') out += '\r';
      out += '\n';
      line_len = 0;
      pending_lead = dropping = false;
      continue;
    }
    if (dropping) continue;
    if (c == '\r') {
      out += '\r';
      continue;
    }
    if (line_len == max) {
      if (pending_lead) out.pop_back();
      dropping = true;
      ++*cut;
      continue;
    }
    out += static_cast<char>(c);
    ++line_len;
    pending_lead = !pending_lead && ((c >= 0x81 && c <= 0x9F) || c >= 0xE0);
  }
  return out;
}

// Writes text from the server with its lines bounded for the reader.
void replace_text_or_report(const char* name, const char* what, const void* data, std::int32_t len,
                            std::size_t max_line) {
  int cut = 0;
  const std::string text = lines_within(
      static_cast<const char*>(data), len > 0 ? static_cast<std::size_t>(len) : 0, max_line, &cut);
  if (cut) _dbg_print("%s: %d lines longer than %u bytes cut", what, cut, unsigned(max_line));
  replace_or_report(name, text.data(), text.size());
}

template <std::size_t N>
void read_text(const char* fnm, const char* section, const char* key, char (&field)[N]) {
  zr_config_read(fnm, section, key, field, N);
}

void request_section(int i, char (&sec)[16]) { ZR_FMT(sec, "%05d", i); }

}  // namespace

// ---- settings -------------------------------------------------------------------

void _sdi_config_read() {
  Path fnm = config_path();
  read_text(fnm, kSystem, "check_time", zrsdi->check_time);
  zrsdi->dlv_type = static_cast<std::uint8_t>(_config_read_int(fnm, kSystem, "dlv_type", 1));
  zrsdi->disp_cycle = static_cast<std::int16_t>(_config_read_int(fnm, kSystem, "disp_cycle", 1));
  zrsdi->auto_start = static_cast<std::uint8_t>(_config_read_int(fnm, kSystem, "auto_start", 0));
  zrsdi->zero_disp = static_cast<std::uint8_t>(_config_read_int(fnm, kSystem, "zero_disp", 0));
  zrsdi->disp_first = static_cast<std::uint8_t>(_config_read_int(fnm, kSystem, "disp_first", 0));
  if (zrsdi->check_time[0] == '\0') zr::copy(zrsdi->check_time, "12:00:00");
  static const std::int32_t kPeriods[] = {300, 600, 1800, 3600, 7200};
  if (zrsdi->disp_cycle >= 0 && zrsdi->disp_cycle <= 4) {
    zrsdi->disp_period = kPeriods[zrsdi->disp_cycle];
  }
}

void _sdi_config_write() {
  _config_open(config_path());
  _config_write_int(kSystem, "dlv_type", zrsdi->dlv_type);
  _config_write(kSystem, "check_time", zrsdi->check_time);
  _config_write_int(kSystem, "disp_cycle", zrsdi->disp_cycle);
  _config_write_int(kSystem, "auto_start", zrsdi->auto_start);
  _config_write_int(kSystem, "zero_disp", zrsdi->zero_disp);
  _config_write_int(kSystem, "disp_first", zrsdi->disp_first);
  _config_close();
}

// ---- folders and marker ----------------------------------------------------------

void _sdi_dir_make() {
  _mkdir_all(inst_path("DLV"));
  _mkdir_all(inst_path("DLV\\MASTER"));
  _mkdir_all(inst_path("DLV\\RESULT"));
}

void _sdi_dlv_no_make() {
  zr::copy(zrwork->rtn_nm, "_sdi_dlv_no_make");
  Path fnm = inst_path("DLV\\DLV_NO.FIL");
  if (std::FILE* fp = _fopen_ext(fnm, "rb")) {
    _fclose(fp);
    return;
  }
  static const char kMarker[] = "NO RESULT\r\n";
  replace_or_report(fnm, kMarker, sizeof kMarker - 1);
}

// ---- counters -----------------------------------------------------------------------

void _sdi_list_no_read() {
  Path fnm = list_no_path();
  zrsdi->list_no_f = _config_read_int(fnm, kCommon, "list_no_f", 0);
  zrsdi->list_no_t = _config_read_int(fnm, kCommon, "list_no_t", 0);
  zrsdi->list_no_cnt = _config_read_int(fnm, kCommon, "list_no_cnt", 0);
  // No more results can exist than there are numbers, and kept results have
  // numbers of 1 to 99999: counters outside that are not counters of this
  // store, and it starts again without results.
  const bool usable =
      zrsdi->list_no_cnt == 0 || (zrsdi->list_no_cnt > 0 && zrsdi->list_no_cnt <= kResultNoMax &&
                                  is_result_no(zrsdi->list_no_f) && is_result_no(zrsdi->list_no_t));
  if (!usable) {
    _dbg_print("LIST_NO.FIL: counters out of range (f:%d t:%d cnt:%d), taken as no results",
               zrsdi->list_no_f, zrsdi->list_no_t, zrsdi->list_no_cnt);
    zrsdi->list_no_f = zrsdi->list_no_t = zrsdi->list_no_cnt = 0;
  }
}

void _sdi_list_no_write() {
  _config_open(list_no_path());
  _config_write_int(kCommon, "list_no_f", zrsdi->list_no_f);
  _config_write_int(kCommon, "list_no_t", zrsdi->list_no_t);
  _config_write_int(kCommon, "list_no_cnt", zrsdi->list_no_cnt);
  _config_close();
}

void _sdi_result_new() {
  if (zrsdi->list_no_cnt == 0) {
    zrsdi->list_no_f = zrsdi->list_no_t = zrsdi->list_no_cnt = 1;
    return;
  }
  zrsdi->list_no_t = next_no(zrsdi->list_no_t);
  if (zrsdi->list_no_cnt >= kResultNoMax) {
    // Every number is in use: the new result takes the oldest one's.
    zrsdi->list_no_cnt = kResultNoMax;
    zrsdi->list_no_f = next_no(zrsdi->list_no_f);
    return;
  }
  ++zrsdi->list_no_cnt;
}

// ---- results ------------------------------------------------------------------------

void _sdi_result_write(std::int32_t n, const void* data, std::int32_t len) {
  zr::copy(zrwork->rtn_nm, "_sdi_result_write");
  replace_text_or_report(result_path(n), "result file", data, len, kResultLineMax);
}

void _sdi_result_read(std::int32_t n) {
  std::memset(zrsdi->rslt, 0, sizeof zrsdi->rslt);
  zrsdi->rslt_cnt = 0;
  Path fnm = result_path(n);
  // Each file is read once: a result announces up to kSdiRsltMax requests of
  // three keys each, and their viewed flags are in the other file.
  const ZrIniFile result(fnm);
  int cnt = result.read_int(kList, "rslt_cnt", 0);
  result.read(kList, "sdi_date", zrsdi->sdi_date);
  result.read(kList, "sdi_time", zrsdi->sdi_time);
  result.read(kList, "inq_date_f", zrsdi->inq_date_f);
  result.read(kList, "inq_date_t", zrsdi->inq_date_t);
  if (cnt > kSdiRsltMax) {
    _dbg_print("_sdi_result_read rslt_cnt:%d over %d, the rest is not loaded fnm:%s", cnt,
               kSdiRsltMax, fnm.s);
    cnt = kSdiRsltMax;
  }
  if (cnt < 0) cnt = 0;
  zrsdi->rslt_cnt = cnt;
  char sec[16];
  for (int i = 1; i <= cnt; ++i) {
    ZR_SDI_RSLT& r = zrsdi->rslt[i - 1];
    request_section(i, sec);
    r.rslt_no = result.read_int(sec, "rslt_no", 0);
    r.inq_cnt = result.read_int(sec, "inq_cnt", 0);
    result.read(sec, "exp_nm", r.exp_nm);
  }
  const ZrIniFile viewed(vwd_path(n));
  for (int i = 1; i <= cnt; ++i) {
    request_section(i, sec);
    zrsdi->rslt[i - 1].vwd_fg = static_cast<std::uint8_t>(viewed.read_int(sec, "vwd_fg", 0));
  }
  _dbg_print("検索日時：%s %s", zrsdi->sdi_date, zrsdi->sdi_time);
  _dbg_print("検索範囲：%s ～ %s", zrsdi->inq_date_f, zrsdi->inq_date_t);
  _dbg_print("配信件数：%d", zrsdi->rslt_cnt);
}

void _sdi_result_head_read(std::int32_t n, ZR_SDI_HEAD* head) {
  // Four keys at the head of the file: read straight, without the rest of it.
  Path fnm = result_path(n);
  read_text(fnm, kList, "sdi_date", head->sdi_date);
  read_text(fnm, kList, "sdi_time", head->sdi_time);
  read_text(fnm, kList, "inq_date_f", head->inq_date_f);
  read_text(fnm, kList, "inq_date_t", head->inq_date_t);
}

void _sdi_vwd_write(std::int32_t n) {
  _config_open(vwd_path(n));
  char sec[16];
  int cnt = zrsdi->rslt_cnt;
  if (cnt > kSdiRsltMax) cnt = kSdiRsltMax;
  for (int i = 1; i <= cnt; ++i) {
    request_section(i, sec);
    _config_write_int(sec, "vwd_fg", zrsdi->rslt[i - 1].vwd_fg);
  }
  _config_close();
}

std::int32_t _sdi_day_add(std::int32_t ymd, std::int32_t days) {
  return zr::date_add_days(ymd, days);
}

void _sdi_result_clean() {
  _sdi_list_no_read();
  if (zrsdi->list_no_cnt < 1) return;
  std::int32_t limit_ymd = _sdi_day_add(zr00->sys_date.ymd, -kRetentionDays);
  char limit[16];
  ZR_FMT(limit, "%04d/%02d/%02d", limit_ymd / 10000, limit_ymd / 100 % 100, limit_ymd % 100);
  // No more results can exist than there are numbers, whatever the file says.
  std::int32_t rounds = zrsdi->list_no_cnt;
  if (rounds > kResultNoMax) rounds = kResultNoMax;
  int deleted = 0;
  for (std::int32_t i = 0; i < rounds; ++i) {
    _sdi_result_read(zrsdi->list_no_f);
    if (std::strcmp(zrsdi->sdi_date, limit) > 0) break;
    _fdelete(inst_path("DLV\\RESULT\\%05d*.*", zrsdi->list_no_f));
    zrsdi->list_no_f = next_no(zrsdi->list_no_f);
    --zrsdi->list_no_cnt;
    ++deleted;
  }
  if (deleted == 0) return;
  if (zrsdi->list_no_cnt == 0) zrsdi->list_no_f = zrsdi->list_no_t = 0;
  _sdi_list_no_write();
}

// ---- last covered date and issue calendar --------------------------------------------

void _sdi_last_pd_write(std::int32_t pd) {
  zr::copy(zrwork->rtn_nm, "_sdi_last_pd_write");
  char text[16];
  int len = ZR_FMT(text, "%08d", pd);
  replace_or_report(inst_path("DLV\\LAST_PD.FIL"), text, static_cast<std::size_t>(len));
}

int _sdi_last_pd_read(std::int32_t* pd) {
  zr::copy(zrwork->rtn_nm, "_sdi_last_pd_read");
  std::FILE* fp = _fopen_ext(inst_path("DLV\\LAST_PD.FIL"), "rb");
  if (!fp) return -1;
  char text[9] = {};
  _fread(text, 1, 8, fp);
  _fclose(fp);
  if (pd) *pd = zr_decimal(text);
  return 0;
}

void _sdi_update_tm_write(const void* data, std::int32_t len) {
  zr::copy(zrwork->rtn_nm, "_sdi_update_tm_write");
  replace_text_or_report(inst_path("DLV\\UPDATE_TM"), "UPDATE_TM", data, len, kCalendarLineCap - 1);
}

void _sdi_update_tm_read(std::int32_t newest) {
  zrsdi->upd_cnt = 0;
  std::memset(zrsdi->upd_pd, 0, sizeof zrsdi->upd_pd);
  zr::copy(zrwork->rtn_nm, "_sdi_update_tm_read");
  std::FILE* fp = _fopen(inst_path("DLV\\UPDATE_TM"), "rb");

  // Month index (year * 12 + month - 1) of the month before the newest issue.
  std::int64_t first = static_cast<std::int64_t>(newest / 10000) * 12 + newest / 100 % 100 - 2;
  int dropped = 0;
  char line[kCalendarLineCap];
  for (int j = 0; j < 4; ++j) {
    std::int64_t index = first + j;
    std::int64_t year = index >= 0 ? index / 12 : (index - 11) / 12;
    std::int64_t month = index - year * 12 + 1;
    char prefix[24];
    int len = ZR_FMT(prefix, "%06lld", static_cast<long long>(year * 100 + month));
    _fseek(fp, 0, SEEK_SET);
    bool cut = false;
    while (zr_fread_txt_cut(line, kCalendarLineCap, fp, &cut) > 0) {
      if (cut && j == 0) {
        _dbg_print("UPDATE_TM: line longer than %d bytes, cut", kCalendarLineCap - 1);
      }
      if (std::strncmp(line, prefix, static_cast<std::size_t>(len)) != 0) continue;
      if (zrsdi->upd_cnt >= kSdiCalMax) {
        ++dropped;
        continue;
      }
      char date[9];
      zr::copy_n(date, line, 8);
      zrsdi->upd_pd[zrsdi->upd_cnt++] = zr_decimal(date);
    }
  }
  _fclose(fp);
  if (dropped) {
    _dbg_print("UPDATE_TM: %d issue dates beyond %d dropped", dropped, kSdiCalMax);
  }
}
