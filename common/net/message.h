// The current message record phmsg (reached through p_msg of zrwork):
// appending request data, the growth of the record, and the masking of
// passwords in trace copies of request texts.
#pragma once

#include <cstddef>
#include <cstdint>

#include "runtime/areas.h"

// ---- request data ----------------------------------------------------------------

// Appends len bytes to the data of p_msg, ends the data with a NUL and returns the
// new mlng. The record moves to a larger heap block when mlng + len + 1024 would
// exceed its capacity. zwsock_phmsg_set is the same operation under its
// transport name.
ZR_API int zr0930_msg_set(const void* data, int len);
ZR_API int zwsock_phmsg_set(const void* data, int len);

// Headroom added to every enlarged message block, so that a sequence of large
// messages reuses one block.
constexpr std::int64_t kMsgGrowSlack = 1000000;
// The largest message block the process agrees to hold. A length from the
// network or a caller beyond it is refused instead of allocated.
constexpr std::int64_t kMsgBlockMax = 256LL * 1024 * 1024;

// Replaces p_msg by a heap block of block_bytes bytes (12 header bytes and
// block_bytes - 12 data bytes), keeping the header and the first keep_data data
// bytes; the old block is freed unless it is the built-in record. The new data
// capacity goes into p_msg_cap. Callers apply their own growth rule for the size
// (the append rule above, the receive rule of the transports). Returns false, and
// changes nothing, when block_bytes exceeds kMsgBlockMax or is not larger than
// the current record, or when the block cannot be allocated.
bool zr_msg_grow(std::int64_t block_bytes, std::int64_t keep_data);

// The parts of a received frame whose header is h: the lengths come from the
// network, so a frame shorter than its header, one whose parts cannot be held,
// or one reaching beyond body bytes (body < 0: no such limit) does not fit.
// When it fits, the record is grown to hold it and its text and binary
// lengths are returned in *text_len and *bin_len.
bool zr_msg_frame_fits(const PHMSG_HDR& h, std::int64_t body, std::int64_t* text_len,
                       std::int64_t* bin_len);

// Hides the password of a request that carries one (the connection check 85, the
// forced logoff 86, the logon 107 and the user check 118) in a copy made for the
// trace: the password's bytes become asterisks, everything else stays. buf holds
// len bytes of which the request text starts at text_off (0 for the bare request
// text, 32 for a tunnel body behind its text header). Other messages, and texts
// too short to hold the field, are left as they are. Works on the copy in place.
void zr_msg_mask_secret(int mid, char* buf, std::size_t len, std::size_t text_off);
