// One check of the SDI checker (see sdi_cycle.h).
#include "sdi_cycle.h"

#include <cstring>

#include "platform/platform.h"
#include "runtime/desktop.h"
#include "zrlib.h"
#include "naming/code_tables.h"
#include "sdi/sdi.h"
#include "session/envelope.h"
#include "session/logon.h"
#include "session/server_info.h"
#include "text/dates.h"

namespace {

constexpr int kMidNewest = 117;   // 更新スケジュール取得
constexpr int kMidSdiRun = 1200;  // qrt_SDI実行
constexpr int kNewestKind = 22;
constexpr std::int32_t kDispMax = 10000;
constexpr int kPollIntervalMs = 2000;
constexpr int kWeekWindows = 7;
constexpr int kMonthsCovered = 4;

constexpr char kBalloonTitle[] = "【 Orvanta SDIチェッカー 】";

void balloon_clear() { _tray_balloon("", "", ZR_BALLOON_NONE); }

std::int32_t read_i32(const char* p) {
  std::int32_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// True when ymd names a real calendar day.
bool is_date(std::int32_t ymd) {
  if (ymd <= 0) return false;
  int y = ymd / 10000, m = ymd / 100 % 100, d = ymd % 100;
  return m >= 1 && m <= 12 && d >= 1 && d <= zr::month_days(y, m);
}

// The month YYYYMM of a month index (year * 12 + month - 1).
std::int32_t month_of_index(std::int64_t index) {
  return static_cast<std::int32_t>(index / 12 * 100 + index % 12 + 1);
}

void window_add(ZR_SDI_PDLV& w, std::int32_t d) {
  if (w.pd_f == 0) w.pd_f = d;
  w.pd_t = d;
}

ZR_SDI_PDLV* windows_of(int dlv_type) {
  switch (dlv_type) {
    case SDI_DLV_WEEK:
      return zrsdi->pdlv_week;
    case SDI_DLV_HALF:
      return zrsdi->pdlv_half;
    case SDI_DLV_MONTH:
      return zrsdi->pdlv_month;
    default:
      return nullptr;
  }
}

// Seven weeks from the Sunday four weeks before the newest issue's week; each
// window takes the calendar dates of its Monday to Friday. Weeks that begin in a
// month before the calendar stay empty; building stops at the first week that
// ends in a month after it.
void build_weeks(std::int32_t newest) {
  const int cnt = zrsdi->upd_cnt;
  if (cnt <= 0) return;
  if (!is_date(newest)) {
    _dbg_print("sdi_pdlv_build: newest issue date %d is no date, no weekly windows", newest);
    return;
  }
  const std::int64_t day = zr::days_from_date(newest / 10000, newest / 100 % 100, newest % 100);
  const std::int64_t weekday = ((day + 4) % 7 + 7) % 7;  // 1970-01-01 was a Thursday
  std::int64_t sunday = day - weekday - 28;
  const std::int32_t cal_first = zrsdi->upd_pd[0] / 100;
  const std::int32_t cal_last = zrsdi->upd_pd[cnt - 1] / 100;
  for (int w = 0; w < kWeekWindows; ++w, sunday += 7) {
    const auto s = static_cast<std::int32_t>(zr::date_of_days(sunday));
    const auto e = static_cast<std::int32_t>(zr::date_of_days(sunday + 6));
    if (cal_first > s / 100) continue;
    if (cal_last < e / 100) break;
    for (int i = 0; i < cnt; ++i) {
      const std::int32_t d = zrsdi->upd_pd[i];
      if (s < d && d < e) window_add(zrsdi->pdlv_week[w], d);
    }
  }
}

// The month before the newest issue's and the three months from it: two
// windows each (days 1-15 and 16 to the end) or one.
void build_months(std::int32_t newest, ZR_SDI_PDLV* table, int per_month) {
  const std::int64_t first =
      static_cast<std::int64_t>(newest / 10000) * 12 + newest / 100 % 100 - 2;
  for (int m = 0; m < kMonthsCovered; ++m) {
    const std::int32_t month = month_of_index(first + m);
    for (int i = 0; i < zrsdi->upd_cnt; ++i) {
      const std::int32_t d = zrsdi->upd_pd[i];
      if (d / 100 != month) continue;
      const int slot = per_month == 2 ? 2 * m + (d % 100 > 15 ? 1 : 0) : m;
      window_add(table[slot], d);
    }
  }
}

// The current local date as MM/DD/YY and time as HH:MM:SS.
void now_texts(char (&date)[16], char (&time)[16]) {
  plat::LocalTime t = plat::now_local();
  ZR_FMT(date, "%02d/%02d/%02d", t.month, t.day, t.year % 100);
  ZR_FMT(time, "%02d:%02d:%02d", t.hour, t.minute, t.second);
}

}  // namespace

// ---- delivery windows ----------------------------------------------------------------

void sdi_pdlv_build(int dlv_type, std::int32_t newest) {
  ZR_SDI_PDLV* table = windows_of(dlv_type);
  if (!table) return;
  std::memset(table, 0, sizeof(ZR_SDI_PDLV) * kSdiPdlvMax);
  if (newest <= 0) return;
  if (dlv_type == SDI_DLV_WEEK) {
    build_weeks(newest);
  } else {
    build_months(newest, table, dlv_type == SDI_DLV_HALF ? 2 : 1);
  }
}

int sdi_range_get(int dlv_type, std::int32_t newest, std::int32_t last, std::int32_t* pd_f,
                  std::int32_t* pd_t) {
  if (dlv_type == SDI_DLV_ISSUE) {
    *pd_f = _sdi_day_add(last, 1);
    *pd_t = newest;
    return 0;
  }
  const ZR_SDI_PDLV* table = windows_of(dlv_type);
  if (!table) return 1;
  bool due = false;
  for (int w = 0; w < kSdiPdlvMax; ++w) {
    const ZR_SDI_PDLV& p = table[w];
    if (p.pd_f == 0 || p.pd_t == 0) continue;
    _dbg_print("pdlv->pd : %d ～ %d", p.pd_f, p.pd_t);
    if (p.pd_t <= last || p.pd_t > newest) continue;
    if (!due) *pd_f = p.pd_f;
    *pd_t = p.pd_t;
    due = true;
  }
  if (!due) return 1;
  _dbg_print("zr01_pd_f : %d, zr01_pd_t : %d", *pd_f, *pd_t);
  return 0;
}

// ---- the three steps of a check ---------------------------------------------------------

int sdi_logon_newest() {
  char text[128];
  ZR_FMT(text, "*** 最新公報発行日取得中(%s) ***", _kd7inf_nm(zrwork->kd_5));
  _tray_balloon(kBalloonTitle, text, ZR_BALLOON_INFO);
  const int logon = logon_bkg();
  balloon_clear();
  if (logon != 0) return 1;
  if (tm0930_svr_inf_net() != 0) {
    sdi_logoff();
    return 1;
  }
  zr01->disp_max = kDispMax;

  // Newest issue date and issue calendar: "1100" asks for the gazette kind 11.
  PHMSG* msg = zrwork->p_msg;
  msg->hdr.mid = kMidNewest;
  msg->hdr.kd00 = kNewestKind;
  msg->hdr.sts = 0;
  zrwork->mlng = zr::format(msg->data, 5, "%02d%02d", 11, 0);
  msg->hdr.lng = kMsgHeaderSize + zrwork->mlng;
  const int ret = zr00->msg_fn ? zr00->msg_fn() : -1;
  if (ret < 0) {
    // The transport has reported the broken connection; there is nothing to log off.
    _dbg_print("sdi_logon_newest: newest issue date not received (ret:%d)", ret);
    return 1;
  }
  msg = zrwork->p_msg;
  const std::size_t got = zr_session::answer_bytes();
  const std::int32_t sts = msg->hdr.sts;
  const std::int32_t newest = got >= 8 ? read_i32(msg->data) : 0;
  const std::int32_t n = got >= 8 ? read_i32(msg->data + 4) : -1;
  if (sts < 0 || n < 0 || static_cast<std::size_t>(n) > got - 8) {
    _dbg_print("sdi_logon_newest: no usable newest-date answer (sts:%d, length:%d, %d bytes)", sts,
               n, static_cast<int>(got));
    sdi_logoff();
    return 1;
  }
  _sdi_update_tm_write(msg->data + 8, n);
  zrsdi->qrt100_svr_last_pd = newest;
  return 0;
}

void sdi_main_proc() {
  char date[16], time[16];
  now_texts(date, time);
  _dbg_print("sdi_main_proc DATE:%s TIME:%s", date, time);

  const std::int32_t newest = zrsdi->qrt100_svr_last_pd;
  std::int32_t last = 0;
  if (_sdi_last_pd_read(&last) != 0) last = _sdi_day_add(newest, -7);
  zrsdi->sdi_last_pdt = last;
  _dbg_print("qrt100_svr_last_pd : %d, sdi_last_pdt : %d", newest, last);
  if (newest == last || newest == 0) return;
  if (!is_date(newest) || newest < last) {
    _dbg_print("sdi_main_proc: newest issue date %d is no date or before %d, nothing searched",
               newest, last);
    return;
  }

  _sdi_update_tm_read(newest);
  const int dlv_type = zrsdi->dlv_type;
  sdi_pdlv_build(dlv_type, newest);
  std::int32_t pd_f = 0, pd_t = 0;
  if (sdi_range_get(dlv_type, newest, last, &pd_f, &pd_t) != 0) return;
  zr01->pd_f = pd_f;
  zr01->pd_t = pd_t;

  _tray_balloon(kBalloonTitle,
                "*** ただ今ＳＤＩ処理中 *** \n"
                "ログインせず、しばらくお待ちください。",
                ZR_BALLOON_INFO);

  char req[24];
  const int len = ZR_FMT(req, "%08d%08d", pd_f, pd_t);
  zrwork->mlng = 0;
  zr0930_msg_set(req, len);
  if (zr0930_msg_request(zrwork->kd_1, kMidSdiRun) != 0 || zrwork->p_msg->hdr.sts < 0) {
    _dbg_print("sdi_main_proc: SDI run not started (sts:%d)", zrwork->p_msg->hdr.sts);
    return;
  }
  if (zr0930_krkr_proc(1, kPollIntervalMs) != 0 || zrwork->p_msg->hdr.sts < 0) {
    _dbg_print("sdi_main_proc: SDI run failed");
    return;
  }

  // The result is the sts bytes of the final answer; a length beyond what
  // arrived is refused so that the next check searches the same range again.
  const std::int32_t size = zrwork->p_msg->hdr.sts;
  if (static_cast<std::size_t>(size) > zr_session::answer_bytes()) {
    _dbg_print("sdi_main_proc: result length %d exceeds the %d bytes received, not stored", size,
               static_cast<int>(zr_session::answer_bytes()));
    return;
  }
  _sdi_result_new();
  _sdi_result_write(zrsdi->list_no_t, zrwork->p_msg->data, size);
  _sdi_result_read(zrsdi->list_no_t);
  zrsdi->new_state = 1;
  _sdi_list_no_write();
  _sdi_last_pd_write(pd_t);
}

void sdi_logoff() {
  zr0930_logoff();
  if (zrconn->http_use) zrhttp_finish();
}
