// A scripted loopback peer for the socket and tunnel tests: it accepts one
// connection per scripted answer, reads one HTTP request (header and
// Content-Length body) or nothing, sends the answer bytes and closes.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/net.h"

namespace qrt_test {

// One frame: the 12-byte little-endian header, the text and any binary bytes.
inline std::string frame(int mid, int kd00, int sts, const std::string& text,
                         const std::string& binary = "") {
  std::string f(12, '\0');
  std::int16_t m = static_cast<std::int16_t>(mid), k = static_cast<std::int16_t>(kd00);
  std::int32_t lng = static_cast<std::int32_t>(12 + text.size()), s = sts;
  std::memcpy(&f[0], &m, 2);
  std::memcpy(&f[2], &k, 2);
  std::memcpy(&f[4], &lng, 4);
  std::memcpy(&f[8], &s, 4);
  return f + text + binary;
}

// A frame header with any length field.
inline std::string frame_header(int mid, std::int32_t lng, std::int32_t sts) {
  return frame(mid, 0, sts, "").replace(4, 4, reinterpret_cast<const char*>(&lng), 4);
}

inline std::string http_ok(const std::string& body) {
  return "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: " +
         std::to_string(body.size()) + "\r\n\r\n" + body;
}

inline std::string http_page(int status, const std::string& type, const std::string& page) {
  return "HTTP/1.1 " + std::to_string(status) + " Busy\r\nContent-Type: " + type +
         "\r\nContent-Length: " + std::to_string(page.size()) + "\r\n\r\n" + page;
}

class LoopbackPeer {
 public:
  // Each answer serves one connection. kDrop closes right after the request;
  // kSilent keeps the connection open without answering until the peer ends.
  static constexpr const char* kDrop = "\x01drop";
  static constexpr const char* kSilent = "\x01silent";
  // read_request false: the answer is sent at once without reading (raw frames).
  explicit LoopbackPeer(std::vector<std::string> answers, bool read_request = true)
      : answers_(std::move(answers)), read_request_(read_request) {
    plat::net_startup();
    listen_ = plat::tcp_socket();
    plat::bind_any(listen_, 0);
    plat::listen(listen_, 8);
    port_ = plat::local_port(listen_);
    worker_ = std::thread([this] { run(); });
  }
  ~LoopbackPeer() {
    stop_ = true;
    worker_.join();
    plat::close(listen_);
  }
  int port() const { return port_; }
  std::vector<std::string> requests() {
    std::lock_guard<std::mutex> lock(mu_);
    return requests_;
  }

 private:
  static std::string read_http_request(plat::Sock s) {
    std::string got;
    char c;
    while (got.size() < 4 || got.compare(got.size() - 4, 4, "\r\n\r\n") != 0) {
      if (plat::wait_readable(s, 5000) <= 0 || plat::recv(s, &c, 1) != 1) return got;
      got += c;
    }
    std::size_t at = got.find("Content-Length: ");
    long len = at == std::string::npos ? 0 : std::atol(got.c_str() + at + 16);
    std::string body(static_cast<std::size_t>(len), '\0');
    long px = 0;
    while (px < len) {
      if (plat::wait_readable(s, 5000) <= 0) break;
      long n =
          plat::recv(s, &body[static_cast<std::size_t>(px)], static_cast<std::size_t>(len - px));
      if (n <= 0) break;
      px += n;
    }
    return got + body.substr(0, static_cast<std::size_t>(px));
  }

  void run() {
    for (const std::string& answer : answers_) {
      plat::Sock s = 0;
      while (!stop_ && !s) {
        if (plat::wait_readable(listen_, 50) > 0) s = plat::accept(listen_, nullptr);
      }
      if (!s) return;
      std::string req = read_request_ ? read_http_request(s) : std::string();
      {
        std::lock_guard<std::mutex> lock(mu_);
        requests_.push_back(req);
      }
      if (answer == kSilent) {
        char c;
        while (!stop_ && plat::wait_readable(s, 50) == 0) {
        }
        plat::recv(s, &c, 1);
      } else if (answer != kDrop) {
        std::size_t off = 0;
        while (off < answer.size()) {
          long n = plat::send(s, answer.data() + off, answer.size() - off);
          if (n <= 0) break;
          off += static_cast<std::size_t>(n);
        }
      }
      plat::close(s);
    }
  }

  std::vector<std::string> answers_;
  bool read_request_;
  plat::Sock listen_ = 0;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::mutex mu_;
  std::vector<std::string> requests_;
  std::thread worker_;
};

}  // namespace qrt_test
