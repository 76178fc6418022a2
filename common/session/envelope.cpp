// The session's pauses between polls and after a background logon.
#include "session/envelope.h"

#include <cstdlib>
#include <cstring>

#include "platform/platform.h"
#include "runtime/zrcommon.h"

// ---- pauses ---------------------------------------------------------------------------

namespace {

void real_sleep(std::uint32_t ms) { plat::sleep_ms(ms); }
ZR_SLEEP_FN g_sleep = real_sleep;

}  // namespace

ZR_SLEEP_FN zr_session_sleep_handler(ZR_SLEEP_FN fn) {
  ZR_SLEEP_FN previous = g_sleep;
  g_sleep = fn ? fn : real_sleep;
  return previous;
}

void zr_session_sleep(std::uint32_t ms) { g_sleep(ms); }
