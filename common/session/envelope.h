// The exchange of one request and its answer (through msg_fn, or framed over a
// direct connection), and the session's pauses. The message record itself is
// net/message.h, the message names naming/code_tables.h.
#pragma once

#include <cstddef>
#include <cstdint>

#include "naming/code_tables.h"
#include "net/message.h"
#include "runtime/areas.h"

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
