// The secured exchange: TLS records over a socket of the socket layer (the
// handshake, encrypting and decrypting), opening a secured connection directly
// or through an HTTP proxy's CONNECT, and one exchange of the current message
// as an HTTPS POST. The server's certificate is checked: chain and host name;
// ZORAX.INI may ask to accept an untrusted root and name and date errors.
#pragma once

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

namespace zrnet {

// The ZORAX.INI key that accepts certificates with an untrusted root, a wrong
// name or a wrong date (ssl_cert_ign of zr00).
constexpr const char* kCertIgnoreKey = "SSL_CERT_IGNORE";
// The server port of secured connections (443); tests point it at their own
// server. Returns the previous port.
unsigned short tls_port_set(unsigned short port);
// The port of secured connections now in use.
unsigned short tls_port();

}  // namespace zrnet
