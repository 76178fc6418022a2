// The LHA codec's entry points: one-member LHA (.LZH) archives with the -lh6-
// method, from file to file and in a caller's buffer.
#pragma once

#include "runtime/areas.h"

// Mode 0 compresses the file in_path into a one-member archive written to
// out_path; mode 1 expands the archive in_path into out_path. Returns the number
// of bytes written, or -1 (input cannot be opened), -2 (not an archive of a
// supported method), -3 (CRC of the expanded data wrong), -4 (header checksum
// wrong), -6 (output cannot be written).
ZR_API int _lha(int mode, const char* in_path, const char* out_path);

// The same in memory: buf holds len input bytes and has room for cap bytes. On
// success it holds the result and its length is returned; -1 when the result
// does not fit (buf unchanged), or the codes of _lha (buf unchanged).
ZR_API int _lha_mem(int mode, char* buf, int len, int cap);
