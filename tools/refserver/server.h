// The reference server: cpp-httplib serves the tunnel's POSTs, over HTTP or,
// with a certificate and key, over HTTPS; answers that must break the HTTP
// exchange at byte level (drops, resets, truncated frames, 100 Continue,
// trickled answers) are written on the raw connection, so they exist over HTTP
// only.
#pragma once

#include <cstdio>
#include <memory>
#include <mutex>
#include <string>

#include "scenario.h"
#include "world.h"

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

namespace refsrv {

// Line log shared by the server's threads.
class Log {
 public:
  explicit Log(std::FILE* out) : out_(out) {}
  void line(int number, const char* dir, const std::string& text);

 private:
  std::mutex mutex_;
  std::FILE* out_;
};

// Whether a fault rule answers on the raw connection (HTTP only).
bool is_byte_level(const FaultRule& rule);

class RefServer {
 public:
  // Over HTTP when cert_file is empty, else over HTTPS with the PEM
  // certificate (chain) and private key files; see valid().
  RefServer(Scenario sc, Log& log, const std::string& cert_file = "",
            const std::string& key_file = "");
  ~RefServer();
  // False when the certificate or key could not be loaded.
  bool valid() const;
  // Binds 127.0.0.1:port (0: a free port); returns the port or -1.
  int bind(int port);
  // Serves until stop().
  bool listen();
  void stop();

 private:
  void handle(const httplib::Request& req, httplib::Response& res);

  Scenario sc_;
  World world_;
  Log& log_;
  std::unique_ptr<httplib::Server> http_;
  std::mutex mutex_;  // request numbers and fault counters
  int requests_ = 0;
  int port_ = 0;
  bool tls_ = false;
};

}  // namespace refsrv
