#!/usr/bin/env bash
# The fuzz target of the CSV splitter and quoting, the address scanner and the
# attribute reader (tests/fuzz/build-and-run.sh), for a bounded time.
#   tests/fuzz/csv/run.sh [SECONDS] [extra libFuzzer options...]   (default 60)
exec "$(dirname "$0")/../build-and-run.sh" csv 4096 "${CSV_FUZZ_DIR:-}" \
  tests/fuzz/csv/csv_fuzz.cpp common/text/scan.cpp -- "$@"
