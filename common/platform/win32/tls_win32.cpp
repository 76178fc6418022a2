// The TLS surface over the system security interface: the function table is
// loaded at run time ("security.dll" on the NT platform, "secur32.dll" on
// Windows 9x), the Schannel package makes TLS 1.2 client sessions, and the
// server's certificate is checked by the certificate chain engine with the SSL
// policy and the host name (Schannel's own handshake is told that this
// program validates the certificate itself).
#include "sspi_table.h"

#include <wincrypt.h>
#include <schannel.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/tls.h"

namespace plat {
namespace {

HMODULE g_library = nullptr;
PSecurityFunctionTableA g_sspi = nullptr;

// Besides the output memory and the supplied credentials, the context is asked
// for a protected stream (the requests other TLS clients of Schannel make); the
// check after the handshake refuses a context that did not get it.
constexpr unsigned long kContextRequests =
    ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_USE_SUPPLIED_CREDS | ISC_REQ_MANUAL_CRED_VALIDATION |
    ISC_REQ_CONFIDENTIALITY | ISC_REQ_STREAM | ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT;

// Whether an established context encrypts, protects the integrity of its
// records and works as a stream. Schannel reports a TLS stream's integrity as
// replay and sequence detection rather than with ISC_RET_INTEGRITY.
bool context_protected(unsigned long attrs) {
  const bool integrity = (attrs & ISC_RET_INTEGRITY) ||
                         ((attrs & ISC_RET_REPLAY_DETECT) && (attrs & ISC_RET_SEQUENCE_DETECT));
  return (attrs & ISC_RET_CONFIDENTIALITY) && (attrs & ISC_RET_STREAM) && integrity;
}

}  // namespace

struct TlsSession {
  CredHandle cred{};
  CtxtHandle ctx{};
  bool has_cred = false;
  bool has_ctx = false;
  std::string host;
  std::vector<char> pending;  // input not yet consumed by the handshake
  unsigned long attrs = 0;    // context attributes returned by the last round
};

PSecurityFunctionTableA sspi_table() { return g_sspi; }

namespace {

// A new session holding Schannel credentials for use (inbound or outbound);
// null, with the system's status, when they cannot be acquired.
TlsSession* with_credentials(SCHANNEL_CRED& cred, unsigned long use, long* status) {
  auto* s = new TlsSession;
  TimeStamp expiry;
  SECURITY_STATUS ss =
      g_sspi->AcquireCredentialsHandleA(nullptr, const_cast<char*>(UNISP_NAME_A), use, nullptr,
                                        &cred, nullptr, nullptr, &s->cred, &expiry);
  *status = ss;
  if (ss != SEC_E_OK) {
    delete s;
    return nullptr;
  }
  s->has_cred = true;
  return s;
}

}  // namespace

SecLoad security_load() {
  if (g_sspi) return SecLoad::kLoaded;
  OsVersion v = os_version();
  if (!v.known) return SecLoad::kNoVersion;
  const char* name = v.nt_platform ? "security.dll" : "secur32.dll";
  HMODULE lib = LoadLibraryA(name);
  if (!lib) return SecLoad::kLoadFailed;
  auto init = reinterpret_cast<INIT_SECURITY_INTERFACE_A>(
      reinterpret_cast<void*>(GetProcAddress(lib, "InitSecurityInterfaceA")));
  PSecurityFunctionTableA table = init ? init() : nullptr;
  // Accepting, completing and deleting may be missing; everything else is needed.
  if (!table || !table->FreeCredentialHandle || !table->QuerySecurityPackageInfoA ||
      !table->AcquireCredentialsHandleA || !table->FreeContextBuffer ||
      !table->InitializeSecurityContextA || !table->EnumerateSecurityPackagesA ||
      !table->QueryContextAttributesA || !table->ExportSecurityContext ||
      !table->ImportSecurityContextA || !table->EncryptMessage || !table->DecryptMessage) {
    FreeLibrary(lib);
    return SecLoad::kMissingEntry;
  }
  g_library = lib;
  g_sspi = table;
  return SecLoad::kLoaded;
}

int tls_package_present() {
  if (!g_sspi) return -1;
  unsigned long count = 0;
  PSecPkgInfoA packages = nullptr;
  if (g_sspi->EnumerateSecurityPackagesA(&count, &packages) != SEC_E_OK) return -1;
  int found = 0;
  for (unsigned long i = 0; i < count; ++i) {
    const char* n = packages[i].Name;
    if (n && (std::strcmp(n, "Schannel") == 0 || std::strcmp(n, "SCHANNEL") == 0)) found = 1;
  }
  g_sspi->FreeContextBuffer(packages);
  return found;
}

TlsSession* tls_client_new(const char* host, long* status) {
  if (!g_sspi) {
    *status = SEC_E_INTERNAL_ERROR;
    return nullptr;
  }
  SCHANNEL_CRED cred{};
  cred.dwVersion = SCHANNEL_CRED_VERSION;
  cred.grbitEnabledProtocols = SP_PROT_TLS1_2;
  cred.dwFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS;
  TlsSession* s = with_credentials(cred, SECPKG_CRED_OUTBOUND, status);
  if (s) s->host = host;
  return s;
}

int tls_end(TlsSession* s) {
  if (!s) return 0;
  // Both handles are released whatever happens to the first.
  int rc = 0;
  if (s->has_ctx && g_sspi->DeleteSecurityContext &&
      g_sspi->DeleteSecurityContext(&s->ctx) != SEC_E_OK)
    rc = 1;
  if (s->has_cred && g_sspi->FreeCredentialHandle(&s->cred) != SEC_E_OK && rc == 0) rc = 2;
  delete s;
  return rc;
}

TlsStep tls_handshake(TlsSession* s, const char* in, std::size_t len, std::string* out,
                      long* status) {
  out->clear();
  SecBuffer out_buf{0, SECBUFFER_TOKEN, nullptr};
  SecBufferDesc out_desc{SECBUFFER_VERSION, 1, &out_buf};
  unsigned long attrs = 0;
  TimeStamp expiry;
  SECURITY_STATUS ss;
  char* target = const_cast<char*>(s->host.c_str());
  if (!in) {
    ss = g_sspi->InitializeSecurityContextA(&s->cred, nullptr, target, kContextRequests, 0, 0,
                                            nullptr, 0, &s->ctx, &out_desc, &attrs, &expiry);
  } else {
    s->pending.insert(s->pending.end(), in, in + len);
    SecBuffer in_buf[2] = {
        {static_cast<unsigned long>(s->pending.size()), SECBUFFER_TOKEN, s->pending.data()},
        {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc in_desc{SECBUFFER_VERSION, 2, in_buf};
    ss = g_sspi->InitializeSecurityContextA(&s->cred, &s->ctx, target, kContextRequests, 0, 0,
                                            &in_desc, 0, nullptr, &out_desc, &attrs, &expiry);
    if (ss == SEC_E_INCOMPLETE_MESSAGE) {
      // A handshake message spread over several records: keep what came and
      // read the next record.
      *status = ss;
      return TlsStep::kContinue;
    }
    if (in_buf[1].BufferType == SECBUFFER_EXTRA && in_buf[1].cbBuffer > 0 &&
        in_buf[1].cbBuffer <= s->pending.size()) {
      s->pending.erase(s->pending.begin(), s->pending.end() - in_buf[1].cbBuffer);
    } else {
      s->pending.clear();
    }
  }
  if (ss == SEC_E_OK || ss == SEC_I_CONTINUE_NEEDED || ss == SEC_I_INCOMPLETE_CREDENTIALS)
    s->has_ctx = true;
  s->attrs = attrs;
  if (out_buf.pvBuffer) {
    out->assign(static_cast<const char*>(out_buf.pvBuffer), out_buf.cbBuffer);
    g_sspi->FreeContextBuffer(out_buf.pvBuffer);
  }
  *status = ss;
  if (ss == SEC_I_CONTINUE_NEEDED) return TlsStep::kContinue;
  if (ss == SEC_E_OK) return TlsStep::kDone;
  return TlsStep::kFailed;
}

CertCheck tls_verify_peer(TlsSession* s) {
  CertCheck c;
  PCCERT_CONTEXT cert = nullptr;
  SECURITY_STATUS ss =
      g_sspi->QueryContextAttributesA(&s->ctx, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &cert);
  if (ss != SEC_E_OK || !cert) {
    c.problems = kCertOther;
    c.status = ss;
    c.detail = "no server certificate";
    return c;
  }
  auto note = [&c](unsigned problem, long status, const char* detail) {
    if (c.problems == 0) {
      c.status = status;
      c.detail = detail;
    }
    c.problems |= problem;
  };
  if (!context_protected(s->attrs))
    note(kCertOther, static_cast<long>(s->attrs),
         "the secured context lacks confidentiality, integrity or stream mode");
  if (s->host.empty()) note(kCertNameMismatch, 0, "no host name to check the certificate against");

  char server_auth[] = szOID_PKIX_KP_SERVER_AUTH;
  char* usages[] = {server_auth};
  CERT_CHAIN_PARA para{};
  para.cbSize = sizeof para;
  para.RequestedUsage.dwType = USAGE_MATCH_TYPE_OR;
  para.RequestedUsage.Usage.cUsageIdentifier = 1;
  para.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
  PCCERT_CHAIN_CONTEXT chain = nullptr;
  if (!CertGetCertificateChain(nullptr, cert, nullptr, cert->hCertStore, &para, 0, nullptr,
                               &chain)) {
    note(kCertOther, static_cast<long>(GetLastError()), "CertGetCertificateChain failed");
    CertFreeCertificateContext(cert);
    return c;
  }
  // The chain engine's own verdict: an unknown issuer shows here as a partial
  // chain (the SSL policy alone does not always report it).
  const DWORD trust = chain->TrustStatus.dwErrorStatus;
  if (trust & (CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_IS_PARTIAL_CHAIN))
    note(kCertUntrustedRoot, static_cast<long>(SEC_E_UNTRUSTED_ROOT),
         "the chain ends in an authority that is not trusted");
  if (trust & CERT_TRUST_IS_NOT_TIME_VALID)
    note(kCertDate, static_cast<long>(CERT_E_EXPIRED), "certificate expired or not yet valid");
  if (trust & ~static_cast<DWORD>(CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_IS_PARTIAL_CHAIN |
                                  CERT_TRUST_IS_NOT_TIME_VALID | CERT_TRUST_IS_NOT_TIME_NESTED))
    note(kCertOther, static_cast<long>(trust), "certificate chain error");

  std::wstring wide_host;
  int n = MultiByteToWideChar(CP_ACP, 0, s->host.c_str(), -1, nullptr, 0);
  if (n > 0) {
    wide_host.resize(static_cast<std::size_t>(n));
    MultiByteToWideChar(CP_ACP, 0, s->host.c_str(), -1, wide_host.data(), n);
  } else if (!s->host.empty()) {
    note(kCertNameMismatch, static_cast<long>(GetLastError()),
         "the host name cannot be checked against the certificate");
  }
  SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl_para{};
  ssl_para.cbSize = sizeof ssl_para;
  ssl_para.dwAuthType = AUTHTYPE_SERVER;
  ssl_para.pwszServerName = wide_host.data();
  CERT_CHAIN_POLICY_PARA policy_para{};
  policy_para.cbSize = sizeof policy_para;
  policy_para.pvExtraPolicyPara = &ssl_para;
  CERT_CHAIN_POLICY_STATUS policy{};
  policy.cbSize = sizeof policy;
  if (!CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &policy_para, &policy)) {
    note(kCertOther, static_cast<long>(GetLastError()), "CertVerifyCertificateChainPolicy failed");
  } else if (policy.dwError != 0) {
    const long e = static_cast<long>(policy.dwError);
    switch (policy.dwError) {
      case static_cast<DWORD>(CERT_E_CN_NO_MATCH):
        note(kCertNameMismatch, e, "the certificate does not name the server");
        break;
      case static_cast<DWORD>(CERT_E_UNTRUSTEDROOT):
      case static_cast<DWORD>(CERT_E_CHAINING):
        note(kCertUntrustedRoot, e, "the chain ends in an authority that is not trusted");
        break;
      case static_cast<DWORD>(CERT_E_EXPIRED):
        note(kCertDate, e, "certificate expired or not yet valid");
        break;
      default:
        note(kCertOther, e, "certificate refused by the SSL policy");
        break;
    }
  }
  CertFreeCertificateChain(chain);
  CertFreeCertificateContext(cert);
  return c;
}

int tls_encrypt(TlsSession* s, const char* data, std::size_t len, std::string* out, long* status) {
  out->clear();
  SecPkgContext_StreamSizes sizes{};
  SECURITY_STATUS ss = g_sspi->QueryContextAttributesA(&s->ctx, SECPKG_ATTR_STREAM_SIZES, &sizes);
  if (ss != SEC_E_OK) {
    *status = ss;
    return -1;
  }
  std::vector<char> block(sizes.cbHeader + len + sizes.cbTrailer);
  std::memcpy(block.data() + sizes.cbHeader, data, len);
  SecBuffer bufs[4] = {
      {sizes.cbHeader, SECBUFFER_STREAM_HEADER, block.data()},
      {static_cast<unsigned long>(len), SECBUFFER_DATA, block.data() + sizes.cbHeader},
      {sizes.cbTrailer, SECBUFFER_STREAM_TRAILER, block.data() + sizes.cbHeader + len},
      {0, SECBUFFER_EMPTY, nullptr}};
  SecBufferDesc desc{SECBUFFER_VERSION, 4, bufs};
  ss = g_sspi->EncryptMessage(&s->ctx, 0, &desc, 0);
  *status = ss;
  if (ss != SEC_E_OK) return -2;
  // The trailer may come out shorter than its maximum.
  out->append(static_cast<const char*>(bufs[0].pvBuffer), bufs[0].cbBuffer);
  out->append(static_cast<const char*>(bufs[1].pvBuffer), bufs[1].cbBuffer);
  out->append(static_cast<const char*>(bufs[2].pvBuffer), bufs[2].cbBuffer);
  return 0;
}

int tls_decrypt(TlsSession* s, const char* record, std::size_t len, std::string* out,
                long* status) {
  std::vector<char> copy(record, record + len);
  SecBuffer bufs[4] = {{static_cast<unsigned long>(len), SECBUFFER_DATA, copy.data()},
                       {0, SECBUFFER_EMPTY, nullptr},
                       {0, SECBUFFER_EMPTY, nullptr},
                       {0, SECBUFFER_EMPTY, nullptr}};
  SecBufferDesc desc{SECBUFFER_VERSION, 4, bufs};
  SECURITY_STATUS ss = g_sspi->DecryptMessage(&s->ctx, &desc, 0, nullptr);
  *status = ss;
  if (ss == SEC_I_CONTEXT_EXPIRED) return 0;  // the server's closing alert
  if (ss != SEC_E_OK) return -1;
  for (const SecBuffer& b : bufs)
    if (b.BufferType == SECBUFFER_DATA && b.pvBuffer)
      out->append(static_cast<const char*>(b.pvBuffer), b.cbBuffer);
  return 0;
}

// ---- the server side ----------------------------------------------------------------

struct CertStore {
  HCERTSTORE handle;
};

struct ServerCert {
  PCCERT_CONTEXT ctx;
};

namespace {

constexpr DWORD kEncodings = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;

// What the server asks of the context: the stream protections a TLS server
// session has.
constexpr unsigned long kAcceptRequests = ASC_REQ_ALLOCATE_MEMORY | ASC_REQ_STREAM |
                                          ASC_REQ_CONFIDENTIALITY | ASC_REQ_SEQUENCE_DETECT |
                                          ASC_REQ_REPLAY_DETECT | ASC_REQ_EXTENDED_ERROR;

std::wstring wide(const char* text) {
  const int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  if (n <= 0) return {};
  std::wstring w(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text, -1, w.data(), n);
  w.resize(static_cast<std::size_t>(n - 1));
  return w;
}

}  // namespace

CertStore* cert_store_open(const char* name) {
  if (!name) return nullptr;
  // An existing store only: a name that is wrong must not create an empty one.
  HCERTSTORE h = CertOpenStore(
      CERT_STORE_PROV_SYSTEM_A, kEncodings, 0,
      CERT_SYSTEM_STORE_LOCAL_MACHINE | CERT_STORE_OPEN_EXISTING_FLAG | CERT_STORE_READONLY_FLAG,
      name);
  return h ? new CertStore{h} : nullptr;
}

void cert_store_close(CertStore* store) {
  if (!store) return;
  CertCloseStore(store->handle, 0);
  delete store;
}

ServerCert* cert_find_subject(CertStore* store, const char* text) {
  const std::wstring w = wide(text ? text : "");
  PCCERT_CONTEXT c = CertFindCertificateInStore(store->handle, kEncodings, 0,
                                                CERT_FIND_SUBJECT_STR_W, w.c_str(), nullptr);
  return c ? new ServerCert{c} : nullptr;
}

ServerCert* cert_find_display(CertStore* store, bool (*match)(const char* display, void* ctx),
                              void* ctx) {
  PCCERT_CONTEXT c = nullptr;
  // Each context handed back to the enumeration is freed by it; the one kept
  // is ours.
  while ((c = CertEnumCertificatesInStore(store->handle, c)) != nullptr) {
    char display[512] = {};
    CertGetNameStringA(c, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, display, sizeof display);
    if (match(display, ctx)) return new ServerCert{c};
  }
  return nullptr;
}

void cert_free(ServerCert* cert) {
  if (!cert) return;
  CertFreeCertificateContext(cert->ctx);
  delete cert;
}

TlsSession* tls_server_new(ServerCert* cert, long* status) {
  if (!g_sspi || !g_sspi->AcceptSecurityContext || !cert) {
    *status = SEC_E_UNSUPPORTED_FUNCTION;
    return nullptr;
  }
  SCHANNEL_CRED cred{};
  cred.dwVersion = SCHANNEL_CRED_VERSION;
  cred.cCreds = 1;
  cred.paCred = &cert->ctx;
  cred.grbitEnabledProtocols = SP_PROT_TLS1_2_SERVER;
  return with_credentials(cred, SECPKG_CRED_INBOUND, status);
}

TlsStep tls_accept(TlsSession* s, const char* in, std::size_t len, std::string* out, long* status) {
  out->clear();
  s->pending.insert(s->pending.end(), in, in + len);
  SecBuffer in_buf[2] = {
      {static_cast<unsigned long>(s->pending.size()), SECBUFFER_TOKEN, s->pending.data()},
      {0, SECBUFFER_EMPTY, nullptr}};
  SecBufferDesc in_desc{SECBUFFER_VERSION, 2, in_buf};
  SecBuffer out_buf{0, SECBUFFER_TOKEN, nullptr};
  SecBufferDesc out_desc{SECBUFFER_VERSION, 1, &out_buf};
  unsigned long attrs = 0;
  TimeStamp expiry;
  SECURITY_STATUS ss =
      g_sspi->AcceptSecurityContext(&s->cred, s->has_ctx ? &s->ctx : nullptr, &in_desc,
                                    kAcceptRequests, 0, &s->ctx, &out_desc, &attrs, &expiry);
  if (ss == SEC_E_INCOMPLETE_MESSAGE) {
    // A handshake message spread over several records.
    *status = ss;
    return TlsStep::kContinue;
  }
  if (in_buf[1].BufferType == SECBUFFER_EXTRA && in_buf[1].cbBuffer > 0 &&
      in_buf[1].cbBuffer <= s->pending.size()) {
    s->pending.erase(s->pending.begin(), s->pending.end() - in_buf[1].cbBuffer);
  } else {
    s->pending.clear();
  }
  if (ss == SEC_E_OK || ss == SEC_I_CONTINUE_NEEDED) s->has_ctx = true;
  s->attrs = attrs;
  if (out_buf.pvBuffer) {
    out->assign(static_cast<const char*>(out_buf.pvBuffer), out_buf.cbBuffer);
    g_sspi->FreeContextBuffer(out_buf.pvBuffer);
  }
  *status = ss;
  if (ss == SEC_I_CONTINUE_NEEDED) return TlsStep::kContinue;
  if (ss == SEC_E_OK) return TlsStep::kDone;
  return TlsStep::kFailed;
}

bool tls_export(TlsSession* s, std::string* packed, long* status) {
  if (!s || !s->has_ctx) {
    *status = SEC_E_INVALID_HANDLE;
    return false;
  }
  SecBuffer buf{0, SECBUFFER_EMPTY, nullptr};
  HANDLE token = nullptr;
  SECURITY_STATUS ss =
      g_sspi->ExportSecurityContext(&s->ctx, SECPKG_CONTEXT_EXPORT_RESET_NEW, &buf, &token);
  *status = ss;
  if (token) CloseHandle(token);
  if (ss != SEC_E_OK || !buf.pvBuffer) return false;
  packed->assign(static_cast<const char*>(buf.pvBuffer), buf.cbBuffer);
  g_sspi->FreeContextBuffer(buf.pvBuffer);
  return true;
}

TlsSession* tls_import(const char* packed, std::size_t len, long* status) {
  if (!g_sspi) {
    *status = SEC_E_INTERNAL_ERROR;
    return nullptr;
  }
  std::vector<char> copy(packed, packed + len);
  SecBuffer buf{static_cast<unsigned long>(len), SECBUFFER_EMPTY, copy.data()};
  auto* s = new TlsSession;
  SECURITY_STATUS ss =
      g_sspi->ImportSecurityContextA(const_cast<char*>("Schannel"), &buf, nullptr, &s->ctx);
  *status = ss;
  if (ss != SEC_E_OK) {
    delete s;
    return nullptr;
  }
  s->has_ctx = true;
  return s;
}

}  // namespace plat
