#!/usr/bin/env bash
# Benchmark of the LHA codec against the LHA tools of the system, with the
# optimised build of the native-release preset (no sanitizers).
#   bench/lha/run.sh [CORPUS_DIR]   (default build/bench-lha/corpus, generated)
# 1. In memory: compression and expansion throughput and ratio of our codec.
# 2. Expansion of the same archives by whole programs as a user runs them (best
#    of 5 wall-clock runs, output to a file): qrtlha (which replaces its output
#    atomically and flushes it to the disk), lhasa, bsdtar, 7z; and the start-up
#    of a one-line archive, qrtlha against lhasa and a bare flush-and-rename
#    program (flush_floor.c).
# 3. Compressed size next to jlha -lh6- (member data only) and gzip -6, and the
#    compression time of qrtlha next to jlha's.
set -euo pipefail
# The whole run holds the shared build lock: no build competes for the two cores
# while it measures.
if [ -z "${LHA_BENCH_LOCKED:-}" ]; then
  LHA_BENCH_LOCKED=1 exec flock /tmp/qrt-build.lock "$0" "$@"
fi
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
out=${LHA_BENCH_DIR:-$root/build/bench-lha}
corpus=${1:-$out/corpus}
mkdir -p "$out"
[ -d "$corpus" ] || python3 "$here/gen_corpus.py" "$corpus"

rel=$root/build/native-release
cmake --preset native-release >/dev/null
cmake --build "$rel" --target qrtlha zr_lha >/dev/null
qrtlha=$rel/tools/qrtlha/qrtlha
# The in-memory harness over the same optimised codec library.
g++ -std=c++20 -O3 -DNDEBUG -I"$root/common" "$here/lha_bench.cpp" "$rel/common/libzr_lha.a" \
  -o "$out/lha_bench"

files=("$corpus"/text.txt "$corpus"/sjis.txt "$corpus"/binary.bin "$corpus"/random.bin)
echo "== our codec in memory (best of 3 compressions, 5 expansions)"
"$out/lha_bench" "${files[@]}"

# Best wall-clock seconds of 5 runs of a command.
best() {
  local best=999999999 t0 t1 d
  for _ in 1 2 3 4 5; do
    t0=$(date +%s%N)
    "$@" >/dev/null 2>&1 || true
    t1=$(date +%s%N)
    d=$(((t1 - t0) / 1000))
    ((d < best)) && best=$d
  done
  echo "$best"
}
mbs() { awk -v b="$1" -v us="$2" 'BEGIN { printf "%8.1f", b / us }'; }

echo
echo "== expansion of the same archives by whole programs (MB/s, best of 5, output to a file)"
printf "%-12s %8s %8s %8s %8s   %s\n" file ours lhasa bsdtar 7z "ours/lhasa ours/bsdtar"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
sum_n=0 sum_ours=0 sum_lhasa=0 sum_bsd=0 sum_7z=0
for f in "${files[@]}"; do
  a="$f.lzh"
  n=$(stat -c %s "$f")
  t_ours=$(best "$qrtlha" x "$a" "$tmp/o")
  t_lhasa=$(best sh -c "lhasa pq '$a' > '$tmp/o'")
  t_bsd=$(best sh -c "bsdtar -xOf '$a' > '$tmp/o'")
  t_7z=$(best sh -c "7z e -so '$a' > '$tmp/o'")
  printf "%-12s %s %s %s %s   %6.2fx %6.2fx\n" "$(basename "$f")" "$(mbs "$n" "$t_ours")" \
    "$(mbs "$n" "$t_lhasa")" "$(mbs "$n" "$t_bsd")" "$(mbs "$n" "$t_7z")" \
    "$(awk -v a="$t_lhasa" -v b="$t_ours" 'BEGIN{print a/b}')" \
    "$(awk -v a="$t_bsd" -v b="$t_ours" 'BEGIN{print a/b}')"
  sum_n=$((sum_n + n)) sum_ours=$((sum_ours + t_ours)) sum_lhasa=$((sum_lhasa + t_lhasa))
  sum_bsd=$((sum_bsd + t_bsd)) sum_7z=$((sum_7z + t_7z))
