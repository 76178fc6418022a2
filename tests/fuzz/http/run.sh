#!/usr/bin/env bash
# The fuzz target of the answer-header readers (status, Content-Length,
# challenges) (tests/fuzz/build-and-run.sh), for a bounded time.
#   tests/fuzz/http/run.sh [SECONDS] [extra libFuzzer options...]   (default 60)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
seconds=${1:-60}
shift || true
FUZZ_OUT=${HTTP_FUZZ_DIR:-$root/build/fuzz-http} exec "$here/../build-and-run.sh" http_header 8192 \
  "$seconds" "$here/seeds" "$here/http_header_fuzz.cpp" "$root/common/net/header_parse.cpp" -- "$@"
