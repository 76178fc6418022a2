#!/usr/bin/env bash
# The idle SDI checker under Wine: qrt100.exe (win64 build) with the account
# DEMO01 against the reference server's demo world does its first check, its
# new-arrivals dialog is closed, and then it is left alone for SECONDS (default
# 600). Measured over that stretch from /proc: the CPU time of the checker's
# process (all its threads) and of the Wine server, and the wake-ups (context
# switches of the checker's threads) per second, next to what its timers make:
# the tray window's 10-second timer (0.1/s), the watcher's 500 ms poll (2/s)
# and the scheduler's 100 ms waits (10/s) — 12.1 wake-ups a second.
#   bench/idle/run.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$(pwd)
seconds=${1:-600}

"$root/scripts/setup" >/dev/null
[ -f build/native/CMakeCache.txt ] || cmake --preset native >/dev/null
flock /tmp/qrt-build.lock cmake --build build/native -j2 --target refserver >/dev/null
[ -f build/win64/CMakeCache.txt ] || cmake --preset win64 >/dev/null
flock /tmp/qrt-build.lock cmake --build build/win64 -j2 --target qrt100 uidriver >/dev/null

# shellcheck source=scripts/e2e/lib.sh
source "$root/scripts/e2e/lib.sh"
E2E_PREFIX_NAME=wineprefix-bench
e2e_init idle "$root/build/win64" "$root/build/win64/tools/uidriver/uidriver.exe"
e2e_start_server "$root/build/native/tools/refserver/refserver" "$root/tests/fixtures/demo.scenario"

dir=$(e2e_quiet_checker_install "$root/build/win64/checker/qrt100.exe" "$E2E_SERVER_PORT")

e2e_start "$dir" "$dir/QRT100.EXE"
e2e_wait_run_sts 1 60 || e2e_fail "the checker did not start"
e2e_wait_file "$dir/DLV/LAST_PD.FIL" 90 || e2e_fail "no first check"
if e2e_ui wait 新着情報 30 >/dev/null 2>&1; then
  e2e_ui click 新着情報 閉じる >/dev/null || e2e_fail "cannot close the new-arrivals dialog"
fi
sleep 5

pid=$(pgrep -f 'QRT100.EXE' | head -1)
server=$(pgrep -f "wineserver" | head -1)
[ -n "$pid" ] || e2e_fail "no checker process"
ticks=$(getconf CLK_TCK)
cpu() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
switches() {
  local total=0 t v n
  for t in /proc/"$1"/task/*/status; do
    v=$(awk '/^voluntary_ctxt_switches/ { print $2 }' "$t" 2>/dev/null || echo 0)
    n=$(awk '/^nonvoluntary_ctxt_switches/ { print $2 }' "$t" 2>/dev/null || echo 0)
    total=$((total + v + n))
  done
  echo "$total"
}
threads() { ls "/proc/$1/task" | wc -l; }
c0=$(cpu "$pid") s0=$(switches "$pid") w0=$(cpu "$server") t0=$(date +%s.%N)
e2e_log "measuring the idle checker (pid $pid, $(threads "$pid") threads) for $seconds s"
sleep "$seconds"
c1=$(cpu "$pid") s1=$(switches "$pid") w1=$(cpu "$server") t1=$(date +%s.%N)
kill -0 "$pid" 2>/dev/null || e2e_fail "the checker ended during the measurement"

awk -v c="$((c1 - c0))" -v w="$((w1 - w0))" -v s="$((s1 - s0))" -v t0="$t0" -v t1="$t1" \
  -v hz="$ticks" -v n="$(threads "$pid")" 'BEGIN {
    d = t1 - t0
    printf "idle checker over %.0f s (%d threads)\n", d, n
    printf "  CPU time: checker %.2f s (%.3f %%), wineserver %.2f s (%.3f %%)\n",
      c / hz, 100 * c / hz / d, w / hz, 100 * w / hz / d
    printf "  wake-ups: %.1f per second (timers: 12.1 per second)\n", s / d
  }' | tee "$E2E_ARTIFACTS/idle.txt"
e2e_ui shm QRT100 0 9 >/dev/null || true
e2e_wait_exit "$E2E_PID" 30 || true
