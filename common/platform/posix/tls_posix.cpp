// The TLS surface over OpenSSL. The session runs on memory buffers: the core
// hands in each record it read from the socket and sends what comes out, so
// that the record handling above this layer is the same as on Windows. The
// server's certificate is checked against the system's trusted authorities
// (SSL_CERT_FILE / SSL_CERT_DIR as OpenSSL reads them) and the host name.
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <arpa/inet.h>
#include <dirent.h>
#include <openssl/pem.h>
#include <openssl/rand.h>

#include <algorithm>
#include <map>
#include <mutex>
#include <vector>

#include <cstring>

#include "platform/tls.h"

namespace plat {

struct TlsSession {
  SSL_CTX* ctx = nullptr;
  SSL* ssl = nullptr;
  BIO* in = nullptr;   // records received (owned by ssl)
  BIO* out = nullptr;  // bytes to send (owned by ssl)
  CertCheck check;
  bool host_set = false;  // the host name (or address) is what the certificate is checked against
};

namespace {

int session_index() {
  static const int index = SSL_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
  return index;
}

unsigned problem_of(int err) {
  switch (err) {
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
    case X509_V_ERR_CERT_UNTRUSTED:
      return kCertUntrustedRoot;
    case X509_V_ERR_CERT_HAS_EXPIRED:
    case X509_V_ERR_CERT_NOT_YET_VALID:
      return kCertDate;
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
      return kCertNameMismatch;
    default:
      return kCertOther;
  }
}

// Records every problem of the chain and lets the handshake go on: the core
// decides after the handshake what a problem means.
int note_problem(int ok, X509_STORE_CTX* store) {
  if (ok) return 1;
  auto* ssl =
      static_cast<SSL*>(X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
  auto* s = ssl ? static_cast<TlsSession*>(SSL_get_ex_data(ssl, session_index())) : nullptr;
  if (s) {
    const int err = X509_STORE_CTX_get_error(store);
    if (s->check.problems == 0) {
      s->check.status = err;
      s->check.detail = X509_verify_cert_error_string(err);
    }
    s->check.problems |= problem_of(err);
  }
  return 1;
}

void drain(BIO* bio, std::string* out) {
  char buf[4096];
  for (;;) {
    int n = BIO_read(bio, buf, sizeof buf);
    if (n <= 0) break;
    out->append(buf, static_cast<std::size_t>(n));
  }
}

}  // namespace

namespace {
TlsStep handshake_round(TlsSession* s, const char* in, std::size_t len, std::string* out,
                        long* status);

// The session object over the context and its two memory buffers. On failure
// the session is ended (false).
bool attach_ssl(TlsSession* s, long* status) {
  s->ssl = SSL_new(s->ctx);
  s->in = BIO_new(BIO_s_mem());
  s->out = BIO_new(BIO_s_mem());
  if (!s->ssl || !s->in || !s->out) {
    *status = static_cast<long>(ERR_get_error());
    BIO_free(s->in);
    BIO_free(s->out);
    s->in = s->out = nullptr;
    tls_end(s);
    return false;
  }
  SSL_set_bio(s->ssl, s->in, s->out);
  return true;
}
}  // namespace

SecLoad security_load() { return SecLoad::kLoaded; }

int tls_package_present() { return 1; }

TlsSession* tls_client_new(const char* host, long* status) {
  auto* s = new TlsSession;
  s->ctx = SSL_CTX_new(TLS_client_method());
  if (!s->ctx || !SSL_CTX_set_min_proto_version(s->ctx, TLS1_2_VERSION) ||
      !SSL_CTX_set_max_proto_version(s->ctx, TLS1_2_VERSION)) {
    *status = static_cast<long>(ERR_get_error());
    tls_end(s);
    return nullptr;
  }
  SSL_CTX_set_default_verify_paths(s->ctx);
  if (!attach_ssl(s, status)) return nullptr;
  SSL_set_ex_data(s->ssl, session_index(), s);
  SSL_set_verify(s->ssl, SSL_VERIFY_NONE, note_problem);
  // An empty name would leave the name unchecked; the check after the
  // handshake refuses a session whose name could not be set.
  in_addr ip{};
  if (host && host[0] && inet_pton(AF_INET, host, &ip) == 1) {
    s->host_set = X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(s->ssl), host) == 1;
  } else if (host && host[0]) {
    SSL_set_tlsext_host_name(s->ssl, host);
    s->host_set = SSL_set1_host(s->ssl, host) == 1;
  }
  SSL_set_connect_state(s->ssl);
  *status = 0;
  return s;
}

int tls_end(TlsSession* s) {
  if (!s) return 0;
  if (s->ssl) SSL_free(s->ssl);
  if (s->ctx) SSL_CTX_free(s->ctx);
  delete s;
  return 0;
}

TlsStep tls_handshake(TlsSession* s, const char* in, std::size_t len, std::string* out,
                      long* status) {
  return handshake_round(s, in, len, out, status);
}

TlsStep tls_accept(TlsSession* s, const char* in, std::size_t len, std::string* out, long* status) {
  return handshake_round(s, in, len, out, status);
}

namespace {

// One handshake round of either side: the record handed in, the bytes to send
// drained.
TlsStep handshake_round(TlsSession* s, const char* in, std::size_t len, std::string* out,
                        long* status) {
  out->clear();
  if (in && len) BIO_write(s->in, in, static_cast<int>(len));
  ERR_clear_error();
  int rc = SSL_do_handshake(s->ssl);
  drain(s->out, out);
  if (rc == 1) {
    *status = 0;
    return TlsStep::kDone;
  }
  int err = SSL_get_error(s->ssl, rc);
  if (err == SSL_ERROR_WANT_READ || err == SSL_ERROR_WANT_WRITE) {
    *status = err;
    return TlsStep::kContinue;
  }
  unsigned long e = ERR_peek_error();
  *status = e ? static_cast<long>(e) : err;
  return TlsStep::kFailed;
}

}  // namespace

CertCheck tls_verify_peer(TlsSession* s) {
  CertCheck c = s->check;
  auto note = [&c](unsigned problem, long status, const char* detail) {
    if (c.problems == 0) {
      c.status = status;
      c.detail = detail;
    }
    c.problems |= problem;
  };
  X509* peer = SSL_get1_peer_certificate(s->ssl);
  if (!peer) note(kCertOther, 0, "no server certificate");
  X509_free(peer);
  // OpenSSL's own final verdict, whatever the callback saw.
  const long verdict = SSL_get_verify_result(s->ssl);
  if (verdict != X509_V_OK)
    note(problem_of(static_cast<int>(verdict)), verdict, X509_verify_cert_error_string(verdict));
  if (!s->host_set) note(kCertNameMismatch, 0, "no host name to check the certificate against");
  return c;
}

int tls_encrypt(TlsSession* s, const char* data, std::size_t len, std::string* out, long* status) {
  out->clear();
  ERR_clear_error();
  int n = SSL_write(s->ssl, data, static_cast<int>(len));
  if (n != static_cast<int>(len)) {
    *status = SSL_get_error(s->ssl, n);
    return -2;
  }
  drain(s->out, out);
  *status = 0;
  return 0;
}

int tls_decrypt(TlsSession* s, const char* record, std::size_t len, std::string* out,
                long* status) {
  BIO_write(s->in, record, static_cast<int>(len));
  char buf[16384];
  for (;;) {
    ERR_clear_error();
    int n = SSL_read(s->ssl, buf, sizeof buf);
    if (n > 0) {
      out->append(buf, static_cast<std::size_t>(n));
      continue;
    }
    int err = SSL_get_error(s->ssl, n);
    if (err == SSL_ERROR_WANT_READ || err == SSL_ERROR_ZERO_RETURN) break;
    unsigned long e = ERR_peek_error();
    *status = e ? static_cast<long>(e) : err;
    return -1;
  }
  // Anything the session wants to answer (an alert) is dropped: the core sends
  // only what it encrypts.
  std::string discard;
  drain(s->out, &discard);
  *status = 0;
  return 0;
}

// ---- the server side ----------------------------------------------------------------

struct CertStore {
  std::vector<std::string> files;  // the *.pem files, in name order
};

struct ServerCert {
  X509* cert = nullptr;
  EVP_PKEY* key = nullptr;
};

namespace {

// A certificate and its key from one PEM file; null when either is missing.
ServerCert* load_pem(const std::string& path) {
  BIO* bio = BIO_new_file(path.c_str(), "r");
  if (!bio) return nullptr;
  X509* cert = PEM_read_bio_X509(bio, nullptr, nullptr, nullptr);
  BIO_free(bio);
  bio = BIO_new_file(path.c_str(), "r");
  EVP_PKEY* key = bio ? PEM_read_bio_PrivateKey(bio, nullptr, nullptr, nullptr) : nullptr;
  BIO_free(bio);
  if (!cert || !key) {
    X509_free(cert);
    EVP_PKEY_free(key);
    return nullptr;
  }
  return new ServerCert{cert, key};
}

std::string lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

// The subject as one line of "/CN=..." parts.
std::string subject_of(X509* cert) {
  char buf[1024] = {};
  X509_NAME_oneline(X509_get_subject_name(cert), buf, sizeof buf);
  return buf;
}

// The simple display name: the subject's common name (else the whole subject).
std::string display_of(X509* cert) {
  char buf[512] = {};
  if (X509_NAME_get_text_by_NID(X509_get_subject_name(cert), NID_commonName, buf, sizeof buf) > 0)
    return buf;
  return subject_of(cert);
}

template <typename Match>
ServerCert* first_cert(CertStore* store, Match match) {
  for (const std::string& f : store->files) {
    ServerCert* c = load_pem(f);
    if (!c) continue;
    if (match(c->cert)) return c;
    cert_free(c);
  }
  return nullptr;
}

// Sessions packed by tls_export until a thread takes them with tls_import.
std::mutex g_exported_lock;
std::map<std::string, TlsSession*> g_exported;

}  // namespace

CertStore* cert_store_open(const char* name) {
  DIR* d = name ? opendir(name) : nullptr;
  if (!d) return nullptr;
  auto* store = new CertStore;
  while (dirent* e = readdir(d)) {
    const std::string n = e->d_name;
    if (n.size() > 4 && lower(n.substr(n.size() - 4)) == ".pem")
      store->files.push_back(std::string(name) + "/" + n);
  }
  closedir(d);
  std::sort(store->files.begin(), store->files.end());
  return store;
}

void cert_store_close(CertStore* store) { delete store; }

ServerCert* cert_find_subject(CertStore* store, const char* text) {
  const std::string want = lower(text ? text : "");
  return first_cert(store,
                    [&](X509* c) { return lower(subject_of(c)).find(want) != std::string::npos; });
}

ServerCert* cert_find_display(CertStore* store, bool (*match)(const char* display, void* ctx),
                              void* ctx) {
  return first_cert(store, [&](X509* c) { return match(display_of(c).c_str(), ctx); });
}

void cert_free(ServerCert* cert) {
  if (!cert) return;
  X509_free(cert->cert);
  EVP_PKEY_free(cert->key);
  delete cert;
}

TlsSession* tls_server_new(ServerCert* cert, long* status) {
  auto* s = new TlsSession;
  s->ctx = SSL_CTX_new(TLS_server_method());
  if (!s->ctx || !SSL_CTX_set_min_proto_version(s->ctx, TLS1_2_VERSION) ||
      !SSL_CTX_set_max_proto_version(s->ctx, TLS1_2_VERSION) || !cert ||
      SSL_CTX_use_certificate(s->ctx, cert->cert) != 1 ||
      SSL_CTX_use_PrivateKey(s->ctx, cert->key) != 1 || SSL_CTX_check_private_key(s->ctx) != 1) {
    *status = static_cast<long>(ERR_get_error());
    tls_end(s);
    return nullptr;
  }
  if (!attach_ssl(s, status)) return nullptr;
  SSL_set_accept_state(s->ssl);
  *status = 0;
  return s;
}

// OpenSSL cannot put a live session into bytes: the packed form names the
// session, which waits in this process until a thread imports it.
bool tls_export(TlsSession* s, std::string* packed, long* status) {
  unsigned char id[16];
  if (!s || !s->ssl || RAND_bytes(id, sizeof id) != 1) {
    *status = -1;
    return false;
  }
  static const char kHex[] = "0123456789abcdef";
  std::string key = "QRTTLS1:";
  for (unsigned char b : id) {
    key += kHex[b >> 4];
    key += kHex[b & 15];
  }
  auto* moved = new TlsSession(*s);
  // The exporting side keeps an empty session.
  s->ssl = nullptr;
  s->ctx = nullptr;
  s->in = s->out = nullptr;
  {
    std::lock_guard<std::mutex> lock(g_exported_lock);
    g_exported[key] = moved;
  }
  *packed = key;
  *status = 0;
  return true;
}

TlsSession* tls_import(const char* packed, std::size_t len, long* status) {
  std::lock_guard<std::mutex> lock(g_exported_lock);
  auto it = g_exported.find(std::string(packed, len));
  if (it == g_exported.end()) {
    *status = -1;
    return nullptr;
  }
  TlsSession* s = it->second;
  g_exported.erase(it);
  *status = 0;
  return s;
}

}  // namespace plat
