#!/usr/bin/env bash
# Builds one fuzz target from its sources with clang (libFuzzer + ASan + UBSan)
# and runs it for a bounded time over a working copy of the seeds beside its
# first source.
#   tests/fuzz/build-and-run.sh NAME MAX_LEN OUT SOURCE... -- [SECONDS] [libFuzzer options...]
# Sources are named from the repository's root. The binary is NAME_fuzz in OUT
# (empty: build/fuzz-NAME), its corpus in OUT/corpus; SECONDS defaults to 60.
# Compiling takes the shared build lock; running does not.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
name=$1 max_len=$2 out=${3:-$root/build/fuzz-$1}
shift 3
sources=()
while [ $# -gt 0 ] && [ "$1" != "--" ]; do
  sources+=("$root/$1")
  shift
done
[ $# -gt 0 ] && shift
seconds=${1:-60}
shift || true
mkdir -p "$out/corpus"

flock /tmp/qrt-build.lock clang++ -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined \
  -fno-sanitize-recover=undefined -I"$root/common" "${sources[@]}" -o "$out/${name}_fuzz"

cp -n "$(dirname "${sources[0]}")"/seeds/* "$out/corpus/" 2>/dev/null || true
"$out/${name}_fuzz" -max_total_time="$seconds" -max_len="$max_len" -timeout=20 -print_final_stats=1 \
  "$@" "$out/corpus"
