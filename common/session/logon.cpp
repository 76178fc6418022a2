// User check (message 118), short and full logon (message 107) and logoff
// (message 108).
#include "session/logon.h"

#include <cstring>
#include <string>

#include "net/transport.h"
#include "platform/platform.h"
#include "runtime/zrcommon.h"
#include "session/answer.h"
#include "session/envelope.h"
#include "session/settings.h"
#include "text/sjis.h"

using zr_session::AnswerReader;

namespace {

constexpr int kMidLogon = 107;
constexpr int kMidLogoff = 108;
constexpr int kMidUserMst = 118;
constexpr std::int16_t kTrademarkKind = 51;
constexpr int kMbOkCancel = 1;

void reset_counters() {
  zr01->ua_l = 0;
  zr01->ua_p = 0;
  zr01->ua_r = 0;
}

int host_count() {
  int cnt = zrconn->host_cnt;
  if (cnt < 0) cnt = 0;
  if (cnt > kHostMax) cnt = kHostMax;
  return cnt;
}

void use_host(int idx) {
  zrconn->host_idx = static_cast<std::int16_t>(idx);
  zr::copy(zr01->http_host_nm, zrconn->host_nm[idx]);
  zr::copy(zr01->http_obj_nm, zrconn->obj_nm);
}

void restart_http_client() {
  zrhttp_finish();
  zrhttp_initial();
}

// The full logon text; forced = 1 starts it with "10" instead of "00". The last
// two flags (server side, thin client) are never set in these programs.
void put_full_logon(bool forced, int background) {
  const std::size_t pc_len = ::strnlen(zr00->pc_nm, sizeof zr00->pc_nm);
  int n = zr::format(zrwork->p_msg->data, static_cast<std::size_t>(zrwork->p_msg_cap),
                     "%s%-8s%04d%02d%s%d%02d%d%d%d%d", forced ? "10" : "00", zr01->user_pass,
                     zr00->ver_no, static_cast<int>(pc_len), zr00->pc_nm, background, zrwork->os_kd,
                     zrwork->wow64, zrwork->webview2, 0, zrenv->thin_mode);
  zrwork->mlng = n < 0 ? 0 : n;
}

std::int16_t session_number() { return AnswerReader::current().i16(); }

void show_refusal(const char* head, const char* tail) {
  std::string text = head;
  text += zr_session::answer_text();
  text += tail;
  _mes_box(text.c_str(), 0);
}

// Reads the cur_host and cur_obj fields (30 bytes each, trailing blanks removed).
void read_current_server(AnswerReader& in) {
  zr_session::read_server_host(in);
  in.field(zrconn->cur_obj, sizeof zrconn->cur_obj, 30);
  _null_set(zrconn->cur_obj, 30);
}

}  // namespace

int user_mst_get() {
  zrconn->user_ok = 0;
  if (!zr01->user_id[0] || !zr01->user_pass[0]) return -1;
  const int cnt = host_count();
  bool answered = false;
  for (int idx = 0; idx < cnt && !answered; ++idx) {
    use_host(idx);
    reset_counters();
    int n = zr::format(zrwork->p_msg->data, static_cast<std::size_t>(zrwork->p_msg_cap), "%-8s%04d",
                       zr01->user_pass, zr00->ver_no);
    zrwork->mlng = n < 0 ? 0 : n;
    answered = zr0930_msg_request(0, kMidUserMst) == 0;
  }
  if (!answered) {
    if (cnt == 0) _dbg_print("user_mst_get: no server host is configured");
    zrconn->host_idx = 0;
    _mes_box(zr_session::kUserCheckUnreachable, 0);
    return -1;
  }
  if (zrwork->p_msg->hdr.sts < 0) return -1;

  AnswerReader in = AnswerReader::current();
  zrsdi->mst_val = in.i32();
  zrsdi->mst_flg = in.u8();
  int n = in.i16();
  if (n < 0) n = 0;
  const int received = static_cast<int>(in.left() / 2);
  if (n > received) n = received;
  if (n > kSdiKindMax) {
    _dbg_print("user master: %d kind codes received, the first %d are kept", n, kSdiKindMax);
  }
  int kept = 0;
  for (int i = 0; i < n; ++i) {
    std::int16_t code = in.i16();
    if (kept < kSdiKindMax) zrsdi->kind_cd[kept++] = code;
  }
  for (int i = kept; i < kSdiKindMax; ++i) zrsdi->kind_cd[i] = 0;
  zrsdi->kind_cnt = static_cast<std::int16_t>(kept);

  zrconn->kind_idx = -1;
  for (int i = 0; i < kept; ++i) {
    if (zrsdi->kind_cd[i] == kTrademarkKind) {
      zrconn->kind_idx = i;
      break;
    }
  }
  if (zrconn->kind_idx < 0) return -1;
  zrconn->user_ok = 1;
  return 0;
}

