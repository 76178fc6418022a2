// The secured exchange: TLS records over a socket of the socket layer (the
// handshake, encrypting and decrypting), opening a secured connection directly
// or through an HTTP proxy's CONNECT, and one exchange of the current message
// as an HTTPS POST. The server's certificate is checked: chain and host name;
// ZORAX.INI may ask to accept an untrusted root and name and date errors.
#pragma once

#include <cstddef>
#include <string>

#include "net/stream.h"
#include "platform/tls.h"
#include "runtime/areas.h"

// Loads the system's security interface once per process: 0 when it is (or
// already was) loaded, -1 otherwise.
ZR_API int zwsockh_auth_initial();
// 0 when the TLS package is present (this thread's TLS session is cleared), -1.
ZR_API int zwsockh_ssl_initial();
// The client handshake on a connected socket, with host as the target and the
// name the certificate must carry: 0 complete and the certificate accepted; -1
// credentials, receive, handshake or certificate failure; -2 a record body was
// not received.
ZR_API int zwsockh_ssl_connect(int hsock, const char* host);
// Encrypts and sends len bytes in records of at most 16,000 plaintext bytes: 0;
// -1 encryption failure; -2 send failure (or no secured connection).
ZR_API int zwsockh_ssl_write(int hsock, const char* data, int len);
// Receives one record (without time-out) and decrypts it into buf (NUL
// behind): the plaintext length; -1 receive failure; -2 record larger than
// size or not decryptable.
ZR_API int zwsockh_ssl_read(int hsock, char* buf, int size);
// Decrypts one record of rlen bytes (header and body) into out (at least rlen
// bytes): the plaintext length (NUL behind), or -1.
ZR_API int zwsockh_ssl_decode(const char* record, char* out, int rlen);
// Ends this thread's TLS session: 0; -1 when its handles could not be released.
ZR_API int zwsockh_ssl_finish();
// Opens the secured connection to the server's port 443 (through the proxy's
// CONNECT when a proxy is used) into the hsock slot: 0, or -1.
ZR_API int zwsock_open_ssl();
// Ends the TLS session, closes the socket and clears the hsock slot.
ZR_API void zwsock_close_ssl();
// One exchange of the current message as an HTTPS POST; results as zwsock_phmsg.
ZR_API int zwsock_phmsg_ssl();

// The server handshake on an accepted socket with the first certificate of the
// local machine's store store_nm whose subject names cmn_nm: 0 complete; -1
// store, certificate, credentials or record-header receive failure; -2 a bad
// record header; -3 a record body not received; -4 a handshake step refused.
ZR_API int zwsockh_ssl_connect_svr(int hsock, const char* cmn_nm, const char* store_nm);
// The same with the certificate chosen by the server name of the client's
// hello (a display name "*suffix" serves every name ending in suffix); the
// second argument is not used. -1 also when the hello names no server.
ZR_API int zwsockh_ssl_connect_svr2(int hsock, const char* unused, const char* store_nm);
// Packs this thread's established TLS session into out (at least 4096 bytes)
// and its length into *len; the session is then gone from this thread. 0, -1.
ZR_API int zwsockh_ssl_export(char* out, int* len);
// Installs a packed session as this thread's TLS session: 0, -1.
ZR_API int zwsockh_ssl_import(const char* packed, int len);

namespace zrnet {

// The ZORAX.INI key that accepts certificates with an untrusted root, a wrong
// name or a wrong date (ssl_cert_ign of zr00).
constexpr const char* kCertIgnoreKey = "SSL_CERT_IGNORE";
// The server port of secured connections (443); tests point it at their own
// server. Returns the previous port.
unsigned short tls_port_set(unsigned short port);
// The port of secured connections now in use.
unsigned short tls_port();

// This thread's TLS session (null when there is none), and its replacement:
// the previous session is ended first.
plat::TlsSession* thread_tls_session();
void thread_tls_session_set(plat::TlsSession* s);

// Receives exactly len bytes from a socket in receives of at most piece bytes,
// each waiting first at most wait_ms. *px tells how far it got.
Got recv_socket_exact(int hsock, char* buf, int len, int piece, int wait_ms, int* px, int* ecd);

// The checks of a record header on the server side: content type 20 to 22,
// version 3.0 to 3.3, length 1 to 16384. 0, or -2 after its trace line.
int record_header_check(const unsigned char header[5]);

// The server name of a client hello record (header and body, len bytes): the
// first name of its name-indication extension (at most 2047 bytes). False when
// the record is no client hello, is cut short, or names no server.
bool client_hello_server_name(const char* record, std::size_t len, std::string* name);

// Whether a certificate's display name serves the client's server name (in
// lower case): equal, or, for a display name "*suffix", ending in suffix.
bool display_name_serves(const char* display, const std::string& name);

}  // namespace zrnet
