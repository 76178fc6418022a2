// The pieces of the HTTP exchange that do not depend on the stream: the request
// layout with the User-Agent counters and the retry patch, the answer-header
// checks, the kept error pages, the authorization line of a challenge, the final
// texts and the masking of secrets in trace copies.
#include "net/tunnel.h"

#include <cstring>
#include <ctime>
#include <string>

#include "net/auth.h"
#include "net/stream.h"
#include "net/transport.h"
#include "platform/net.h"
#include "platform/platform.h"
#include "runtime/zrcommon.h"
#include "naming/code_tables.h"
#include "net/message.h"
#include "text/base64.h"

namespace {

constexpr int kBodyHeader = 32;  // the text header in front of the request text

int tag() { return zr01->ua_c; }
int mid() { return zrwork->p_msg->hdr.mid; }

// The messages whose answers are awaited without bound.
bool unbounded_mid(int m) {
  switch (m) {
    case 122:
    case 126:
    case 131:
    case 401:
    case 402:
    case 403:
    case 801:
    case 802:
    case 810:
      return true;
    default:
      return false;
  }
}

}  // namespace

int _make_http_hdr(int length, char* out) {
  std::time_t t = std::time(nullptr) - 3600;
  char stamp[32] = "";
  if (const std::tm* g = std::gmtime(&t)) zr::copy(stamp, std::asctime(g));
  // asctime: "Www Mmm dd hh:mm:ss yyyy\n"
  return std::sprintf(out,
                      "HTTP/1.1 200 OK\r\n"
                      "Cache-Control: no-cache\r\n"
                      "Pragma: no-cache\r\n"
                      "Connection: close\r\n"
                      "Expires: %.3s, %.2s %.3s %.4s %.8s GMT\r\n"
                      "Content-Type: application/octet-stream\r\n"
                      "Content-Length: %d\r\n\r\n",
                      stamp, stamp + 8, stamp + 4, stamp + 20, stamp + 11, length);
}

// ---- the pieces -----------------------------------------------------------------------

