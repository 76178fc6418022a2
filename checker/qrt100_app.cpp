#include "qrt100_app.h"

#include <cstring>
#include <mutex>

#include "net/transport.h"
#include "net/tunnel.h"
#include "platform/desktop.h"
#include "platform/platform.h"
#include "runtime/desktop.h"
#include "zrlib.h"
#include "schedule.h"
#include "sdi/sdi.h"
#include "session/logon.h"
#include "session/settings.h"

namespace checker {
namespace {

constexpr const char* kStars = "********************************************************";
constexpr int kLauncherPolls = 101;  // further waits for the launcher to end
constexpr std::uint32_t kLauncherPollMs = 3000;

// The closing steps run once; a second caller (the watcher and the main thread
// may both end the process) waits until the first has finished them.
std::mutex g_closing_lock;
bool g_closed = false;

// The transport for the start-up's own request (the user check): the common
// rule, so that with TLS configured the password travels over TLS too; the
// socket layer is started whichever transport was chosen.
void install_startup_transport() {
  zrnet_msg_fn_install(true);
  zwsock_initial();
}

void set_computer_name() {
  std::memset(zr00->pc_nm, 0, sizeof zr00->pc_nm);
  plat::computer_name(zr00->pc_nm, sizeof zr00->pc_nm);
  char padded[21];
  std::memset(padded, ' ', 20);
  padded[20] = '\0';
  std::size_t n = std::strlen(zr00->pc_nm);
  std::memcpy(padded, zr00->pc_nm, n < 20 ? n : 20);
  zr::copy(zrconn->term_nm, padded);
}

void create_empty(const char* fnm) {
  if (std::FILE* fp = _fopen(fnm, "wb")) _fclose(fp);
}

bool launcher_running() {
  if (void* view = _shm_open("QRT000")) {
    _shm_close(view);
    return true;
  }
  return false;
}

// Puts a launcher left by the program update in place once no launcher runs.
// -1 when the launcher stays open for about five minutes.
int replace_launcher() {
  char fresh[300], exe[300];
  ZR_FMT(fresh, "%s\\QRT000.NEW", zrconn->exe_dir);
  if (!plat::path_exists(fresh)) return 0;
  ZR_FMT(exe, "%s\\QRT000.EXE", zrconn->exe_dir);
  _dbg_print("QRT000.NEW found: waiting for the launcher to end");
  checker::sleep(kLauncherPollMs);
  for (int polls = 0; launcher_running(); ++polls) {
    if (polls == kLauncherPolls) {
      _mes_box(
          "ＳＤＩチェッカーの起動に失敗しました。\r\n"
          "ＳＤＩチェッカーがバージョンアップしているので、\r\n"
          "バージョンアップを行ってください。",
          plat::kMbOk);
      return -1;
    }
    checker::sleep(kLauncherPollMs);
  }
  std::int32_t date = 0, time = 0;
  _ftime_get(fresh, &date, &time);
  // Copied into a new file and moved over the executable in one step: a crash
  // in the middle leaves the old launcher whole and QRT000.NEW for the next start.
  if (zr_copy_replace(fresh, exe) != 0) {
    // QRT000.NEW stays for the next start: deleting it now would lose the
    // update while QRT000.EXE is still the old program.
    _dbg_print("QRT000.EXE not replaced: QRT000.NEW kept");
    return 0;
  }
  _ftime_set(exe, date, time);
  _fdelete(fresh);
  _dbg_print("QRT000.EXE replaced by QRT000.NEW");
  return 0;
}

void watcher_main(void*) {
  watcher_run();
  end_process();
}

void scheduler_main(void*) { scheduler_run(); }

}  // namespace

void start_watcher() { state().watcher_thread = plat::thread_start(watcher_main, nullptr); }

void start_scheduler() { state().scheduler_thread = plat::thread_start(scheduler_main, nullptr); }

void closing() {
  std::lock_guard<std::mutex> lock(g_closing_lock);
  if (g_closed) return;
  g_closed = true;
  State& s = state();
  _tray_del();
  // A check that was running when the stop came finishes before the process
  // ends; an idle scheduler sees the stop flag within 100 ms.
  s.stop = 1;
  if (s.scheduler_thread) {
    plat::thread_join(s.scheduler_thread);
    s.scheduler_thread = nullptr;
  }
  zwsockh_auth_finish();
  _fopen_disp();
  _fclose_all();
  plat::LocalTime t = now();
  char d[9], h[9];
  date_text(t, d);
  time_text(t, h);
  _dbg_print("%s", kStars);
  _dbg_print("*****   ＳＤＩチェッカー終了 [%s %s]   *****", d, h);
  _dbg_print("%s", kStars);
  _err_print("***** QRT100 Finished DATE:%s TIME:%s *****", d, h);
}

void end_process() {
  closing();
  plat::exit_process(0);
}

}  // namespace checker

