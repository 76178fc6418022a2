// The system HTTP client surface of the platform layer: a session (with the
// desktop's pre-configured proxy settings or an explicit proxy), a connection to
// one server, and requests on it whose body is sent in one piece and whose answer
// is read in pieces. Windows uses WinINet; the native build has no system HTTP
// client, so opening a session fails there.
#pragma once

#include <cstddef>

namespace plat {

// Opaque handles of the system client (never null when valid).
struct HttpSession;
struct HttpConnection;
struct HttpRequest;

// Opens a session with an empty agent name, without the system's cache. With a
// null proxy the desktop's pre-configured access is used; otherwise proxy names
// the proxy as "host:port". Null when the session cannot be opened.
HttpSession* http_session_open(const char* proxy);
// Sets the time a receive may wait, in milliseconds; false when refused.
bool http_set_receive_timeout(HttpSession* s, unsigned long ms);
// Opens the connection to host: port 443 when secure, else port 80. Null on
// failure.
HttpConnection* http_connect(HttpSession* s, const char* host, bool secure);

// Request flags.
enum : unsigned {
  kHttpReload = 1u << 0,          // never answer from a cache
  kHttpKeepConnection = 1u << 1,  // use an existing connection
  kHttpSecure = 1u << 2,          // TLS
  kHttpIgnoreCertName = 1u << 3,  // accept a certificate for another name
  kHttpIgnoreCertDate = 1u << 4,  // accept an expired or not yet valid certificate
};
// Opens a request with verb on object (HTTP/1.1); null on failure.
HttpRequest* http_open_request(HttpConnection* c, const char* verb, const char* object,
                               unsigned flags);
// Adds the header lines (each ending with CR LF) that the request does not hold
// yet; false when the system refuses them.
bool http_add_headers(HttpRequest* r, const char* lines, std::size_t len);
// Sends the request with its body: 0, or the system's error code.
int http_send(HttpRequest* r, const void* body, std::size_t len);
// The status code of the answer; -1 when it cannot be read.
int http_status(HttpRequest* r);
// The answer's Content-Length; -1 when it has none.
long http_content_length(HttpRequest* r);
// The raw answer header, its lines ending with CR LF, cut to cap - 1 bytes and
// NUL-terminated; false (out empty) when it cannot be read.
bool http_raw_headers(HttpRequest* r, char* out, std::size_t cap);
// Reads up to len bytes of the answer body: the bytes read (0 at its end), or -1
// when the read fails.
long http_read(HttpRequest* r, void* buf, std::size_t len);
// Shows the system's password dialog for the request (the incorrect-password
// error, with the options to change the settings and to generate the answer
// data). Returns the dialog's result code.
unsigned long http_password_dialog(HttpRequest* r);
// Gives the request the proxy's user name and password, which the system uses
// to answer the proxy's challenges itself (for a secured request: on the
// CONNECT, never inside the tunnel). False when the system refuses them.
bool http_set_proxy_credentials(HttpRequest* r, const char* user, const char* pass);

void http_close(HttpRequest* r);
void http_close(HttpConnection* c);
void http_close(HttpSession* s);

// The system's last error code of this thread (0: none).
unsigned long http_last_error();

}  // namespace plat
