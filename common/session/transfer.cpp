// File transfer over the session (see transfer.h).
#include "session/transfer.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/platform.h"
#include "runtime/zrcommon.h"
#include "session/answer.h"
#include "session/envelope.h"

namespace {

constexpr int kMidUpload = 1031;
constexpr int kMidDownload = 1032;
// Server-side names are given with a 3-digit length.
constexpr std::size_t kNameMax = 999;

// The piece header "%010d%010d%03d%s": offset, length, name length, name.
std::string piece_header(long offset, long length, const char* name) {
  char head[24];
  ZR_FMT(head, "%010ld%010ld%03d", offset, length, static_cast<int>(std::strlen(name)));
  return std::string(head) + name;
}

bool name_ok(const char* name, const char* who) {
  if (name && std::strlen(name) <= kNameMax) return true;
  _dbg_print("%s: the server file name is longer than %u bytes", who, unsigned(kNameMax));
  return false;
}

// One exchange of the piece request already in p_msg; false when it failed or
// the server refused it.
bool exchange(int mid) { return zr0930_msg_request(0, mid) == 0 && zrwork->p_msg->hdr.sts >= 0; }

// Whether the stream holds a NUL byte from its current position on; the
// position is put back at the start.
bool holds_nul(std::FILE* fp, char* buf, std::size_t cap, long* at) {
  long pos = 0;
  std::size_t n = 0;
  bool found = false;
  while (!found && (n = _fread(buf, 1, cap, fp)) > 0) {
    if (const void* z = std::memchr(buf, '\0', n)) {
      *at = pos + static_cast<long>(static_cast<const char*>(z) - buf);
      found = true;
    }
    pos += static_cast<long>(n);
  }
  _fseek(fp, 0, SEEK_SET);
  return found;
}

}  // namespace

int zr0930_copy_c2s(const char* path, const char* name) {
  zr::copy(zrwork->rtn_nm, "zr0930_copy_c2s");
  if (!name_ok(name, "copy_c2s")) return -1;
  std::FILE* fp = _fopen(path, "rb");
  _fseek(fp, 0, SEEK_END);
  const long length = _ftell(fp);
  _fseek(fp, 0, SEEK_SET);

  const long piece = zr_session::kUploadPiece;
  char* buf = static_cast<char*>(_malloc(static_cast<std::int32_t>(piece)));
  long nul_at = 0;
  int rc = 0;
  if (holds_nul(fp, buf, static_cast<std::size_t>(piece), &nul_at)) {
    _dbg_print("copy_c2s %.260s: a NUL byte at offset %ld cannot be sent; nothing sent", path,
               nul_at);
    rc = -2;
  }
  for (long offset = 0; rc == 0 && offset < length; offset += piece) {
    const long n = length - offset < piece ? length - offset : piece;
    if (_fread(buf, 1, static_cast<std::size_t>(n), fp) != static_cast<std::size_t>(n)) {
      _dbg_print("copy_c2s %.260s: the file ended before offset %ld", path, offset + n);
      rc = -1;
      break;
    }
    const std::string head = piece_header(offset, n, name);
    zrwork->mlng = 0;
    zr0930_msg_set(head.data(), static_cast<int>(head.size()));
    zr0930_msg_set(buf, static_cast<int>(n));
    if (!exchange(kMidUpload)) rc = -1;
  }
  _free(buf);
  _fclose(fp);
  return rc;
}

int zr0930_copy_s2c(int size, const char* name, const char* path) {
  zr::copy(zrwork->rtn_nm, "zr0930_copy_s2c");
  if (size < 0 || !name_ok(name, "copy_s2c")) return -1;
  // The pieces go to a new file of a name of its own beside the target; the
  // target is replaced only by a complete download.
  std::string tmp;
  if (!plat::write_temp_beside(path, "", 0, false, &tmp)) {
    _dbg_print("copy_s2c cannot create a file beside %.260s", path);
    return -1;
  }
  std::FILE* fp = _fopen(tmp.c_str(), "wb");
  const long piece = zr_session::kDownloadPiece;
  bool ok = true;
  for (long offset = 0; ok && offset < size; offset += piece) {
    const long n = size - offset < piece ? size - offset : piece;
    const std::string head = piece_header(offset, n, name);
    zrwork->mlng = 0;
    zr0930_msg_set(head.data(), static_cast<int>(head.size()));
    if (!exchange(kMidDownload)) {
      ok = false;
    } else if (zr_session::answer_bytes() != static_cast<std::size_t>(n)) {
      _dbg_print("copy_s2c %.260s: %ld bytes asked at offset %ld, %ld arrived", path, n, offset,
                 static_cast<long>(zr_session::answer_bytes()));
      ok = false;
    } else {
      _fwrite(zrwork->p_msg->data, 1, static_cast<std::size_t>(n), fp);
    }
  }
  if (ok && !plat::commit_stream(fp)) {
    _dbg_print("copy_s2c %.260s: the file could not be flushed", path);
    ok = false;
  }
  _fclose(fp);
  if (!ok) {
    plat::remove_file(tmp.c_str());
    return -1;
  }
  return zr_replace_with(tmp.c_str(), path);
}
