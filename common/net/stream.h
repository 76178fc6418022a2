// The byte stream one exchange talks over, and the named results of the
// exchange's steps. The plain tunnel's stream is a socket; the secured one is a
// TLS session on a socket. The exchange engine (exchange.cpp) does all HTTP work
// over this surface and never touches a socket or a record itself.
#pragma once

#include <cstddef>
#include <memory>

namespace zrnet {

// The outcome of one attempt of an exchange (and of each of its steps). The
// values are the integer results the exchange functions report at their
// boundary.
enum class Attempt {
  kOk = 0,
  kFailed = -1,           // a socket, TLS or HTTP failure
  kDropped = -2,          // the connection was closed, reset or timed out
  kNeedCredentials = -3,  // the proxy asks for credentials that are missing or wrong
  kSystemAuthDone = -5,   // the system HTTP client authenticated; re-send the first request
  kBusy = -9,             // the server stayed busy
};
constexpr int code(Attempt a) { return static_cast<int>(a); }

// What answering an authentication challenge came to.
enum class Challenge {
  kAnswered,  // the authorization line is made (and the request rebuilt with it)
  kCannot,    // no line can be made: no credentials, or a scheme this build cannot hold
  kNoScheme,  // the answer offers no scheme at all
};

// What one receive brought: data, a closed connection (a time-out counts as
// closed) or a failure.
enum class Got { kData, kClosed, kFailed };

class Stream {
 public:
  virtual ~Stream() = default;
  // Sends all len bytes. A failure is traced by the stream and reported as
  // kFailed, or as kDropped when the peer reset the connection.
  virtual Attempt send(const char* data, std::size_t len) = 0;
  // One receive of at most cap bytes (cap >= 1), first waiting at most wait_ms
  // for data (negative: without bound). *n is the count received, *ecd the
  // socket error code.
  virtual Got recv(char* buf, int cap, long* n, int* ecd, int wait_ms) = 0;
  // Whether a receive that brought no data (g, ecd) means the connection was
  // dropped (closed, timed out or reset) rather than failed.
  virtual bool dropped(Got g, int ecd) const = 0;
  // Ends the connection (and the TLS session of a secured one); the hsock slot
  // is cleared. Harmless when called again.
  virtual void close() = 0;
};

// The plain stream over a connected socket; it takes the socket over, closes
// it, and clears the hsock slot of zrwork when the slot holds it.
std::unique_ptr<Stream> plain_stream(int hsock);
// Takes the socket back from a plain stream, which then no longer closes it
// (0 for any other stream).
int release_socket(Stream& s);
// The secured stream over the connection zwsock_open_ssl left in the hsock
// slot and this thread's TLS session.
std::unique_ptr<Stream> tls_stream();

// One receive on a socket, first waiting at most wait_ms for data (negative:
// without bound). A time-out is traced and counts as closed.
Got recv_socket(int hsock, char* buf, int cap, long* n, int* ecd, int wait_ms);

// Reads an answer header byte by byte into hdr (at most max bytes, then a NUL)
// with the answer's time-out rule, until its empty line, which is cut off.
// *ended tells whether the empty line came; *n is the length read, *got and
// *ecd tell about the receive that stopped.
Got recv_header(Stream& s, char* hdr, int max, int* n, long* got, int* ecd, bool* ended);

// Receives exactly len bytes in receives of at most piece bytes, each waiting
// first at most wait_ms. *px tells how far it got, *ecd the error of the
// receive that stopped.
Got recv_exact(Stream& s, char* buf, long len, long piece, int wait_ms, long* px, int* ecd);

}  // namespace zrnet
