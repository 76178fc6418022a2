// The native build has no system HTTP client: a session never opens, so every
// exchange through it fails the way an unreachable client would.
#include "platform/http_client.h"

namespace plat {

HttpSession* http_session_open(const char*) { return nullptr; }
bool http_set_receive_timeout(HttpSession*, unsigned long) { return false; }
HttpConnection* http_connect(HttpSession*, const char*, bool) { return nullptr; }
HttpRequest* http_open_request(HttpConnection*, const char*, const char*, unsigned) {
  return nullptr;
}
bool http_add_headers(HttpRequest*, const char*, std::size_t) { return false; }
int http_send(HttpRequest*, const void*, std::size_t) { return -1; }
int http_status(HttpRequest*) { return -1; }
long http_content_length(HttpRequest*) { return -1; }
bool http_raw_headers(HttpRequest*, char* out, std::size_t cap) {
  if (cap) out[0] = '\0';
  return false;
}
long http_read(HttpRequest*, void*, std::size_t) { return -1; }
unsigned long http_password_dialog(HttpRequest*) { return 0; }
bool http_set_proxy_credentials(HttpRequest*, const char*, const char*) { return false; }
void http_close(HttpRequest*) {}
void http_close(HttpConnection*) {}
void http_close(HttpSession*) {}
unsigned long http_last_error() { return 0; }

}  // namespace plat