int get_zrdb_url(int kind_idx) {
  _dbg_print("*** get_zrdb_url ***");
  const std::int16_t kd_3 = zrwork->kd_3;
  const int cnt = host_count();
  bool answered = false;
  for (int idx = 0; idx < cnt && !answered; ++idx) {
    use_host(idx);
    if (zrconn->http_use) restart_http_client();
    reset_counters();
    zr_session::put_short_logon(kind_idx);
    answered = zr0930_msg_request(0, kMidLogon) == 0;
  }
  if (!answered) {
    if (cnt == 0) _dbg_print("get_zrdb_url: no server host is configured");
    zrconn->host_idx = 0;
    _mes_box(zr_session::kLogonUnreachable, 0);
    return -1;
  }
  if (zrwork->p_msg->hdr.sts < 0) {
    _dbg_print("Orvanta へは接続できません。\n%.500s", zr_session::answer_text());
    return -1;
  }
  if (zrconn->http_use) zrhttp_finish();

  AnswerReader in = AnswerReader::current();
  zrwork->kd_3 = in.i16();
  read_current_server(in);
  zr::copy(zrconn->cur_obj, "QRT000-001");
  if (zrwork->kd_3 != kd_3) {
    _dbg_print("kd_3 changed: %d -> %d", kd_3, zrwork->kd_3);
    _mes_box("データベースが変更されています。\nＳＤＩチェッカーを再度起動してください。", 0);
    zr_exit();
  }
  std::string skipped, server_text;
  in.text(skipped);
  in.skip(1);
  zrconn->vup_mode = in.u8();
  in.text(server_text);
  zr_session::keep_server_text(server_text);
  zr_session::take_hosts(in, in.i16());

  zrconn->http_use = zrconn->zrhttp_use;
  // Without a usable database host the checker stays with the host that answered.
  if (zrconn->cur_host[0]) zr::copy(zr01->http_host_nm, zrconn->cur_host);
  zr::copy(zr01->http_obj_nm, zrconn->cur_obj);
  if (zrconn->http_use) restart_http_client();
  _dbg_print("host:%s obj:%s http_use:%d proxy:%d vup_mode:%d", zrconn->cur_host, zrconn->cur_obj,
             zrconn->http_use, zr00->proxy_use, zrconn->vup_mode);
  return 0;
}

int logon_bkg() {
  int pos = -1;
  const int kinds = zrsdi->kind_cnt < kSdiKindMax ? zrsdi->kind_cnt : kSdiKindMax;
  for (int i = 0; i < kinds; ++i) {
    if (zrsdi->kind_cd[i] == zrwork->kd_3) {
      pos = i;
      break;
    }
  }
  if (pos < 0) return 1;
  if (get_zrdb_url(pos) != 0) return 1;

  reset_counters();
  put_full_logon(false, 1);
  // A failed exchange leaves the transport's failure text in the record, not an
  // answer: it is a failed logon, not a session.
  if (zr0930_msg_request(0, kMidLogon) != 0) {
    _dbg_print("【ログオンエラー】 %.500s", zr_session::answer_text());
    return -1;
  }
  const std::int32_t sts = zrwork->p_msg->hdr.sts;
  if (sts == -1) {
    _dbg_print("【ログオンエラー】 %.500s", zr_session::answer_text());
    return -1;
  }
  if (sts == -2 || sts == -3) {
    _dbg_print("既にログオンされています。");
    return -1;
  }
  zr01->ua_l = session_number();
  zr_session_sleep(1000);
  return 0;
}

int zr0930_logon() {
  reset_counters();
  zrwork->mlng = 0;
  put_full_logon(false, 0);
  int ret = zr0930_msg_request(zrwork->kd_1, kMidLogon);
  if (ret != 0 || zrwork->p_msg->hdr.sts == -1) {
    show_refusal("\n\nZORAXへは接続できません。\n", "\n\n");
    return -1;
  }
  const std::int32_t sts = zrwork->p_msg->hdr.sts;
  if (sts == -2 || sts == -3) {
    std::string text = "\n\nZORAXに接続できません。\n";
    text += zr_session::answer_text();
    text += "\n";
    text += "\nZORAXへ強制接続しますか？\n\n";
    if (_mes_box(text.c_str(), kMbOkCancel) != plat::kIdOk) return -1;
    _mes_prog(1,
              "ただ今、強制接続中です。接続には多少時間がかかる場合があります。\n"
              "このままで、しばらくお待ちください。",
              0);
    zrwork->mlng = 0;
    put_full_logon(true, 0);
    ret = zr0930_msg_request(zrwork->kd_1, kMidLogon);
    _mes_prog(1, "", 0);
    if (ret != 0 || zrwork->p_msg->hdr.sts < 0) {
      show_refusal("\n\nZORAXへは接続できません。\n", "\n\n");
      return -1;
    }
  }
  zr01->ua_l = session_number();
  return 0;
}

int zr0930_logon_url(int kind_idx) {
  reset_counters();
  zrwork->mlng = 0;
  zr_session::put_short_logon(kind_idx);
  const int ret = zr0930_msg_request(0, kMidLogon);
  if (ret != 0) return ret;
  if (zrwork->p_msg->hdr.sts >= 0) return 0;
  show_refusal("\n\nZORAXへは接続できません。\n", "\n\n");
  return -2;
}

int zr0930_logoff() {
  zrwork->mlng = 0;
  zr0930_msg_request(zrwork->kd_1, kMidLogoff);
  return 0;
}
