// The secured connection: TLS records read from the socket one at a time (a
// 5-byte header, then the length it gives) and handed to the platform's TLS
// session for the handshake and for decryption; plaintext goes out in pieces of
// 16,000 bytes. Opening it directly or through a proxy's CONNECT, and the TLS
// stream over which the exchange engine (exchange.cpp) runs zwsock_phmsg_ssl. A
// secured connection lives for one exchange.
#include "net/tls.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "net/socket.h"
#include "net/transport.h"
#include "net/auth.h"
#include "net/stream.h"
#include "net/tunnel.h"
#include "platform/net.h"
#include "platform/platform.h"
#include "platform/tls.h"
#include "runtime/zrcommon.h"
#include "naming/code_tables.h"
#include "net/message.h"

namespace {

constexpr int kRecordHeader = 5;
constexpr int kHandshakeWaitMs = 25000;            // readiness wait of each handshake receive
constexpr int kHandshakePiece = 1024;              // handshake record bodies arrive in such pieces
constexpr int kPlainPiece = 16000;                 // plaintext bytes per encrypted record
constexpr int kAnswerBuffer = 20480;               // the largest record of an answer
constexpr int kHeaderMax = 2048;                   // bytes of a proxy's answer header
constexpr long kProxyPageMax = 16L * 1024 * 1024;  // no sensible proxy page is longer
constexpr int kConnectChallengeMax = 8;            // proxy challenges answered within one CONNECT
constexpr unsigned long kUntrustedRootStatus = 0x80090325UL;  // the system's untrusted-root status

using zrnet::Challenge;

// This thread's TLS session (the security state is per thread).
thread_local plat::TlsSession* t_session = nullptr;
unsigned short g_port = 443;

int tag() { return zr01->ua_c; }
int mid() { return zrwork->p_msg->hdr.mid; }

// ---- receiving --------------------------------------------------------------------

using zrnet::Got;

Got recv_exact(int hsock, char* buf, int len, int piece, int wait_ms, int* px, int* ecd) {
  return zrnet::recv_socket_exact(hsock, buf, len, piece, wait_ms, px, ecd);
}

}  // namespace

namespace zrnet {

Got recv_socket_exact(int hsock, char* buf, int len, int piece, int wait_ms, int* px, int* ecd) {
  *px = 0;
  *ecd = 0;
  while (*px < len) {
    int want = len - *px < piece ? len - *px : piece;
    long n = 0;
    Got g = zrnet::recv_socket(hsock, buf + *px, want, &n, ecd, wait_ms);
    if (g != Got::kData) return g;
    *px += static_cast<int>(n);
  }
  return Got::kData;
}

plat::TlsSession* thread_tls_session() { return t_session; }
void thread_tls_session_set(plat::TlsSession* s) {
  zwsockh_ssl_finish();
  t_session = s;
}

}  // namespace zrnet

