#!/usr/bin/env bash
# The long run: CHECKS whole checks in a row (default 1000) through the
# checker's native engine against the reference server, each with its SDI run
# and stored result; prints the time a check took and the tracked-memory blocks
# and open files after the first check and after the last (they must be equal).
# Runs in the native test build (sanitizers on, so leaks and misuse also show).
#   bench/longrun/run.sh [CHECKS]
set -euo pipefail
cd "$(dirname "$0")/../.."
checks=${1:-1000}
[ -f build/native/CMakeCache.txt ] || cmake --preset native >/dev/null
flock /tmp/qrt-build.lock cmake --build build/native -j2 --target integration_tests refserver >/dev/null
QRT_LONGRUN_CHECKS=$checks build/native/tests/integration/integration_tests \
  --gtest_also_run_disabled_tests \
  --gtest_filter='SdiCycleRefServerTest.DISABLED_ThousandChecksLeaveMemoryAndFilesAsTheyWere' |
  grep -aE '^longrun:|\[  (PASSED|FAILED)  \]|Failure|Expected|Which is'