namespace zrnet {

void time_text(char* out, std::size_t cap) {
  plat::LocalTime t = plat::now_local();
  zr::format(out, cap, "%02d:%02d:%02d", t.hour, t.minute, t.second);
}

void tunnel_trace(const char* text) {
  _dbg_print("        (%d) %.400s", tag(), text);
  if (mid() != 107) {
    _mes_prog(0, "", 0);
    _mes_prog(1, "", 0);
  }
}

int recv_wait_ms() {
  int t = zr00->recv_timeout;
  if (t == 0 || t == 999 || unbounded_mid(mid())) return -1;
  return t * 1000;
}

void result_text(Attempt result, int m, char* text, std::size_t cap) {
  switch (result) {
    case Attempt::kFailed:
      zr::format(text, cap, "*** Error of zwsock_http *** tno:%s, mid:%d, ecd:%d", zr01->cli_nm, m,
                 plat::net_last_error());
      break;
    case Attempt::kDropped:
      zr::format(text, cap, "%s",
                 "回線が切断されました。 "
                 "サーバが停止しているか、\r\n回線が混んでいるためデータを取得できません。"
                 "\r\nしばらくしてから再度接続して下さい。");
      break;
    case Attempt::kNeedCredentials:
      zr::format(text, cap, "%s",
                 "プロキシ認証の設定が必要です。\r\nメニューからプロキシ設定を行ってください。");
      break;
    case Attempt::kBusy:
      zr::format(
          text, cap, "%s",
          "回線が混み合っていてデータを受信できません。\r\n数回リトライしましたがサーバから応答が"
          "ありませんでした。\r\n少し時間をおいて再度接続して下さい。");
      break;
    default:
      zr::format(text, cap, "%s", "*** Error of zwsockh1 ***");
      break;
  }
}

void answer_status_check(int m) {
  PHMSG* msg = zrwork->p_msg;
  if (msg->hdr.sts == -9999) {
    char* text = zrwork->mes_work;
    zr::format(text, sizeof zrwork->mes_work,
               "*** Error zwsock_phmsg sts:-9999 ***\r\n[tno:%s, mid:%04d] %.200s", zr01->cli_nm, m,
               msg->data);
    _dbg_print("%s", text);
    _mes_box(text, 0);
    zr_exit();
  }
  if (msg->hdr.sts == -1) {
    char text[128];
    ZR_FMT(text, "*** Error tno:%s, mid:%04d ***\r\n", zr01->cli_nm, m);
    tunnel_trace(text);
  }
}

namespace {

constexpr const char* kSchemeNames[kSchemeCount] = {nullptr, "Basic", "NTLM", "Negotiate"};

// The challenge data of the scheme; false (with a trace line) when the line's
// remainder is longer than a challenge may be.
bool challenge_data(const char* hdr, int status, int scheme, std::string* data) {
  std::size_t rest_len = 0;
  if (zrnet::challenge_data(hdr, status, scheme, data, &rest_len)) return true;
  _dbg_print("challenge line of %u bytes after its scheme refused",
             static_cast<unsigned>(rest_len));
  return false;
}

}  // namespace

Challenge make_auth_line(const char* hdr, int status, const char** why, std::string* line) {
  *why = nullptr;
  line->clear();
  if (!zr00->proxy_use) {
    // The stored credentials are the proxy's: without a proxy every challenge
    // (401, or a 407 no proxy of ours can have sent) comes from the server
    // side and would only collect them.
    _dbg_print("server challenge (%d) without a proxy: the proxy's credentials are not sent",
               status);
    return Challenge::kCannot;
  }
  int scheme = auth_scheme(hdr, status);
  if (scheme == 0) {
    _dbg_print("Authenticate HDR not found");
    *why = "プロキシ認証のエラーです。";
    return Challenge::kNoScheme;
  }
  zrwork->auth_kd = static_cast<std::uint8_t>(scheme);
  std::string data;
  if (!challenge_data(hdr, status, scheme, &data)) return Challenge::kCannot;
  _dbg_print("auth_data : %.120s", data.c_str());
  _dbg_print("Authorization is %s", kSchemeNames[scheme]);
  char made[kAuthLineMax];
  int cont = 0;
  if (scheme == 1) {
    if (!zr00->pxy_user[0]) {
      *why = "プロキシ認証の要求";
      return Challenge::kCannot;
    }
    zwsockh_auth_initial();
    const int rc = zwsockh_auth_header_make(status, "Basic", made, sizeof zrwork->auth_line, "",
                                            zr00->pxy_user, zr00->pxy_pass, &cont);
    zwsockh_auth_finish();
    if (rc != 0) return Challenge::kCannot;
    zr::copy(zrwork->auth_line, made);
  } else {
    // Without stored credentials the conversation runs as the logged-on user.
    zwsockh_auth_initial();
    const bool stored = zr00->pxy_user[0] != '\0';
    if (zwsockh_auth_header_make(status, kSchemeNames[scheme], made, sizeof made, data.c_str(),
                                 stored ? zr00->pxy_user : "", stored ? zr00->pxy_pass : "",
                                 &cont) != 0)
      return Challenge::kCannot;
  }
  *line = made;
  return Challenge::kAnswered;
}

Challenge answer_challenge(const char* hdr, int status) {
  _dbg_print("proxy_auth_proc http_sts:%d", status);
  PHMSG* msg = zrwork->p_msg;
  const char* why = nullptr;
  std::string line;
  const Challenge made = make_auth_line(hdr, status, &why, &line);
  if (made != Challenge::kAnswered) {
    if (why) {
      msg->hdr.sts = -1;
      zr::copy(msg->data, static_cast<std::size_t>(zrwork->p_msg_cap), why);
      if (made == Challenge::kNoScheme) _dbg_print("%s", msg->data);
    }
    return made;
  }

  // The new request: the header as first built (without any authorization line
  // it carried), the new line, the empty line and the body.
  const char* text = msg->data;
  const char* sep = std::strstr(text, "\r\n\r\n");
  std::string body = sep ? std::string(sep + 4) : std::string();
  std::string head;
  for (const char* p = zrwork->hdr_copy; *p;) {
    const char* eol = std::strstr(p, "\r\n");
    std::size_t n = eol ? static_cast<std::size_t>(eol - p) + 2 : std::strlen(p);
    if (std::strncmp(p, "Proxy-Authorization:", 20) != 0 &&
        std::strncmp(p, "Authorization:", 14) != 0)
      head.append(p, n);
    p += n;
  }
  head += line;
  head += "\r\n";
  zrwork->mlng = 0;
  zwsock_phmsg_set(head.data(), static_cast<int>(head.size()));
  zwsock_phmsg_set(body.data(), static_cast<int>(body.size()));
  std::string shown =
      zrnet::masked(zrwork->p_msg->data, static_cast<std::size_t>(zrwork->mlng), mid());
  _dbg_print("=== PROXY_SET ===\n%.300s \n=================", shown.c_str());
  return Challenge::kAnswered;
}

int build_request(const RequestShape& shape) {
  PHMSG* msg = zrwork->p_msg;
  const int len = static_cast<int>(
      ::strnlen(msg->data, static_cast<std::size_t>(zrwork->mlng < 0 ? 0 : zrwork->mlng)));
  const bool proxy = zr00->proxy_use != 0;
  const char* ver = (proxy && !zr00->pxy_http11) ? "HTTP/1.0" : "HTTP/1.1";

  std::string h;
  char line[512];
  if (zr00->nohost_hdr)
    ZR_FMT(line, "POST /%s %s\r\n", zr01->http_obj_nm, ver);
  else
    ZR_FMT(line, "POST %s://%s/%s %s\r\n", shape.scheme, zr01->http_host_nm, zr01->http_obj_nm,
           ver);
  h += line;
  if (proxy && !zr00->keepalive_hdr) h += "Proxy-Connection: Keep-Alive\r\n";
  if (zr00->accept_hdr) h += "Accept: application/octet-stream\r\n";
  if (zr00->nocache_hdr) h += "Cache-Control: no-cache\r\n";
  // Inside a secured tunnel the proxy's line stays with the CONNECT: the
  // proxy's credentials are not sent on to the server.
  if (zrwork->auth_kd == 1 &&
      !(shape.port && std::strncmp(zrwork->auth_line, "Proxy-Authorization:", 20) == 0))
    h += zrwork->auth_line;
  if (!zr00->ntlm_mode) h += "Connection: close\r\n";
  ZR_FMT(line, "User-Agent: ZORAX-V001 L%03d P%010d C%02d R%010d\r\n", zr01->ua_l, zr01->ua_p,
         zr01->ua_c, zr01->ua_r);
  h += line;
  if (shape.port)
    ZR_FMT(line, "Host: %s:%u\r\n", zr01->http_host_nm, static_cast<unsigned>(shape.port));
  else
    ZR_FMT(line, "Host: %s\r\n", zr01->http_host_nm);
  h += line;
  ZR_FMT(line, "Content-Length: %d\r\n", len + kBodyHeader);
  h += line;
  zr::copy(zrwork->hdr_copy, h.c_str());
  h += "\r\n";
  // The text header is 32 characters: an object name or user ID longer than its
  // column is cut so that the lengths it announces stay true.
  char body_hdr[64];
  ZR_FMT(body_hdr, "%-11.11s%02d%-8.8s%04d%07d", zr01->http_obj_nm, msg->hdr.kd00 % 100,
         zr01->user_id, msg->hdr.mid % 10000, len + kBodyHeader);
  h.append(body_hdr, kBodyHeader);

  const std::int64_t total = static_cast<std::int64_t>(h.size()) + len;
  if (total + 1 > zrwork->p_msg_cap) {
    if (!zr_msg_grow(total + 1 + 1000000, len)) {
      _dbg_print("request of %lld bytes cannot be held", static_cast<long long>(total));
      return -1;
    }
    msg = zrwork->p_msg;
  }
  std::memmove(msg->data + h.size(), msg->data, static_cast<std::size_t>(len));
  std::memcpy(msg->data, h.data(), h.size());
  zr_msg_data(msg)[total] = '\0';
  zrwork->mlng = static_cast<std::int32_t>(total);
  ++zr01->ua_p;
  ++zr01->ua_r;
  return static_cast<int>(total);
}

void retry_patch(char* text, int attempt) {
  char* ua = std::strstr(text, "ZORAX-V001");
  char* p = ua ? std::strchr(ua, 'P') : nullptr;
  if (p && ::strnlen(p + 1, 10) == 10) {
    char field[32];
    if (attempt != 0)
      ZR_FMT(field, "%d%09d", attempt % 10, static_cast<int>(zr01->ua_p % 1000000000));
    else
      ZR_FMT(field, "%010d", zr01->ua_p);
    std::memcpy(p + 1, field, 10);
  }
  ++zr01->ua_p;
}

void note_keep_alive(const char* hdr, int status) {
  auto contains_upper = [hdr](const char* what) {
    std::string up(hdr);
    for (char& c : up)
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return up.find(what) != std::string::npos;
  };
  if (status == 407)
    zrwork->keep_alive =
        contains_upper("PROXY-CONNECTION: KEEP-ALIVE") || contains_upper("CONNECTION: KEEP-ALIVE")
            ? 1
            : 0;
  if (status == 401) zrwork->keep_alive = 0;
  if (zr00->connect_cls) zrwork->keep_alive = 0;
}

void save_error_page(const char* base, const char* body, std::size_t len) {
  char from[300], to[300];
  ZR_FMT(to, "%s_ERR.05", base);
  plat::remove_file(to);
  for (int n = 4; n >= 1; --n) {
    ZR_FMT(from, "%s_ERR.%02d", base, n);
    ZR_FMT(to, "%s_ERR.%02d", base, n + 1);
    if (plat::path_exists(from)) plat::replace_file(from, to);
  }
  ZR_FMT(from, "%s_ERR", base);
  ZR_FMT(to, "%s_ERR.%02d", base, 1);
  if (plat::path_exists(from)) plat::replace_file(from, to);
  if (zr_replace_file(from, body, len) != 0) _dbg_print("error page not kept: %s", from);
}

int auth_scheme(const char* hdr, int status) {
  bool offered[kSchemeCount];
  offered_schemes(hdr, status, offered);
  const bool ntlm = offered[2], nego = offered[3];
  // Where the system holds no conversations, Basic is the one that can work.
  if ((ntlm || nego) && (!offered[1] || auth_conversations())) {
    if (ntlm && nego) return zr00->pxy_auth1st ? 3 : 2;
    return ntlm ? 2 : 3;
  }
  return offered[1] ? 1 : 0;
}

bool basic_line(int status, const char* user, const char* pass, char* out, std::size_t cap) {
  int cont = 0;
  return zwsockh_auth_header_make(status, "Basic", out, cap, "", user, pass, &cont) == 0;
}

std::string masked(const char* text, std::size_t len, int mid) {
  std::string s(text, len);
  for (const char* name : {"Proxy-Authorization:", "Authorization:"}) {
    for (std::size_t at = s.find(name); at != std::string::npos; at = s.find(name, at + 1)) {
      std::size_t p = at + std::strlen(name);
      while (p < s.size() && s[p] == ' ') ++p;
      while (p < s.size() && s[p] != ' ' && s[p] != '\r' && s[p] != '\n') ++p;  // scheme
      while (p < s.size() && s[p] == ' ') ++p;
      for (; p < s.size() && s[p] != '\r' && s[p] != '\n'; ++p) s[p] = '*';
    }
  }
  if (mid >= 0) {
    // The text is either a whole HTTP request (the body after its empty line)
    // or a body alone. A request cut before its body shows no password.
    std::size_t body = s.find("\r\n\r\n");
    if (body != std::string::npos) {
      zr_msg_mask_secret(mid, s.data(), s.size(), body + 4 + kBodyHeader);
    } else if (s.compare(0, 5, "POST ") != 0) {
      zr_msg_mask_secret(mid, s.data(), s.size(), kBodyHeader);
    }
  }
  return s;
}

}  // namespace zrnet
