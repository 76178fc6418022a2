// The current message record phmsg (reached through p_msg of zrwork): appending
// request data, the growth of the record, the message names, and the exchange of
// one request and its answer (through msg_fn, or framed over a direct connection).
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

// Hides the password of a request that carries one (the connection check 85, the
// forced logoff 86, the logon 107 and the user check 118) in a copy made for the
// trace: the password's bytes become asterisks, everything else stays. buf holds
// len bytes of which the request text starts at text_off (0 for the bare request
// text, 32 for a tunnel body behind its text header). Other messages, and texts
// too short to hold the field, are left as they are. Works on the copy in place.
void zr_msg_mask_secret(int mid, char* buf, std::size_t len, std::size_t text_off);

// ---- message names ------------------------------------------------------------------

// The name of a message ID ("*** Unknown MID ***" for an ID not in the table).
ZR_API const char* _midinf_nm(int mid);
// 1 when the ID is in the message-name table, 0 when not.
ZR_API int _midinf_chk(int mid);

// ---- exchange -----------------------------------------------------------------------

// Fills the header of p_msg from kd00, mid and mlng and runs one exchange. 0 when
// an answer arrived (it is in p_msg with its own sts), -1 when the exchange failed.
ZR_API int zr0930_msg_request(int kd00, int mid);
// As zr0930_msg_request, for short cacheable requests (at most 500 data bytes);
// an answer saying that the server process still runs ends the process.
ZR_API int zr0930_msg_request2(int kd00, int mid);
// One exchange over its own direct framed connection to the monitor host: 0 when
// an answer arrived, -1 when reading it failed, 1 when no connection was opened.
ZR_API int zr0930_msg_monitor(int port, int mid, int host_choice);
// Polls the server process started by the last request (message 204) until it
// reports its end. 0 when it finished, 8 when cancelled, -1 when the server
// reported a failure (its text has been shown).
ZR_API int zr0930_krkr_proc(int show, int interval_ms);

// The pause used between polls and after a background logon. Tests replace it to
// record the pauses instead of waiting; returns the previous one.
typedef void (*ZR_SLEEP_FN)(std::uint32_t ms);
ZR_SLEEP_FN zr_session_sleep_handler(ZR_SLEEP_FN fn);
void zr_session_sleep(std::uint32_t ms);
