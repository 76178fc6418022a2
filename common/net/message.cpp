// The current message record: appending request data, the growth of the record,
// and the masking of passwords in traced request texts. The transports fill
// and read the record; the session composes requests in it.
#include "net/message.h"

#include <cstdlib>
#include <cstring>

#include "runtime/zrcommon.h"

bool zr_msg_grow(std::int64_t block_bytes, std::int64_t keep_data) {
  const std::int64_t cur_block = static_cast<std::int64_t>(zrwork->p_msg_cap) + kMsgHeaderSize;
  if (block_bytes > kMsgBlockMax || block_bytes <= cur_block) return false;
  if (keep_data < 0) keep_data = 0;
  if (keep_data > zrwork->p_msg_cap) keep_data = zrwork->p_msg_cap;
  // The plain heap, not the tracked allocator: the block belongs to zrwork and is
  // freed with it.
  auto* block = static_cast<PHMSG*>(std::malloc(static_cast<std::size_t>(block_bytes)));
  if (!block) return false;
  PHMSG* old = zrwork->p_msg;
  std::memcpy(block, old, static_cast<std::size_t>(kMsgHeaderSize + keep_data));
  if (!zr_msg_builtin(old)) std::free(old);
  zrwork->p_msg = block;
  zrwork->p_msg_cap = static_cast<std::int32_t>(block_bytes - kMsgHeaderSize);
  return true;
}

int zr0930_msg_set(const void* data, int len) {
  if (len < 0) len = 0;
  const std::int64_t mlng = zrwork->mlng;
  const std::int64_t need = mlng + len + 1024;
  if (need > zrwork->p_msg_cap) {
    const std::int64_t block = need + kMsgGrowSlack;
    if (!zr_msg_grow(block, mlng)) {
      // The request cannot be held: sending a cut request would be worse.
      zr::copy(zrwork->rtn_nm, "zr0930_msg_set");
      char comment[128];
      ZR_FMT(comment, "zr0930_msg_set mlng:%d len:%d", zrwork->mlng, len);
      _err_mes(951, comment);
      zr_exit();
    }
  }
  char* dst = zrwork->p_msg->data;
  if (len) std::memmove(dst + mlng, data, static_cast<std::size_t>(len));
  zrwork->mlng = static_cast<std::int32_t>(mlng + len);
  dst[zrwork->mlng] = '\0';
  return zrwork->mlng;
}

int zwsock_phmsg_set(const void* data, int len) { return zr0930_msg_set(data, len); }

void zr_msg_mask_secret(int mid, char* buf, std::size_t len, std::size_t text_off) {
  std::size_t field;  // offset of the 8-byte password field in the request text
  switch (mid) {
    case 86:
    case 118:
      field = 0;
      break;
    case 85:
    case 107:
      field = 2;
      break;
    default:
      return;
  }
  constexpr std::size_t kWidth = 8;
  const std::size_t start = text_off + field;
  if (!buf || start >= len) return;
  std::size_t avail = len - start;
  std::size_t width = avail < kWidth ? avail : kWidth;
  // The password is left-justified and blank-padded; a password that itself ends
  // in blanks is still covered as far as the user's password reaches.
  std::size_t n = width;
  while (n > 0 && (buf[start + n - 1] == ' ' || buf[start + n - 1] == '\0')) --n;
  if (zr01) {
    std::size_t own = ::strnlen(zr01->user_pass, sizeof zr01->user_pass);
    if (own > n) n = own < width ? own : width;
  }
  for (std::size_t i = 0; i < n; ++i) buf[start + i] = '*';
}

bool zr_msg_frame_fits(const PHMSG_HDR& h, std::int64_t body, std::int64_t* text_len,
                       std::int64_t* bin_len) {
  *text_len = static_cast<std::int64_t>(h.lng) - kMsgHeaderSize;
  *bin_len = h.sts > 0 ? h.sts : 0;
  const std::int64_t frame = static_cast<std::int64_t>(h.lng) + *bin_len;
  if (*text_len < 0 || frame + kMsgGrowSlack > kMsgBlockMax) return false;
  if (body >= 0 && frame > body) return false;
  return frame + 1 <= static_cast<std::int64_t>(zrwork->p_msg_cap) + kMsgHeaderSize ||
         zr_msg_grow(frame + kMsgGrowSlack, 0);
}
