#!/usr/bin/env bash
# Builds the fuzz targets that link the library (the INI reader, the issue
# calendar, the answer frames of the transports, the answers of the messages,
# the settings files, the window-size table and the text-line reader) natively
# with clang and libFuzzer, then runs each over its seed corpus for a bounded
# time.
#
#   tests/fuzz/run-lib.sh [seconds per target] [libFuzzer options...]   (default 20)
#
# QRT_FUZZ_TARGETS names the targets to build and run (default: all). Objects
# and working corpora go to build/fuzz-lib. Compiling takes the shared build
# lock (/tmp/qrt-build.lock); running does not.
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
out=${QRT_FUZZ_OUT:-$root/build/fuzz-lib}
seconds=${1:-20}
shift || true
cxx=${CXX_FUZZ:-clang++}
jobs=${QRT_JOBS:-2}
src="$out/src"
mkdir -p "$out/obj" "$src"
read -r -a targets <<<"${QRT_FUZZ_TARGETS:-ini calendar frames answers settings files}"
# The longest input of each target (default 4096): a long answer of the direct
# connection takes two frames of 16,384 bytes.
declare -A max_len=([frames]=40000)

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
for folder in ('common', 'launcher', 'checker', 'tests/fuzz'):
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

common_flags=(-std=c++20 -g -O1 -fno-omit-frame-pointer -I"$src/common" -I"$src/launcher"
              -I"$src/checker" -Wall -Wextra -Wno-unused-parameter -Wno-unknown-warning-option)
lib_flags=("${common_flags[@]}" -fsanitize=fuzzer-no-link,address,undefined
           -fno-sanitize-recover=undefined)
# The process end of the fatal paths is wrapped (fuzz_support.h), so that a
# target tells a specified fatal end from a crash.
exe_flags=("${common_flags[@]}" -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined
           -Wl,--wrap=_ZN4plat12exit_processEi)

build() {
  transcode
  # The whole library with the native platform layer, and the program logic of
  # both programs, as one archive: each target takes what it calls.
  local objs=() stale=() f obj
  while IFS= read -r f; do
    obj="$out/obj/$(echo "${f#$src/}" | tr '/' '_').o"
    [[ -f "$obj" && ! "$f" -nt "$obj" ]] || stale+=("$obj" "$f")
    objs+=("$obj")
  done < <({
    find "$src/common" -name '*.cpp' -not -path '*/win32/*'
    find "$src/launcher" "$src/checker" -maxdepth 1 -name '*.cpp'
  } | sort)
  if ((${#stale[@]})); then
    printf '%s\0' "${stale[@]}" |
      xargs -0 -n2 -P"$jobs" sh -c '"$0" "$@"' "$cxx" "${lib_flags[@]}" -c -o
    rm -f "$out/libqrt.a"
  fi
  [[ -f "$out/libqrt.a" ]] || ar rcs "$out/libqrt.a" "${objs[@]}"
  for t in "${targets[@]}"; do
    "$cxx" "${exe_flags[@]}" "$src/tests/fuzz/$t/${t}_fuzz.cpp" "$out/libqrt.a" \
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
  if ! (cd "$out" && "./${t}_fuzz" -max_total_time="$seconds" -max_len="${max_len[$t]:-4096}" -timeout=20 \
          -print_final_stats=1 "$@" "$corpus" "$root/tests/fuzz/$t/seeds"); then
    status=1
  fi
done
exit $status
