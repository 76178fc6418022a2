// BSD sockets behind the platform's socket surface. A socket's number is its
// file descriptor plus one, so that 0 never names a socket; every error is kept
// per thread as the Windows Sockets code that the transport prints.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/net.h"

namespace plat {
namespace {

thread_local int t_last_error = 0;

int fd_of(Sock s) { return s - 1; }

int wsa_code(int e) {
  switch (e) {
    case 0:
      return 0;
    case EINTR:
      return 10004;
    case EBADF:
      return 10009;
    case EACCES:
      return 10013;
    case EFAULT:
      return 10014;
    case EINVAL:
      return 10022;
    case EMFILE:
    case ENFILE:
      return 10024;
    case EAGAIN:
      return 10035;  // EWOULDBLOCK is the same number here
    case EINPROGRESS:
      return 10036;
    case EALREADY:
      return 10037;
    case ENOTSOCK:
      return 10038;
    case EDESTADDRREQ:
      return 10039;
    case EMSGSIZE:
      return 10040;
    case EPROTOTYPE:
      return 10041;
    case ENOPROTOOPT:
      return 10042;
    case EPROTONOSUPPORT:
      return 10043;
    case EOPNOTSUPP:
      return 10045;
    case EAFNOSUPPORT:
      return 10047;
    case EADDRINUSE:
      return 10048;
    case EADDRNOTAVAIL:
      return 10049;
    case ENETDOWN:
      return 10050;
    case ENETUNREACH:
      return 10051;
    case ENETRESET:
      return 10052;
    case ECONNABORTED:
      return 10053;
    case ECONNRESET:
    case EPIPE:
      return 10054;  // Windows reports a send after a reset as a reset
    case ENOBUFS:
      return 10055;
    case EISCONN:
      return 10056;
    case ENOTCONN:
      return 10057;
    case ESHUTDOWN:
      return 10058;
    case ETIMEDOUT:
      return 10060;
    case ECONNREFUSED:
      return 10061;
    case EHOSTDOWN:
      return 10064;
    case EHOSTUNREACH:
      return 10065;
    default:
      return 10000 + e;  // no Windows counterpart: still nonzero and distinct
  }
}

void set_error_from_errno() { t_last_error = wsa_code(errno); }

sockaddr_in make_addr(std::uint32_t addr, std::uint16_t port) {
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(port);
  sa.sin_addr.s_addr = addr;
  return sa;
}

void set_blocking(int fd, bool blocking) {
  int flags = fcntl(fd, F_GETFL, 0);
  if (flags < 0) return;
  fcntl(fd, F_SETFL, blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK));
}

}  // namespace

bool net_startup() { return true; }
void net_cleanup() {}
int net_last_error() { return t_last_error; }

bool ipv4_parse(const char* text, std::uint32_t* addr) {
  in_addr a{};
  // inet_aton accepts the same forms as the Windows parser (dotted parts,
  // octal and hex); the broadcast address counts as invalid there.
  if (!inet_aton(text, &a) || a.s_addr == 0xFFFFFFFFu) return false;
  *addr = a.s_addr;
  return true;
}

bool resolve_ipv4(const char* host, std::uint32_t* addr) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* res = nullptr;
  int rc = getaddrinfo(host, nullptr, &hints, &res);
  if (rc != 0 || !res) {
    switch (rc) {
      case EAI_AGAIN:
        t_last_error = 11002;
        break;
      case EAI_FAIL:
        t_last_error = 11003;
        break;
#ifdef EAI_NODATA
      case EAI_NODATA:
        t_last_error = 11004;
        break;
#endif
      case EAI_SYSTEM:
        set_error_from_errno();
        break;
      default:
        t_last_error = kWsaHostNotFound;
        break;
    }
    return false;
  }
  *addr = reinterpret_cast<sockaddr_in*>(res->ai_addr)->sin_addr.s_addr;
  freeaddrinfo(res);
  return true;
}

void ipv4_format(std::uint32_t addr, char* buf, std::size_t cap) {
  in_addr a{};
  a.s_addr = addr;
  if (!inet_ntop(AF_INET, &a, buf, static_cast<socklen_t>(cap)) && cap) buf[0] = '\0';
}

Sock tcp_socket() {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    set_error_from_errno();
    return 0;
  }
  return fd + 1;
}

int close(Sock s) {
  if (::close(fd_of(s)) != 0) {
    set_error_from_errno();
    return t_last_error;
  }
  return 0;
}

int connect(Sock s, std::uint32_t addr, std::uint16_t port) {
  sockaddr_in sa = make_addr(addr, port);
  int rc;
  do rc = ::connect(fd_of(s), reinterpret_cast<sockaddr*>(&sa), sizeof sa);
  while (rc != 0 && errno == EINTR);
  if (rc != 0) {
    set_error_from_errno();
    return t_last_error;
  }
  return 0;
}

