// Fuzz target: the answers of every message the programs read, as the steps
// that send them take them. The first byte chooses the step; the rest is the
// sequence of answers the steps' exchanges receive, each as a text length (2
// bytes), sts (4 bytes), kd00 (2 bytes), the text and, when sts is positive,
// sts binary bytes. An exchange whose answer does not arrive in full fails.
// The steps: the launcher's connection (85, the forced logoff 86, the short
// logon 107 in the launcher's layout), the user check (118), the checker's
// check (the short logon 107 in the checker's layout, the full logon 107, the
// server information 112, the newest issue date 117, the SDI run 1200 and its
// polls 204/203, the logoff), the full logon with the forced logon, the update
// list (1100) and the download of a file in pieces (1101), the server
// information's other fetches and the update information and message, and the
// polling alone. A fatal end after a message is specified, not a finding.
// After each step, every host name taken is a plausible host name within its
// field, and the texts and tables filled from the answers are within theirs.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "../support/lib_fuzz.h"
#include "connection.h"
#include "sdi_cycle.h"
#include "session/answer.h"
#include "session/envelope.h"
#include "session/logon.h"
#include "session/server_info.h"
#include "update.h"

namespace {

std::string_view g_in;  // the answers still to arrive

template <typename T>
bool get(T* v) {
  if (g_in.size() < sizeof *v) return false;
  std::memcpy(v, g_in.data(), sizeof *v);
  g_in.remove_prefix(sizeof *v);
  return true;
}

// The exchange: the next answer into p_msg, as a transport leaves it (mlng the
// text length, a NUL behind the text and the binary part).
int answer_next() {
  std::uint16_t text_len = 0;
  std::int32_t sts = 0;
  std::int16_t kd00 = 0;
  if (!get(&text_len) || !get(&sts) || !get(&kd00)) return -1;
  const std::int64_t bin = sts > 0 ? sts : 0;
  if (static_cast<std::int64_t>(g_in.size()) < text_len + bin) return -1;
  PHMSG_HDR h = zrwork->p_msg->hdr;
  h.kd00 = kd00;
  h.sts = sts;
  h.lng = kMsgHeaderSize + text_len;
  std::int64_t t = 0, b = 0;
  if (!zr_msg_frame_fits(h, -1, &t, &b)) return -1;
  PHMSG* msg = zrwork->p_msg;
  msg->hdr = h;
  char* data = zr_msg_data(msg);
  std::memcpy(data, g_in.data(), static_cast<std::size_t>(text_len + bin));
  g_in.remove_prefix(static_cast<std::size_t>(text_len + bin));
  data[text_len + bin] = '\0';
  zrwork->mlng = text_len;
  return 0;
}

void no_pause(std::uint32_t) {}

bool host_ok_or_empty(const char (&name)[31]) {
  return name[0] == '\0' || zr_session::host_name_ok(name, sizeof name);
}

void check_areas() {
  if (zrconn->host_cnt < 0 || zrconn->host_cnt > kHostMax) std::abort();
  for (int i = 0; i < zrconn->host_cnt; ++i)
    if (!zr_session::host_name_ok(zrconn->host_nm[i], sizeof zrconn->host_nm[i])) std::abort();
  if (!host_ok_or_empty(zrconn->cur_host)) std::abort();
  if (!lib_fuzz::terminated(zrconn->cur_obj) || !lib_fuzz::terminated(zrconn->srv_txt) ||
      !lib_fuzz::terminated(zr01->http_host_nm) || !lib_fuzz::terminated(zr01->http_obj_nm))
    std::abort();
  if (zrsdi->kind_cnt < 0 || zrsdi->kind_cnt > kSdiKindMax) std::abort();
  if (zrsdi->rslt_cnt < 0 || zrsdi->rslt_cnt > kSdiRsltMax) std::abort();
  if (zrsdi->upd_cnt < 0 || zrsdi->upd_cnt > kSdiCalMax) std::abort();
  int count = 0;
  const UpdateEntry* list = update_list(&count);
  if (count < 0 || count > kUpdateListMax) std::abort();
  for (int i = 0; i < count; ++i)
    if (!lib_fuzz::terminated(list[i].name)) std::abort();
}

void run_step(int step) {
  switch (step) {
    case 0:
      svc_connect(0);
      break;
    case 1:
      user_mst_get();
      break;
    case 2:
      if (sdi_logon_newest() == 0) {
        sdi_main_proc();
        sdi_logoff();
      }
      break;
    case 3:
      zr0930_logon();
      break;
    case 4:
      if (update_list_get() == 0) update_file_get("A.DLL");
      break;
    case 5: {
      zr0930_svr_inf_net();
      tm0930_svr_inf_net();
      zr0930_svr_inf_thr();
      tm0930_svr_inf_thr();
      zr0930_update_info();
      char text[2000];
      const int n = zr0930_emc_info(text);
      if (n < 0 || n > 1999 || std::strlen(text) > static_cast<std::size_t>(n)) std::abort();
      break;
    }
    default:
      zr0930_krkr_proc(1, 0);
      break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  lib_fuzz::setup(lib_fuzz::answer_ok, true);
  static bool hooks = [] {
    zr_session_sleep_handler(no_pause);
    return true;
  }();
  (void)hooks;
  lib_fuzz::restore_areas();
  zr00->sys_kd = 2;
  zr00->msg_fn = answer_next;
  zrconn->http_use = 0;
  zrconn->host_cnt = 2;
  zr::copy(zrconn->host_nm[0], "svr1.example");
  zr::copy(zrconn->host_nm[1], "svr2.example");
  zr::copy(zrconn->obj_nm, "QRTSVR");
  zr::copy(zrconn->exe_dir, zrenv->inst_dir);
  zr::copy(zrconn->exe_dir2, zrenv->inst_dir);
  zr::copy(zr01->user_id, "USER01");
  zr::copy(zr01->user_pass, "PASS01");
  zrsdi->kind_cnt = 1;
  zrsdi->kind_cd[0] = zrwork->kd_3;

  g_in = std::string_view(reinterpret_cast<const char*>(data + 1), size - 1);
  if (!lib_fuzz::fatal_end_of([&] { run_step(data[0] % 7); })) check_areas();
  return 0;
}
