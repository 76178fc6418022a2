// The HTTP tunnel: one exchange of the current message as an HTTP POST, directly
// to the server's port 80 or through an HTTP proxy, with the retries of dropped
// connections, the busy re-sends, the Basic answer to an authentication
// challenge, the kept error pages and the decision which failures end the
// program.
#include "net/tunnel.h"

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

#include "net/socket.h"
#include "net/transport.h"
#include "platform/net.h"
#include "platform/platform.h"
#include "runtime/zrcommon.h"
#include "session/envelope.h"
#include "text/base64.h"

namespace {

constexpr int kHeaderMax = 2048;                   // bytes read as an answer header
constexpr int kBodyHeader = 32;                    // the text header in front of the request text
constexpr int kBusyLimit = 3;                      // busy answers that end an exchange
constexpr int kBusyPauseMs = 5000;                 // pause before a busy re-send
constexpr long kErrorPageMax = 16L * 1024 * 1024;  // larger error pages are not kept
constexpr int kChallengeMax = 8;                   // challenges answered within one attempt

// Attempt results.
constexpr int kOk = zrnet::kAttemptOk;
constexpr int kFailed = zrnet::kAttemptFailed;
constexpr int kDropped = zrnet::kAttemptDropped;
constexpr int kNeedCredentials = zrnet::kAttemptNeedCredentials;
constexpr int kSystemAuthDone = -5;
constexpr int kBusy = zrnet::kAttemptBusy;

using zrnet::pause_ms;
using zrnet::recv_wait_ms;
using zrnet::time_text;
using zrnet::tunnel_trace;
using zrnet::answer_challenge;

void real_sleep(std::uint32_t ms) { plat::sleep_ms(ms); }
ZR_NET_SLEEP_FN g_sleep = real_sleep;

int tag() { return zr01->ua_c; }
int mid() { return zrwork->p_msg->hdr.mid; }

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

using zrnet::Got;

// One receive of the exchange's socket.
Got recv_some(char* buf, int cap, long* n, int* ecd, int wait_ms) {
  return zrnet::recv_some(zrwork->hsock, buf, cap, n, ecd, wait_ms);
}

int drop_or_fail(Got g, int ecd) {
  return (g == Got::kClosed || ecd == plat::kWsaEconnreset) ? kDropped : kFailed;
}

// Receives exactly len bytes of the answer body: 0, -2 closed or reset, -1.
int recv_exact(char* buf, long len) {
  long px = 0;
  while (px < len) {
    long n;
    int ecd;
    long chunk = len - px > 0x10000 ? 0x10000 : len - px;
    Got g = recv_some(buf + px, static_cast<int>(chunk), &n, &ecd, recv_wait_ms());
    if (g != Got::kData) {
      _dbg_print("Error of recv(Data) ret:%ld, mid:%d, rlng:%ld, px:%ld, ecd:%d", n, mid(), len, px,
                 ecd);
      return drop_or_fail(g, ecd);
    }
    px += n;
  }
  return 0;
}

void close_hsock() {
  if (zrwork->hsock) zwsock_close(zrwork->hsock);
  zrwork->hsock = 0;
}

// Connects to the proxy or to the server's port 80, retrying a failed connect.
// On final failure the connect text replaces the request data and the result is -1.
int connect_peer() {
  const bool proxy = zr00->proxy_use != 0;
  const char* host = proxy ? zr00->http_proxy_host : zr01->http_host_nm;
  const unsigned short port = proxy ? zr00->http_proxy_port : 80;
  for (int retry = 0;; ++retry) {
    zrwork->hsock = zwsock_open(port, host);
    if (zrwork->hsock) return kOk;
    if (retry >= zr00->retry_count) break;
    pause_ms(zr00->retry_interval);
    _dbg_print("        (%d) zwsock_open retry (cnt:%d)", tag(), retry + 1);
  }
  const char* text = zrwork->p_msg->data;
  std::string shown = zrnet::masked(text, ::strnlen(text, 100), mid());
  _dbg_print("%.100s", shown.c_str());
  zr::copy(zrwork->p_msg->data, static_cast<std::size_t>(zrwork->p_msg_cap), zrwork->mes_buf);
  return kFailed;
}

// Sends the request text in p_msg in one call.
int send_request() {
  const char* text = zrwork->p_msg->data;
  const long len = static_cast<long>(std::strlen(text));
  long sent = plat::send(zrwork->hsock, text, static_cast<std::size_t>(len));
  if (sent == len) return kOk;
  int ecd = plat::net_last_error();
  char line[128];
  ZR_FMT(line, "Error of Send  ret:%ld, lng:%ld, ecd:%d", sent, len, ecd);
  tunnel_trace(line);
  close_hsock();
  return ecd == plat::kWsaEconnreset ? kDropped : kFailed;
}

bool contains_upper(const char* hdr, const char* what) {
  std::string up(hdr);
  for (char& c : up)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return up.find(what) != std::string::npos;
}

// Reads one answer header byte by byte into hdr (NUL-terminated, without the
// final empty line). 0, or -1/-2.
int read_header_text(char* hdr) {
  int n = 0, ecd = 0;
  long got = 0;
  Got g = zrnet::recv_header(zrwork->hsock, hdr, kHeaderMax, &n, &got, &ecd);
  if (g != Got::kData) {
    _dbg_print("        (%d) Error of recv(HDR1)  ret:%ld, mid:%04d, buf:%.20s(%d), ecd:%d", tag(),
               got, mid(), hdr, n, ecd);
    return drop_or_fail(g, ecd);
  }
  return kOk;
}

// Keeps the body of an HTML or plain-text answer as the newest error page.
void keep_error_page(const char* hdr) {
  if (!std::strstr(hdr, "text/html") && !std::strstr(hdr, "text/plain")) return;
  long len = zrnet::content_length(hdr);
  if (len <= 0) return;
  if (len > kErrorPageMax) {
    _dbg_print("error page of %ld bytes not kept", len);
    return;
  }
  std::vector<char> body(static_cast<std::size_t>(len) + 1, '\0');
  if (recv_exact(body.data(), len) != 0) return;
  if (!zr00->dbg_fnm[0]) return;  // no trace file: no name to keep the page under
  zrnet::save_error_page(zr00->dbg_fnm, body.data(), ::strnlen(body.data(), body.size()));
}

// Skips the body of a challenge answer, byte by byte without time-out.
int drain_body(const char* hdr) {
  long len = zrnet::content_length(hdr);
  if (len < 0) len = 0;
  _dbg_print("proxy_data_recv lng:%ld", len);
  for (long i = 0; i < len; ++i) {
    char c;
    long n = plat::recv(zrwork->hsock, &c, 1);
    if (n != 1) {
      int ecd = plat::net_last_error();
      _dbg_print("Error of recv(proxy_data) ret:%ld, mid:%d, lng:%ld, i:%ld, ecd:%d", n, mid(), len,
                 i, ecd);
      return ecd == plat::kWsaEconnreset ? kDropped : kFailed;
    }
  }
  return kOk;
}


// Copies the request text now in p_msg into req_copy.
void keep_request_copy() {
  zr::copy(zrwork->req_copy, static_cast<std::size_t>(zrwork->req_copy_cap), zrwork->p_msg->data);
}

// Reads and checks answer headers until one ends the header phase: 0 for a
// status 200 answer (the header is left in hdr), or a negative attempt result.
int read_answer_header(char* hdr) {
  zrwork->retry_proc_cnt = 0;
  int challenges = 0;
  bool auth_sent = zrwork->auth_kd == 1 && std::strstr(zrwork->p_msg->data, zrwork->auth_line) &&
                   zrwork->auth_line[0];
  for (;;) {
    int rc = read_header_text(hdr);
    if (rc != kOk) return rc;
    const int hdr_len = static_cast<int>(std::strlen(hdr));
    int status = zrnet::status_code(hdr);
    if (status < 0) {
      char line[96];
      ZR_FMT(line, "Error of recv(HDR2)  ret:%d, lng:%d, ecd:%d", hdr_len, hdr_len,
             plat::net_last_error());
      tunnel_trace(line);
      _dbg_print("HDR:%.500s", hdr);
      return kFailed;
    }
    zrwork->http_sts = status;
    if (status == 407)
      zrwork->keep_alive = (contains_upper(hdr, "PROXY-CONNECTION: KEEP-ALIVE") ||
                            contains_upper(hdr, "CONNECTION: KEEP-ALIVE"))
                               ? 1
                               : 0;
    if (status == 401) zrwork->keep_alive = 0;
    if (zr00->connect_cls) zrwork->keep_alive = 0;
    if (status == 200 && std::strstr(hdr, "text/html")) {
      _dbg_print("HTTP_STS 200 ErrorRecv");
      status = 500;
    }
    switch (status) {
      case 100:
        continue;
      case 200:
        return kOk;
      case 302:
      case 400:
      case 403:
      case 500:
      case 502:
      case 503:
      case 504: {
        _dbg_print("STATUS%d HDR[%d]:%.500s", status, hdr_len, hdr);
        keep_error_page(hdr);
        _dbg_print("*** retry_proc cnt:%d ***", zrwork->retry_proc_cnt);
        if (++zrwork->retry_proc_cnt >= kBusyLimit) return kBusy;
        pause_ms(kBusyPauseMs);
        close_hsock();
        zwsockh_auth_finish();
        zrwork->ie_auth = 0;
        if (int c = connect_peer(); c != kOk) return c;
        zrnet::retry_patch(zrwork->p_msg->data, zrwork->retry_proc_cnt);
        if (int s = send_request(); s != kOk) return s;
        continue;
      }
      case 401:
      case 407: {
        if (zrwork->ie_auth) {
          // The final NTLM token was refused: the system HTTP client
          // authenticates once, then the request as first built is re-sent.
          drain_body(hdr);
          close_hsock();
          _dbg_print("*** Proxy Authenticate(ntlm) failed. try ie_auth. ***");
          zrwork->ie_auth = 0;
          zrwork->ie_auth_done = 1;
          return kSystemAuthDone;
        }
        int d = drain_body(hdr);
        if (d == kFailed) return kFailed;
        int a = d == kOk ? answer_challenge(hdr, status) : 1;
        if (a < 0) return kFailed;
        // A Basic line already sent and refused again means wrong credentials;
        // answering again would only repeat the refusal.
        if (a == 0 && (auth_sent || ++challenges > kChallengeMax)) a = 1;
        if (a != 0) {
          if (zrwork->auth_kd == 1) {
            _dbg_print("*** 認証要求受信 ***");
            return kNeedCredentials;
          }
          _dbg_print("*** Proxy Authenticate Error ***");
          return kFailed;
        }
        auth_sent = true;
        keep_request_copy();
        if (!zrwork->keep_alive) {
          close_hsock();
          if (int c = connect_peer(); c != kOk) return c;
        }
        if (int s = send_request(); s != kOk) return s;
        continue;
      }
      default: {
        char line[96];
        ZR_FMT(line, "Error of recv(HTTP Status Error)  ret:%d, lng:%d, ecd:%d", status, hdr_len,
               plat::net_last_error());
        tunnel_trace(line);
        _dbg_print("HDR:%.500s", hdr);
        return kFailed;
      }
    }
  }
}

// Receives the answer frame into p_msg behind a status 200 header.
int read_answer_frame(const char* hdr) {
  PHMSG* msg = zrwork->p_msg;
  char head[kMsgHeaderSize];
  {
    int r = recv_exact(head, kMsgHeaderSize);
    if (r != 0) return r;
  }
  PHMSG_HDR h;
  std::memcpy(&h, head, sizeof h);
  // The lengths come from the network: a frame that is shorter than its header,
  // or whose text and binary parts cannot be held, is a receive error.
  const std::int64_t text_len = static_cast<std::int64_t>(h.lng) - kMsgHeaderSize;
  const std::int64_t bin_len = h.sts > 0 ? h.sts : 0;
  const std::int64_t need = text_len + bin_len + 1;
  if (text_len < 0 || static_cast<std::int64_t>(h.lng) + bin_len + 1000000 > kMsgBlockMax) {
    ZR_FMT(zrwork->mes_buf, "** 回線障害(Receive Length Error) p_msg->lng:%d **", h.lng);
    _dbg_print("%s sts:%d", zrwork->mes_buf, h.sts);
    return kFailed;
  }
  if (need > zrwork->p_msg_cap) {
    if (!zr_msg_grow(static_cast<std::int64_t>(h.lng) + bin_len + 1000000, 0)) {
      ZR_FMT(zrwork->mes_buf, "** 回線障害(Receive Length Error) p_msg->lng:%d **", h.lng);
      _dbg_print("%s sts:%d", zrwork->mes_buf, h.sts);
      return kFailed;
    }
    msg = zrwork->p_msg;
  }
  msg->hdr = h;
  if (text_len > 0 && recv_exact(msg->data, static_cast<long>(text_len)) != 0) return kFailed;
  msg->data[text_len] = '\0';
  if (bin_len > 0) {
    int r = recv_exact(msg->data + text_len, static_cast<long>(bin_len));
    if (r != 0) return r;
  }
  (void)hdr;
  return kOk;
}

// Puts the request for attempt i in p_msg: built on the first attempt, restored
// and patched on the later ones.
int prepare_request(int i) {
  if (i == 0) {
    int len = zrnet::build_request();
    if (len < 0) return kFailed;
    if (len + 1024 >= zrwork->req_copy_cap) {
      std::int32_t cap = len + 10000;
      void* block = std::malloc(static_cast<std::size_t>(cap) * 2);
      if (!block) {
        _dbg_print("request copies of %d bytes cannot be held", cap);
        return kFailed;
      }
      std::free(zrwork->tnl_work);
      zrwork->tnl_work = block;
      zrwork->req_copy = static_cast<char*>(block);
      zrwork->req_copy2 = zrwork->req_copy + cap;
      zrwork->req_copy_cap = cap;
    }
    zr::copy(zrwork->req_copy, static_cast<std::size_t>(zrwork->req_copy_cap), zrwork->p_msg->data);
    zr::copy(zrwork->req_copy2, static_cast<std::size_t>(zrwork->req_copy_cap),
             zrwork->p_msg->data);
    return kOk;
  }
  const char* from = zrwork->ie_auth_done ? zrwork->req_copy2 : zrwork->req_copy;
  zrwork->ie_auth_done = 0;
  std::string text(from);
  zrwork->mlng = 0;
  zwsock_phmsg_set(text.data(), static_cast<int>(text.size()));
  zrnet::retry_patch(zrwork->p_msg->data, i);
  return kOk;
}

int one_attempt(int i) {
  if (int p = prepare_request(i); p != kOk) return p;

  char now[16];
  time_text(now, sizeof now);
  const char* text = zrwork->p_msg->data;
  const char* body = std::strstr(text, "\r\n\r\n");
  body = body ? body + 4 : text;
  const int m = mid();
  if (m == 801 || m == 802 || m == 810) {
    _dbg_print("** PHMSG(%d) %s ** mid:%04d(%s)", tag(), now, m, _midinf_nm(m));
  } else {
    std::string shown = zrnet::masked(body, ::strnlen(body, 100), -1);
    zr_msg_mask_secret(m, shown.data(), shown.size(), kBodyHeader);
    _dbg_print("** PHMSG(%d) %s ** mid:%04d(%s) buf:%.100s", tag(), now, m, _midinf_nm(m),
               shown.c_str());
  }

  if (int c = connect_peer(); c != kOk) return c;
  if (int s = send_request(); s != kOk) return s;

  char hdr[kHeaderMax + 1];
  int rc = read_answer_header(hdr);
  if (rc == kOk) rc = read_answer_frame(hdr);
  close_hsock();
  if (rc != kOk) return rc;

  PHMSG* msg = zrwork->p_msg;
  zrwork->mlng = msg->hdr.lng - kMsgHeaderSize;
  time_text(now, sizeof now);
  _dbg_print("        (%d) %s    http_sts:%d, lng:%d(%ld), sts:%d", tag(), now, zrwork->http_sts,
             msg->hdr.lng, zrnet::content_length(hdr), msg->hdr.sts);
  return kOk;
}

}  // namespace

