// The socket surface of the platform layer: IPv4 TCP connections for the
// transport. Windows Sockets on Windows; BSD sockets natively, where every error
// is reported with the Windows Sockets code that the transport's texts print
// (a reset is 10054, a refused connect 10061, a time-out 10060).
#pragma once

#include <cstddef>
#include <cstdint>

namespace plat {

// A socket as the core holds it: a nonzero 32-bit number (0 is never a socket).
using Sock = std::int32_t;

// Windows Sockets error codes the core tests for.
enum : int {
  kWsaEintr = 10004,
  kWsaEwouldblock = 10035,
  kWsaEinval = 10022,
  kWsaEconnreset = 10054,
  kWsaEtimedout = 10060,
  kWsaEconnrefused = 10061,
  kWsaHostNotFound = 11001,
};

// Starts the socket library asking for version 1.1; false when it cannot start.
// Harmless when called again.
bool net_startup();
// Releases the socket library (once per successful start-up).
void net_cleanup();
// The last socket error of this thread as a Windows Sockets code (0: none).
int net_last_error();

// Parses a dotted IPv4 address the way the standard address parser does; false
// for text it rejects and for 255.255.255.255. The address is in network order.
bool ipv4_parse(const char* text, std::uint32_t* addr);
// Resolves a host name or dotted address to its first IPv4 address (network
// order); false when resolution fails (net_last_error tells why).
bool resolve_ipv4(const char* host, std::uint32_t* addr);
// Writes an address (network order) in dotted form; buf holds at least 16 bytes.
void ipv4_format(std::uint32_t addr, char* buf, std::size_t cap);

// A new IPv4 stream socket, or 0.
Sock tcp_socket();
// Closes the socket; 0, or the socket error code.
int close(Sock s);

// Plain blocking connect: 0, or the socket error code.
int connect(Sock s, std::uint32_t addr, std::uint16_t port);

// Where a timed connect stopped (the core names each step in its texts).
enum class ConnectStep {
  kDone,          // connected
  kEventCreate,   // no event object could be made
  kEventSelect,   // the event could not be bound to the socket
  kConnect,       // the connect failed at once (code)
  kWaitFailed,    // the wait itself failed (code)
  kWaitTimeout,   // nothing within the time
  kWaitOther,     // an unexpected wait result (code holds it)
  kEnumEvents,    // the events could not be read (code)
  kNotConnected,  // the event fired without the connect notification
  kEventError,    // the connect notification carries an error (code)
};
struct ConnectResult {
  ConnectStep step = ConnectStep::kDone;
  int code = 0;
};
// Connects waiting at most timeout_ms milliseconds; the socket is back in
// blocking mode afterwards whatever the outcome.
ConnectResult connect_timed(Sock s, std::uint32_t addr, std::uint16_t port, int timeout_ms);

// One send call: the bytes sent, or -1 (net_last_error tells why). Never raises
// a signal when the peer has gone.
long send(Sock s, const void* data, std::size_t len);
// One receive call: the bytes received, 0 when the peer closed, -1 on failure.
long recv(Sock s, void* buf, std::size_t cap);
// Waits until the socket can be read: 1 ready, 0 time-out, -1 failure. A
// negative timeout waits without bound.
int wait_readable(Sock s, int timeout_ms);

// The listening side. bind_any binds to every local IPv4 address (port 0 picks
// a free one); each returns 0 or the socket error code.
int bind_any(Sock s, std::uint16_t port);
int listen(Sock s, int backlog);
// Accepts one connection; fills the 16-byte IPv4 socket address record
// (family, port, address in network order as Windows lays it out) when given.
// 0 on failure.
Sock accept(Sock s, void* addr16);
// The peer's address (network order) and port (host order); false on failure.
bool peer_name(Sock s, std::uint32_t* addr, std::uint16_t* port);
// The local port (host order) a socket is bound to, or 0.
std::uint16_t local_port(Sock s);

}  // namespace plat
