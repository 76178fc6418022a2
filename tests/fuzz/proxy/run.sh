#!/usr/bin/env bash
# The fuzz target of the proxy detection's parsers (tests/fuzz/build-and-
# run.sh), for a bounded time.
#   tests/fuzz/proxy/run.sh [SECONDS] [extra libFuzzer options...]   (default 60)
exec "$(dirname "$0")/../build-and-run.sh" proxy 8192 "${PROXY_FUZZ_DIR:-}" \
  tests/fuzz/proxy/proxy_fuzz.cpp common/net/proxy_parse.cpp -- "$@"
