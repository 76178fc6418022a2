#include "schedule.h"

#include <cstring>

#include "net/transport.h"
#include "net/tunnel.h"
#include "runtime/desktop.h"
#include "zrlib.h"
#include "sdi/sdi.h"
#include "sdi_cycle.h"
#include "text/dates.h"

namespace checker {
namespace {

constexpr const char* kStars = "********************************************************";

plat::LocalTime system_now() { return plat::now_local(); }

NowFn g_now = system_now;
SleepFn g_sleep = plat::sleep_ms;
CycleSteps g_steps{sdi_logon_newest, sdi_main_proc, sdi_logoff};

void banner(const char* words) {
  plat::LocalTime t = now();
  char d[9], h[9];
  date_text(t, d);
  time_text(t, h);
  _dbg_print("%s", kStars);
  _dbg_print("*****   %s [%s %s]   *****", words, d, h);
  _dbg_print("%s", kStars);
}

// The transport of the checks, installed anew when the scheduler starts, by
// the same rule as at start-up.
void install_transport() {
  _dbg_print(zrconn->zrhttp_use ? "HTTP_TEST USE" : "HTTP_TEST NOT USE");
  zrnet_msg_fn_install(true);
  zwsock_initial();
}

}  // namespace

// ---- clock and pauses ---------------------------------------------------------------

NowFn clock_set(NowFn fn) {
  NowFn prev = g_now;
  g_now = fn ? fn : system_now;
  return prev;
}

SleepFn sleep_set(SleepFn fn) {
  SleepFn prev = g_sleep;
  g_sleep = fn ? fn : plat::sleep_ms;
  return prev;
}

plat::LocalTime now() { return g_now(); }
void sleep(std::uint32_t ms) { g_sleep(ms); }

std::int64_t seconds_of(const plat::LocalTime& t) {
  return zr::days_from_date(t.year, t.month, t.day) * 86400 + t.hour * 3600 + t.minute * 60 +
         t.second;
}

void time_text(const plat::LocalTime& t, char (&out)[9]) {
  ZR_FMT(out, "%02d:%02d:%02d", t.hour % 100, t.minute % 100, t.second % 100);
}

void date_text(const plat::LocalTime& t, char (&out)[9]) {
  ZR_FMT(out, "%02d/%02d/%02d", t.month % 100, t.day % 100, t.year % 100);
}

std::int32_t day_number(const plat::LocalTime& t) {
  return 20000000 + (t.year % 100) * 10000 + t.month * 100 + t.day;
}

CycleSteps cycle_set(const CycleSteps& steps) {
  CycleSteps prev = g_steps;
  g_steps = steps;
  return prev;
}

State& state() {
  static State s;
  return s;
}

// ---- decisions -----------------------------------------------------------------------------

bool check_due(const char* now_hms, std::int32_t today, std::int32_t last_check_day,
               const char* check_time, bool dialog_open, bool menu_open) {
  if (dialog_open || menu_open || last_check_day == today) return false;
  if (std::strcmp(now_hms, check_time) < 0 && last_check_day != 0) return false;
  return true;
}

std::int32_t checked_day(const char* now_hms, std::int32_t today, const char* check_time) {
  return std::strcmp(now_hms, check_time) < 0 ? today - 1 : today;
}

// ---- loops ------------------------------------------------------------------------------------

bool scheduler_pass() {
  State& s = state();
  zrsdi->checker_status = 1;
  plat::LocalTime t = now();
  char hms[9];
  time_text(t, hms);
  std::int32_t today = day_number(t);
  if (!check_due(hms, today, zrsdi->last_check_day, zrsdi->check_time,
                 zrsdi->open_dialog != nullptr, s.menu_open.load() != 0)) {
    return false;
  }
  zrsdi->checking = 1;
  if (g_steps.logon_newest() == 0) {
    _tray_balloon("", "", ZR_BALLOON_INFO);
    zrsdi->last_check_day = checked_day(hms, today, zrsdi->check_time);
    g_steps.main_proc();
    g_steps.logoff();
    _tray_balloon("", "", ZR_BALLOON_INFO);
  }
  zrsdi->checking = 0;
  return true;
}

void scheduler_run() {
  State& s = state();
  banner("ＳＤＩチェッカー開始");
  _tray_tip("公報チェック稼働中");
  install_transport();
  _sdi_list_no_read();
  s.stop = 0;
  zrsdi->checker_status = 1;
  zrsdi->last_check_day = 0;
  zrsdi->new_state = 0;
  for (;;) {
    zrsdi->checker_status = 0;
    for (int i = 0; i < 60; ++i) {
      if (s.stop || zrsdi->config_changing == 1) break;
      sleep(100);
    }
    if (s.stop) break;
    if (zrsdi->config_changing == 1) continue;
    scheduler_pass();
  }
  _tray_tip("公報チェック停止中");
  banner("ＳＤＩチェッカー停止");
}

bool watcher_poll() {
  State& s = state();
  volatile std::uint8_t* ctrl = s.ctrl;
  if (!ctrl) return false;
  if (ctrl[kRunSts] == 9) return true;
  std::uint8_t cmd = ctrl[kCfgChg];
  if (cmd == 1) s.menu_open = 1;
  if (cmd == 0) s.menu_open = 0;
  if (cmd == 2) {
    zrsdi->config_changing = 1;
    while (zrsdi->checker_status == 1) sleep(500);
    _dbg_print("*** SDI Config Changed ***");
    zrsdi->last_check_day = 0;
    zrsdi->config_changing = 0;
    ctrl[kCfgChg] = 0;
  }
  return false;
}

void watcher_run() {
  State& s = state();
  while (!s.stop) {
    if (watcher_poll()) break;
    sleep(500);
  }
  s.stop = 1;
  if (zrsdi->checker_status != 0) zrsdi->checker_status = 9;
}

}  // namespace checker
