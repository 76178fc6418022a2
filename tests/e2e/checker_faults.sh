#!/usr/bin/env bash
# The fault matrix of the SDI checker end to end (qrt100.exe under Wine and
# Xvfb against the reference server): for each case of FAULTS below the server
# spoils one answer of a check; the test waits for what the checker shows (a
# message box, or its end), checks that the files it keeps are whole (nothing
# half-written: no stored result without its counters, no cut result file) and
# that the next check succeeds — in the same process when the checker goes on,
# or after a new start when the failure ended it. tests/e2e/README.md lists the
# cases and what each asserts.
# usage: checker_faults.sh BUILD_DIR QRT100_EXE UIDRIVER_EXE REFSERVER SCENARIO [CASE...]
set -euo pipefail
# shellcheck source=scripts/e2e/lib.sh
source "$(dirname "$0")/../../scripts/e2e/lib.sh"
(($# >= 5)) || {
  echo "usage: $0 BUILD_DIR QRT100_EXE UIDRIVER_EXE REFSERVER SCENARIO [CASE...]" >&2
  exit 2
}
E2E_PREFIX_NAME=wineprefix-faults
e2e_init checker_faults "$1" "$3"
qrt100=$2 refserver=$4 scenario=$5
shift 5
only=("$@")

# NAME | [faults] rule | what the checker shows
#   shows: "box:TEXT"  a message box holding TEXT; the checker goes on and its
#                      next pass (about six seconds later) stores the result
#          "exit:TEXT" no box: TEXT in its trace and the process ends (a failed
#                      exchange of the check); a new start stores the result
#          "boxexit:TEXT" a box holding TEXT, then the process ends; a new
#                      start stores the result
#          "quiet:TEXT" no box, TEXT in its trace; the check of the day is
#                      over without a result; a new start stores it
#          "ok:TEXT"   no box: TEXT in its trace and the result stored
#          "boxrestart:TEXT" a box holding TEXT; the checker goes on but every
#                      later check fails too (the start-up's user check
#                      failed); a new start stores the result
# With リトライカウント 03 an exchange is tried four times: count=4 spoils all of
# them, a fault with a smaller count is absorbed by the retries.
FAULTS=$(
  cat <<'EOF'
drop-118|mid=118 drop=request count=4|boxrestart:ネットワークの設定が正しくない可能性があります。
drop-107|mid=107 drop=request count=4|box:回線が切断されました。
drop-112|mid=112 drop=request count=4|exit:回線が切断されました。 サーバが停止しているか、
drop-117|mid=117 drop=request count=4|exit:回線が切断されました。 サーバが停止しているか、
drop-1200|mid=1200 drop=request count=4|exit:回線が切断されました。 サーバが停止しているか、
drop-204|mid=204 drop=request count=4|exit:回線が切断されました。 サーバが停止しているか、
drop-108|mid=108 drop=request count=4|ok:mid:0108
drop-once|mid=112 drop=request|ok:リトライ
busy-twice|mid=112 http=503 count=2|ok:STATUS503 HDR
busy-three-times|mid=112 http=503 count=4|boxexit:回線が混み合っていてデータを受信できません。
slow-under-timeout|mid=117 delay=2000|ok:mid:0117
slow-over-timeout|mid=117 delay=7000 count=4|exit:回線が切断されました。 サーバが停止しているか、
truncated-frame|mid=112 truncate=10 count=4|exit:mid:0112
bad-length|mid=112 lng=100000|exit:Error of recv(Data) ret:0, mid:112, rlng:99988
sts-minus-one|mid=1200 sts=-1 text=検索サーバで障害が発生しました。|quiet:SDI run not started (sts:-1)
sts-minus-9999|mid=112 sts=-9999 text=サーバ停止中です。|boxexit:*** Error zwsock_phmsg sts:-9999 ***
EOF
)

trace_of() { e2e_sjis "$1/DBGDATA" 2>/dev/null | tr -d '\r'; }

# files_whole DIR WHAT: what the checker keeps is whole — a LAST_PD.FIL of eight
# digits, every result file listed by LIST_NO.FIL present with its four
# requests, no result file beyond the counters.
files_whole() {
  local dir=$1 what=$2 t n f
  if [ -e "$dir/DLV/LAST_PD.FIL" ]; then
    grep -qxE '[0-9]{8}' "$dir/DLV/LAST_PD.FIL" || case_fail "$what: LAST_PD.FIL: $(cat "$dir/DLV/LAST_PD.FIL")"
  fi
  t=0
  [ -e "$dir/DLV/RESULT/LIST_NO.FIL" ] &&
    t=$(tr -d '\r' <"$dir/DLV/RESULT/LIST_NO.FIL" | sed -n 's/^list_no_t=//p')
  for ((n = 1; n <= ${t:-0}; n++)); do
    f=$dir/DLV/RESULT/$(printf '%05d' "$n").FIL
    [ -f "$f" ] || case_fail "$what: LIST_NO.FIL counts result $n, which is missing"
    grep -qx 'rslt_cnt=4' <<<"$(e2e_sjis "$f" | tr -d '\r')" || case_fail "$what: result $n is not whole"
    grep -q '^exp_nm=指定商品 電子計算機用プログラム' <<<"$(e2e_sjis "$f" | tr -d '\r')" ||
      case_fail "$what: result $n is cut"
  done
  f=$dir/DLV/RESULT/$(printf '%05d' $((${t:-0} + 1))).FIL
  [ ! -e "$f" ] || case_fail "$what: a result beyond the counters: $f"
}

# results DIR: how many results LIST_NO.FIL counts.
results() {
  [ -e "$1/DLV/RESULT/LIST_NO.FIL" ] || { echo 0; return; }
  tr -d '\r' <"$1/DLV/RESULT/LIST_NO.FIL" | sed -n 's/^list_no_cnt=//p'
}

# next_check_succeeds DIR WHAT BEFORE: a result beyond BEFORE appears.
next_check_succeeds() {
  local i
  for ((i = 0; i < 240; i++)); do
    (($(results "$1") > $3)) && return 0
    sleep 0.25
  done
  case_fail "$2: the next check stored nothing: $(trace_of "$1" | tail -15)"
}

# A failed case leaves its trace and error files among the artefacts.
case_dir=
case_fail() {
  [ -n "$case_dir" ] && e2e_collect "$case_dir" "failed-"
  e2e_fail "$@"
}

run_case() {
  local name=$1 rule=$2 shows=$3 dir kind text checker texts i
  kind=${shows%%:*} text=${shows#*:}
  e2e_log "case $name: $rule"
  {
    cat "$scenario"
    # A short receive time-out, so that a slow answer can pass it.
    printf '\n[faults]\n%s\n' "$rule"
  } | sed 's/^session = 100$/session = 100\nrecv_timeout = 5/' >"$E2E_TMP/$name.scenario"
  e2e_start_server "$refserver" "$E2E_TMP/$name.scenario" "$name"
  dir=$(e2e_quiet_checker_install "$qrt100" "$E2E_SERVER_PORT")
  case_dir=$dir
  e2e_start "$dir" "$dir/QRT100.EXE"
  checker=$E2E_PID
  case $kind in
    box | boxexit | boxrestart)
      e2e_ui wait QRT100 60 || case_fail "$name: no message box: $(trace_of "$dir" | tail -15)"
      texts=$(e2e_ui texts QRT100 | tr -d '\r')
      printf '%s\n' "$texts" >"$E2E_ARTIFACTS/$name-box.txt"
      grep -qF "$text" <<<"$texts" || case_fail "$name: the box says: $texts"
      files_whole "$dir" "$name"
      (($(results "$dir") == 0)) || case_fail "$name: a result was stored"
      e2e_ui click QRT100 OK || case_fail "$name: cannot press OK"
      if [ "$kind" = boxrestart ]; then
        kill "$checker" 2>/dev/null || true
        e2e_wait_exit "$checker" 30 || case_fail "$name: the checker did not end"
        e2e_start "$dir" "$dir/QRT100.EXE"
        checker=$E2E_PID
      elif [ "$kind" = boxexit ]; then
        e2e_wait_exit "$checker" 30 || case_fail "$name: the checker did not end after its message"
        files_whole "$dir" "$name"
        e2e_start "$dir" "$dir/QRT100.EXE"
        checker=$E2E_PID
      fi
      next_check_succeeds "$dir" "$name" 0
      ;;
    exit | quiet)
      if [ "$kind" = exit ]; then
        e2e_wait_exit "$checker" 60 || case_fail "$name: the checker did not end: $(trace_of "$dir" | tail -15)"
      else
        for ((i = 0; i < 240; i++)); do
          grep -qF "$text" <<<"$(trace_of "$dir")" && break
          sleep 0.25
        done
        kill "$checker" 2>/dev/null || true
        e2e_wait_exit "$checker" 30 || case_fail "$name: the checker did not end"
      fi
      grep -qF "$text" <<<"$(trace_of "$dir")" || case_fail "$name: no \"$text\" in the trace: $(trace_of "$dir" | tail -8)"
      ! e2e_ui wait QRT100 0 >/dev/null 2>&1 || case_fail "$name: a message box: $(e2e_ui texts QRT100)"
      files_whole "$dir" "$name"
      (($(results "$dir") == 0)) || case_fail "$name: a result was stored"
      e2e_start "$dir" "$dir/QRT100.EXE"
      checker=$E2E_PID
      next_check_succeeds "$dir" "$name" 0
      ;;
    ok)
      next_check_succeeds "$dir" "$name" 0
      for ((i = 0; i < 120; i++)); do
        grep -qF "$text" <<<"$(trace_of "$dir")" && break
        sleep 0.25
      done
      grep -qF "$text" <<<"$(trace_of "$dir")" || case_fail "$name: no \"$text\" in the trace: $(trace_of "$dir" | tail -8)"
      ! e2e_ui wait QRT100 0 >/dev/null 2>&1 || case_fail "$name: a message box: $(e2e_ui texts QRT100)"
      ;;
  esac
  files_whole "$dir" "$name"
  e2e_ui shm QRT100 0 9 >/dev/null || true
  e2e_wait_exit "$checker" 30 || case_fail "$name: the checker did not end when asked"
  e2e_collect "$dir" "$name-"
  e2e_stop_server
}

while IFS='|' read -r name rule shows; do
  [ -n "$name" ] || continue
  if ((${#only[@]})); then
    [[ " ${only[*]} " == *" $name "* ]] || continue
  fi
  run_case "$name" "$rule" "$shows"
done <<<"${QRT_FAULTS_TABLE:-$FAULTS}"