ConnectResult connect_timed(Sock s, std::uint32_t addr, std::uint16_t port, int timeout_ms) {
  int fd = fd_of(s);
  ConnectResult r;
  set_blocking(fd, false);
  sockaddr_in sa = make_addr(addr, port);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0) {
    set_blocking(fd, true);
    return r;
  }
  if (errno != EINPROGRESS) {
    set_error_from_errno();
    r = {ConnectStep::kConnect, t_last_error};
    set_blocking(fd, true);
    return r;
  }
  pollfd p{fd, POLLOUT, 0};
  int rc = ::poll(&p, 1, timeout_ms);
  if (rc < 0) {
    set_error_from_errno();
    r = {ConnectStep::kWaitFailed, t_last_error};
  } else if (rc == 0) {
    t_last_error = kWsaEtimedout;
    r = {ConnectStep::kWaitTimeout, 0};
  } else {
    int err = 0;
    socklen_t len = sizeof err;
    if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0) {
      set_error_from_errno();
      r = {ConnectStep::kEnumEvents, t_last_error};
    } else if (err != 0) {
      t_last_error = wsa_code(err);
      r = {ConnectStep::kEventError, t_last_error};
    }
  }
  set_blocking(fd, true);
  return r;
}

long send(Sock s, const void* data, std::size_t len) {
  ssize_t n;
  do n = ::send(fd_of(s), data, len, MSG_NOSIGNAL);
  while (n < 0 && errno == EINTR);
  if (n < 0) {
    set_error_from_errno();
    return -1;
  }
  return static_cast<long>(n);
}

long recv(Sock s, void* buf, std::size_t cap) {
  ssize_t n;
  do n = ::recv(fd_of(s), buf, cap, 0);
  while (n < 0 && errno == EINTR);
  if (n < 0) {
    set_error_from_errno();
    return -1;
  }
  if (n == 0) t_last_error = 0;
  return static_cast<long>(n);
}

int wait_readable(Sock s, int timeout_ms) {
  pollfd p{fd_of(s), POLLIN, 0};
  int rc;
  do rc = ::poll(&p, 1, timeout_ms < 0 ? -1 : timeout_ms);
  while (rc < 0 && errno == EINTR);
  if (rc < 0) {
    set_error_from_errno();
    return -1;
  }
  if (rc == 0) {
    t_last_error = 0;
    return 0;
  }
  if (p.revents & POLLNVAL) {
    t_last_error = 10038;
    return -1;
  }
  return 1;
}

int bind_any(Sock s, std::uint16_t port) {
  int one = 1;
  setsockopt(fd_of(s), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in sa = make_addr(htonl(INADDR_ANY), port);
  if (::bind(fd_of(s), reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
    set_error_from_errno();
    return t_last_error;
  }
  return 0;
}

int listen(Sock s, int backlog) {
  if (::listen(fd_of(s), backlog) != 0) {
    set_error_from_errno();
    return t_last_error;
  }
  return 0;
}

Sock accept(Sock s, void* addr16) {
  sockaddr_in sa{};
  socklen_t len = sizeof sa;
  int fd;
  do fd = ::accept4(fd_of(s), reinterpret_cast<sockaddr*>(&sa), &len, SOCK_CLOEXEC);
  while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    set_error_from_errno();
    return 0;
  }
  if (addr16) {
    // The Windows layout: family (little-endian 16 bits), port and address in
    // network order, eight zero bytes.
    unsigned char rec[16] = {};
    rec[0] = AF_INET & 0xFF;
    std::memcpy(rec + 2, &sa.sin_port, 2);
    std::memcpy(rec + 4, &sa.sin_addr.s_addr, 4);
    std::memcpy(addr16, rec, sizeof rec);
  }
  return fd + 1;
}

bool peer_name(Sock s, std::uint32_t* addr, std::uint16_t* port) {
  sockaddr_in sa{};
  socklen_t len = sizeof sa;
  if (getpeername(fd_of(s), reinterpret_cast<sockaddr*>(&sa), &len) != 0) {
    set_error_from_errno();
    return false;
  }
  *addr = sa.sin_addr.s_addr;
  *port = ntohs(sa.sin_port);
  return true;
}

std::uint16_t local_port(Sock s) {
  sockaddr_in sa{};
  socklen_t len = sizeof sa;
  if (getsockname(fd_of(s), reinterpret_cast<sockaddr*>(&sa), &len) != 0) return 0;
  return ntohs(sa.sin_port);
}

}  // namespace plat