done
printf "%-12s %s %s %s %s   %6.2fx %6.2fx\n" "corpus" "$(mbs "$sum_n" "$sum_ours")" \
  "$(mbs "$sum_n" "$sum_lhasa")" "$(mbs "$sum_n" "$sum_bsd")" "$(mbs "$sum_n" "$sum_7z")" \
  "$(awk -v a="$sum_lhasa" -v b="$sum_ours" 'BEGIN{print a/b}')" \
  "$(awk -v a="$sum_bsd" -v b="$sum_ours" 'BEGIN{print a/b}')"

echo
echo "== start-up: a one-line archive (microseconds per run, best of 5 rounds)"
printf 'one line of text\r\n' >"$tmp/one.txt"
"$qrtlha" c "$tmp/one.lzh" "$tmp/one.txt" >/dev/null
# The floor: a program that only writes the line into a new file, flushes it and
# renames it over the target (what qrtlha must do at the least).
cc -O2 -static "$here/flush_floor.c" -o "$out/flush_floor"
# Microseconds per run of 50 runs in a row (the clock is read once around them).
per_run() {
  local t0 t1
  t0=$(date +%s%N)
  for _ in $(seq 50); do "$@" >/dev/null 2>&1 || true; done
  t1=$(date +%s%N)
  echo $(((t1 - t0) / 50000))
}
# The three take turns, so that a slower spell of the disk meets each of them.
b_ours=999999 b_lhasa=999999 b_floor=999999
for _ in 1 2 3 4 5; do
  t=$(per_run "$qrtlha" x "$tmp/one.lzh" "$tmp/one.out") && ((t < b_ours)) && b_ours=$t
  t=$(cd "$tmp" && per_run lhasa xfq one.lzh) && ((t < b_lhasa)) && b_lhasa=$t
  t=$(per_run "$out/flush_floor" "$tmp/floor.out") && ((t < b_floor)) && b_floor=$t
done
printf "qrtlha %d  lhasa %d  floor (create, write, flush, rename) %d   lhasa/qrtlha %.2fx  floor/qrtlha %.2fx\n" \
  "$b_ours" "$b_lhasa" "$b_floor" "$(awk -v a="$b_lhasa" -v b="$b_ours" 'BEGIN{print a/b}')" \
  "$(awk -v a="$b_floor" -v b="$b_ours" 'BEGIN{print a/b}')"

echo
echo "== compression time of whole programs (ms, best of 5): qrtlha, jlha"
for f in "${files[@]}"; do
  cp "$f" "$tmp/c.in"
  t_ours=$(best "$qrtlha" c "$tmp/c.lzh" "$tmp/c.in")
  t_jlha=$(best sh -c "cd '$tmp' && rm -f j.lzh && jlha ao6 j.lzh c.in")
  printf "%-12s %8.1f %8.1f   jlha/qrtlha %.2fx\n" "$(basename "$f")" "$(awk -v t="$t_ours" 'BEGIN{print t/1000}')" \
    "$(awk -v t="$t_jlha" 'BEGIN{print t/1000}')" "$(awk -v a="$t_jlha" -v b="$t_ours" 'BEGIN{print a/b}')"
done
rm -f "$tmp/c.in" "$tmp/c.lzh" "$tmp/j.lzh"

echo
echo "== compressed size (bytes of member data; ratio = compressed / original)"
printf "%-12s %10s %10s %10s %8s %8s %8s   %s\n" file original ours jlha-lh6 ours% jlha% gzip-6% "ours vs jlha"
packed() { od -An -tu4 -j7 -N4 "$1" | tr -d ' '; }
for f in "${files[@]}"; do
  n=$(stat -c %s "$f")
  ours=$(packed "$f.lzh")
  cp "$f" "$tmp/$(basename "$f")"
  rm -f "$tmp/j.lzh"
  # jlha's default level-2 header: its packed size counts the member data only.
  (cd "$tmp" && jlha ao6 j.lzh "$(basename "$f")" >/dev/null 2>&1)
  jl_data=$(packed "$tmp/j.lzh")
  rm -f "$tmp/$(basename "$f")"
  gz=$(gzip -6 -c "$f" | wc -c)
  awk -v f="$(basename "$f")" -v n="$n" -v o="$ours" -v j="$jl_data" -v g="$gz" 'BEGIN {
    printf "%-12s %10d %10d %10d %7.2f%% %7.2f%% %7.2f%%   %+.2f%%\n", f, n, o, j, 100*o/n, 100*j/n, 100*g/n, 100*(o-j)/j }'
done
