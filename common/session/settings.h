// The connection settings files below the install folder's USER folder:
// ZORAX.INI (server hosts, object name, transport options, proxy, retries),
// PROXY.FIL (proxy user and password) and UID_QRT.FIL (service user ID and
// password), both Base64-encoded. The readers fill zrconn, zr00 and zr01.
#pragma once

#include <cstddef>

#include "runtime/areas.h"

// Reads USER\ZORAX.INI. 0 when read; 1 when the file does not exist (the user
// has been told). Rewrites the file at once when it has no NO_SSL line.
ZR_API int zrnet_ini_read();
// Writes USER\ZORAX.INI from the fields as a whole (replacing the previous file
// only after a complete write). 0; a failed write ends the process.
ZR_API int zrnet_ini_write();
// Whether the PROXY line of host and port fits a line of ZORAX.INI (79
// bytes): a longer one could not be read back, so it is never written.
bool zrnet_proxy_line_fits(const char* host, int port);
// Reads USER\PROXY.FIL into the proxy user name and password. 0 always.
ZR_API int proxy_fil_read();
// Writes USER\PROXY.FIL: the Base64 text of user, ":" and password (no line
// end), readable by its owner only, also left in encoded (cap bytes). An empty
// user deletes the file and empties encoded. -1, with nothing written, when
// the encoded text would be longer than the file may be (127 characters);
// else 0.
ZR_API int proxy_fil_write(const char* user, const char* pass, char* encoded, std::size_t cap);
// Reads USER\UID_QRT.FIL into user_id and user_pass (empty when there is none).
ZR_API void uid_fil_read();
// Writes USER\UID_QRT.FIL from an ID and a password of up to 8 bytes each.
ZR_API void uid_fil_write(const char* user_id, const char* user_pass);
