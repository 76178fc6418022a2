// The transports that are not part of this build yet (the proxy-authentication
// conversation of the system security interface).
#include "net/transport.h"

void zwsockh_auth_finish() {}
