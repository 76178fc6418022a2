// The server information record (message 112), the update information (message
// 113) and the server's message for the user (message 55). The values are kept in
// the areas (zr00, zr01 and the svr_inf record of zr01) for the library's users;
// of the server information only the receive time-out changes what the programs
// do (recv_timeout of zr00, the bound of every tunnel receive).
#pragma once

#include <cstddef>
#include <cstdint>

#include "runtime/areas.h"
#include "session/answer.h"

// The four ways to fetch the server information. They differ in the kind code
// sent (zr0930_: 0, tm0930_: kd_1), in how they send (_net: the header set by
// hand and msg_fn directly; _thr: zr0930_msg_request) and in the record read.
// An answer that did not arrive in full leaves the kept values as they were.
ZR_API int zr0930_svr_inf_net();  // 0 always
ZR_API int tm0930_svr_inf_net();  // 0 always
// 0, or -1 when the server refused the request (sts -1). A record that does not
// end in its check value ends the process (fatal message 990).
ZR_API int zr0930_svr_inf_thr();
// 0. A record that does not end in its check value ends the process (990); a
// heap block that cannot be taken ends it too (930).
ZR_API int tm0930_svr_inf_thr();

// Update information: 0, or -1 when the exchange failed or the server refused.
ZR_API int zr0930_update_info();
// The server's message for the user into out (room for at least 2000 bytes),
// NUL-terminated: its length (at most 1999; 0 when none arrived).
ZR_API int zr0930_emc_info(char* out);

namespace zr_session {

// Sizes of the records each fetch reads.
constexpr int kSvrInfTmNetSize = 1935;
constexpr int kSvrInfZrNetSize = 1961;
constexpr int kSvrInfZrThrSize = 2466;
constexpr int kSvrInfTmThrSize = 2437;
constexpr int kSvrInfThrBlkSize = 506;
constexpr int kUpdateInfoSize = 9658;
constexpr std::int32_t kSvrInfEndMark = 12345;

}  // namespace zr_session