ZR_NET_SLEEP_FN zr_net_sleep_handler(ZR_NET_SLEEP_FN fn) {
  ZR_NET_SLEEP_FN previous = g_sleep;
  g_sleep = fn ? fn : real_sleep;
  return previous;
}

int zwsock_phmsg() {
  if (zrwork->mlng > zrnet::kRequestMax) {
    _dbg_print("*** zwsockh1 mlng Size Error !!! ***   mlng:%d", zrwork->mlng);
    _mes_print("*** zwsockh1 mlng Size Error !!! ***   mlng:%d", zrwork->mlng);
    return -1;
  }
  const int m = mid();
  zrwork->ie_auth_done = 0;
  int result;
  for (int i = 0;; ++i) {
    zrwork->ie_auth = 0;
    result = one_attempt(i);
    zwsockh_auth_finish();
    if (result == kDropped) {
      if (i >= zr00->retry_count) break;
      _dbg_print("        (%d) ** 回線が切断されました。リトライします。(lcnt:%d) **", tag(), i);
      pause_ms(zr00->retry_interval);
      continue;
    }
    if (result == kSystemAuthDone) {
      if (i >= zr00->retry_count) break;
      continue;
    }
    break;
  }

  if (result >= 0) {
    zrnet::answer_status_check(m);
    return 0;
  }

  char text[512];
  zrnet::result_text(result, m, text, sizeof text);
  _dbg_print("%s", text);
  if (result == kNeedCredentials) {
    _mes_box(text, 0);
    return -3;
  }
  if (m == 107 || m == 118 || m == 225) return -1;
  if (result == kBusy) _mes_box(text, 0);
  zr_exit();
}

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

