// The operating system's HTTP client as a transport: the session and the
// connection kept between zrhttp_initial and zrhttp_finish, one request per
// exchange with the tunnel's body behind the client's own header lines, the
// re-send after a challenge or a busy answer, and the answer read as one frame.
// Every failed exchange ends the process after its text.
#include "net/wininet.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "naming/code_tables.h"
#include "net/message.h"
#include "net/transport.h"
#include "net/tunnel.h"
#include "runtime/zrcommon.h"
#include "text/base64.h"

namespace {

constexpr std::size_t kRawHeaderCap = 2048;  // the answer header kept for the trace
constexpr int kHdrTraceWidth = 500;          // how much of it a trace line shows
constexpr std::size_t kBodyShown = 100;      // how much of the body the PHMSG line shows
constexpr unsigned long kReceiveTimeoutMs = 90000;
constexpr int kDummyRecordBytes = 16384;

void close_request_of(plat::HttpRequest* r) { plat::http_close(r); }
void close_connection_of(plat::HttpConnection* c) { plat::http_close(c); }
void close_session_of(plat::HttpSession* s) { plat::http_close(s); }

const ZR_HTTP_CLIENT kPlatformClient = {
    plat::http_session_open,    plat::http_set_receive_timeout,
    plat::http_connect,         plat::http_open_request,
    plat::http_add_headers,     plat::http_send,
    plat::http_status,          plat::http_content_length,
    plat::http_raw_headers,     plat::http_read,
    plat::http_password_dialog, close_request_of,
    close_connection_of,        close_session_of,
    plat::http_last_error,      plat::http_set_proxy_credentials,
};
const ZR_HTTP_CLIENT* g_client = &kPlatformClient;

plat::HttpSession* session() { return static_cast<plat::HttpSession*>(zr00->zrhttp_session); }
plat::HttpConnection* connection() { return static_cast<plat::HttpConnection*>(zr00->zrhttp_conn); }
plat::HttpRequest* request() { return static_cast<plat::HttpRequest*>(zr01->zrhttp_req); }

int mid() { return zrwork->p_msg->hdr.mid; }

// The text a failed exchange reports, in place of p_msg's data.
void failure_text(const char* text) {
  zr::copy(zrwork->p_msg->data, static_cast<std::size_t>(zrwork->p_msg_cap), text);
}

// A failed exchange after its request was opened: the text, the request closed.
int fail_closed(const char* text, int result) {
  failure_text(text);
  zrhttp_close();
  return result;
}

void trace_header(plat::HttpRequest* r) {
  char raw[kRawHeaderCap];
  if (!g_client->raw_headers(r, raw, sizeof raw)) raw[0] = '\0';
  _dbg_print("HDR:%.*s", kHdrTraceWidth, raw);
}

// The User-Agent line of the request the tunnel layout built (kept in hdr_copy).
std::string user_agent_line() {
  const char* ua = std::strstr(zrwork->hdr_copy, "User-Agent:");
  if (!ua) return std::string();
  const char* eol = std::strstr(ua, "\r\n");
  return eol ? std::string(ua, static_cast<std::size_t>(eol - ua) + 2) : std::string(ua) + "\r\n";
}

// The client's header lines for a body of body_len bytes, in their order; false
// when they would reach the limit.
bool header_lines(int body_len, std::string* out) {
  std::string& h = *out;
  char line[256];
  if (zr00->accept_hdr) h += "Accept: application/octet-stream\r\n";
  if (zr00->nocache_hdr) h += "Cache-Control: no-cache\r\n";
  if (!zr00->keepalive_hdr) h += "Proxy-Connection: Keep-Alive\r\n";
  // A secured request's header lines travel inside the tunnel to the server:
  // there the proxy's account goes to the system as credentials instead
  // (proxy_credentials), which answers the CONNECT's challenge with them.
  if (zr00->pxy_pass[0] && !zr00->ssl_use) {
    h += "Proxy-Authorization: Basic ";
    h.append(zr00->pxy_pass, ::strnlen(zr00->pxy_pass, sizeof zr00->pxy_pass));
    h += "\r\n";
  }
  h += "Connection: close\r\n";
  h += user_agent_line();
  h += "Host: ";
  h.append(zr01->http_host_nm, ::strnlen(zr01->http_host_nm, sizeof zr01->http_host_nm));
  h += "\r\n";
  ZR_FMT(line, "Content-Length: %d\r\n\r\n", body_len);
  h += line;
  return h.size() < zrnet::kSystemHttpHeaderMax;
}

// Reads up to len bytes, as many calls as it takes: the bytes read (fewer at the
// end of the answer), or -1 when a read fails.
long read_up_to(plat::HttpRequest* r, char* buf, long len) {
  long got = 0;
  while (got < len) {
    const long n = g_client->read(r, buf + got, static_cast<std::size_t>(len - got));
    if (n < 0) return -1;
    if (n == 0) break;
    got += n;
  }
  return got;
}

int read_failure() {
  char text[128];
  ZR_FMT(text, "zrhttp Error of Receive ecd:%lu", g_client->last_error());
  _dbg_print("%s", text);
  return fail_closed(text, -1);
}

// The "Receive Length Error" of a frame that cannot be taken.
int length_error(std::int32_t lng, std::int32_t sts) {
  ZR_FMT(zrwork->mes_buf, "** 回線障害(Receive Length Error) p_msg->lng:%d **", lng);
  _dbg_print("%s sts:%d", zrwork->mes_buf, sts);
  return fail_closed(zrwork->mes_buf, -1);
}

// The answer frame into p_msg: the 12-byte header, its text and, when sts > 0,
// sts binary bytes behind the text.
int read_frame(plat::HttpRequest* r) {
  char head[kMsgHeaderSize];
  long n = read_up_to(r, head, kMsgHeaderSize);
  if (n != kMsgHeaderSize) return read_failure();
  PHMSG_HDR h;
  std::memcpy(&h, head, sizeof h);
  // A frame whose lengths do not fit is a receive error.
  std::int64_t text_len = 0, bin_len = 0;
  if (!zr_msg_frame_fits(h, -1, &text_len, &bin_len)) return length_error(h.lng, h.sts);
  PHMSG* msg = zrwork->p_msg;
  msg->hdr = h;
  // A text part cut short is a failed read as well: mlng would announce bytes
  // that never arrived.
  n = text_len > 0 ? read_up_to(r, msg->data, static_cast<long>(text_len)) : 0;
  if (n != text_len) return read_failure();
  zr_msg_data(msg)[n] = '\0';
  if (bin_len > 0) {
    // A binary part cut short would leave its missing bytes announced as data.
    n = read_up_to(r, zr_msg_data(msg) + text_len, static_cast<long>(bin_len));
    if (n != bin_len) return read_failure();
    zr_msg_data(msg)[text_len + bin_len] = '\0';
  }
  zrhttp_close();
  zrwork->mlng = static_cast<std::int32_t>(text_len);
  return 0;
}

// Hands the stored proxy account to the system for a secured request: the
// user name, and the password from the stored "user:password" Base64 text.
void proxy_credentials(plat::HttpRequest* r) {
  const std::string decoded = zr::base64_decode(
      std::string(zr00->pxy_pass, ::strnlen(zr00->pxy_pass, sizeof zr00->pxy_pass)));
  const std::size_t colon = decoded.find(':');
  const std::string pass = colon == std::string::npos ? std::string() : decoded.substr(colon + 1);
  if (!g_client->set_proxy_credentials ||
      !g_client->set_proxy_credentials(r, zr00->pxy_user, pass.c_str()))
    _dbg_print("zrhttp: the proxy credentials were refused ecd:%lu", g_client->last_error());
}

// The re-send after status 401, 407, 502, 503 or 504: 0 when the answer is then
// 200, else the exchange's result.
int retry_step(plat::HttpRequest* r, const char* body, int body_len, int status) {
  if (zr00->pxy_pass[0]) {
    if (status == 401 && (!zr00->proxy_use || zr00->ssl_use)) {
      // The stored credentials are the proxy's: without a proxy, or inside a
      // secured tunnel, a 401 comes from the server and would only collect them.
      _dbg_print("server challenge (401) without a proxy: the proxy's credentials are not sent");
    } else if (status == 407 && zr00->ssl_use) {
      // The CONNECT's challenge: the system answers it with the credentials.
      proxy_credentials(r);
    } else if (status == 401 || status == 407) {
      std::string line = status == 401 ? "Authorization: Basic " : "Proxy-Authorization: Basic ";
      line.append(zr00->pxy_pass, ::strnlen(zr00->pxy_pass, sizeof zr00->pxy_pass));
      line += "\r\n";
      g_client->add_headers(r, line.data(), line.size());
    } else {
      _dbg_print("***** status is %d *****", status);
    }
  } else {
    g_client->password_dialog(r);
  }
  if (const int e = g_client->send(r, body, static_cast<std::size_t>(body_len)); e != 0) {
    _dbg_print("Error:%d, Context:%p", e, static_cast<void*>(nullptr));
    zrhttp_close();
    return -2;
  }
  status = g_client->status(r);
  trace_header(r);
  if (status == 200) return 0;
  char text[128];
  ZR_FMT(text, "回線接続エラーです。\ndwRet:%d", status);
  zrwork->p_msg->hdr.sts = -1;
  return fail_closed(text, -1);
}

// One exchange on p_msg: 0 (the answer in p_msg), -1 failed, -2 the send failed.
int exchange() {
  const int m = mid();
  if (zrnet::build_request() < 0) {
    _dbg_print("zrhttp: the request cannot be held");
    failure_text("zrhttp Error of Request");
    return -1;
  }
  const char* data = zrwork->p_msg->data;
  const char* sep = std::strstr(data, "\r\n\r\n");
  if (!sep) {
    failure_text("zrhttp Error of Request");
    return -1;
  }
  const char* body = sep + 4;
  const int body_len = zrwork->mlng - static_cast<int>(body - data);
  std::string lines;
  if (!header_lines(body_len, &lines)) {
    char text[128];
    ZR_FMT(text, "zrhttp Error of Header lng:%d", static_cast<int>(lines.size()));
    _dbg_print("%s", text);
    failure_text(text);
    return -1;
  }

  std::string shown(body, static_cast<std::size_t>(body_len) < kBodyShown ? body_len : kBodyShown);
  zr_msg_mask_secret(m, shown.data(), shown.size(), 32);
  char now[16];
  zrnet::time_text(now, sizeof now);
  _dbg_print("** PHMSG %s ** mid:%04d(%s) buf:%.100s", now, m, _midinf_nm(m), shown.c_str());

  unsigned flags = plat::kHttpReload;
  if (zr00->ssl_use) {
    flags |= plat::kHttpKeepConnection | plat::kHttpSecure;
    // Only the added ZORAX.INI key turns the certificate checks off.
    if (zr00->ssl_cert_ign == 1) flags |= plat::kHttpIgnoreCertName | plat::kHttpIgnoreCertDate;
  }
  plat::HttpRequest* r =
      connection() ? g_client->open_request(connection(), "POST", zr01->http_obj_nm, flags)
                   : nullptr;
  if (!r) {
    char text[128];
    ZR_FMT(text, "zrhttp Error of Open Request ecd:%lu", g_client->last_error());
    _dbg_print("%s", text);
    failure_text(text);
    return -1;
  }
  zr01->zrhttp_req = r;
  if (!g_client->add_headers(r, lines.data(), lines.size()))
    _dbg_print("zrhttp: header lines refused ecd:%lu", g_client->last_error());
  if (zr00->ssl_use && zr00->pxy_pass[0]) proxy_credentials(r);

  if (const int e = g_client->send(r, body, static_cast<std::size_t>(body_len)); e != 0) {
    _dbg_print("Error of Send  ret:%d, lng:%d, ecd:%d", e, body_len, 0);
    zrhttp_close();
    return -2;
  }
  int status = g_client->status(r);
  const long content_lng = g_client->content_length(r);
  trace_header(r);
  if (status == 401 || status == 407 || status == 502 || status == 503 || status == 504) {
    if (const int res = retry_step(r, body, body_len, status); res != 0) return res;
    status = 200;
  }
  if (status != 200) {
    char text[128];
    ZR_FMT(text, "データ送信に失敗しました。(zrhttp Error of Send %d)", status);
    _dbg_print("%s", text);
    _mes_print("%s", text);
    return fail_closed(text, -1);
  }
  _dbg_print("content_lng:%ld", content_lng);
  return read_frame(r);
}

}  // namespace

