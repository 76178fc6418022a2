#!/usr/bin/env bash
# Builds the fuzz target of the server side's client-hello walk with clang
# (libFuzzer + ASan + UBSan) and runs it for a bounded time over a working copy
# of the seeds.
#   tests/fuzz/tls/run.sh [SECONDS] [extra libFuzzer options...]   (default 60)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
seconds=${1:-60}
shift || true
out=${TLS_FUZZ_DIR:-$root/build/fuzz-tls}
mkdir -p "$out/corpus"

# The shared build lock: one build at a time on these machines.
flock /tmp/qrt-build.lock clang++ -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined \
  -fno-sanitize-recover=undefined -I"$root/common" \
  "$here/tls_hello_fuzz.cpp" "$root/common/net/tls_hello.cpp" -o "$out/tls_hello_fuzz"

cp -n "$here"/seeds/* "$out/corpus/" 2>/dev/null || true
"$out/tls_hello_fuzz" -max_total_time="$seconds" -max_len=16389 -timeout=20 -print_final_stats=1 \
  "$@" "$out/corpus"
