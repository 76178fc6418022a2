// The socket layer: connections by host name or dotted address, the framed read
// and write primitives that move one message frame (12-byte header and data),
// and the listening side. Sockets are passed as nonzero 32-bit numbers.
#pragma once

#include <cstdint>

#include "runtime/areas.h"

// The largest frame the framed primitives accept (header included).
constexpr int kFrameMax = 0x4000;

// Starts the socket library (version 1.1); installs the default framed read and
// write functions. 0; when the library cannot start, the process ends.
ZR_API int zwsock_initial();
// Opens a TCP connection to host (name or dotted IPv4 address) at port: the
// connected socket, or 0 with the detail in mes_buf.
ZR_API int zwsock_open(unsigned short port, const char* host);
ZR_API int zwsock_close(int hsock);
ZR_API int zwsock_disconnect(int hsock);

// Reads one frame into pbuf (at least 16384 bytes): lng, or 0 on failure.
ZR_API int zwsock_read(int hsock, char* pbuf, int size);
// As zwsock_read, each receive waiting at most 60 seconds; -1 on a parameter error.
ZR_API int zwsock_read2(int hsock, char* pbuf, int size);
// As zwsock_read; every failure ends the process after a message box.
ZR_API int zwsock_read_cli(int hsock, char* pbuf, int size);
// Reads exactly size bytes without framing: size, or -1.
ZR_API int zwsock_read_ext(int hsock, char* pbuf, int size);
// Sends len bytes in one call: 1 when all were sent, 0 otherwise.
ZR_API int zwsock_write(int hsock, const char* pbuf, int len);
// As zwsock_write; a failed send ends the process after a message box.
ZR_API int zwsock_write_cli(int hsock, const char* pbuf, int len);

// A listening socket at port (backlog 50); any failure ends the process.
ZR_API int zwsock_create(unsigned short port);
// Accepts one connection, filling the 16-byte IPv4 address record; a failure
// ends the process.
ZR_API int zwsock_connect(int hsock, void* addr);
// Writes the peer of a socket as "%s:%d" (dotted address, port) into buf (>= 22).
ZR_API void zwsock_get_ipaddr(int hsock, char* buf);
ZR_API void zwsock_finish();
ZR_API int zwsock_msg_set();

namespace zrnet {

// The address-literal rewrite: a text made only of digits and dots is read as up
// to four decimal numbers (missing ones 0) and written back as "%d.%d.%d.%d".
// Returns false (out untouched) for any other text.
bool rewrite_address_literal(const char* host, char* out, std::size_t cap);

}  // namespace zrnet
