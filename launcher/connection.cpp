// The launcher's connection sequence. Unlike the checker, the launcher keeps
// posting to the host and object of ZORAX.INI after the logon: the database
// server named by the answer is only traced.
#include "connection.h"

#include <cstring>
#include <string>

#include "platform/platform.h"
#include "zrlib.h"
#include "session/answer.h"
#include "session/envelope.h"
#include "session/logon.h"
#include "session/settings.h"
#include "text/sjis.h"

using zr_session::AnswerReader;

namespace {

constexpr int kMidConnCheck = 85;
constexpr int kMidForceLogoff = 86;
constexpr int kMbOkCancel = 1;
constexpr std::int32_t kStsOtherSession = -3;

}  // namespace

int logon_check(int kind_idx) {
  char text[64];
  zrwork->mlng = 0;
  int n = ZR_FMT(text, "%02d%-8s%04d", kind_idx, zr01->user_pass, zr00->ver_no);
  zr0930_msg_set(text, n);
  int ret = zr0930_msg_request(0, kMidConnCheck);
  if (ret != 0) return ret;
  if (zrwork->p_msg->hdr.sts != kStsOtherSession) return 0;

  _dbg_print("logon_check ret : %d  phmsg->sts : %d", 0, kStsOtherSession);
  // The host and object of the other session, 30 bytes each as sent (trailing
  // blanks kept: they go back in the forced logoff request as they came).
  AnswerReader in = AnswerReader::current();
  char host[31];
  char obj[31];
  in.field(host, sizeof host, 30);
  in.field(obj, sizeof obj, 30);
  _dbg_print("host : %s  obj : %s", zr_session::trace_copy(host, 30).c_str(),
             zr_session::trace_copy(obj, 30).c_str());
  std::string reason;
  in.text(reason);

  std::string question = "\n\nＱＲＴに接続できません。\n";
  question += reason;
  question += "\n";
  question += "\nＱＲＴへ強制接続しますか？\n\n";
  if (_mes_box(question.c_str(), kMbOkCancel) != plat::kIdOk) return -2;

  _mes_prog(1,
            "ただ今、強制接続中です。接続には多少時間がかかる場合があります。\n"
            "このままで、しばらくお待ちください。",
            0);
  char req[128];
  zrwork->mlng = 0;
  n = ZR_FMT(req, "%-8s%04d%-30s%-30s", zr01->user_pass, zr00->ver_no, host, obj);
  zr0930_msg_set(req, n);
  ret = zr0930_msg_request(zrwork->kd_1, kMidForceLogoff);
  _mes_prog(1, "", 0);
  if (ret != 0) return ret;
  if (zrwork->p_msg->hdr.sts >= 0) return 0;

  std::string refusal = "\n\nＱＲＴへは接続できません。\n";
  refusal += zr_session::answer_text();
  refusal += "\n\n";
  _mes_box(refusal.c_str(), 0);
  return -1;
}

int svc_connect(int kind_idx) {
  int cnt = zrconn->host_cnt;
  if (cnt <= 0) {
    // Nothing to connect to: no attempt is made.
    _dbg_print("svc_connect: no server host is configured");
    _mes_box(zr_session::kLogonUnreachable, 0);
    return -1;
  }
  if (cnt > kHostMax) cnt = kHostMax;
  int idx = zrconn->host_idx;
  if (idx < 0 || idx >= cnt) idx = 0;
  zr::copy(zr01->http_host_nm, zrconn->host_nm[idx]);
  zr::copy(zr01->http_obj_nm, zrconn->obj_nm);

  int ret = logon_check(kind_idx);
  if (ret != 0) return ret;
  ret = zr0930_logon_url(kind_idx);
  if (ret != 0) return ret;

  AnswerReader in = AnswerReader::current();
  zrwork->kd_3 = in.i16();
  zr_session::read_server_host(in);
  in.field(zrconn->cur_obj, sizeof zrconn->cur_obj, 30);
  _null_set(zrconn->cur_obj, 30);
  std::string skipped;
  in.text(skipped);
  in.skip(1);
  zrconn->sdi_stop = in.u8();
  zrconn->vup_mode = in.u8();
  in.skip(1);
  zr_session::take_hosts(in, in.i16());
  std::string server_text;
  in.text(server_text);
  zr_session::keep_server_text(server_text);
  zrconn->http_use = zrconn->zrhttp_use;
  _dbg_print("host:%s obj:%s http_use:%d proxy:%d vup_mode:%d", zrconn->cur_host,
             zr_session::trace_copy(zrconn->cur_obj, sizeof zrconn->cur_obj).c_str(),
             zrconn->http_use, zr00->proxy_use, zrconn->vup_mode);
  return 0;
}
