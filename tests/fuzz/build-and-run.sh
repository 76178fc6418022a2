#!/usr/bin/env bash
# Builds one fuzz target from its sources with clang (libFuzzer + ASan + UBSan)
# and runs it for a bounded time over a working copy of its seeds.
#   tests/fuzz/build-and-run.sh NAME MAX_LEN SECONDS SEEDS SOURCE... [-- libFuzzer options...]
# The binary is NAME_fuzz in $FUZZ_OUT (default build/fuzz-NAME), its corpus in
# $FUZZ_OUT/corpus. Compiling takes the shared build lock; running does not.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
name=$1 max_len=$2 seconds=$3 seeds=$4
shift 4
sources=()
while [ $# -gt 0 ] && [ "$1" != "--" ]; do
  sources+=("$1")
  shift
done
[ $# -gt 0 ] && shift
out=${FUZZ_OUT:-$root/build/fuzz-$name}
mkdir -p "$out/corpus"

flock /tmp/qrt-build.lock clang++ -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined \
  -fno-sanitize-recover=undefined -I"$root/common" "${sources[@]}" -o "$out/${name}_fuzz"

cp -n "$seeds"/* "$out/corpus/" 2>/dev/null || true
"$out/${name}_fuzz" -max_total_time="$seconds" -max_len="$max_len" -timeout=20 -print_final_stats=1 \
  "$@" "$out/corpus"
