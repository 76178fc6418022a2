#!/usr/bin/env bash
# Builds the fuzz target of the answer-header readers (status, Content-Length,
# challenges) with clang (libFuzzer + ASan + UBSan) and runs it for a bounded
# time over a working copy of the seeds.
#   tests/fuzz/http/run.sh [SECONDS] [extra libFuzzer options...]   (default 60)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
seconds=${1:-60}
shift || true
out=${HTTP_FUZZ_DIR:-$root/build/fuzz-http}
mkdir -p "$out/corpus"

# The shared build lock: one build at a time on these machines.
flock /tmp/qrt-build.lock clang++ -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined \
  -fno-sanitize-recover=undefined -I"$root/common" \
  "$here/http_header_fuzz.cpp" "$root/common/net/header_parse.cpp" -o "$out/http_header_fuzz"

cp -n "$here"/seeds/* "$out/corpus/" 2>/dev/null || true
"$out/http_header_fuzz" -max_total_time="$seconds" -max_len=8192 -timeout=20 -print_final_stats=1 \
  "$@" "$out/corpus"
