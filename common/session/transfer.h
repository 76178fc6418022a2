// Whole files moved between the client and the server over the session, in
// pieces that fit one exchange each: uploads (message 1031) of 100,000 bytes,
// downloads (message 1032) of 2,000,000 bytes, each request naming the piece's
// offset, its length and the server-side file name.
#pragma once

#include "runtime/areas.h"

// Uploads the local file at path as name on the server. 0 when every piece was
// accepted; -1 when a piece failed (the pieces before it stay on the server);
// -2, with nothing sent, when the file holds a NUL byte: the tunnels carry the
// request text only up to its first NUL, so such a piece would arrive cut.
ZR_API int zr0930_copy_c2s(const char* path, const char* name);
// Downloads size bytes of the server's file name into the local file at path.
// The pieces go to a new file beside it, which replaces the local file only
// when every piece arrived in full: 0; otherwise -1 and the local file is as it
// was.
ZR_API int zr0930_copy_s2c(int size, const char* name, const char* path);

namespace zr_session {
// Piece sizes of the two directions.
constexpr long kUploadPiece = 100000;
constexpr long kDownloadPiece = 2000000;
}  // namespace zr_session