void zrnet_msg_fn_install(bool startup) {
  if (zrconn->zrhttp_use) {
    zrhttp_initial();
    zr00->msg_fn = zrhttp_phmsg;
    zrconn->http_use = 1;
  } else {
    zr00->msg_fn = zr00->ssl_use ? zwsock_phmsg_ssl : zwsock_phmsg;
    zrconn->http_use = 0;
    zwsock_initial();
    zwsockh_auth_initial();
  }
  if (startup && zrconn->socks_use) {
    zr00->proxy_use = 0;
    zrconn->http_use = 0;
    zr00->msg_fn = zr00->ssl_use ? zwsock_phmsg_ssl : zwsock_phmsg;
  }
}

// ---- the pieces -----------------------------------------------------------------------

namespace zrnet {

void pause_ms(std::uint32_t ms) { g_sleep(ms); }

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

Got recv_some(int hsock, char* buf, int cap, long* n, int* ecd, int wait_ms) {
  if (wait_ms >= 0) {
    int w = plat::wait_readable(hsock, wait_ms);
    if (w == 0) {
      *ecd = plat::net_last_error();
      _dbg_print("Error of select(Timeout) ret:%d, ecd:%d", w, *ecd);
      *n = 0;
      return Got::kClosed;
    }
    if (w < 0) {
      *ecd = plat::net_last_error();
      _dbg_print("Error of select ret:%d, ecd:%d", w, *ecd);
      *n = -1;
      return Got::kFailed;
    }
  }
  *n = plat::recv(hsock, buf, static_cast<std::size_t>(cap));
  *ecd = plat::net_last_error();
  if (*n > 0) return Got::kData;
  return *n == 0 ? Got::kClosed : Got::kFailed;
}

Got recv_header(int hsock, char* hdr, int max, int* n, long* got, int* ecd) {
  *n = 0;
  while (*n < max) {
    Got g = recv_some(hsock, hdr + *n, 1, got, ecd, recv_wait_ms());
    if (g != Got::kData) {
      hdr[*n] = '\0';
      return g;
    }
    ++*n;
    if (*n >= 4 && std::memcmp(hdr + *n - 4, "\r\n\r\n", 4) == 0) {
      *n -= 4;
      break;
    }
  }
  hdr[*n] = '\0';
  return Got::kData;
}

void result_text(int result, int m, char* text, std::size_t cap) {
  switch (result) {
    case kFailed:
      zr::format(text, cap, "*** Error of zwsock_http *** tno:%s, mid:%d, ecd:%d", zr01->cli_nm, m,
                 plat::net_last_error());
      break;
    case kDropped:
      zr::format(text, cap, "%s",
                 "回線が切断されました。 "
                 "サーバが停止しているか、\r\n回線が混んでいるためデータを取得できません。"
                 "\r\nしばらくしてから再度接続して下さい。");
      break;
    case kNeedCredentials:
      zr::format(text, cap, "%s",
                 "プロキシ認証の設定が必要です。\r\nメニューからプロキシ設定を行ってください。");
      break;
    case kBusy:
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

int make_auth_line(const char* hdr, int status, const char** why) {
  *why = nullptr;
  int scheme = auth_scheme(hdr, status);
  if (scheme == 0) {
    _dbg_print("Authenticate HDR not found");
    *why = "プロキシ認証のエラーです。";
    return -1;
  }
  zrwork->auth_kd = static_cast<std::uint8_t>(scheme);
  if (scheme != 1) {
    // The NTLM and Negotiate conversations come with the system security
    // interface; until then such a challenge cannot be answered.
    _dbg_print("Authorization is %s", scheme == 2 ? "NTLM" : "Negotiate");
    _dbg_print("Auth Converse Error");
    return 1;
  }
  _dbg_print("Authorization is Basic");
  if (!zr00->pxy_user[0]) {
    *why = "プロキシ認証の要求";
    return 1;
  }
  char line[sizeof zrwork->auth_line];
  if (!basic_line(status, zr00->pxy_user, zr00->pxy_pass, line, sizeof line)) return 1;
  zr::copy(zrwork->auth_line, line);
  return 0;
}

// Answers an authentication challenge: rebuilds the request in p_msg with the
// authorization line. 0 rebuilt, 1 no line could be made, -1 no usable challenge.
int answer_challenge(const char* hdr, int status) {
  _dbg_print("proxy_auth_proc http_sts:%d", status);
  PHMSG* msg = zrwork->p_msg;
  const char* why = nullptr;
  const int made = make_auth_line(hdr, status, &why);
  if (made != 0) {
    if (why) {
      msg->hdr.sts = -1;
      zr::copy(msg->data, static_cast<std::size_t>(zrwork->p_msg_cap), why);
      if (made < 0) _dbg_print("%s", msg->data);
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
  head += zrwork->auth_line;
  head += "\r\n";
  zrwork->mlng = 0;
  zwsock_phmsg_set(head.data(), static_cast<int>(head.size()));
  zwsock_phmsg_set(body.data(), static_cast<int>(body.size()));
  std::string shown =
      zrnet::masked(zrwork->p_msg->data, static_cast<std::size_t>(zrwork->mlng), mid());
  _dbg_print("=== PROXY_SET ===\n%.300s \n=================", shown.c_str());
  return 0;
}

int build_request() {
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
    ZR_FMT(line, "POST http://%s/%s %s\r\n", zr01->http_host_nm, zr01->http_obj_nm, ver);
  h += line;
  if (proxy && !zr00->keepalive_hdr) h += "Proxy-Connection: Keep-Alive\r\n";
  if (zr00->accept_hdr) h += "Accept: application/octet-stream\r\n";
  if (zr00->nocache_hdr) h += "Cache-Control: no-cache\r\n";
  if (zrwork->auth_kd == 1) h += zrwork->auth_line;
  if (!zr00->ntlm_mode) h += "Connection: close\r\n";
  ZR_FMT(line, "User-Agent: ZORAX-V001 L%03d P%010d C%02d R%010d\r\n", zr01->ua_l, zr01->ua_p,
         zr01->ua_c, zr01->ua_r);
  h += line;
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
  msg->data[total] = '\0';
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

int status_code(const char* hdr) {
  if (std::strncmp(hdr, "HTTP/", 5) != 0) return -1;
  const char* p = std::strchr(hdr, ' ');
  if (!p) return 0;
  while (*p == ' ') ++p;
  int code = 0;
  for (int k = 0; k < 3 && p[k] >= '0' && p[k] <= '9'; ++k) code = code * 10 + (p[k] - '0');
  return code;
}

long content_length(const char* hdr) {
  for (const char* name : {"Content-Length", "content-length", "Content-length"}) {
    if (const char* p = std::strstr(hdr, name)) {
      p += std::strlen(name);
      while (*p == ':' || *p == ' ') ++p;
      long v = 0;
      bool any = false;
      for (; *p >= '0' && *p <= '9'; ++p) {
        any = true;
        if (v > 0x7FFFFFFFL / 10) return -1;  // no sensible length
        v = v * 10 + (*p - '0');
      }
      return any ? v : -1;
    }
  }
  return -1;
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
  const char* name = status == 401 ? "WWW-Authenticate:" : "Proxy-Authenticate:";
  const std::size_t nlen = std::strlen(name);
  bool basic = false, ntlm = false, nego = false;
  for (const char* p = std::strstr(hdr, name); p; p = std::strstr(p + 1, name)) {
    const char* s = p + nlen;
    if (!std::strncmp(s, " Basic", 6) || !std::strncmp(s, " BASIC", 6)) basic = true;
    if (!std::strncmp(s, " NTLM", 5) || !std::strncmp(s, " Ntlm", 5)) ntlm = true;
    if (!std::strncmp(s, " Negotiate", 10) || !std::strncmp(s, " NEGOTIATE", 10)) nego = true;
  }
  if (basic) return 1;  // the only conversation this build can hold
  if (ntlm && nego) return zr00->pxy_auth1st ? 3 : 2;
  if (ntlm) return 2;
  if (nego) return 3;
  return 0;
}

bool basic_line(int status, const char* user, const char* pass, char* out, std::size_t cap) {
  std::string plain = std::string(user) + ":" + pass;
  std::string token(4 * ((plain.size() + 2) / 3) + 1, '\0');
  int n = _conv_base64(0, plain.data(), token.data(), static_cast<int>(plain.size()));
  token.resize(static_cast<std::size_t>(n));
  int w =
      zr::format(out, cap, "%s %s %s\r\n",
                 status == 401 ? "Authorization:" : "Proxy-Authorization:", "Basic", token.c_str());
  return w > 0 && static_cast<std::size_t>(w) < cap;
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
