#include "qrt000_app.h"

#include <cstring>

#include "menu.h"
#include "net/transport.h"
#include "platform/platform.h"
#include "zrlib.h"
#include "session/settings.h"
#include "platform/sjis_byte.h"

namespace {

constexpr const char* kOleFailed =
    "OLE の初期化に失敗しました。 OLE ﾗｲﾌﾞﾗﾘのﾊﾞｰｼﾞｮﾝが正しいことを確認してください。";

// Finds the install folder (the folder of QRT000.EXE in the executable search
// order, else C:\ZORAX) and makes it the current directory.
void enter_install_folder() {
  char found[128];
  if (plat::search_exe("QRT000.EXE", found, sizeof found)) {
    char* cut = nullptr;
    for (char* p = found; *p; ++p) {
      auto c = static_cast<unsigned char>(*p);
      if (zr::sjis_lead(c) && p[1]) {
        ++p;
        continue;
      }
      if (c == '\\' || c == '/') cut = p;
    }
    if (cut) *cut = '\0';
  } else {
    zr::copy(found, "C:\\ZORAX");
  }
  plat::set_current_dir(found);
}

void set_defaults() {
  zr00->ver_no = 120;
  zr00->sys_kd = 2;
  zr00->recv_timeout = 25;
  zr::copy(zr00->sys_id, "TS0000-001");
  zr::copy(zr00->kh_nm, "商標公報");
  zr_kind_codes_set();
  zrconn->user_ok = 0;
  zrenv->cert_ign = 1;
}

void open_trace() {
  ZR_FMT(zr00->dbg_fnm, "%s\\DBG_QRT000.LST", zrenv->inst_dir);
  if (std::FILE* fp = _fopen_ext(zr00->dbg_fnm, "wb")) _fclose(fp);
}

void set_computer_name() {
  std::memset(zr00->pc_nm, 0, sizeof zr00->pc_nm);
  plat::computer_name(zr00->pc_nm, sizeof zr00->pc_nm);
  term_name_from(zr00->pc_nm, zrconn->term_nm, sizeof zrconn->term_nm);
}

// Installs the transport by the common rule; the launcher also starts the
// socket layer and the security interface whichever transport it chose.
void choose_transport() {
  _dbg_print(zrconn->zrhttp_use ? "HTTP_TEST USE" : "HTTP_TEST NOT USE");
  zrnet_msg_fn_install(true);
  zwsock_initial();
  zwsockh_auth_initial();
}

MenuWindowFn g_menu_window = nullptr;

}  // namespace

MenuWindowFn menu_window_set(MenuWindowFn fn) {
  MenuWindowFn previous = g_menu_window;
  g_menu_window = fn;
  return previous;
}

int launch_mode_of(const char* args) {
  if (!args) return 0;
  switch (args[0]) {
    case '0':
      return 1;
    case 'V':
      return 2;
    case 'S':
      return 3;
    default:
      return 0;
  }
}

void term_name_from(const char* computer_name, char* out, std::size_t cap) {
  char padded[21];
  std::memset(padded, ' ', 20);
  padded[20] = '\0';
  std::size_t n = std::strlen(computer_name);
  std::memcpy(padded, computer_name, n < 20 ? n : 20);
  zr::copy(out, cap, padded);
}

CQrt000App::CQrt000App() {
  zr_program_set(ZR_PRG_QRT000);
  zr_app_title_set("QRT000");
  _zrcmna_make();
}

CQrt000App::~CQrt000App() {
  zwsockh_auth_finish();
  if (zrconn->http_use) zrhttp_finish();
  _zrcmna_kill();
}

bool CQrt000App::InitInstance(const char* args) {
  if (!plat::ole_init()) {
    _mes_box(kOleFailed, 0);
    return false;
  }
  enter_install_folder();

  int mode = launch_mode_of(args);
  if (mode == 0) return false;

  if (_single_ins("QRT000", 1) != 0) return false;
  _shm_create("QRT000", 30);

  char cwd[256];
  plat::current_dir(cwd, sizeof cwd);
  zr::copy(zrenv->inst_dir, cwd);
  zr::copy(zrenv->inst_dir2, cwd);
  zr::copy(zrconn->exe_dir, cwd);
  zr::copy(zrconn->exe_dir2, cwd);
  ZR_FMT(zrenv->exp_dir, "%s\\EXP", cwd);
  zrconn->launch_mode = static_cast<std::uint8_t>(mode);

  if (zrnet_ini_read() != 0) return false;

  set_defaults();
  open_trace();
  _dbg_print("*** Version : %d.%02d ***", zr00->ver_no / 100, zr00->ver_no % 100);
  if (zr00->proxy_use) {
    _dbg_print("PROXY USE %s : %d", zrconn->pxy_host, static_cast<int>(zrconn->pxy_port));
  } else {
    _dbg_print("PROXY NO USE");
  }
  proxy_fil_read();

  zr_japan_time_set();

  set_computer_name();
  choose_transport();

  if (zrenv->cert_ign) {
    char os_name[64];
    _os_name_get(zrwork->os_kd, os_name);
    _dbg_print("【OS VERSION : %s】", os_name);
  }

  menu::prepare();
  if (g_menu_window) g_menu_window();
  menu::closed();
  return true;
}