CMyApp::CMyApp() {
  zr_program_set(ZR_PRG_QRT100);
  zr_app_title_set("QRT100");
  _zrcmna_make();
}

CMyApp::~CMyApp() {
  checker::closing();
  _zrcmna_kill();
}

int CMyApp::StartupBody() { return checker::startup_body(); }

int checker::startup_body() {
  checker::State& s = checker::state();
  // Single instance: the control block exists while a checker runs.
  if (void* view = _shm_open("QRT100")) {
    _shm_close(view);
    char text[256];
    ZR_FMT(text, "【ＳＤＩチェッカー機能:%s】は既に起動されています。\n", "QRT100");
    zr::append(text, "起動を中止します。");
    _mes_box(text, plat::kMbOk);
    return -1;
  }
  s.ctrl_handle = _shm_create("QRT100", checker::kCtrlSize);
  s.ctrl = static_cast<std::uint8_t*>(_shm_open("QRT100"));
  if (s.ctrl) std::memset(s.ctrl, 0, checker::kCtrlSize);
  zr_kind_codes_set();

  // Folders and connection settings; the trace file is not named yet.
  char cwd[256];
  plat::current_dir(cwd, sizeof cwd);
  zr::copy(zrenv->inst_dir, cwd);
  zr::copy(zrenv->inst_dir2, cwd);
  zr::copy(zrconn->exe_dir, cwd);
  zr::copy(zrconn->exe_dir2, cwd);
  zr::copy(zrwork->wrk_dir, cwd);
  ZR_FMT(zrenv->exp_dir, "%s\\EXP", cwd);
  char dir[300];
  ZR_FMT(dir, "%s\\DLV", cwd);
  _mkdir_all(dir);
  if (zrnet_ini_read() != 0) return -1;
  zr00->ver_no = 120;
  zr00->sys_kd = 2;
  zr::copy(zr00->sys_id, "TS0000-001");
  zr::copy(zr00->kh_nm, "商標公報");
  zrenv->cert_ign = 1;
  proxy_fil_read();
  zr_japan_time_set();
  checker::set_computer_name();
  checker::install_startup_transport();
  _sdi_dlv_no_make();

  // Logs: one run of the checker per file.
  ZR_FMT(zr00->dbg_fnm, "%s\\DBGDATA", cwd);
  ZR_FMT(zr00->err_fnm, "%s\\ERRDATA", cwd);
  checker::create_empty(zr00->dbg_fnm);
  checker::create_empty(zr00->err_fnm);
  _sdi_dir_make();
  _dbg_print("--- Install Folder : %s ---", zrenv->inst_dir);
  zr_japan_time_set();

  plat::LocalTime t = checker::now();
  if (t.year == 0) {
    zr::copy(zrwork->mes_buf, "システム日付エラー！！ time:NULL");
    _mes_box(zrwork->mes_buf, plat::kMbOk);
    _dbg_print("%s", zrwork->mes_buf);
    zr_exit();
  }
  zr00->sys_date.year = static_cast<std::int16_t>(t.year);
  zr00->sys_date.month = static_cast<std::int16_t>(t.month);
  zr00->sys_date.day = static_cast<std::int16_t>(t.day);
  zr00->sys_date.ymd = t.year * 10000 + t.month * 100 + t.day;

  if (checker::replace_launcher() != 0) return -1;
  uid_fil_read();
  user_mst_get();  // a failure has been shown; every later check then fails at logon
  _sdi_config_read();
  _sdi_result_clean();
  if (s.ctrl) s.ctrl[checker::kRunSts] = 1;
  return 0;
}
