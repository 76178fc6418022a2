// The checker's schedule: when the day's check is due, the scheduler loop that
// runs it, the watcher that follows the control block "QRT100" shared with the
// launcher, and the process-wide state the threads hand to each other. Time and
// pauses come through replaceable functions so that the native tests run the
// loops with a clock they set.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/platform.h"

namespace checker {

// ---- clock and pauses ---------------------------------------------------------------

using NowFn = plat::LocalTime (*)();
using SleepFn = void (*)(std::uint32_t ms);
// Replace the clock and the pause (null restores the system's); return the previous.
NowFn clock_set(NowFn fn);
SleepFn sleep_set(SleepFn fn);
plat::LocalTime now();
void sleep(std::uint32_t ms);
// Seconds of a local time counted from 1970-01-01 (a running count for intervals).
std::int64_t seconds_of(const plat::LocalTime& t);
// "HH:MM:SS" and "MM/DD/YY" of a local time (9 bytes each).
void time_text(const plat::LocalTime& t, char (&out)[9]);
void date_text(const plat::LocalTime& t, char (&out)[9]);
// Today's number year * 10000 + month * 100 + day, built from the two-digit year
// of the date text as 20YY.
std::int32_t day_number(const plat::LocalTime& t);

// ---- the steps of a check --------------------------------------------------------------

struct CycleSteps {
  int (*logon_newest)();  // 0 when logged on and the newest date is known
  void (*main_proc)();
  void (*logoff)();
};
// Replace the steps of a check (tests); returns the previous ones.
CycleSteps cycle_set(const CycleSteps& steps);

// ---- process-wide state ----------------------------------------------------------------

struct State {
  std::atomic<std::uint8_t> stop{0};       // ends both worker threads
  std::atomic<std::uint8_t> menu_open{0};  // the launcher's SDI menu is open (cfg_chg 1)
  std::int64_t last_shown = 0;             // seconds when an automatic pop-up last closed
  // The control block "QRT100": its handle, its view, and the two command bytes.
  void* ctrl_handle = nullptr;
  std::uint8_t* ctrl = nullptr;
  void* scheduler_thread = nullptr;
  void* watcher_thread = nullptr;
};
State& state();

constexpr int kCtrlSize = 30;
constexpr int kRunSts = 0;  // byte of the checker state: 0 starting, 1 running, 9 stop
constexpr int kCfgChg = 2;  // byte of the launcher's command: 1 menu open, 2 settings changed

// ---- decisions -----------------------------------------------------------------------------

// Whether a pass of the scheduler runs the check: not while the dialog or the
// launcher's menu is open, not twice a day, and on a day whose check has run
// (or right after start) only from check_time on.
bool check_due(const char* now_hms, std::int32_t today, std::int32_t last_check_day,
               const char* check_time, bool dialog_open, bool menu_open);
// The day a successful check marks as done: today from check_time on, else a
// value other than today's (today - 1), so that the check at check_time still
// runs the same day.
std::int32_t checked_day(const char* now_hms, std::int32_t today, const char* check_time);

// ---- loops ------------------------------------------------------------------------------------

// One pass of the scheduler after its wait: evaluates the schedule and runs the
// check when it is due. True when a check ran.
bool scheduler_pass();
// The scheduler thread's whole life: banner, transport, counters, passes until
// the stop flag, closing banner.
void scheduler_run();
// One look of the watcher at the control block. True when the launcher asked the
// checker to stop (run_sts 9).
bool watcher_poll();
// The watcher thread: polls every 500 ms until a stop; then sets the stop flag
// and marks a running check (checker_status 9). The caller ends the process.
void watcher_run();

}  // namespace checker
