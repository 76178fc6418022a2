// Windows Sockets behind the platform's socket surface. A SOCKET value is kept
// as a 32-bit number (Windows hands out small handle values, never 0 for a
// valid socket).
#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstring>

#include "platform/net.h"

namespace plat {
namespace {

SOCKET sock_of(Sock s) { return static_cast<SOCKET>(static_cast<std::uint32_t>(s)); }

sockaddr_in make_addr(std::uint32_t addr, std::uint16_t port) {
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(port);
  sa.sin_addr.s_addr = addr;
  return sa;
}

void set_blocking(SOCKET s) {
  u_long nonblocking = 0;
  ioctlsocket(s, FIONBIO, &nonblocking);
}

}  // namespace

bool net_startup() {
  WSADATA data;
  return WSAStartup(MAKEWORD(1, 1), &data) == 0;
}

void net_cleanup() { WSACleanup(); }

int net_last_error() { return WSAGetLastError(); }

bool ipv4_parse(const char* text, std::uint32_t* addr) {
  unsigned long a = inet_addr(text);
  if (a == INADDR_NONE) return false;
  *addr = static_cast<std::uint32_t>(a);
  return true;
}

bool resolve_ipv4(const char* host, std::uint32_t* addr) {
  hostent* he = gethostbyname(host);
  if (!he || he->h_addrtype != AF_INET || !he->h_addr_list || !he->h_addr_list[0]) {
    if (he) WSASetLastError(WSANO_DATA);
    return false;
  }
  std::memcpy(addr, he->h_addr_list[0], 4);
  return true;
}

void ipv4_format(std::uint32_t addr, char* buf, std::size_t cap) {
  in_addr a{};
  a.s_addr = addr;
  const char* text = inet_ntoa(a);
  if (!cap) return;
  std::size_t n = text ? std::strlen(text) : 0;
  if (n >= cap) n = cap - 1;
  if (n) std::memcpy(buf, text, n);
  buf[n] = '\0';
}

Sock tcp_socket() {
  SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return 0;
  return static_cast<Sock>(static_cast<std::uint32_t>(s));
}

int close(Sock s) { return closesocket(sock_of(s)) == 0 ? 0 : WSAGetLastError(); }

int connect(Sock s, std::uint32_t addr, std::uint16_t port) {
  sockaddr_in sa = make_addr(addr, port);
  if (::connect(sock_of(s), reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0)
    return WSAGetLastError();
  return 0;
}

ConnectResult connect_timed(Sock s, std::uint32_t addr, std::uint16_t port, int timeout_ms) {
  SOCKET so = sock_of(s);
  ConnectResult r;
  WSAEVENT ev = WSACreateEvent();
  if (ev == WSA_INVALID_EVENT) return {ConnectStep::kEventCreate, WSAGetLastError()};
  if (WSAEventSelect(so, ev, FD_CONNECT) != 0) {
    r = {ConnectStep::kEventSelect, WSAGetLastError()};
  } else {
    sockaddr_in sa = make_addr(addr, port);
    if (::connect(so, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 &&
        WSAGetLastError() != WSAEWOULDBLOCK) {
      r = {ConnectStep::kConnect, WSAGetLastError()};
    } else {
      DWORD w = WSAWaitForMultipleEvents(1, &ev, FALSE, static_cast<DWORD>(timeout_ms), FALSE);
      if (w == WSA_WAIT_FAILED) {
        r = {ConnectStep::kWaitFailed, WSAGetLastError()};
      } else if (w == WSA_WAIT_TIMEOUT) {
        r = {ConnectStep::kWaitTimeout, 0};
        WSASetLastError(WSAETIMEDOUT);
      } else if (w != WSA_WAIT_EVENT_0) {
        r = {ConnectStep::kWaitOther, static_cast<int>(w)};
      } else {
        WSANETWORKEVENTS ne{};
        if (WSAEnumNetworkEvents(so, ev, &ne) != 0) {
          r = {ConnectStep::kEnumEvents, WSAGetLastError()};
        } else if (!(ne.lNetworkEvents & FD_CONNECT)) {
          r = {ConnectStep::kNotConnected, 0};
        } else if (ne.iErrorCode[FD_CONNECT_BIT] != 0) {
          r = {ConnectStep::kEventError, ne.iErrorCode[FD_CONNECT_BIT]};
          WSASetLastError(ne.iErrorCode[FD_CONNECT_BIT]);
        }
      }
    }
  }
  int keep = WSAGetLastError();
  WSAEventSelect(so, nullptr, 0);
  WSACloseEvent(ev);
  set_blocking(so);
  WSASetLastError(keep);
  return r;
}

long send(Sock s, const void* data, std::size_t len) {
  int n = ::send(sock_of(s), static_cast<const char*>(data), static_cast<int>(len), 0);
  return n == SOCKET_ERROR ? -1 : n;
}

long recv(Sock s, void* buf, std::size_t cap) {
  int n = ::recv(sock_of(s), static_cast<char*>(buf), static_cast<int>(cap), 0);
  return n == SOCKET_ERROR ? -1 : n;
}

int wait_readable(Sock s, int timeout_ms) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(sock_of(s), &set);
  timeval tv{timeout_ms / 1000, (timeout_ms % 1000) * 1000};
  int rc = select(0, &set, nullptr, nullptr, timeout_ms < 0 ? nullptr : &tv);
  if (rc == SOCKET_ERROR) return -1;
  return rc == 0 ? 0 : 1;
}

int bind_any(Sock s, std::uint16_t port) {
  sockaddr_in sa = make_addr(htonl(INADDR_ANY), port);
  if (::bind(sock_of(s), reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0)
    return WSAGetLastError();
  return 0;
}

int listen(Sock s, int backlog) {
  return ::listen(sock_of(s), backlog) == 0 ? 0 : WSAGetLastError();
}

Sock accept(Sock s, void* addr16) {
  sockaddr_in sa{};
  int len = sizeof sa;
  SOCKET a = ::accept(sock_of(s), reinterpret_cast<sockaddr*>(&sa), &len);
  if (a == INVALID_SOCKET) return 0;
  if (addr16) std::memcpy(addr16, &sa, 16);
  return static_cast<Sock>(static_cast<std::uint32_t>(a));
}

bool peer_name(Sock s, std::uint32_t* addr, std::uint16_t* port) {
  sockaddr_in sa{};
  int len = sizeof sa;
  if (getpeername(sock_of(s), reinterpret_cast<sockaddr*>(&sa), &len) != 0) return false;
  *addr = sa.sin_addr.s_addr;
  *port = ntohs(sa.sin_port);
  return true;
}

std::uint16_t local_port(Sock s) {
  sockaddr_in sa{};
  int len = sizeof sa;
  if (getsockname(sock_of(s), reinterpret_cast<sockaddr*>(&sa), &len) != 0) return 0;
  return ntohs(sa.sin_port);
}

}  // namespace plat
