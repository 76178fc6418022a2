#!/usr/bin/env bash
# The fuzz target of the server side's client-hello walk
# (tests/fuzz/build-and-run.sh), for a bounded time.
#   tests/fuzz/tls/run.sh [SECONDS] [extra libFuzzer options...]   (default 60)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
seconds=${1:-60}
shift || true
FUZZ_OUT=${TLS_FUZZ_DIR:-$root/build/fuzz-tls} exec "$here/../build-and-run.sh" tls_hello 16389 \
  "$seconds" "$here/seeds" "$here/tls_hello_fuzz.cpp" "$root/common/net/tls_hello.cpp" -- "$@"
