// Construction and destruction of the common areas.
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "platform/platform.h"
#include "runtime/zrcommon.h"

ZRENV* zrenv = nullptr;
ZRFILE* zrfile = nullptr;
ZRWORK* zrwork = nullptr;
ZR00* zr00 = nullptr;
ZR01* zr01 = nullptr;
ZRCONN* zrconn = nullptr;
ZRSDI* zrsdi = nullptr;

namespace {

ZR_PROGRAM g_program = ZR_PRG_QRT000;

// The areas and their construction-time buffers use the plain heap. A failed
// allocation ends the program before any window exists.
template <typename T>
T* area_alloc() {
  void* p = std::calloc(1, sizeof(T));
  if (!p) plat::exit_process(0);
  return static_cast<T*>(p);
}

void* buffer_alloc(std::size_t size) {
  void* p = std::calloc(1, size);
  if (!p) plat::exit_process(0);
  return p;
}

void* cs_new() { return new std::recursive_mutex; }
void cs_delete(void* cs) { delete static_cast<std::recursive_mutex*>(cs); }

void probe_platform() {
  plat::OsVersion v = plat::os_version();
  zrwork->os_kd = static_cast<std::uint8_t>(
      zr_os_code(v.known, v.major, v.minor, v.build, v.workstation, v.nt_platform));
  zrwork->wow64 = plat::is_wow64() ? 1 : 0;
  char pv[64];
  plat::webview2_version(zrwork->wow64 != 0, pv, sizeof pv);
  zrwork->webview2 = (pv[0] != '\0' && std::strcmp(pv, "0.0.0.0") != 0) ? 1 : 0;
}

void build_connection_areas() {
  zrconn = area_alloc<ZRCONN>();
  zrsdi = area_alloc<ZRSDI>();
}

}  // namespace

void zr_program_set(ZR_PROGRAM prg) { g_program = prg; }

void zr_cs_enter(void* cs) { static_cast<std::recursive_mutex*>(cs)->lock(); }
void zr_cs_leave(void* cs) { static_cast<std::recursive_mutex*>(cs)->unlock(); }

void zr_kind_codes_set() {
  zrwork->kd_1 = 22;
  zrwork->kd_2 = 22;
  zrwork->kd_3 = 51;
  zrwork->kd_4 = 51;
  zrwork->kd_5 = 11;
}

void zr_japan_time_set() {
  plat::set_japanese_locale();
  plat::set_env("TZ", "JST-9");
  plat::tz_reset();
}
ZR_PROGRAM zr_program() { return g_program; }

bool zr_msg_builtin(const PHMSG* msg) {
  return msg == &zrwork->msg_area || msg == &zrwork->tnl_area;
}

void _zrcmna_make() {
  zrenv = area_alloc<ZRENV>();
  zrenv->cs_1 = cs_new();
  zrenv->cs_2 = cs_new();
  zrenv->cs_3 = cs_new();
  zrenv->cs_4 = cs_new();

  zrfile = area_alloc<ZRFILE>();

  zrwork = area_alloc<ZRWORK>();
  zrwork->snd_msg = &zrwork->snd_area;
  zrwork->p_msg = &zrwork->msg_area;
  zrwork->tnl_msg = &zrwork->tnl_area;
  zrwork->p_msg_cap = kMsgDataCap;
  zrwork->tnl_msg_cap = kMsgDataCap;
  zrwork->io_buf = static_cast<std::uint8_t*>(buffer_alloc(65536));
  probe_platform();

  zr00 = area_alloc<ZR00>();
  zr00->csv_cap = 10000;
  zr00->csv_buf = static_cast<char*>(buffer_alloc(10000));
  zr00->csv_fld_cnt = 100;
  zr00->csv_fld = static_cast<char**>(buffer_alloc(100 * sizeof(char*)));

  zr01 = area_alloc<ZR01>();

  if (g_program == ZR_PRG_QRT100) {
    zr_kind_codes_set();
    zr::copy(zrwork->prg_nm, "QRT100");
    zr::copy(zr01->cli_nm, "QRT100");
    zr00->sys_kd = 2;
    zrcnst = _zrcnst_make();
    build_connection_areas();
  } else {
    // The launcher takes its connection areas before the constants.
    build_connection_areas();
    zrcnst = _zrcnst_make();
  }
}

void _zrcmna_kill() {
  if (!zrenv) return;
  if (g_program == ZR_PRG_QRT000) _zrcnst_kill();
  std::free(zrconn);
  zrconn = nullptr;
  std::free(zrsdi);
  zrsdi = nullptr;
  if (g_program == ZR_PRG_QRT100) _zrcnst_kill();

  std::free(zr00->csv_buf);
  std::free(zr00->csv_fld);
  std::free(zr00);
  zr00 = nullptr;

  std::free(zr01);
  zr01 = nullptr;

  if (!zr_msg_builtin(zrwork->p_msg)) std::free(zrwork->p_msg);
  if (!zr_msg_builtin(zrwork->tnl_msg)) std::free(zrwork->tnl_msg);
  std::free(zrwork->io_buf);
  std::free(zrwork->tnl_work);
  std::free(zrwork->ssl_work);
  std::free(zrwork);
  zrwork = nullptr;

  std::free(zrfile);
  zrfile = nullptr;

  cs_delete(zrenv->cs_1);
  cs_delete(zrenv->cs_2);
  cs_delete(zrenv->cs_3);
  cs_delete(zrenv->cs_4);
  std::free(zrenv);
  zrenv = nullptr;
}
