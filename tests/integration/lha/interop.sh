#!/usr/bin/env bash
# Interoperability of the LHA codec with real LHA tools from Debian:
#  - archives written by qrtlha are listed and extracted by lhasa, bsdtar and 7z
#    with identical bytes;
#  - -lh5- and -lh6- archives written by jlha (header levels 1 and 2) are
#    expanded by qrtlha with identical bytes.
# Usage: interop.sh QRTLHA   (exit 77 = skipped: a peer tool is missing)
set -u
qrtlha=$(realpath "${1:?usage: interop.sh path/to/qrtlha}")

for tool in lhasa bsdtar 7z jlha iconv cmp; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIP: $tool is not installed (scripts/setup installs it)"
    exit 77
  fi
done

work=$(mktemp -d "${TMPDIR:-/tmp}/lha_interop.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok:   $*"; }

# ---- the files -----------------------------------------------------------------
: > empty.txt
for i in 1 2 3 4; do printf 'Hello, LHA %d.\r\nThe quick brown fox jumps over the lazy dog.\r\n' "$i"; done > small.txt
for i in $(seq 1 400); do
  echo "商標公報 第${i}号 出願番号 2024-0${i} 指定商品 第9類 電子計算機用プログラム ｶﾀｶﾅ"
done | iconv -f UTF-8 -t CP932 > sjis.txt
head -c 65536 /dev/urandom > random.bin
# Text of about 200 KiB whose words repeat near and far: matches cross the slide.
awk 'BEGIN { srand(7); split("alpha beta gamma delta 商標 公報 epsilon zeta eta theta", w, " ");
             for (i = 0; i < 40000; i++) printf "%s%s", w[int(rand() * 10) + 1], (i % 13 ? " " : "\n") }' \
  > slide.txt
head -c 1000 /dev/zero | tr '\0' 'A' > run1000.txt
{
  for i in $(seq 1 3); do cat slide.txt sjis.txt; done
  head -c 1048576 /dev/urandom
  head -c 1500000 "$qrtlha"
  for i in $(seq 1 5); do cat slide.txt; done
} > mixed.bin

files=(empty.txt small.txt sjis.txt random.bin slide.txt run1000.txt mixed.bin)

method_of() { dd if="$1" bs=1 skip=2 count=5 2>/dev/null; }

# ---- our archives read by the peers ---------------------------------------------
for f in "${files[@]}"; do
  a="${f%.*}.lzh"
  if ! "$qrtlha" c "$a" "$f" >/dev/null; then fail "qrtlha c $f"; continue; fi
  m=$(method_of "$a")
  case "$f" in
    empty.txt | random.bin) want=-lh0- ;;
    *) want=-lh6- ;;
  esac
  [ "$m" = "$want" ] && pass "$f stored as $m" || fail "$f: method $m, expected $want"

  lhasa l "$a" 2>&1 | grep -q " $f\$" && pass "lhasa lists $f" || fail "lhasa does not list $f"
  lhasa t "$a" >/dev/null 2>&1 && pass "lhasa tests $f" || fail "lhasa test of $f"
  lhasa pq "$a" 2>/dev/null | cmp -s - "$f" && pass "lhasa extracts $f" || fail "lhasa extract $f"

  bsdtar -tf "$a" 2>/dev/null | grep -qx "$f" && pass "bsdtar lists $f" || fail "bsdtar does not list $f"
  bsdtar -xOf "$a" 2>/dev/null | cmp -s - "$f" && pass "bsdtar extracts $f" || fail "bsdtar extract $f"

  7z l "$a" 2>/dev/null | grep -q " $f\$" && pass "7z lists $f" || fail "7z does not list $f"
  7z e -so "$a" 2>/dev/null | cmp -s - "$f" && pass "7z extracts $f" || fail "7z extract $f"

  # Extraction into files as well (the peers' usual path).
  rm -rf x && mkdir x
  (cd x && lhasa xq "../$a" >/dev/null 2>&1) && cmp -s "x/$f" "$f" \
    && pass "lhasa x $f" || fail "lhasa x $f"
  rm -rf x && mkdir x
  bsdtar -xf "$a" -C x 2>/dev/null && cmp -s "x/$f" "$f" && pass "bsdtar -x $f" || fail "bsdtar -x $f"

  "$qrtlha" x "$a" "back.$f" >/dev/null && cmp -s "back.$f" "$f" \
    && pass "qrtlha x $f" || fail "qrtlha round trip $f"
done

# ---- archives by another compressor read by ours -----------------------------------
for f in small.txt sjis.txt random.bin slide.txt run1000.txt mixed.bin; do
  for opt in ao6 a1o6 ao5 a1o5; do
    a="j_${opt}_${f%.*}.lzh"
    rm -f "$a"
    if ! jlha "$opt" "$a" "$f" >/dev/null 2>&1; then fail "jlha $opt $f"; continue; fi
    rm -f "out.$f"
    if "$qrtlha" x "$a" "out.$f" >/dev/null && cmp -s "out.$f" "$f"; then
      pass "qrtlha x jlha $opt ($(method_of "$a"), level $(od -An -tu1 -j20 -N1 "$a" | tr -d ' ')) $f"
    else
      fail "qrtlha x jlha $opt $f"
    fi
  done
done

# A damaged jlha archive: the expander reports the CRC error.
cp j_ao6_mixed.lzh damaged.lzh
printf '\x55\xaa\x55\xaa' | dd of=damaged.lzh bs=1 seek=5000 conv=notrunc 2>/dev/null
out=$("$qrtlha" x damaged.lzh damaged.out 2>/dev/null)
rc=$?
[ $rc -eq 1 ] && [ "$out" = "-3" ] && pass "damaged archive gives -3" \
  || fail "damaged archive: exit $rc, printed '$out'"

echo "interop: $failures failure(s)"
[ "$failures" -eq 0 ]
