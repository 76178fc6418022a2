#!/usr/bin/env bash
# Builds the fuzz targets of the SDI store (the INI reader and the issue calendar
# parse) natively with clang and libFuzzer, then runs each over its seed corpus
# for a bounded time.
#
#   tests/fuzz/run-sdi.sh [seconds per target]     (default 20)
#
# Objects and working corpora go to build/fuzz-sdi. Compiling takes the shared
# build lock (/tmp/qrt-build.lock); running does not.
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
out=${QRT_FUZZ_OUT:-$root/build/fuzz-sdi}
seconds=${1:-20}
cxx=${CXX_FUZZ:-clang++}
src="$out/src"
mkdir -p "$out/obj" "$src"

# clang has no CP932 execution character set. The sources are copied with every
# non-ASCII run turned into the \x escapes of its CP932 bytes, so the literals
# hold the same bytes as in the GCC builds (-fexec-charset=CP932).
transcode() {
  python3 - "$root" "$src" <<'PY'
import pathlib, re, sys
root, out = pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2])
run = re.compile(r'[^\x00-\x7f]+')
def escape(m):
    try:
        data = m.group(0).encode('cp932')
    except UnicodeEncodeError:
        return m.group(0)  # only in comments: GCC would refuse it in a literal
    text = ''.join('\\x%02x' % b for b in data)
    nxt = m.string[m.end():m.end() + 1]
    return text + ('""' if nxt and nxt in '0123456789abcdefABCDEF' else '')
for folder in ('common', 'tests/fuzz/ini', 'tests/fuzz/calendar'):
    for f in sorted((root / folder).rglob('*')):
        if f.suffix not in ('.cpp', '.h') or 'win32' in f.parts:
            continue
        target = out / f.relative_to(root)
        text = run.sub(escape, f.read_text(encoding='utf-8'))
        if not target.exists() or target.read_text(encoding='utf-8') != text:
            target.parent.mkdir(parents=True, exist_ok=True)
            target.write_text(text, encoding='utf-8')
PY
}

common_flags=(-std=c++20 -g -O1 -fno-omit-frame-pointer -I"$src/common" -Wall -Wextra
              -Wno-unused-parameter -Wno-unknown-warning-option)
lib_flags=("${common_flags[@]}" -fsanitize=fuzzer-no-link,address,undefined
           -fno-sanitize-recover=undefined)
exe_flags=("${common_flags[@]}" -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined)
targets=(ini calendar)

build() {
  transcode
  # The subsystems the store stands on, with the native platform layer and the
  # platform code both systems share (the runtime builds the constants tables
  # of the naming subsystem).
  local objs=() f obj
  while IFS= read -r f; do
    obj="$out/obj/$(echo "${f#$src/}" | tr '/' '_').o"
    if [[ ! -f "$obj" || "$f" -nt "$obj" ]]; then
      "$cxx" "${lib_flags[@]}" -c "$f" -o "$obj"
    fi
    objs+=("$obj")
  done < <({
    find "$src/common"/{runtime,platform/posix,text,naming,sdi} -name '*.cpp'
    find "$src/common/platform" -maxdepth 1 -name '*.cpp'
  } | sort)
  for t in "${targets[@]}"; do
    "$cxx" "${exe_flags[@]}" "$src/tests/fuzz/$t/${t}_fuzz.cpp" "${objs[@]}" \
      -lssl -lcrypto -lpthread -lrt -o "$out/${t}_fuzz"
  done
}

(
  flock 9
  build
) 9>/tmp/qrt-build.lock

status=0
for t in "${targets[@]}"; do
  corpus="$out/corpus-$t"
  mkdir -p "$corpus"
  echo "== $t: ${seconds}s"
  if ! (cd "$out" && "./${t}_fuzz" -max_total_time="$seconds" -max_len=4096 -timeout=20 \
          -print_final_stats=1 "$corpus" "$root/tests/fuzz/$t/seeds"); then
    status=1
  fi
done
exit $status
