#include "relay.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <thread>

namespace refsrv {
namespace {

bool send_all(int fd, const char* data, std::size_t len) {
  while (len > 0) {
    ssize_t n = ::send(fd, data, len, MSG_NOSIGNAL);
    if (n <= 0) return false;
    data += n;
    len -= static_cast<std::size_t>(n);
  }
  return true;
}

int connect_local(int port) {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return -1;
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<std::uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

int Relay::bind(int port) {
  listen_fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
  if (listen_fd_ < 0) return -1;
  int one = 1;
  setsockopt(listen_fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<std::uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(listen_fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
      ::listen(listen_fd_, 16) != 0)
    return -1;
  socklen_t len = sizeof a;
  getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&a), &len);
  return ntohs(a.sin_port);
}

void Relay::run() {
  while (!stop_) {
    pollfd p{listen_fd_, POLLIN, 0};
    if (::poll(&p, 1, 100) <= 0) continue;
    int client = ::accept(listen_fd_, nullptr, nullptr);
    if (client < 0) continue;
    const int number = ++count_;
    std::thread([this, client, number] { serve(client, number); }).detach();
  }
  ::close(listen_fd_);
}

void Relay::serve(int client, int number) {
  // The request header, byte by byte, so that nothing after it is consumed.
  std::string head;
  char c;
  while (head.size() < 8192 && (head.size() < 4 || head.compare(head.size() - 4, 4, "\r\n\r\n"))) {
    pollfd p{client, POLLIN, 0};
    if (::poll(&p, 1, 10000) <= 0 || ::recv(client, &c, 1, 0) != 1) break;
    head += c;
  }
  const std::string request_line = head.substr(0, head.find("\r\n"));
  log_.line(number, "<-", request_line);
  if (request_line.rfind("CONNECT ", 0) != 0) {
    log_.line(number, "->", "relay http=502 (not a CONNECT)");
    static const char kRefused[] =
        "HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
    send_all(client, kRefused, sizeof kRefused - 1);
    ::close(client);
    return;
  }
  int server = connect_local(target_port_);
  if (server < 0) {
    log_.line(number, "->", "relay http=502 (HTTPS port not reachable)");
    ::close(client);
    return;
  }
  static const char kOk[] = "HTTP/1.1 200 Connection established\r\n\r\n";
  send_all(client, kOk, sizeof kOk - 1);
  log_.line(number, "->", "relay http=200, tunnel to 127.0.0.1:" + std::to_string(target_port_));
  long up = 0, down = 0;
  pollfd p[2] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
  char buf[16384];
  for (;;) {
    if (::poll(p, 2, 30000) <= 0) break;
    bool ended = false;
    for (int i = 0; i < 2 && !ended; ++i) {
      if (!(p[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      ssize_t n = ::recv(p[i].fd, buf, sizeof buf, 0);
      if (n <= 0 || !send_all(p[1 - i].fd, buf, static_cast<std::size_t>(n))) {
        ended = true;
        break;
      }
      (i == 0 ? up : down) += n;
    }
    if (ended) break;
  }
  log_.line(
      number, "--",
      "relay closed, " + std::to_string(up) + " bytes up, " + std::to_string(down) + " bytes down");
  ::close(server);
  ::close(client);
}

}  // namespace refsrv
