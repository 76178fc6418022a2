#!/usr/bin/env bash
# Builds the fuzz target of the CSV splitter and quoting, the address scanner
# and the attribute reader with clang (libFuzzer + ASan + UBSan) and runs it for
# a bounded time over a working copy of the seeds.
#   tests/fuzz/csv/run.sh [SECONDS] [extra libFuzzer options...]   (default 60)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
seconds=${1:-60}
shift || true
out=${CSV_FUZZ_DIR:-$root/build/fuzz-csv}
mkdir -p "$out/corpus"

# The shared build lock: one build at a time on these machines.
flock /tmp/qrt-build.lock clang++ -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined \
  -fno-sanitize-recover=undefined -I"$root/common" \
  "$here/csv_fuzz.cpp" "$root/common/text/scan.cpp" -o "$out/csv_fuzz"

cp -n "$here"/seeds/* "$out/corpus/" 2>/dev/null || true
"$out/csv_fuzz" -max_total_time="$seconds" -max_len=4096 -timeout=20 -print_final_stats=1 \
  "$@" "$out/corpus"