const ZR_HTTP_CLIENT* zrhttp_client_set(const ZR_HTTP_CLIENT* client) {
  const ZR_HTTP_CLIENT* previous = g_client;
  g_client = client ? client : &kPlatformClient;
  return previous;
}

int zrhttp_initial() {
  _dbg_print("zrhttp_initial http_host_nm:%s http_proxy_host:%s http_proxy_port:%d",
             zr01->http_host_nm, zr00->http_proxy_host, zr00->http_proxy_port);
  if (session()) zrhttp_finish();
  plat::HttpSession* s = nullptr;
  if (zr00->zrhttp_cp) {
    s = g_client->session_open(nullptr);
    if (s && !g_client->set_receive_timeout(s, kReceiveTimeoutMs))
      _dbg_print("zrhttp_initial: receive time-out not set ecd:%lu", g_client->last_error());
  } else {
    char proxy[96];
    ZR_FMT(proxy, "%s:%d", zr00->http_proxy_host, zr00->http_proxy_port);
    s = g_client->session_open(proxy);
  }
  if (!s) {
    _dbg_print("zrhttp_initial: no session ecd:%lu", g_client->last_error());
    return 0;
  }
  zr00->zrhttp_session = s;
  plat::HttpConnection* c = g_client->connect(s, zr01->http_host_nm, zr00->ssl_use != 0);
  if (!c) _dbg_print("zrhttp_initial: no connection ecd:%lu", g_client->last_error());
  zr00->zrhttp_conn = c;
  return 0;
}

