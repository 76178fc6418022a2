// Fuzz target: the answer as each transport receives it. The first byte
// chooses the transport and its settings, the rest is what arrives:
//  - the plain and the secured tunnel: every connection the exchange opens
//    (the first, a busy re-send's, a challenge's, a retry's) reads on from the
//    same bytes: answer headers, interim, busy and challenge answers with
//    their bodies, and the frame;
//  - the system HTTP client: two bytes choose the status of each send (first
//    and re-send), then the body holds the frame;
//  - the direct framed connection: the frames of a long answer, over a local
//    socket pair.
// A fatal end after the failure's text is specified, not a finding. After an
// answer arrived, its parts lie within the record and a NUL follows them.
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>

#include "../support/lib_fuzz.h"
#include "net/socket.h"
#include "net/stream.h"
#include "net/tunnel.h"
#include "net/wininet.h"
#include "session/envelope.h"

namespace {

std::string_view g_in;  // the bytes still to arrive

std::size_t take(char* buf, std::size_t cap) {
  const std::size_t n = cap < g_in.size() ? cap : g_in.size();
  std::memcpy(buf, g_in.data(), n);
  g_in.remove_prefix(n);
  return n;
}

// A connection that delivers the bytes still to arrive and then closes; what is
// sent is dropped.
class Received final : public zrnet::Stream {
 public:
  zrnet::Attempt send(const char*, std::size_t) override { return zrnet::Attempt::kOk; }
  zrnet::Got recv(char* buf, int cap, long* n, int* ecd, int) override {
    *ecd = 0;
    *n = static_cast<long>(take(buf, static_cast<std::size_t>(cap)));
    return *n > 0 ? zrnet::Got::kData : zrnet::Got::kClosed;
  }
  bool dropped(zrnet::Got g, int) const override { return g == zrnet::Got::kClosed; }
  void close() override {}
};

std::unique_ptr<zrnet::Stream> open_received(bool) { return std::make_unique<Received>(); }

void no_pause(std::uint32_t) {}

// The system HTTP client: one request whose status comes first.
char g_handle;
int g_status = 200;
plat::HttpSession* session_open(const char*) {
  return reinterpret_cast<plat::HttpSession*>(&g_handle);
}
bool set_timeout(plat::HttpSession*, unsigned long) { return true; }
plat::HttpConnection* connect(plat::HttpSession*, const char*, bool) {
  return reinterpret_cast<plat::HttpConnection*>(&g_handle);
}
plat::HttpRequest* open_request(plat::HttpConnection*, const char*, const char*, unsigned) {
  return reinterpret_cast<plat::HttpRequest*>(&g_handle);
}
bool add_headers(plat::HttpRequest*, const char*, std::size_t) { return true; }
int send(plat::HttpRequest*, const void*, std::size_t) {
  char two[2] = {};
  g_status = take(two, 2) == 2 ? 200 + static_cast<unsigned char>(two[0]) % 8 * 100 +
                                     static_cast<unsigned char>(two[1]) % 8
                               : 0;
  return 0;
}
int status(plat::HttpRequest*) { return g_status; }
long content_length(plat::HttpRequest*) { return static_cast<long>(g_in.size()); }
bool raw_headers(plat::HttpRequest*, char* out, std::size_t cap) {
  zr::copy(out, cap, "HTTP/1.1 200 OK");
  return true;
}
long read(plat::HttpRequest*, void* buf, std::size_t len) {
  return static_cast<long>(take(static_cast<char*>(buf), len));
}
unsigned long password_dialog(plat::HttpRequest*) { return 0; }
void close_request(plat::HttpRequest*) {}
void close_connection(plat::HttpConnection*) {}
void close_session(plat::HttpSession*) {}
unsigned long last_error() { return 0; }
const ZR_HTTP_CLIENT kReceivedClient = {
    session_open,     set_timeout,    connect,     open_request, add_headers,     send,
    status,           content_length, raw_headers, read,         password_dialog, close_request,
    close_connection, close_session,  last_error,
};

// The direct framed connection over a local socket pair: the peer's end holds
// the bytes and is shut for writing, so the reads end where the bytes end.
// The native platform numbers a socket as its descriptor plus one.
int direct_exchange(int mid) {
  int fds[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0) std::abort();
  while (!g_in.empty()) {
    const ssize_t n = ::write(fds[0], g_in.data(), g_in.size());
    if (n <= 0) std::abort();
    g_in.remove_prefix(static_cast<std::size_t>(n));
  }
  ::shutdown(fds[0], SHUT_WR);
  zrwork->drc_sock = fds[1] + 1;
  zr00->sys_kd = 0;
  int ret = -1;
  const bool fatal = lib_fuzz::fatal_end_of([&] { ret = zr0930_msg_request(0, mid); });
  ::close(fds[0]);
  ::close(fds[1]);
  return fatal ? -1 : ret;
}

constexpr int kMids[] = {107, 118, 225, 112};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  lib_fuzz::setup(lib_fuzz::answer_ok);
  static bool hooks = [] {
    zr_net_stream_handler(open_received);
    zr_net_sleep_handler(no_pause);
    zrhttp_client_set(&kReceivedClient);
    return true;
  }();
  (void)hooks;
  lib_fuzz::restore_areas();
  zwsock_initial();

  const std::uint8_t opt = data[0];
  g_in = std::string_view(reinterpret_cast<const char*>(data + 1), size - 1);
  const int transport = opt & 3;
  const int mid = kMids[(opt >> 2) & 3];
  zr::copy(zr01->http_host_nm, "svr.example");
  zr::copy(zr01->http_obj_nm, "QRTSVR");
  zr::copy(zr01->user_id, "USER01");
  zr::copy(zr01->user_pass, "PASS01");
  zr00->retry_count = (opt >> 4) & 1;
  zr00->proxy_use = (opt >> 5) & 1;
  zr::copy(zr00->http_proxy_host, "127.0.0.1");
  zr00->http_proxy_port = 8080;
  if (opt & 0x40) {
    zr::copy(zr00->pxy_user, "puser");
    zr::copy(zr00->pxy_pass, "ppass");
  }
  zr00->ntlm_mode = (opt >> 7) & 1;

  zrwork->mlng = 0;
  const char request[] = "00PASS01  0001";
  zwsock_phmsg_set(request, sizeof request - 1);
  zrwork->p_msg->hdr.mid = static_cast<std::int16_t>(mid);
  zrwork->p_msg->hdr.kd00 = 22;

  int ret = -1;
  bool fatal = false;
  switch (transport) {
    case 0:
      fatal = lib_fuzz::fatal_end_of([&] { ret = zwsock_phmsg(); });
      break;
    case 1:
      fatal = lib_fuzz::fatal_end_of([&] { ret = zwsock_phmsg_ssl(); });
      break;
    case 2:
      fatal = lib_fuzz::fatal_end_of([&] {
        zrhttp_initial();
        ret = zrhttp_phmsg();
        zrhttp_finish();
      });
      break;
    default:
      ret = direct_exchange(mid);
      break;
  }
  if (fatal || ret != 0) return 0;

  // An answer arrived: its text and binary part lie within the record, and a
  // NUL follows them.
  const std::int64_t end =
      static_cast<std::int64_t>(zrwork->mlng) +
      (transport != 3 && zrwork->p_msg->hdr.sts > 0 ? zrwork->p_msg->hdr.sts : 0);
  if (zrwork->mlng < 0 || end > zrwork->p_msg_cap) std::abort();
  if (transport != 3 && zr_msg_data(zrwork->p_msg)[end] != '\0') std::abort();
  return 0;
}
