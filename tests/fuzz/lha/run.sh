#!/usr/bin/env bash
# Builds the LHA fuzz target with clang (libFuzzer + ASan + UBSan) and runs it for
# a bounded time over a working copy of the seed corpus.
#   tests/fuzz/lha/run.sh [SECONDS] [extra libFuzzer options...]   (default 60)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
seconds=${1:-60}
shift || true
out=${LHA_FUZZ_DIR:-$root/build/fuzz-lha}
mkdir -p "$out/corpus"

# The shared build lock: one build at a time on these machines.
flock /tmp/qrt-build.lock clang++ -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined \
  -fno-sanitize-recover=undefined -I"$root/common" \
  "$here/lha_fuzz.cpp" "$root"/common/lha/lha_{archive,decode,encode}.cpp -o "$out/lha_fuzz"

cp -n "$here"/corpus/* "$out/corpus/" 2>/dev/null || true
"$out/lha_fuzz" -max_total_time="$seconds" -max_len=200000 -timeout=20 -rss_limit_mb=2048 \
  -print_final_stats=1 "$@" "$out/corpus"
