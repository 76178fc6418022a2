// The TLS surface of the platform layer: a client session over an already
// connected socket of net.h, driven one handshake token at a time by the core
// (which reads the records from the socket itself), then encrypting pieces of
// plaintext into records and decrypting received records one by one. Windows
// uses the system security interface (Schannel, loaded at run time); the native
// build uses OpenSSL. Both offer TLS 1.2 only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace plat {

// Loading the system security interface (once per process; later calls answer
// at once).
enum class SecLoad {
  kLoaded,        // loaded now or before
  kNoVersion,     // the operating system's version could not be read, or is neither family
  kLoadFailed,    // the library could not be loaded
  kMissingEntry,  // a required function is missing (the library was unloaded again)
};
SecLoad security_load();

// Whether the TLS package is offered: 1 present, 0 absent, -1 the packages could
// not be enumerated.
int tls_package_present();

struct TlsSession;

// A new client session for host (the handshake target and the name checked
// against the server's certificate). Null when the credentials cannot be
// acquired; *status then holds the system's status code.
TlsSession* tls_client_new(const char* host, long* status);
// Ends the session: deletes the security context and frees the credentials.
// 0; 1 when deleting the context failed; 2 when freeing the credentials failed.
int tls_end(TlsSession* s);

enum class TlsStep { kContinue, kDone, kFailed };
// One handshake round. in is null for the first round, else one complete
// record as received. out receives the token to send (possibly empty);
// *status the system's status code of the round.
TlsStep tls_handshake(TlsSession* s, const char* in, std::size_t len, std::string* out,
                      long* status);

// The outcome of the check of the server's certificate after the handshake: a
// set of the problems found (0: chain trusted and name matching).
enum : unsigned {
  kCertUntrustedRoot = 1,  // the chain ends in an authority that is not trusted
  kCertNameMismatch = 2,   // the certificate does not name the host
  kCertDate = 4,           // expired or not yet valid
  kCertOther = 8,          // anything else (bad signature, revoked, no certificate, ...)
};
struct CertCheck {
  unsigned problems = 0;
  long status = 0;     // the system's status code of the first problem found
  std::string detail;  // the system's wording, for the trace
};
CertCheck tls_verify_peer(TlsSession* s);

// Encrypts one piece of plaintext (at most 16,384 bytes) into the bytes of one
// record: 0; -1 the record sizes could not be queried; -2 encryption failed.
int tls_encrypt(TlsSession* s, const char* data, std::size_t len, std::string* out, long* status);
// Decrypts one complete record (header and body) and appends its plaintext to
// out (records that carry no application data append nothing): 0, or -1.
int tls_decrypt(TlsSession* s, const char* record, std::size_t len, std::string* out, long* status);

// ---- the server side ------------------------------------------------------------------

// A certificate store for server sessions: on Windows a system store of the
// local machine, by name; natively a folder (the name is its path) whose *.pem
// files each hold a certificate and its private key.
struct CertStore;
struct ServerCert;
// Null when the store cannot be opened.
CertStore* cert_store_open(const char* name);
void cert_store_close(CertStore* store);
// The first certificate whose subject names text (a case-insensitive part of
// it); null when none does.
ServerCert* cert_find_subject(CertStore* store, const char* text);
// The first certificate whose simple display name match accepts; null when none.
ServerCert* cert_find_display(CertStore* store, bool (*match)(const char* display, void* ctx),
                              void* ctx);
void cert_free(ServerCert* cert);

// A new server session with the certificate (TLS 1.2 only). Null when the
// inbound credentials cannot be acquired; *status then holds the system's code.
TlsSession* tls_server_new(ServerCert* cert, long* status);
// One server handshake round with one complete record from the client; out
// receives the token to send (possibly empty).
TlsStep tls_accept(TlsSession* s, const char* in, std::size_t len, std::string* out,
                   long* status);

// Packs an established session into bytes for tls_import in another thread (on
// Windows also in another process); the session itself is then reset and only
// good for tls_end. False when it cannot be packed.
bool tls_export(TlsSession* s, std::string* packed, long* status);
// The session a packed form describes; null when it cannot be installed.
TlsSession* tls_import(const char* packed, std::size_t len, long* status);

}  // namespace plat