void zrhttp_close() {
  if (plat::HttpRequest* r = request()) {
    zr01->zrhttp_req = nullptr;
    g_client->close_request(r);
  }
}

void zrhttp_finish() {
  zrhttp_close();
  plat::HttpConnection* c = connection();
  plat::HttpSession* s = session();
  zr00->zrhttp_conn = nullptr;
  zr00->zrhttp_session = nullptr;
  if (c) g_client->close_connection(c);
  if (s) g_client->close_session(s);
}

int zrhttp_phmsg() {
  const int m = mid();
  const int result = exchange();
  PHMSG* msg = zrwork->p_msg;
  char text[512];
  if (result == -1) {
    ZR_FMT(text, "*** Error of zrhttp_pmsg *** tno:%s, mid:%d, err:%.200s", zr01->cli_nm, m,
           msg->data);
  } else if (result == -2) {
    ZR_FMT(text, "%s",
           "回線が切断されました。 サーバが停止しているか、\r\n回線が混んでいるためデータを取得"
           "できません。\r\nしばらくしてから再度接続して下さい。");
  } else if (msg->hdr.sts == -9999) {
    ZR_FMT(text, "*** Error *** tno:%s, mid:%04d,\n%.200s", zr01->cli_nm, m, msg->data);
  } else {
    if (msg->hdr.sts == -1)
      _dbg_print("*** Error *** tno:%s, mid:%04d, msg:%.200s", zr01->cli_nm, m, msg->data);
    return 0;
  }
  _dbg_print("%s", text);
  _mes_print("%s", text);
  zr_exit();
}

