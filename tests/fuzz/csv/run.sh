#!/usr/bin/env bash
# The fuzz target of the CSV splitter and quoting, the address scanner and the
# attribute reader (tests/fuzz/build-and-run.sh), for a bounded time.
#   tests/fuzz/csv/run.sh [SECONDS] [extra libFuzzer options...]   (default 60)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
seconds=${1:-60}
shift || true
FUZZ_OUT=${CSV_FUZZ_DIR:-$root/build/fuzz-csv} exec "$here/../build-and-run.sh" csv 4096 \
  "$seconds" "$here/seeds" "$here/csv_fuzz.cpp" "$root/common/text/scan.cpp" -- "$@"
