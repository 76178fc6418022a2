#!/usr/bin/env bash
# End-to-end tests of the launcher's SDI checker menu and program update
# (qrt000.exe under Wine and Xvfb, against the reference server): the button
# states with the checker running or not and with or without a stored result,
# 戻り and the close box, the ID dialog left unchanged, the stop command, and
# launch mode "S": user check, connection, update list, the download window, the
# swap of QRT100.NEW, the start of the checker; a list entry outside the install
# folder, pieces with a wrong check block, and a missing VERSION.QRT.
# usage: launcher_menu.sh BUILD_DIR QRT000_EXE QRT100_EXE UIDRIVER_EXE REFSERVER SCENARIO
set -euo pipefail
# shellcheck source=scripts/e2e/lib.sh
source "$(dirname "$0")/../../scripts/e2e/lib.sh"
[ $# -eq 6 ] ||
  { echo "usage: $0 BUILD_DIR QRT000_EXE QRT100_EXE UIDRIVER_EXE REFSERVER SCENARIO" >&2; exit 2; }
e2e_init launcher_menu "$1" "$4"
qrt000=$2 qrt100=$3 refserver=$5 demo_scenario=$6

menu=ＳＤＩ\ チェッカーメニュー
title='QRT000 ZORAX接続'
download=Orvantaプログラムのダウンロード

new_folder() { e2e_launcher_install "$qrt000" "$qrt100" "$@"; }

# list_no_cnt DIR N: the result counters of the SDI store.
list_no_cnt() {
  mkdir -p "$1/DLV/RESULT"
  printf '[COMMON]\r\nlist_no_f=1\r\nlist_no_t=%d\r\nlist_no_cnt=%d\r\n' "$2" "$2" \
    >"$1/DLV/RESULT/LIST_NO.FIL"
}

# expect_buttons WHAT START STOP HISTORY OPTIONS ACCOUNT BACK: the flags of the six buttons.
expect_buttons() {
  local what=$1 texts ids=(1072 1074 1079 1075 1080 2) i got
  shift
  texts=$(e2e_ui texts "$menu") || e2e_fail "$what: cannot read the menu"
  printf '%s\n' "$texts" >"$E2E_ARTIFACTS/menu-$what.txt"
  for i in 0 1 2 3 4 5; do
    got=$(e2e_control "$texts" "${ids[i]}" 3)
    [ "$got" = "$1" ] || e2e_fail "$what: button ${ids[i]} is '$got', expected '$1': $texts"
    shift
  done
}

# shm_byte OFFSET: byte OFFSET of the control block "QRT100" (empty when none).
shm_byte() { e2e_ui shm QRT100 "$1" 2>/dev/null | tr -d '\r' || true; }

# wait_shm OFFSET VALUE SECONDS
wait_shm() {
  local i
  for ((i = 0; i < $3 * 4; i++)); do
    [ "$(shm_byte "$1")" = "$2" ] && return 0
    sleep 0.25
  done
  return 1
}

# wait_no_checker SECONDS: until the control block "QRT100" is gone.
wait_no_checker() {
  local i
  for ((i = 0; i < $1 * 4; i++)); do
    e2e_ui shm QRT100 0 >/dev/null 2>&1 || return 0
    sleep 0.25
  done
  return 1
}

ok_box() { e2e_ok_box "$title" "$@"; }

trace_of() { e2e_sjis "$1/DBG_QRT000.LST" | tr -d '\r'; }

e2e_start_server "$refserver" "$demo_scenario" menu
port=$E2E_SERVER_PORT

# --- Button states without a checker: list_no_cnt decides on SDI 履歴 --------------
# list_no_cnt | flags of 1072 1074 1079 1075 1080 2 | how the menu is left
cases=(
  "0|- disabled disabled - - -|戻り"
  "1|- disabled - - - -|close"
)
for case in "${cases[@]}"; do
  IFS='|' read -r count expected how <<<"$case"
  dir=$(new_folder "$port")
  list_no_cnt "$dir" "$count"
  e2e_start "$dir" "$dir/QRT000.EXE" 0
  launcher=$E2E_PID
  e2e_ui wait "$menu" 30 || e2e_fail "list_no_cnt $count: no menu"
  # shellcheck disable=SC2086
  expect_buttons "idle-$count" $expected
  e2e_shot "$menu" "menu-idle-$count"
  [ -d "$dir/DLV/MASTER" ] && [ -d "$dir/DLV/RESULT" ] || e2e_fail "the DLV folders were not made"
  if [ "$how" = close ]; then
    e2e_ui close "$menu" || e2e_fail "cannot close the menu"
  else
    e2e_ui click "$menu" 戻り || e2e_fail "cannot press 戻り"
  fi
  e2e_wait_exit "$launcher" 20 || e2e_fail "list_no_cnt $count: the launcher did not end ($how)"
  e2e_ui gone "$menu" 5 || e2e_fail "the menu stayed"
  trace=$(trace_of "$dir")
  grep -q '^【OS VERSION : .*】$' <<<"$trace" || e2e_fail "list_no_cnt $count: trace: $trace"
  e2e_collect "$dir" "idle-$count-"
done

# --- The ID dialog left with 戻り: no account accepted, nothing changes ------------
dir=$(new_folder "$port")
e2e_start "$dir" "$dir/QRT000.EXE" V
launcher=$E2E_PID
e2e_ui wait "$menu" 30 || e2e_fail "no menu"
e2e_shot "$menu" checker-menu
e2e_ui click "$menu" "ID, PASS設定" || e2e_fail "cannot press ID, PASS設定"
e2e_ui wait 'QRT040  ID,PASS設定' 30 || e2e_fail "no ID dialog"
e2e_ui click 'QRT040  ID,PASS設定' 戻り || e2e_fail "cannot press 戻り in the ID dialog"
e2e_ui gone 'QRT040  ID,PASS設定' 10 || e2e_fail "the ID dialog stayed"
expect_buttons after-account - disabled disabled - - -
e2e_ui click "$menu" 戻り || e2e_fail "cannot press 戻り"
e2e_wait_exit "$launcher" 20 || e2e_fail "the launcher did not end after 戻り"

# --- With a checker running: its buttons, cfg_chg, 戻り and the stop command -------
dir=$(new_folder "$port")
e2e_start "$dir" "$dir/QRT100.EXE"
checker=$E2E_PID
wait_shm 0 1 30 || e2e_fail "the checker did not start"
list_no_cnt "$dir" 1
e2e_start "$dir" "$dir/QRT000.EXE" 0
launcher=$E2E_PID
e2e_ui wait "$menu" 30 || e2e_fail "running: no menu"
expect_buttons running disabled - disabled disabled - -
[ "$(shm_byte 2)" = 1 ] || e2e_fail "cfg_chg is '$(shm_byte 2)' while the menu is open"
e2e_shot "$menu" menu-running
e2e_ui click "$menu" 戻り || e2e_fail "cannot press 戻り"
e2e_wait_exit "$launcher" 20 || e2e_fail "running: the launcher did not end after 戻り"
[ "$(shm_byte 2)" = 0 ] || e2e_fail "cfg_chg is '$(shm_byte 2)' after the menu closed"
e2e_running "$checker" || e2e_fail "戻り ended the checker"

e2e_start "$dir" "$dir/QRT000.EXE" 0
launcher=$E2E_PID
e2e_ui wait "$menu" 30 || e2e_fail "stop: no menu"
e2e_ui click "$menu" "SDI チェッカー停止" || e2e_fail "cannot press SDI チェッカー停止"
e2e_wait_exit "$launcher" 20 || e2e_fail "stop: the launcher did not end"
e2e_wait_exit "$checker" 20 || e2e_fail "stop: the checker did not end"
grep -qF 'QRT100 asked to end (run_sts 9)' <<<"$(trace_of "$dir")" || e2e_fail "stop: no trace line"
e2e_collect "$dir" running-
e2e_stop_server

# --- Launch mode "S": connection, update, swap of QRT100.NEW, start of the checker --
# world NAME UPDATE_LINES [FAULT_LINES]: the demo world with an [update] section,
# the newer checker (a copy of the real one) beside it.
world() {
  local w=$E2E_TMP/world-$1
  mkdir -p "$w/files"
  cp "$qrt100" "$w/files/qrt100.exe"
  {
    cat "$demo_scenario"
    printf '\n[update]\n%s\n' "$2"
    [ -z "${3:-}" ] || printf '\n[faults]\n%s\n' "$3"
  } >"$w/world.scenario"
  printf '%s' "$w"
}

# The checker the launcher started: stopped through its control block.
stop_started_checker() {
  wait_shm 0 1 30 || e2e_fail "$1: the checker did not start"
  e2e_ui shm QRT100 0 9 >/dev/null || e2e_fail "$1: cannot stop the checker"
  wait_no_checker 20 || e2e_fail "$1: the started checker did not end"
}

w=$(world update "piece_size = 8192
file = QRT100.EXE 20301231 120000 files/qrt100.exe
file = DLV\\NOTE.TXT 20301231 120000 text:お知らせ" "mid=1101 delay=30 count=*")
e2e_start_server "$refserver" "$w/world.scenario" update
dir=$(new_folder "$E2E_SERVER_PORT")
printf 'QRT100.EXE\r\n' >"$dir/VERSION.QRT"
cp "$qrt000" "$dir/QRT100.EXE"  # an older checker: another program's bytes
touch -d '2001-01-01' "$dir/QRT100.EXE"
e2e_start "$dir" "$dir/QRT000.EXE" S
launcher=$E2E_PID
e2e_ui wait "$download" 60 || e2e_fail "update: no download window"
e2e_shot "$download" download-window
texts=$(e2e_ui texts "$download") || true
printf '%s\n' "$texts" >"$E2E_ARTIFACTS/download-window.txt"
grep -qF 'QRT100.EXE ﾀﾞｳﾝﾛｰﾄﾞ中' <<<"$texts" || e2e_fail "update: download window texts: $texts"
grep -qF '経過時間: 00:0' <<<"$texts" || e2e_fail "update: no elapsed time: $texts"
e2e_wait_exit "$launcher" 90 || e2e_fail "update: the launcher did not end"
cmp -s "$qrt100" "$dir/QRT100.EXE" || e2e_fail "update: QRT100.EXE is not the downloaded checker"
[ ! -e "$dir/QRT100.NEW" ] || e2e_fail "update: QRT100.NEW was left"
# The version time 2030-12-31 12:00:00 in Japan time.
[ "$(TZ=Asia/Tokyo date -r "$dir/QRT100.EXE" '+%Y%m%d %H%M%S')" = '20301231 120000' ] ||
  e2e_fail "update: QRT100.EXE has the time $(TZ=Asia/Tokyo date -r "$dir/QRT100.EXE")"
[ "$(e2e_sjis "$dir/DLV/NOTE.TXT")" = お知らせ ] || e2e_fail "update: DLV\\NOTE.TXT"
[ "$(cat "$dir/VERSION.QRT")" = $'QRT100.EXE\r\nDLV\\NOTE.TXT\r' ] || e2e_fail "update: VERSION.QRT: $(cat -A "$dir/VERSION.QRT")"
trace=$(trace_of "$dir")
grep -qF 'QRT100.EXE replaced by QRT100.NEW' <<<"$trace" && grep -qF 'QRT100 started: ' <<<"$trace" ||
  e2e_fail "update: trace: $trace"
stop_started_checker update
e2e_collect "$dir" update-
e2e_stop_server

# --- A name outside the install folder is refused; the checker still starts -------
w=$(world outside "file = DLV\\NOTE.TXT 20301231 120000 text:お知らせ
file = ..\\EVIL.TXT 20301231 120000 text:外")
e2e_start_server "$refserver" "$w/world.scenario" outside
dir=$(new_folder "$E2E_SERVER_PORT")
parent=$(dirname "$dir")
e2e_start "$dir" "$dir/QRT000.EXE" S
launcher=$E2E_PID
ok_box 'プログラム(..\EVIL.TXT)のダウンロードに失敗しました。' outside
e2e_wait_exit "$launcher" 60 || e2e_fail "outside: the launcher did not end"
[ -f "$dir/DLV/NOTE.TXT" ] || e2e_fail "outside: DLV\\NOTE.TXT was not created"
[ ! -e "$parent/EVIL.TXT" ] && [ ! -e "$parent/EVIL.TXT.LZH" ] ||
  e2e_fail "outside: a file was written outside the install folder"
[ ! -e "$dir/VERSION.QRT" ] || e2e_fail "outside: VERSION.QRT written after a failure"
stop_started_checker outside
e2e_collect "$dir" outside-
e2e_stop_server

# --- Wrong check blocks: fetched again; three wrong ones fail ----------------------
# wrong downloads | message expected
cases=("2|" "3|プログラム(DLV\\NOTE.TXT)のダウンロードに失敗しました。")
for case in "${cases[@]}"; do
  IFS='|' read -r bad message <<<"$case"
  w=$(world "badsum-$bad" "piece_size = 4
file = DLV\\NOTE.TXT 20301231 120000 text:お知らせです" "mid=1101 badsum count=$bad")
  e2e_start_server "$refserver" "$w/world.scenario" "badsum-$bad"
  dir=$(new_folder "$E2E_SERVER_PORT")
  e2e_start "$dir" "$dir/QRT000.EXE" S
  launcher=$E2E_PID
  [ -z "$message" ] || ok_box "$message" "badsum $bad"
  e2e_wait_exit "$launcher" 60 || e2e_fail "badsum $bad: the launcher did not end"
  differs=$(trace_of "$dir" | grep -c 'check block differs' || true)
  [ "$differs" = "$bad" ] || e2e_fail "badsum $bad: $differs downloads differed"
  if [ -z "$message" ]; then
    [ "$(e2e_sjis "$dir/DLV/NOTE.TXT")" = お知らせです ] || e2e_fail "badsum $bad: NOTE.TXT"
  else
    [ ! -e "$dir/DLV/NOTE.TXT" ] || e2e_fail "badsum $bad: NOTE.TXT written from a bad archive"
  fi
  stop_started_checker "badsum $bad"
  e2e_collect "$dir" "badsum-$bad-"
  e2e_stop_server
done

# --- VERSION.QRT missing: every listed file, even an older one --------------------
w=$(world all "file = DLV\\NOTE.TXT 20000101 000000 text:新しい版")
e2e_start_server "$refserver" "$w/world.scenario" all
dir=$(new_folder "$E2E_SERVER_PORT")
printf 'today' >"$dir/DLV/NOTE.TXT"
e2e_start "$dir" "$dir/QRT000.EXE" S
launcher=$E2E_PID
e2e_wait_exit "$launcher" 60 || e2e_fail "all: the launcher did not end"
[ "$(e2e_sjis "$dir/DLV/NOTE.TXT")" = 新しい版 ] || e2e_fail "all: the newer installed file was kept"
[ -f "$dir/VERSION.QRT" ] || e2e_fail "all: no VERSION.QRT"
stop_started_checker all
e2e_collect "$dir" all-
