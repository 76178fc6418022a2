#!/usr/bin/env bash
# The fuzz target of the proxy detection's parsers (tests/fuzz/build-and-run.sh),
# for a bounded time.
#   tests/fuzz/proxy/run.sh [SECONDS] [extra libFuzzer options...]   (default 60)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
seconds=${1:-60}
shift || true
FUZZ_OUT=${PROXY_FUZZ_DIR:-$root/build/fuzz-proxy} exec "$here/../build-and-run.sh" proxy 8192 \
  "$seconds" "$here/seeds" "$here/proxy_fuzz.cpp" "$root/common/net/proxy_parse.cpp" -- "$@"
