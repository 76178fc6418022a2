// A CONNECT relay for the tests of TLS through a proxy: it answers each proxy
// CONNECT with 200 and then passes the bytes both ways between the client and
// the reference server's HTTPS port on 127.0.0.1. Any other request is logged
// and answered 502, so a log without a request line proves that nothing but a
// tunnel went through it.
#pragma once

#include <atomic>

#include "server.h"

namespace refsrv {

class Relay {
 public:
  Relay(int target_port, Log& log) : target_port_(target_port), log_(log) {}
  // Binds 127.0.0.1:port (0: a free port); the port bound, or -1.
  int bind(int port);
  // Accepts connections until stop() (each served on a thread of its own).
  void run();
  void stop() { stop_ = true; }

 private:
  void serve(int client, int number);
  int target_port_;
  Log& log_;
  int listen_fd_ = -1;
  std::atomic<bool> stop_{false};
  std::atomic<int> count_{0};
};

}  // namespace refsrv
