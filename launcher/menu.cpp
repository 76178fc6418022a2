// The SDI checker menu's logic. The launcher and the checker share only the
// control block "QRT100" (byte 0 run_sts, byte 2 cfg_chg) and files.
#include "menu.h"

#include <string>

#include "connection.h"
#include "platform/platform.h"
#include "update.h"
#include "zrlib.h"

namespace {

constexpr const char* kCheckerBlock = "QRT100";
constexpr int kRunSts = 0;  // byte of the control block: 9 asks the checker to end
constexpr int kCfgChg = 2;  // byte of the control block: 1 while the menu is open
constexpr int kStartMode = 3;

std::uint8_t* g_cfg_chg = nullptr;  // the running checker's cfg_chg byte while the menu is open
void* g_view = nullptr;

std::uint32_t real_start(const char* path) { return plat::start_process(path); }
menu::StartFn g_start = real_start;

std::string in_exe_dir(const char* name) { return std::string(zrconn->exe_dir) + "\\" + name; }

// Replaces QRT100.EXE by a QRT100.NEW left by the update, keeping its time.
void swap_in_new_checker() {
  const std::string fresh = in_exe_dir("QRT100.NEW");
  if (!plat::path_exists(fresh.c_str())) return;
  const std::string exe = in_exe_dir("QRT100.EXE");
  std::int32_t date = 0, time = 0;
  _ftime_get(fresh.c_str(), &date, &time);
  // Copied into a new file and moved over the executable in one step: a crash
  // in the middle leaves the old program whole and QRT100.NEW for the next start.
  if (zr_copy_replace(fresh.c_str(), exe.c_str()) != 0) {
    // QRT100.NEW stays for the next start: deleting it would lose the update.
    _dbg_print("QRT100.EXE not replaced: QRT100.NEW kept");
    return;
  }
  _ftime_set(exe.c_str(), date, time);
  _fdelete(fresh.c_str());
  _dbg_print("QRT100.EXE replaced by QRT100.NEW");
}

}  // namespace

namespace menu {

StartFn start_fn(StartFn fn) {
  StartFn previous = g_start;
  g_start = fn ? fn : real_start;
  return previous;
}

bool checker_running() {
  void* view = _shm_open(kCheckerBlock);
  if (!view) return false;
  _shm_close(view);
  return true;
}

void prepare() {
  g_view = _shm_open(kCheckerBlock);
  if (g_view) {
    g_cfg_chg = static_cast<std::uint8_t*>(g_view) + kCfgChg;
    *g_cfg_chg = 1;
  }
  for (const char* sub : {"DLV", "DLV\\MASTER", "DLV\\RESULT"}) {
    const std::string dir = std::string(zrenv->inst_dir) + "\\" + sub;
    if (!plat::is_directory(dir.c_str())) _mkdir_all(dir.c_str());
  }
  uid_fil_read();
  _sdi_config_read();
  _sdi_list_no_read();
}

Buttons on_open() {
  Buttons b;
  if (checker_running()) {
    b.start = b.options = b.history = false;
  } else {
    b.stop = false;
  }
  if (zrsdi->list_no_cnt == 0) b.history = false;
  return b;
}

bool start_at_once() { return zrconn->launch_mode == kStartMode; }

Buttons after_account(const Buttons& now, bool* changed) {
  *changed = zrconn->user_ok == 1;
  if (!*changed) return now;
  Buttons b = now;
  const bool running = checker_running();
  if (running) b.stop = true;
  if (!running) b.start = true;
  b.options = true;
  if (zrsdi->list_no_cnt != 0) b.history = true;
  return b;
}

After start() {
  if (checker_running()) {
    char text[256];
    ZR_FMT(text, "【ＳＤＩチェッカー機能:%s】は既に起動されています。\n起動を中止します。",
           "QRT100");
    _dbg_print("%s", text);
    _mes_print("%s", text);
    return After::kStay;
  }
  if (!zr01->user_id[0] || !zr01->user_pass[0]) {
    _mes_box("ＩＤ，ＰＡＳＳを設定して下さい。", 0);
    return After::kStay;
  }
  if (user_mst_get() != 0) {
    _mes_box("Ｏｒｖａｎｔａに接続できません。", 0);
    return After::kStay;
  }
  if (svc_connect(zrconn->kind_idx) != 0) return After::kStay;
  if (zrconn->sdi_stop) {
    _mes_box("現在ＳＤＩチェッカー機能を停止しております。", 0);
    return After::kStay;
  }
  // The requests go to the host and object of ZORAX.INI again.
  int idx = zrconn->host_idx;
  if (idx < 0 || idx >= zrconn->host_cnt) idx = 0;
  zr::copy(zr01->http_host_nm, zrconn->host_nm[idx]);
  zr::copy(zr01->http_obj_nm, zrconn->obj_nm);
  if (!zrconn->vup_use) return After::kClose;

  if (update_list_get() != 0) return After::kStay;
  update_download();
  swap_in_new_checker();

  const std::string exe = in_exe_dir("QRT100.EXE");
  if (std::uint32_t e = g_start(exe.c_str()); e != 0) {
    char text[512];
    ZR_FMT(text, "ＳＤＩチェッカー(%.260s)を起動できませんでした。(エラーコード:%u)", exe.c_str(),
           static_cast<unsigned>(e));
    _dbg_print("%s", text);
    _mes_box(text, 0);
    zr_exit();
  }
  _dbg_print("QRT100 started: %s", exe.c_str());
  return After::kClose;
}

After stop() {
  if (void* view = _shm_open(kCheckerBlock)) {
    static_cast<std::uint8_t*>(view)[kRunSts] = 9;
    _shm_close(view);
    _dbg_print("QRT100 asked to end (run_sts 9)");
  }
  return After::kClose;
}

void closed() {
  if (g_cfg_chg) *g_cfg_chg = 0;
  g_cfg_chg = nullptr;
  if (g_view) _shm_close(g_view);
  g_view = nullptr;
}

}  // namespace menu
