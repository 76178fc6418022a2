// The transports that carry one message exchange, and their start and finish.
#pragma once

#include "runtime/areas.h"

// Starts Windows Sockets (version 1.1); harmless when called again.
ZR_API int zwsock_initial();
// Loads the system's security interface once per process; 0 when loaded.
ZR_API int zwsockh_auth_initial();
ZR_API void zwsockh_auth_finish();
// The operating system's HTTP client: opens its session and connection (0),
// closes the request of an exchange in progress, closes the session.
ZR_API int zrhttp_initial();
ZR_API void zrhttp_close();
ZR_API void zrhttp_finish();

// One complete exchange of the current message: plain HTTP, HTTP over TLS, or
// through the operating system's HTTP client.
ZR_API int zwsock_phmsg();
ZR_API int zwsock_phmsg_ssl();
ZR_API int zrhttp_phmsg();
// One exchange of a dummy message (211) through the operating system's HTTP
// client, so that the system can authenticate with the proxy.
ZR_API int zrhttp_phmsg_ntlm();

#include "net/socket.h"
#include "net/tunnel.h"
