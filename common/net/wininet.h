// The operating system's HTTP client as a transport: the calls it makes on the
// platform's client, replaceable as a whole so that tests can play the system
// client (and its server) without a network.
#pragma once

#include <cstddef>

#include "platform/http_client.h"

struct ZR_HTTP_CLIENT {
  plat::HttpSession* (*session_open)(const char* proxy);
  bool (*set_receive_timeout)(plat::HttpSession* s, unsigned long ms);
  plat::HttpConnection* (*connect)(plat::HttpSession* s, const char* host, bool secure);
  plat::HttpRequest* (*open_request)(plat::HttpConnection* c, const char* verb, const char* object,
                                     unsigned flags);
  bool (*add_headers)(plat::HttpRequest* r, const char* lines, std::size_t len);
  int (*send)(plat::HttpRequest* r, const void* body, std::size_t len);
  int (*status)(plat::HttpRequest* r);
  long (*content_length)(plat::HttpRequest* r);
  bool (*raw_headers)(plat::HttpRequest* r, char* out, std::size_t cap);
  long (*read)(plat::HttpRequest* r, void* buf, std::size_t len);
  unsigned long (*password_dialog)(plat::HttpRequest* r);
  void (*close_request)(plat::HttpRequest* r);
  void (*close_connection)(plat::HttpConnection* c);
  void (*close_session)(plat::HttpSession* s);
  unsigned long (*last_error)();
  bool (*set_proxy_credentials)(plat::HttpRequest* r, const char* user, const char* pass);
};

// Installs the client the transport uses (null: the platform's); returns the
// previous one.
const ZR_HTTP_CLIENT* zrhttp_client_set(const ZR_HTTP_CLIENT* client);

namespace zrnet {

// The header lines stay below this many bytes.
constexpr std::size_t kSystemHttpHeaderMax = 500;

}  // namespace zrnet
