#!/usr/bin/env bash
# The fuzz target of the server side's client-hello walk (tests/fuzz/build-and-
# run.sh), for a bounded time.
#   tests/fuzz/tls/run.sh [SECONDS] [extra libFuzzer options...]   (default 60)
exec "$(dirname "$0")/../build-and-run.sh" tls_hello 16389 "${TLS_FUZZ_DIR:-}" \
  tests/fuzz/tls/tls_hello_fuzz.cpp common/net/tls_hello.cpp -- "$@"
