// The secured exchange. The records are read from the socket here, one at a
// time (a 5-byte header, then the length it gives), and handed to the
// platform's TLS session for the handshake and for decryption; plaintext goes
// out in pieces of 16,000 bytes. The request and the answer checks are those
// of the plain HTTP tunnel, with the request line "POST https://" and the port
// in the Host line; a secured connection lives for one exchange.
#include "net/tls.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "net/socket.h"
#include "net/transport.h"
#include "net/tunnel.h"
#include "platform/net.h"
#include "platform/platform.h"
#include "platform/tls.h"
#include "runtime/zrcommon.h"
#include "session/envelope.h"

namespace {

constexpr int kRecordHeader = 5;
constexpr int kHandshakeWaitMs = 25000;  // readiness wait of each handshake receive
constexpr int kHandshakePiece = 1024;    // handshake record bodies arrive in such pieces
constexpr int kPlainPiece = 16000;       // plaintext bytes per encrypted record
constexpr int kAnswerBuffer = 20480;     // the largest record of an answer
constexpr int kHeaderMax = 2048;         // bytes of an answer header
constexpr long kGrowSlack = 1000000;     // answer buffers grow this much beyond the need
constexpr int kConnectChallengeMax = 8;  // proxy challenges answered within one CONNECT
constexpr unsigned long kUntrustedRootStatus = 0x80090325UL;  // the system's untrusted-root status

// Exchange results (as the plain tunnel's).
constexpr int kOk = zrnet::kAttemptOk;
constexpr int kFailed = zrnet::kAttemptFailed;
constexpr int kNeedCredentials = zrnet::kAttemptNeedCredentials;
constexpr int kBusy = zrnet::kAttemptBusy;

using zrnet::pause_ms;
using zrnet::result_text;
using zrnet::time_text;
using zrnet::tunnel_trace;

// This thread's TLS session (the security state is per thread).
thread_local plat::TlsSession* t_session = nullptr;
unsigned short g_port = 443;

int tag() { return zr01->ua_c; }
int mid() { return zrwork->p_msg->hdr.mid; }

// ---- receiving --------------------------------------------------------------------

using zrnet::Got;

// Receives exactly len bytes in receives of at most piece bytes, each waiting
// first at most wait_ms (negative: without bound). *px tells how far it got.
Got recv_exact(int hsock, char* buf, int len, int piece, int wait_ms, int* px, int* ecd) {
  *px = 0;
  *ecd = 0;
  while (*px < len) {
    int want = len - *px < piece ? len - *px : piece;
    long n = 0;
    Got g = zrnet::recv_some(hsock, buf + *px, want, &n, ecd, wait_ms);
    if (g != Got::kData) return g;
    *px += static_cast<int>(n);
  }
  return Got::kData;
}

int record_length(const char* header) {
  return (static_cast<unsigned char>(header[3]) << 8) | static_cast<unsigned char>(header[4]);
}

// Sends all len bytes, repeating the send until they are out.
bool send_all(int hsock, const char* data, std::size_t len) {
  std::size_t done = 0;
  while (done < len) {
    long n = plat::send(hsock, data + done, len - done);
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Receives one record of the answer (header byte by byte, then the body) with
// the answer's time-out rule. 0, -1 receive failure, -2 larger than cap.
int recv_answer_record(int hsock, std::string* record, int cap) {
  char header[kRecordHeader];
  int px = 0, ecd = 0;
  Got g = recv_exact(hsock, header, kRecordHeader, 1, zrnet::recv_wait_ms(), &px, &ecd);
  int rlng = 0;
  if (g == Got::kData) {
    rlng = record_length(header);
    if (kRecordHeader + rlng > cap) {
      _dbg_print("ssl_read buf over px:%d, buf_sz:%d", kRecordHeader + rlng, cap);
      return -2;
    }
    record->assign(header, kRecordHeader);
    record->resize(static_cast<std::size_t>(kRecordHeader + rlng));
    int body_px = 0;
    g = recv_exact(hsock, record->data() + kRecordHeader, rlng, rlng > 0 ? rlng : 1,
                   zrnet::recv_wait_ms(), &body_px, &ecd);
    px = kRecordHeader + body_px;
  }
  if (g != Got::kData) {
    ZR_FMT(zrwork->mes_buf, "ssl_read data_recv Error err:%d hsock:%d, rlng:%d, px:%d", ecd, hsock,
           rlng, px);
    _dbg_print("%s", zrwork->mes_buf);
    return -1;
  }
  return 0;
}

// Decrypts one record and appends its plaintext: 0, or -1.
int decrypt_append(const std::string& record, std::string* plain) {
  if (!t_session) return -1;
  long status = 0;
  if (plat::tls_decrypt(t_session, record.data(), record.size(), plain, &status) != 0) {
    _dbg_print("DecryptMessage Error (%lx)", static_cast<unsigned long>(status));
    return -1;
  }
  return 0;
}

// ---- certificate check ------------------------------------------------------------

// 0 when the server's certificate is accepted, -1 when it is refused.
int check_certificate(const char* host) {
  plat::CertCheck c = plat::tls_verify_peer(t_session);
  if (c.problems == 0) return 0;
  const unsigned legacy = plat::kCertUntrustedRoot | plat::kCertNameMismatch | plat::kCertDate;
  if (zr00->ssl_cert_ign && (c.problems & ~legacy) == 0) {
    if (c.problems & plat::kCertUntrustedRoot)
      _dbg_print("InitializeSecurityContext %lx 信頼されていない機関発行の証明書",
                 kUntrustedRootStatus);
    if (c.problems & (plat::kCertNameMismatch | plat::kCertDate))
      _dbg_print("%s ON: certificate accepted despite %x: %s (host:%s)", zrnet::kCertIgnoreKey,
                 c.problems & (plat::kCertNameMismatch | plat::kCertDate), c.detail.c_str(), host);
    return 0;
  }
  ZR_FMT(zrwork->mes_buf, "サーバ証明書を確認できません。(%lx) %s host:%s",
         static_cast<unsigned long>(c.status), c.detail.c_str(), host);
  _dbg_print("SSL certificate Error %lx: %s (host:%s)", static_cast<unsigned long>(c.status),
             c.detail.c_str(), host);
  return -1;
}

// ---- proxy CONNECT ----------------------------------------------------------------

void close_socket(int* hsock) {
  if (*hsock) zwsock_close(*hsock);
  *hsock = 0;
}

// Reads a proxy's answer header byte by byte into hdr (without its final empty
// line); false on a closed connection or a failure.
bool read_proxy_header(int hsock, char* hdr) {
  int n = 0, ecd = 0;
  long got = 0;
  if (zrnet::recv_header(hsock, hdr, kHeaderMax, &n, &got, &ecd) != Got::kData) {
    _dbg_print("Error of recv(CONNECT) mid:%04d, buf:%.20s(%d), ecd:%d", mid(), hdr, n, ecd);
    return false;
  }
  return true;
}

// Receives the body announced by a proxy answer (nothing without a length).
bool read_proxy_body(int hsock, const char* hdr, std::string* body) {
  long len = zrnet::content_length(hdr);
  if (len <= 0) return true;
  if (len > kGrowSlack * 16) return false;  // no sensible proxy page is that long
  body->resize(static_cast<std::size_t>(len));
  int px, ecd;
  return recv_exact(hsock, body->data(), static_cast<int>(len), static_cast<int>(len),
                    zrnet::recv_wait_ms(), &px, &ecd) == Got::kData;
}

bool upper_contains(const char* hdr, const char* what) {
  std::string up(hdr);
  for (char& c : up)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return up.find(what) != std::string::npos;
}

// The authorization line for a proxy challenge: 0 made (in line), 1 none could
// be made, -1 the answer offers no scheme.
int connect_auth_line(const char* hdr, std::string* line) {
  _dbg_print("proxy_auth_proc http_sts:%d", 407);
  const char* why = nullptr;
  const int made = zrnet::make_auth_line(hdr, 407, &why);
  if (made != 0) {
    if (why) zr::copy(zrwork->mes_buf, why);
    if (made < 0) _dbg_print("%s", zrwork->mes_buf);
    return made;
  }
  *line = zrwork->auth_line;
  return 0;
}

// Opens the tunnel to the server's port 443 through the proxy: the socket, or 0.
int open_via_proxy() {
  int hsock = zwsock_open(zr00->http_proxy_port, zr00->http_proxy_host);
  if (!hsock) return 0;
  const char* ver = zr00->pxy_http11 ? "HTTP/1.1" : "HTTP/1.0";
  char first[512];
  ZR_FMT(first,
         "CONNECT %s:%u %s\r\nHost: %s:%u\r\nUser-Agent: ZORAX-V001\r\n"
         "Proxy-Connection: Keep-Alive\r\n",
         zr01->http_host_nm, g_port, ver, zr01->http_host_nm, g_port);
  std::string request = std::string(first) + "\r\n";
  bool auth_sent = false;
  for (int challenges = 0;; ++challenges) {
    if (!send_all(hsock, request.data(), request.size())) {
      _dbg_print("Error of send(CONNECT) ecd:%d", plat::net_last_error());
      close_socket(&hsock);
      return 0;
    }
    char hdr[kHeaderMax + 1];
    if (!read_proxy_header(hsock, hdr)) {
      close_socket(&hsock);
      return 0;
    }
    const int status = zrnet::status_code(hdr);
    zrwork->http_sts = status;
    if (status == 407)
      zrwork->keep_alive = (upper_contains(hdr, "PROXY-CONNECTION: KEEP-ALIVE") ||
                            upper_contains(hdr, "CONNECTION: KEEP-ALIVE"))
                               ? 1
                               : 0;
    if (zr00->connect_cls) zrwork->keep_alive = 0;
    if (status == 200) {
      zwsockh_auth_finish();
      zrwork->ie_auth = 0;
      return hsock;
    }
    if (status != 407) {
      std::string page;
      if ((std::strstr(hdr, "text/html") || std::strstr(hdr, "text/plain")) &&
          read_proxy_body(hsock, hdr, &page) && !page.empty() && zr00->dbg_fnm[0])
        zrnet::save_error_page(zr00->dbg_fnm, page.c_str(), ::strnlen(page.c_str(), page.size()));
      _dbg_print("Error CONNECT proxy MSG:%s", hdr);
      close_socket(&hsock);
      return 0;
    }
    zrwork->hsock = hsock;
    if (zrwork->ie_auth) {
      // The system HTTP client's authentication is not part of this build: the
      // attempt fails and the retries of the caller apply.
      _dbg_print("*** Proxy Authenticate(ntlm) failed. try ie_auth. ***");
      zrwork->hsock = 0;
      close_socket(&hsock);
      return 0;
    }
    std::string body, line;
    int made = read_proxy_body(hsock, hdr, &body) ? connect_auth_line(hdr, &line) : 1;
    // A Basic line already sent and refused again means wrong credentials.
    if (made == 0 && (auth_sent || challenges >= kConnectChallengeMax)) made = 1;
    if (made != 0) {
      if (made > 0 && zrwork->auth_kd == 1) {
        _dbg_print("*** 認証要求受信 ***");
        _dbg_print("%s",
                   "プロキシ認証の設定が必要です。\r\nメニューからプロキシ設定を行ってください。");
      } else if (made > 0) {
        _dbg_print("*** Proxy Authenticate Error ***");
      }
      zrwork->hsock = 0;
      close_socket(&hsock);
      return 0;
    }
    auth_sent = true;
    request = std::string(first) + line + "\r\n";
    if (!zrwork->keep_alive) {
      zrwork->hsock = 0;
      close_socket(&hsock);
      hsock = zwsock_open(zr00->http_proxy_port, zr00->http_proxy_host);
      if (!hsock) return 0;
    }
    std::string shown = zrnet::masked(request.data(), request.size(), -1);
    _dbg_print("=== PROXY_SET ===\n%.300s \n=================", shown.c_str());
  }
}

// ---- the exchange -------------------------------------------------------------------

// The request of the plain tunnel, turned into its secured form: the request
// line names the https scheme and the Host line carries the port.
int build_tls_request() {
  int len = zrnet::build_request();
  if (len < 0) return -1;
  std::string text(zrwork->p_msg->data, static_cast<std::size_t>(len));
  std::string head(zrwork->hdr_copy);
  std::string host_line = "\r\nHost: ";
  host_line.append(zr01->http_host_nm).append("\r\n");
  std::string port_text = ":";
  port_text.append(std::to_string(g_port));
  for (std::string* s : {&text, &head}) {
    if (!zr00->nohost_hdr && s->compare(0, 12, "POST http://") == 0) {
      std::string t = "POST https://";
      t.append(*s, 12, std::string::npos);
      *s = t;
    }
    std::size_t at = s->find(host_line);
    if (at != std::string::npos) {
      const std::size_t cut = at + host_line.size() - 2;
      std::string t = s->substr(0, cut);
      t.append(port_text).append(*s, cut, std::string::npos);
      *s = t;
    }
  }
  zr::copy(zrwork->hdr_copy, head.c_str());
  zrwork->mlng = 0;
  zwsock_phmsg_set(text.data(), static_cast<int>(text.size()));
  len = zrwork->mlng;
  // The request copies for the retries.
  if (len + 1024 >= zrwork->req_copy_cap) {
    std::int32_t cap = len + 10000;
    void* block = std::malloc(static_cast<std::size_t>(cap) * 2);
    if (!block) {
      _dbg_print("request copies of %d bytes cannot be held", cap);
      return -1;
    }
    std::free(zrwork->tnl_work);
    zrwork->tnl_work = block;
    zrwork->req_copy = static_cast<char*>(block);
    zrwork->req_copy2 = zrwork->req_copy + cap;
    zrwork->req_copy_cap = cap;
  }
  zr::copy(zrwork->req_copy, static_cast<std::size_t>(zrwork->req_copy_cap), zrwork->p_msg->data);
  zr::copy(zrwork->req_copy2, static_cast<std::size_t>(zrwork->req_copy_cap), zrwork->p_msg->data);
  return len;
}

// Puts the request kept in req_copy back into p_msg with the retry patch.
void restore_request(int attempt) {
  std::string text(zrwork->req_copy);
  zrwork->mlng = 0;
  zwsock_phmsg_set(text.data(), static_cast<int>(text.size()));
  zrnet::retry_patch(zrwork->p_msg->data, attempt);
}

// Makes room for a body of len bytes in tnl_msg.
bool grow_tnl(long len) {
  if (len + 1 <= zrwork->tnl_msg_cap + kMsgHeaderSize) return true;
  const long long block = static_cast<long long>(len) + kGrowSlack;
  if (block > kMsgBlockMax) return false;
  auto* fresh = static_cast<PHMSG*>(std::malloc(static_cast<std::size_t>(block)));
  if (!fresh) return false;
  if (zrwork->tnl_msg_cap != kMsgDataCap) std::free(zrwork->tnl_msg);
  zrwork->tnl_msg = fresh;
  zrwork->tnl_msg_cap = static_cast<std::int32_t>(block - kMsgHeaderSize);
  return true;
}

// The trace of a record that could not be received (-1) or decrypted (-2).
int record_failed(int r) {
  if (r == -1)
    _dbg_print("Error of recv(%d)", plat::net_last_error());
  else
    _dbg_print("%s", "Error of cipher proc");
  return kFailed;
}

// One send and one answer on the secured connection. The answer body is left
// in tnl_msg (*body_len bytes, NUL behind) and its header in hdr.
int tls_exchange(char* hdr, long* body_len) {
  const int hsock = zrwork->hsock;
  const char* text = zrwork->p_msg->data;
  int w = zwsockh_ssl_write(hsock, text, static_cast<int>(std::strlen(text)));
  if (w != 0) {
    char line[64];
    if (w == -1)
      ZR_FMT(line, "%s", "Error of cipher proc");
    else
      ZR_FMT(line, "Error of send(%d)", plat::net_last_error());
    _dbg_print("%s", line);
    return kFailed;
  }

  // The header: records until its end is seen or 2048 bytes have come.
  std::string plain, record;
  std::size_t end = std::string::npos;
  while ((end = plain.find("\r\n\r\n")) == std::string::npos && plain.size() < kHeaderMax) {
    int r = recv_answer_record(hsock, &record, kAnswerBuffer);
    if (r == 0 && decrypt_append(record, &plain) != 0) r = -2;
    if (r != 0) return record_failed(r);
  }
  if (end == std::string::npos || end + 4 > static_cast<std::size_t>(kHeaderMax)) {
    _dbg_print("HTTP HDR Error : %.2000s", plain.c_str());
    zr_exit();
  }
  std::memcpy(hdr, plain.data(), end + 4);
  hdr[end + 4] = '\0';

  long len = zrnet::content_length(hdr);
  if (len < 0) len = 0;
  if (!grow_tnl(len)) {
    ZR_FMT(zrwork->mes_buf, "** 回線障害(Receive Length Error) p_msg->lng:%ld **", len);
    _dbg_print("%s", zrwork->mes_buf);
    return kFailed;
  }
  char* body = reinterpret_cast<char*>(zrwork->tnl_msg);
  long have = static_cast<long>(plain.size() - (end + 4));
  if (have > len) have = len;
  std::memcpy(body, plain.data() + end + 4, static_cast<std::size_t>(have));
  while (have < len) {
    std::string more;
    int r = recv_answer_record(hsock, &record, kAnswerBuffer);
    if (r == 0 && decrypt_append(record, &more) != 0) r = -2;
    if (r != 0) return record_failed(r);
    long take = static_cast<long>(more.size());
    if (take > len - have) take = len - have;
    std::memcpy(body + have, more.data(), static_cast<std::size_t>(take));
    have += take;
  }
  body[len] = '\0';
  *body_len = len;

  const int hdr_len = static_cast<int>(std::strlen(hdr));
  const int status = zrnet::status_code(hdr);
  if (status < 0) {
    char line[96];
    ZR_FMT(line, "Error of recv(HDR2)  ret:%d, ecd:%d", hdr_len, plat::net_last_error());
    tunnel_trace(line);
    _dbg_print("HDR:%.500s", hdr);
    return kFailed;
  }
  zrwork->http_sts = status;
  switch (status) {
    case 200:
      return kOk;
    case 302:
    case 400:
    case 403:
    case 500:
    case 502:
    case 503:
    case 504:
      _dbg_print("STATUS%d HDR[%d]:%.500s", status, hdr_len, hdr);
      return kBusy;
    case 401:
    case 407:
      _dbg_print("STATUS%d HDR[%d]:%.500s", status, hdr_len, hdr);
      return kNeedCredentials;
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

// Copies the answer frame from tnl_msg into p_msg. false when the body cannot
// be a frame (shorter than its header, or its length field beyond the body).
bool take_answer(long body_len) {
  const char* body = reinterpret_cast<const char*>(zrwork->tnl_msg);
  PHMSG_HDR h{};
  if (body_len >= kMsgHeaderSize) std::memcpy(&h, body, sizeof h);
  if (body_len < kMsgHeaderSize || h.lng < kMsgHeaderSize || h.lng > body_len) {
    ZR_FMT(zrwork->mes_buf, "** 回線障害(Receive Length Error) p_msg->lng:%d **", h.lng);
    _dbg_print("%s body:%ld", zrwork->mes_buf, body_len);
    return false;
  }
  if (body_len + 1 > zrwork->p_msg_cap + kMsgHeaderSize &&
      !zr_msg_grow(static_cast<std::int64_t>(body_len) + kGrowSlack, 0)) {
    ZR_FMT(zrwork->mes_buf, "** 回線障害(Receive Length Error) p_msg->lng:%d **", h.lng);
    _dbg_print("%s body:%ld", zrwork->mes_buf, body_len);
    return false;
  }
  std::memcpy(zrwork->p_msg, body, static_cast<std::size_t>(body_len));
  reinterpret_cast<char*>(zrwork->p_msg)[body_len] = '\0';
  return true;
}

}  // namespace

// ---- the security interface and the records ---------------------------------------

namespace zrnet {
unsigned short tls_port_set(unsigned short port) {
  unsigned short previous = g_port;
  g_port = port;
  return previous;
}
}  // namespace zrnet

int zwsockh_auth_initial() {
  switch (plat::security_load()) {
    case plat::SecLoad::kLoaded:
      zrwork->auth_active = 0;
      return 0;
    case plat::SecLoad::kNoVersion:
      _dbg_print("バージョン取得エラー");
      return -1;
    case plat::SecLoad::kMissingEntry:
      _dbg_print("GetProcAddress Error");
      return -1;
    case plat::SecLoad::kLoadFailed:
      break;
  }
  return -1;
}

int zwsockh_ssl_initial() {
  int present = plat::tls_package_present();
  if (present < 0) {
    _dbg_print("SecurityPackage Enum Err");
    return -1;
  }
  if (present == 0) {
    _dbg_print("Not in SecurityPackage(Schannel)");
    return -1;
  }
  zwsockh_ssl_finish();
  return 0;
}

int zwsockh_ssl_connect(int hsock, const char* host) {
  zwsockh_ssl_finish();
  long status = 0;
  t_session = plat::tls_client_new(host, &status);
  if (!t_session) {
    _dbg_print("zwsockh_ssl_proc AcquireCredentialsHandle Error");
    return -1;
  }
  std::string token, record;
  plat::TlsStep step = plat::tls_handshake(t_session, nullptr, 0, &token, &status);
  for (;;) {
    if (!token.empty() && !send_all(hsock, token.data(), token.size())) {
      _dbg_print("Error of send (ssl) data_send err:%d hsock:%d", plat::net_last_error(), hsock);
      return -1;
    }
    if (step == plat::TlsStep::kFailed) {
      _dbg_print("InitializeSecurityContext failed %lx", static_cast<unsigned long>(status));
      return -1;
    }
    if (step == plat::TlsStep::kDone) break;

    char header[kRecordHeader];
    int px = 0, ecd = 0;
    if (recv_exact(hsock, header, kRecordHeader, kRecordHeader, kHandshakeWaitMs, &px, &ecd) !=
        Got::kData) {
      _dbg_print("ssl_connect record_header_recv Error err:%d hsock:%d lng:%d", ecd, hsock, px);
      return -1;
    }
    const int rlng = record_length(header);
    record.assign(header, kRecordHeader);
    record.resize(static_cast<std::size_t>(kRecordHeader + rlng));
    if (recv_exact(hsock, record.data() + kRecordHeader, rlng, kHandshakePiece, kHandshakeWaitMs,
                   &px, &ecd) != Got::kData) {
      ZR_FMT(zrwork->mes_buf, "SSL Data Receive Error : %d rbyte:%d", ecd, px);
      _dbg_print("ssl_connect data_recv Error hsock:%d, size:%d", hsock, rlng);
      return -2;
    }
    step = plat::tls_handshake(t_session, record.data(), record.size(), &token, &status);
  }
  return check_certificate(host);
}

int zwsockh_ssl_write(int hsock, const char* data, int len) {
  if (!t_session || !hsock) return -2;
  std::string out;
  for (int at = 0; at < len;) {
    const int piece = len - at < kPlainPiece ? len - at : kPlainPiece;
    long status = 0;
    int e = plat::tls_encrypt(t_session, data + at, static_cast<std::size_t>(piece), &out, &status);
    if (e == -1) {
      _dbg_print("ssl_write QueryContextAttributes Error hsock:%d", hsock);
      return -1;
    }
    if (e != 0) {
      _dbg_print("ssl_write EncryptMessage Error hsock:%d", hsock);
      return -1;
    }
    if (!send_all(hsock, out.data(), out.size())) {
      _dbg_print("Error of send (ssl) data_send err:%d hsock:%d", plat::net_last_error(), hsock);
      return -2;
    }
    at += piece;
  }
  return 0;
}

int zwsockh_ssl_read(int hsock, char* buf, int size) {
  char header[kRecordHeader];
  int px = 0, ecd = 0;
  Got g = recv_exact(hsock, header, kRecordHeader, 1, -1, &px, &ecd);
  int rlng = 0;
  std::string record;
  if (g == Got::kData) {
    rlng = record_length(header);
    if (kRecordHeader + rlng > size) {
      _dbg_print("ssl_read buf over px:%d, buf_sz:%d", kRecordHeader + rlng, size);
      return -2;
    }
    record.assign(header, kRecordHeader);
    record.resize(static_cast<std::size_t>(kRecordHeader + rlng));
    int body_px = 0;
    g = recv_exact(hsock, record.data() + kRecordHeader, rlng, rlng > 0 ? rlng : 1, -1, &body_px,
                   &ecd);
    px = kRecordHeader + body_px;
  }
  if (g != Got::kData) {
    ZR_FMT(zrwork->mes_buf, "ssl_read data_recv Error err:%d hsock:%d, rlng:%d, px:%d", ecd, hsock,
           rlng, px);
    _dbg_print("%s", zrwork->mes_buf);
    return -1;
  }
  int n = zwsockh_ssl_decode(record.data(), buf, static_cast<int>(record.size()));
  return n < 0 ? -2 : n;
}

int zwsockh_ssl_decode(const char* record, char* out, int rlen) {
  zr::copy(zrwork->prg_nm, "zwsockh3");
  zr::copy(zrwork->rtn_nm, "zwsockh_ssl_decode");
  if (rlen < 0) return -1;
  std::string plain;
  if (decrypt_append(std::string(record, static_cast<std::size_t>(rlen)), &plain) != 0) return -1;
  if (static_cast<long>(plain.size()) >= rlen) {
    _dbg_print("DecryptMessage buf over");
    return -1;
  }
  std::memcpy(out, plain.data(), plain.size());
  out[plain.size()] = '\0';
  return static_cast<int>(plain.size());
}

int zwsockh_ssl_finish() {
  if (!t_session) return 0;
  int rc = plat::tls_end(t_session);
  t_session = nullptr;
  if (rc == 1) _dbg_print("DeleteSecurityContext Error");
  if (rc == 2) _dbg_print("FreeCredentialsHandle Error");
  return rc == 0 ? 0 : -1;
}

// ---- connections --------------------------------------------------------------------

int zwsock_open_ssl() {
  if (zwsockh_ssl_initial() != 0) {
    _mes_print("SSL init Error");
    return -1;
  }
  for (int i = 0;; ++i) {
    // cs_3 of zrenv serialises the opening of secured connections.
    zr_cs_enter(zrenv->cs_3);
    zrwork->hsock = zr00->proxy_use ? open_via_proxy() : zwsock_open(g_port, zr01->http_host_nm);
    zr_cs_leave(zrenv->cs_3);
    if (zrwork->hsock) {
      int rc = zwsockh_ssl_connect(zrwork->hsock, zr01->http_host_nm);
      if (rc == 0) return 0;
      _dbg_print("zwsockh_ssl_connect Error ret:%d", rc);
      // The connection that could not be secured is closed in either case (a
      // socket left open would hold the server and leak with every exchange).
      zwsock_close_ssl();
      if (i >= zr00->retry_count) {
        _dbg_print("サーバに接続できません。(SSL connect) svr:%s", zr01->http_host_nm);
        return -1;
      }
      pause_ms(zr00->retry_interval);
      _dbg_print("        (%d) zwsockh_ssl_connect retry (cnt:%d)", tag(), i + 1);
      continue;
    }
    if (i >= zr00->retry_count) {
      const char* text = zrwork->p_msg->data;
      std::string shown = zrnet::masked(text, ::strnlen(text, 100), mid());
      _dbg_print("%.100s", shown.c_str());
      zr::copy(zrwork->p_msg->data, static_cast<std::size_t>(zrwork->p_msg_cap), zrwork->mes_buf);
      return -1;
    }
    pause_ms(zr00->retry_interval);
    _dbg_print("        (%d) zwsock_open retry (cnt:%d)", tag(), i + 1);
  }
}

void zwsock_close_ssl() {
  zwsockh_ssl_finish();
  if (zrwork->hsock) zwsock_close(zrwork->hsock);
  zrwork->hsock = 0;
}

int zwsock_phmsg_ssl() {
  if (zrwork->mlng > zrnet::kRequestMax) {
    _dbg_print("*** zwsockh1_ssl mlng Size Error !!! ***   mlng:%d", zrwork->mlng);
    _mes_print("*** zwsockh1_ssl mlng Size Error !!! ***   mlng:%d", zrwork->mlng);
    return -1;
  }
  const int m = mid();
  char now[16];
  time_text(now, sizeof now);
  if (m == 801 || m == 802 || m == 810) {
    _dbg_print("** PHMSG SSL(%d) %s ** mid:%04d(%s)", tag(), now, m, _midinf_nm(m));
  } else {
    const char* text = zrwork->p_msg->data;
    const int tlen = static_cast<int>(
        ::strnlen(text, static_cast<std::size_t>(zrwork->mlng < 0 ? 0 : zrwork->mlng)));
    char preview[256];
    ZR_FMT(preview, "%-11s%02d%-8s%04d%07d%.100s", zr01->http_obj_nm, zrwork->p_msg->hdr.kd00 % 100,
           zr01->user_id, m % 10000, tlen, text);
    zr_msg_mask_secret(m, preview, std::strlen(preview), 32);
    _dbg_print("** PHMSG SSL(%d) %s ** mid:%04d(%s) buf:%s", tag(), now, m, _midinf_nm(m), preview);
  }

  char text[512];
  if (zwsock_open_ssl() != 0) {
    result_text(kFailed, m, text, sizeof text);
    _dbg_print("%s", text);
    if (m == 107 || m == 118 || m == 225 || m == 227) return -1;
    _mes_box(text, 0);
    zr_exit();
  }

  if (build_tls_request() < 0) {
    zwsock_close_ssl();
    result_text(kFailed, m, text, sizeof text);
    _dbg_print("%s", text);
    if (m == 107 || m == 118) return -1;
    _mes_box(text, 0);
    zr_exit();
  }

  char hdr[kHeaderMax + 1];
  long body_len = 0;
  int result = tls_exchange(hdr, &body_len);
  if (result == kOk && !take_answer(body_len)) result = kFailed;
  for (int lcnt = 0; result < 0;) {
    if (lcnt >= zr00->retry_count) break;
    ++lcnt;
    if (result == kFailed) {
      zwsock_close_ssl();
      pause_ms(zr00->retry_interval);
      zwsock_open_ssl();  // a dead connection fails the next exchange
      restore_request(lcnt);
    } else if (result == kBusy) {
      pause_ms(zr00->retry_interval);
      // With NTLM_MODE off the request asked the server to close the
      // connection after its answer; the re-send then needs a new one.
      if (!zr00->ntlm_mode) {
        zwsock_close_ssl();
        zwsock_open_ssl();
      }
      restore_request(lcnt);
    } else {
      // An authentication challenge inside the secured connection: answered
      // with the tunnel's Basic line; the authenticated request becomes the one
      // later retries restore.
      if (zrnet::answer_challenge(hdr, zrwork->http_sts) != 0) break;
      zrnet::retry_patch(zrwork->p_msg->data, lcnt);
      zr::copy(zrwork->req_copy, static_cast<std::size_t>(zrwork->req_copy_cap),
               zrwork->p_msg->data);
      if (!zr00->ntlm_mode) {  // the server closes after answering "Connection: close"
        zwsock_close_ssl();
        zwsock_open_ssl();
      }
    }
    _dbg_print("        (%d) ** リトライ(ret:%d  lcnt:%d) **", tag(), result, lcnt);
    result = tls_exchange(hdr, &body_len);
    if (result == kOk && !take_answer(body_len)) result = kFailed;
  }

  if (result == kOk) {
    zrnet::answer_status_check(m);
    PHMSG* msg = zrwork->p_msg;
    zrwork->mlng = msg->hdr.lng - kMsgHeaderSize;
    time_text(now, sizeof now);
    _dbg_print("            (%d) %s    http_sts:%d, lng:%d(%ld), sts:%d", tag(), now,
               zrwork->http_sts, msg->hdr.lng, zrnet::content_length(hdr), msg->hdr.sts);
    zwsock_close_ssl();
    return 0;
  }

  zwsock_close_ssl();
  result_text(result, m, text, sizeof text);
  _dbg_print("%s", text);
  if (result == kNeedCredentials) {
    _mes_box(text, 0);
    return -3;
  }
  if (m == 107 || m == 118) return -1;
  if (result == kFailed || result == kBusy) _mes_box(text, 0);
  zr_exit();
}