int zrhttp_phmsg_ntlm() {
  PHMSG* previous = zrwork->p_msg;
  const std::int32_t previous_cap = zrwork->p_msg_cap;
  const std::int32_t previous_mlng = zrwork->mlng;
  // Building the dummy's request replaces the header copy; the tunnel that
  // handed over answers its next challenge from that copy, so it is kept.
  std::string previous_header = zrwork->hdr_copy;
  auto* dummy = static_cast<PHMSG*>(std::calloc(1, kDummyRecordBytes));
  if (!dummy) {
    _dbg_print("zrhttp_phmsg_ntlm: no record");
    return -1;
  }
  dummy->hdr.mid = 211;
  dummy->hdr.kd00 = zrwork->kd_2;
  dummy->hdr.sts = 0;
  dummy->hdr.lng = kMsgHeaderSize;
  zrwork->p_msg = dummy;
  zrwork->p_msg_cap = kDummyRecordBytes - kMsgHeaderSize;
  zrwork->mlng = 0;
  const int result = zrhttp_phmsg();
  // The exchange may have moved the record to a larger block.
  if (!zr_msg_builtin(zrwork->p_msg)) std::free(zrwork->p_msg);
  zrwork->p_msg = previous;
  zrwork->p_msg_cap = previous_cap;
  zrwork->mlng = previous_mlng;
  zr::copy(zrwork->hdr_copy, previous_header.c_str());
  return result;
}