namespace {

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

// Receives one record (header byte by byte, then the body), each receive
// waiting at most wait_ms. 0, -1 receive failure, -2 larger than cap.
int recv_record(int hsock, std::string* record, int cap, int wait_ms) {
  char header[kRecordHeader];
  int px = 0, ecd = 0;
  Got g = recv_exact(hsock, header, kRecordHeader, 1, wait_ms, &px, &ecd);
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
    g = recv_exact(hsock, record->data() + kRecordHeader, rlng, rlng > 0 ? rlng : 1, wait_ms,
                   &body_px, &ecd);
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

// Receives the body announced by a proxy answer (nothing without a length).
bool read_proxy_body(zrnet::Stream& proxy, const char* hdr, std::string* body) {
  long len = zrnet::content_length(hdr);
  if (len <= 0) return true;
  if (len > kProxyPageMax) return false;
  body->resize(static_cast<std::size_t>(len));
  long px = 0;
  int ecd = 0;
  return zrnet::recv_exact(proxy, body->data(), len, len, zrnet::recv_wait_ms(), &px, &ecd) ==
         Got::kData;
}

// The authorization line for a proxy challenge (in line when kAnswered).
Challenge connect_auth_line(const char* hdr, std::string* line) {
  _dbg_print("proxy_auth_proc http_sts:%d", 407);
  const char* why = nullptr;
  const Challenge made = zrnet::make_auth_line(hdr, 407, &why, line);
  if (made != Challenge::kAnswered) {
    if (why) zr::copy(zrwork->mes_buf, why);
    if (made == Challenge::kNoScheme) _dbg_print("%s", zrwork->mes_buf);
  }
  return made;
}

// A plain stream to the proxy, or null.
std::unique_ptr<zrnet::Stream> open_proxy() {
  int hsock = zwsock_open(zr00->http_proxy_port, zr00->http_proxy_host);
  return hsock ? zrnet::plain_stream(hsock) : nullptr;
}

// The CONNECT's conversation with the proxy: the socket, or 0.
int connect_via_proxy() {
  std::unique_ptr<zrnet::Stream> proxy = open_proxy();
  if (!proxy) return 0;
  const char* ver = zr00->pxy_http11 ? "HTTP/1.1" : "HTTP/1.0";
  char first[512];
  ZR_FMT(first,
         "CONNECT %s:%u %s\r\nHost: %s:%u\r\nUser-Agent: ZORAX-V001\r\n"
         "Proxy-Connection: Keep-Alive\r\n",
         zr01->http_host_nm, g_port, ver, zr01->http_host_nm, g_port);
  std::string request = std::string(first) + "\r\n";
  bool auth_sent = false;
  for (int challenges = 0;; ++challenges) {
    if (proxy->send(request.data(), request.size()) != zrnet::Attempt::kOk) return 0;
    char hdr[kHeaderMax + 1];
    int n = 0, ecd = 0;
    long got = 0;
    bool ended = false;
    if (zrnet::recv_header(*proxy, hdr, kHeaderMax, &n, &got, &ecd, &ended) != Got::kData) {
      _dbg_print("Error of recv(CONNECT) mid:%04d, buf:%.20s(%d), ecd:%d", mid(), hdr, n, ecd);
      return 0;
    }
    const int status = zrnet::status_code(hdr);
    zrwork->http_sts = status;
    zrnet::note_keep_alive(hdr, status);
    if (status == 200) {
      zwsockh_auth_finish();
      zrwork->ie_auth = 0;
      return zrnet::release_socket(*proxy);
    }
    if (status != 407) {
      std::string page;
      if ((std::strstr(hdr, "text/html") || std::strstr(hdr, "text/plain")) &&
          read_proxy_body(*proxy, hdr, &page) && !page.empty() && zr00->dbg_fnm[0])
        zrnet::save_error_page(zr00->dbg_fnm, page.c_str(), ::strnlen(page.c_str(), page.size()));
      _dbg_print("Error CONNECT proxy MSG:%.500s", hdr);
      return 0;
    }
    if (zrwork->ie_auth) {
      // The final NTLM token was refused: the system HTTP client authenticates
      // once; this attempt fails and the retries of the caller apply.
      std::string body;
      read_proxy_body(*proxy, hdr, &body);
      proxy->close();
      _dbg_print("*** Proxy Authenticate(ntlm) failed. try ie_auth. ***");
      zrnet::system_client_auth();
      return 0;
    }
    std::string body, line;
    Challenge made =
        read_proxy_body(*proxy, hdr, &body) ? connect_auth_line(hdr, &line) : Challenge::kCannot;
    // A Basic line already sent and refused again means wrong credentials; a
    // conversation takes a bounded number of rounds.
    if (made == Challenge::kAnswered &&
        ((auth_sent && zrwork->auth_kd == 1) || challenges >= kConnectChallengeMax))
      made = Challenge::kCannot;
    if (made != Challenge::kAnswered) {
      if (made == Challenge::kCannot && zrwork->auth_kd == 1) {
        _dbg_print("*** 認証要求受信 ***");
        _dbg_print("%s",
                   "プロキシ認証の設定が必要です。\r\nメニューからプロキシ設定を行ってください。");
      } else if (made == Challenge::kCannot) {
        _dbg_print("*** Proxy Authenticate Error ***");
      }
      return 0;
    }
    auth_sent = true;
    request = std::string(first) + line + "\r\n";
    if (!zrwork->keep_alive) {
      proxy = open_proxy();
      if (!proxy) return 0;
    }
    std::string shown = zrnet::masked(request.data(), request.size(), -1);
    _dbg_print("=== PROXY_SET ===\n%.300s \n=================", shown.c_str());
  }
}

// Opens the tunnel to the server's secured port through the proxy: the socket,
// or 0. The conversation's handles are released however the CONNECT ended, so
// that the next attempt begins a conversation of its own.
int open_via_proxy() {
  const int hsock = connect_via_proxy();
  zwsockh_auth_finish();
  return hsock;
}

// ---- the TLS stream -------------------------------------------------------------------

// The stream of the secured exchange: the connection in the hsock slot and this
// thread's TLS session. Received records are decrypted into a buffer from
// which the receives are served.
class TlsStream final : public zrnet::Stream {
 public:
  zrnet::Attempt send(const char* data, std::size_t len) override {
    const int hsock = zrwork->hsock;
    int w = zwsockh_ssl_write(hsock, data, static_cast<int>(len));
    if (w == 0) return zrnet::Attempt::kOk;
    if (w == -1)
      _dbg_print("%s", "Error of cipher proc");
    else
      _dbg_print("Error of send(%d)", plat::net_last_error());
    return zrnet::Attempt::kFailed;
  }

  Got recv(char* buf, int cap, long* n, int* ecd, int wait_ms) override {
    *ecd = 0;
    while (at_ >= plain_.size()) {
      plain_.clear();
      at_ = 0;
      std::string record;
      int r = zrwork->hsock ? recv_record(zrwork->hsock, &record, kAnswerBuffer, wait_ms) : -1;
      if (r == 0 && decrypt_append(record, &plain_) != 0) r = -2;
      if (r != 0) {
        if (r == -1)
          _dbg_print("Error of recv(%d)", plat::net_last_error());
        else
          _dbg_print("%s", "Error of cipher proc");
        *n = -1;
        return Got::kFailed;
      }
    }
    std::size_t take = plain_.size() - at_;
    if (take > static_cast<std::size_t>(cap)) take = static_cast<std::size_t>(cap);
    std::memcpy(buf, plain_.data() + at_, take);
    at_ += take;
    *n = static_cast<long>(take);
    return Got::kData;
  }

  // A secured connection that breaks counts as failed: the secured exchange
  // retries every failure on a new connection anyway.
  bool dropped(Got, int) const override { return false; }

  void close() override {
    zwsock_close_ssl();
    plain_.clear();
    at_ = 0;
  }

 private:
  std::string plain_;
  std::size_t at_ = 0;
};

}  // namespace

// ---- the security interface and the records ---------------------------------------

namespace zrnet {
unsigned short tls_port_set(unsigned short port) {
  unsigned short previous = g_port;
  g_port = port;
  return previous;
}
unsigned short tls_port() { return g_port; }
}  // namespace zrnet

int zwsockh_auth_initial() {
  // Loaded once per process; a later call leaves a running conversation alone.
  static bool loaded = false;
  if (loaded) return 0;
  switch (plat::security_load()) {
    case plat::SecLoad::kLoaded:
      loaded = true;
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
  std::string record;
  if (int r = recv_record(hsock, &record, size, -1); r != 0) return r;
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
      zrnet::pause_ms(zr00->retry_interval);
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
    zrnet::pause_ms(zr00->retry_interval);
    _dbg_print("        (%d) zwsock_open retry (cnt:%d)", tag(), i + 1);
  }
}

void zwsock_close_ssl() {
  zwsockh_ssl_finish();
  if (zrwork->hsock) zwsock_close(zrwork->hsock);
  zrwork->hsock = 0;
}

namespace zrnet {
std::unique_ptr<Stream> tls_stream() { return std::make_unique<TlsStream>(); }
}  // namespace zrnet
