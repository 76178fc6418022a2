// The plain stream (a socket of the socket layer) and the receive helpers that
// work on any stream.
#include "net/stream.h"

#include <cstring>

#include "net/socket.h"
#include "net/tunnel.h"
#include "platform/net.h"
#include "runtime/zrcommon.h"

namespace zrnet {

namespace {

class PlainStream final : public Stream {
 public:
  explicit PlainStream(int hsock) : hsock_(hsock) {}
  ~PlainStream() override { close(); }

  // The request goes out in one send call, as the tunnel has always sent it.
  Attempt send(const char* data, std::size_t len) override {
    long sent = hsock_ ? plat::send(hsock_, data, len) : -1;
    if (sent == static_cast<long>(len)) return Attempt::kOk;
    int ecd = plat::net_last_error();
    char line[128];
    ZR_FMT(line, "Error of Send  ret:%ld, lng:%ld, ecd:%d", sent, static_cast<long>(len), ecd);
    tunnel_trace(line);
    close();
    return ecd == plat::kWsaEconnreset ? Attempt::kDropped : Attempt::kFailed;
  }

  Got recv(char* buf, int cap, long* n, int* ecd, int wait_ms) override {
    if (!hsock_) {
      *n = -1;
      *ecd = 0;
      return Got::kFailed;
    }
    return recv_socket(hsock_, buf, cap, n, ecd, wait_ms);
  }

  bool dropped(Got g, int ecd) const override {
    return g == Got::kClosed || ecd == plat::kWsaEconnreset;
  }

  int release() {
    int s = hsock_;
    hsock_ = 0;
    return s;
  }

  void close() override {
    if (!hsock_) return;
    zwsock_close(hsock_);
    if (zrwork->hsock == hsock_) zrwork->hsock = 0;
    hsock_ = 0;
  }

 private:
  int hsock_;
};

}  // namespace

std::unique_ptr<Stream> plain_stream(int hsock) { return std::make_unique<PlainStream>(hsock); }

int release_socket(Stream& s) {
  auto* plain = dynamic_cast<PlainStream*>(&s);
  return plain ? plain->release() : 0;
}

Got recv_socket(int hsock, char* buf, int cap, long* n, int* ecd, int wait_ms) {
  if (wait_ms >= 0) {
    int w = plat::wait_readable(hsock, wait_ms);
    if (w == 0) {
      *ecd = plat::net_last_error();
      _dbg_print("Error of select(Timeout) ret:%d, ecd:%d", w, *ecd);
      *n = 0;
      return Got::kClosed;
    }
    if (w < 0) {
      *ecd = plat::net_last_error();
      _dbg_print("Error of select ret:%d, ecd:%d", w, *ecd);
      *n = -1;
      return Got::kFailed;
    }
  }
  *n = plat::recv(hsock, buf, static_cast<std::size_t>(cap));
  *ecd = plat::net_last_error();
  if (*n > 0) return Got::kData;
  return *n == 0 ? Got::kClosed : Got::kFailed;
}

Got recv_exact(Stream& s, char* buf, long len, long piece, int wait_ms, long* px, int* ecd) {
  *px = 0;
  *ecd = 0;
  if (piece < 1) piece = 1;
  while (*px < len) {
    const long want = len - *px < piece ? len - *px : piece;
    long n = 0;
    Got g = s.recv(buf + *px, static_cast<int>(want), &n, ecd, wait_ms);
    if (g != Got::kData) return g;
    *px += n;
  }
  return Got::kData;
}

Got recv_header(Stream& s, char* hdr, int max, int* n, long* got, int* ecd, bool* ended) {
  *n = 0;
  *ended = false;
  Got g = Got::kData;
  while (*n < max) {
    g = s.recv(hdr + *n, 1, got, ecd, recv_wait_ms());
    if (g != Got::kData) break;
    ++*n;
    if (*n >= 4 && std::memcmp(hdr + *n - 4, "\r\n\r\n", 4) == 0) {
      *n -= 4;
      *ended = true;
      break;
    }
  }
  hdr[*n] = '\0';
  return g;
}

}  // namespace zrnet
