// The server side of TLS on an accepted socket: the certificate chosen from a
// store by subject or by the server name the client's hello asks for, the
// handshake rounds with their record checks, and the hand-over of an
// established session to another thread. After the handshake the session is
// this thread's, used with zwsockh_ssl_read, zwsockh_ssl_write and
// zwsockh_ssl_finish like a client session. Everything the client sends is
// checked before it is used: record headers against their limits, the hello
// walked within its own lengths.
#include <cstring>
#include <string>

#include "net/tls.h"
#include "platform/net.h"
#include "platform/tls.h"
#include "runtime/zrcommon.h"

namespace {

using zrnet::Got;

constexpr int kRecordHeader = 5;
constexpr int kRecordMax = 16384;
constexpr int kHandshakeWaitMs = 25000;
constexpr int kBodyPiece = 1024;
constexpr std::size_t kPackedMax = 4096;

bool send_all(int hsock, const std::string& data) {
  std::size_t done = 0;
  while (done < data.size()) {
    const long n = plat::send(hsock, data.data() + done, data.size() - done);
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Releases the certificate and closes the store on every path.
struct Chosen {
  plat::CertStore* store = nullptr;
  plat::ServerCert* cert = nullptr;
  ~Chosen() {
    plat::cert_free(cert);
    if (store) plat::cert_store_close(store);
  }
};

enum class Read { kOk, kHeader, kBadHeader, kBody };

// One record from the client: the header (checked), then its body.
Read read_record(int hsock, std::string* record, int* ecd) {
  char header[kRecordHeader];
  int px = 0;
  if (zrnet::recv_socket_exact(hsock, header, kRecordHeader, kRecordHeader, kHandshakeWaitMs, &px,
                               ecd) != Got::kData)
    return Read::kHeader;
  if (zrnet::record_header_check(reinterpret_cast<const unsigned char*>(header)) != 0)
    return Read::kBadHeader;
  const int len =
      (static_cast<unsigned char>(header[3]) << 8) | static_cast<unsigned char>(header[4]);
  record->assign(header, kRecordHeader);
  record->resize(static_cast<std::size_t>(kRecordHeader + len));
  if (zrnet::recv_socket_exact(hsock, record->data() + kRecordHeader, len, kBodyPiece,
                               kHandshakeWaitMs, &px, ecd) != Got::kData)
    return Read::kBody;
  return Read::kOk;
}

// The read failures as results, with their trace lines.
int read_failure(Read r, int hsock, int ecd) {
  switch (r) {
    case Read::kHeader:
      _dbg_print("ssl_connect_svr record_header_recv Error err:%d hsock:%d", ecd, hsock);
      return -1;
    case Read::kBadHeader:
      _dbg_print("ssl_connect_svr record_header_format Error ret:%d hsock:%d", -2, hsock);
      return -2;
    default:
      _dbg_print("ssl_connect_svr data_recv Error hsock:%d", hsock);
      return -3;
  }
}

// The rounds of the handshake from the first record on (already read when
// first is not empty). The session becomes this thread's on success.
int accept_rounds(int hsock, plat::TlsSession* s, std::string first) {
  std::string record = std::move(first), token;
  for (;;) {
    if (record.empty()) {
      int ecd = 0;
      const Read r = read_record(hsock, &record, &ecd);
      if (r != Read::kOk) {
        plat::tls_end(s);
        return read_failure(r, hsock, ecd);
      }
    }
    long status = 0;
    const plat::TlsStep step = plat::tls_accept(s, record.data(), record.size(), &token, &status);
    record.clear();
    if (step == plat::TlsStep::kFailed) {
      _dbg_print("ssl_connect_svr AcceptSecurityContext Error hsock:%d err:%lx", hsock,
                 static_cast<unsigned long>(status));
      plat::tls_end(s);
      return -4;
    }
    if (!token.empty() && !send_all(hsock, token)) {
      _dbg_print("Error of send (ssl) data_send err:%d hsock:%d", plat::net_last_error(), hsock);
      plat::tls_end(s);
      return -1;
    }
    if (step == plat::TlsStep::kDone) {
      zrnet::thread_tls_session_set(s);
      return 0;
    }
  }
}

// Inbound credentials with the chosen certificate, then the rounds.
int serve(int hsock, plat::ServerCert* cert, std::string first) {
  long status = 0;
  plat::TlsSession* s = plat::tls_server_new(cert, &status);
  if (!s) {
    _dbg_print("ssl_connect_svr AcquireCredentialsHandle Error hsock:%d", hsock);
    return -1;
  }
  return accept_rounds(hsock, s, std::move(first));
}

std::uint16_t be16(const unsigned char* p) {
  return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}

bool display_matches(const char* display, void* ctx) {
  return zrnet::display_name_serves(display, *static_cast<const std::string*>(ctx));
}

}  // namespace

namespace zrnet {

int record_header_check(const unsigned char header[5]) {
  if (header[0] < 20 || header[0] > 22) {
    _dbg_print("Record Header Content Type Error type:%d", header[0]);
    return -2;
  }
  if (header[1] != 3 || header[2] > 3) {
    _dbg_print("Record Header Protocol Version Error proto:%02x%02x", header[1], header[2]);
    return -2;
  }
  const int len = be16(header + 3);
  if (len < 1 || len > kRecordMax) {
    _dbg_print("Record Header Length Error lng:%d", len);
    return -2;
  }
  return 0;
}

}  // namespace zrnet

int zwsockh_ssl_connect_svr(int hsock, const char* cmn_nm, const char* store_nm) {
  zwsockh_ssl_finish();
  Chosen c;
  c.store = plat::cert_store_open(store_nm);
  if (!c.store) {
    _dbg_print("ssl_connect_svr CertOpenStore Failed cmn_nm:%.100s store_nm:%.100s hsock:%d",
               cmn_nm ? cmn_nm : "", store_nm ? store_nm : "", hsock);
    _mes_box("CertOpenStore Failed.\n", 0);
    return -1;
  }
  c.cert = plat::cert_find_subject(c.store, cmn_nm ? cmn_nm : "");
  if (!c.cert) {
    _dbg_print("ssl_connect_svr CertFindCertificateInStore Failed hsock:%d", hsock);
    _mes_box("CertFindCertificateInStore Failed.\n", 0);
    return -1;
  }
  return serve(hsock, c.cert, {});
}

int zwsockh_ssl_connect_svr2(int hsock, const char* /*unused*/, const char* store_nm) {
  zr::copy(zrwork->prg_nm, "zwsockh3");
  zr::copy(zrwork->rtn_nm, "zwsockh_ssl_connect_svr2");
  zwsockh_ssl_finish();
  // The certificate waits for the first record: the client's hello names the
  // server it wants.
  std::string first;
  int ecd = 0;
  const Read r = read_record(hsock, &first, &ecd);
  if (r != Read::kOk) return read_failure(r, hsock, ecd);
  std::string name;
  if (!zrnet::client_hello_server_name(first.data(), first.size(), &name)) {
    _dbg_print("ssl_connect_svr url NULL hsock:%d", hsock);
    return -1;
  }
  for (char& ch : name)
    if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
  ZR_FMT(zrwork->mes_buf, "url:%.30s", name.c_str());
  Chosen c;
  c.store = plat::cert_store_open(store_nm);
  if (!c.store) {
    _dbg_print("ssl_connect_svr CertOpenStore Failed store_nm:%.100s hsock:%d",
               store_nm ? store_nm : "", hsock);
    _mes_box("CertOpenStore Failed.\n", 0);
    return -1;
  }
  c.cert = plat::cert_find_display(c.store, display_matches, &name);
  if (!c.cert) {
    _dbg_print("ssl_connect_svr CertEnumCertificatesInStore Failed hsock:%d, url:%.100s", hsock,
               name.c_str());
    return -1;
  }
  return serve(hsock, c.cert, std::move(first));
}

int zwsockh_ssl_export(char* out, int* len) {
  plat::TlsSession* s = zrnet::thread_tls_session();
  std::string packed;
  long status = 0;
  if (!s || !out || !len || !plat::tls_export(s, &packed, &status)) {
    _dbg_print("zwsockh_ssl_export pExportSecurityContext Error");
    return -1;
  }
  // The exported session is reset: it is only ended here.
  zrnet::thread_tls_session_set(nullptr);
  if (packed.size() >= kPackedMax) {
    _dbg_print("zwsockh_ssl_export pExportSecurityContext Length Over");
    _mes_print("zwsockh_ssl_export pExportSecurityContext Length Over");
    return -1;
  }
  std::memcpy(out, packed.data(), packed.size());
  *len = static_cast<int>(packed.size());
  return 0;
}

int zwsockh_ssl_import(const char* packed, int len) {
  long status = 0;
  plat::TlsSession* s = packed && len > 0
                            ? plat::tls_import(packed, static_cast<std::size_t>(len), &status)
                            : nullptr;
  if (!s) {
    _dbg_print("ssl_write pImportSecurityContext Error");
    return -1;
  }
  zrnet::thread_tls_session_set(s);
  return 0;
}
