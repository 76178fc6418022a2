#!/usr/bin/env bash
# The fuzz target of the answer-header readers (status, Content-Length,
# challenges) (tests/fuzz/build-and-run.sh), for a bounded time.
#   tests/fuzz/http/run.sh [SECONDS] [extra libFuzzer options...]   (default 60)
exec "$(dirname "$0")/../build-and-run.sh" http_header 8192 "${HTTP_FUZZ_DIR:-}" \
  tests/fuzz/http/http_header_fuzz.cpp common/net/header_parse.cpp -- "$@"
