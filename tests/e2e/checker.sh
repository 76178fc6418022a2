#!/usr/bin/env bash
# End-to-end tests of the SDI checker (qrt100.exe under Wine and Xvfb, against
# the reference server): start-up with the tray icon and the control block, the
# first check and the stored result, the new-arrivals dialog with its list, the
# result page and the viewed flags, a second checker refused, the launcher's
# stop request, and a server that cannot be reached.
# usage: checker.sh BUILD_DIR QRT100_EXE UIDRIVER_EXE REFSERVER SCENARIO
set -euo pipefail
# shellcheck source=scripts/e2e/lib.sh
source "$(dirname "$0")/../../scripts/e2e/lib.sh"
[ $# -eq 5 ] || { echo "usage: $0 BUILD_DIR QRT100_EXE UIDRIVER_EXE REFSERVER SCENARIO" >&2; exit 2; }
e2e_init checker "$1" "$3"
qrt100=$2 refserver=$4 scenario=$5

# new_checker_folder PORT: an install folder with the checker, the connection
# settings (the reference server as the HTTP proxy), the account DEMO01 and
# options that search every issue and pop up every five minutes.
new_checker_folder() {
  local dir
  dir=$(e2e_new_install)
  e2e_install "$qrt100" "$dir" QRT100.EXE
  e2e_write_zorax_ini "$dir" NO_SSL ON PROXY_USE ON PROXY "127.0.0.1:$1" リトライカウント 01 リトライ間隔 00100
  e2e_checker_account "$dir"
  printf '%s' "$dir"
}


trace_of() { e2e_sjis "$1/DBGDATA" | tr -d '\r'; }

# --- Start-up, the first check and the stored result ------------------------------
e2e_start_server "$refserver" "$scenario" main
dir=$(new_checker_folder "$E2E_SERVER_PORT")
# A QRT000.NEW left by an update replaces the launcher once no launcher runs,
# carrying its last-write time.
printf 'old launcher' >"$dir/QRT000.EXE"
printf 'new launcher' >"$dir/QRT000.NEW"
touch -d '2030-12-31 03:00:00 UTC' "$dir/QRT000.NEW"
urls=$E2E_ARTIFACTS/opened-urls.txt
e2e_set_browser "$urls"
e2e_start "$dir" "$dir/QRT100.EXE"
checker=$E2E_PID
started=$SECONDS
e2e_wait_run_sts 1 30 || e2e_fail "run_sts of QRT100 did not become 1"
for ((i = 0; i < 100; i++)); do
  [ -e "$dir/QRT000.NEW" ] || break
  sleep 0.1
done
[ ! -e "$dir/QRT000.NEW" ] || e2e_fail "QRT000.NEW stayed: $(trace_of "$dir" | grep QRT000 | tail -3)"
[ "$(cat "$dir/QRT000.EXE")" = "new launcher" ] || e2e_fail "QRT000.EXE was not replaced"
[ "$(date -u -r "$dir/QRT000.EXE" +%Y%m%d%H%M%S)" = 20301231030000 ] ||
  e2e_fail "QRT000.EXE has not the time of QRT000.NEW: $(date -u -r "$dir/QRT000.EXE")"
e2e_ui wait "Wine System Tray" 20 || e2e_fail "no tray icon was registered"
e2e_ui -a wait QRT100 5 || e2e_fail "no hidden main window QRT100"

e2e_wait_file "$dir/DLV/LAST_PD.FIL" 40 || e2e_fail "no check stored a result: $(trace_of "$dir" | tail -20)"
checked=$((SECONDS - started))
e2e_log "result stored $checked s after the start"
((checked <= 25)) || e2e_fail "the first check took $checked s"
[ "$(cat "$dir/DLV/LAST_PD.FIL")" = 20240112 ] || e2e_fail "LAST_PD.FIL: $(cat "$dir/DLV/LAST_PD.FIL")"
[ "$(tr -d '\r' <"$dir/DLV/RESULT/LIST_NO.FIL")" = $'[COMMON]\nlist_no_f=1\nlist_no_t=1\nlist_no_cnt=1' ] ||
  e2e_fail "LIST_NO.FIL: $(cat "$dir/DLV/RESULT/LIST_NO.FIL")"
grep -q '^20240112          20240112' "$dir/DLV/UPDATE_TM" || e2e_fail "UPDATE_TM: $(cat "$dir/DLV/UPDATE_TM")"
result=$(e2e_sjis "$dir/DLV/RESULT/00001.FIL" | tr -d '\r')
grep -qx 'rslt_cnt=4' <<<"$result" || e2e_fail "result file: $result"
grep -qx 'inq_date_f=20240106' <<<"$result" || e2e_fail "the range of dlv_type 0: $result"
grep -qx 'exp_nm=オルヴァンタ（第９類）' <<<"$result" || e2e_fail "result file: $result"

# --- The dialog lists the requests -------------------------------------------------
e2e_ui wait 新着情報 15 || e2e_fail "the new-arrivals dialog did not appear"
rows=$(e2e_ui list 新着情報 1072) || e2e_fail "cannot read the list"
printf '%s\n' "$rows" >"$E2E_ARTIFACTS/list-before.txt"
expected=$'オルヴァンタ（第９類）\t35\t　\nＳＤＩ 称呼検索「ソラックス」\t7\t　\n図形商標 星形\t0\t―\n指定商品 電子計算機用プログラム\t12\t　'
[ "$(tr -d '\r' <<<"$rows")" = "$expected" ] || e2e_fail "list rows: $rows"
texts=$(e2e_ui texts 新着情報)
grep -qF '検索範囲：20240106 ～ 20240112' <<<"$texts" || e2e_fail "dialog texts: $texts"
e2e_columns_fit 新着情報 1072 new-arrivals
e2e_shot 新着情報 dialog

# "新着確認" on the zero-hit request is refused; on the first it opens the page.
e2e_ui select 新着情報 2 1072 || e2e_fail "cannot select row 2"
e2e_ui click 新着情報 新着確認 || e2e_fail "cannot press 新着確認"
e2e_ui wait QRT100 10 || e2e_fail "no message for a request without hits"
grep -qF '検索結果が０件です。表示できません。' <<<"$(e2e_ui texts QRT100)" || e2e_fail "not the zero-hit message"
e2e_ui click QRT100 OK
e2e_ui gone QRT100 10 || e2e_fail "the message stayed"
e2e_ui select 新着情報 0 1072 || e2e_fail "cannot select row 0"
e2e_ui click 新着情報 新着確認 || e2e_fail "cannot press 新着確認"
e2e_wait_file "$urls" 20 || e2e_fail "no page was opened"
[ "$(head -1 "$urls")" = 'http://127.0.0.1/QRT_SDI.HTM?KD00=TM&RNO=00123' ] || e2e_fail "opened: $(cat "$urls")"
sleep 0.5
rows=$(e2e_ui list 新着情報 1072 | tr -d '\r')
[ "$(head -1 <<<"$rows")" = $'オルヴァンタ（第９類）\t35\t○' ] || e2e_fail "not marked viewed: $rows"

# "閉じる" stores the viewed flags (zero-hit requests count as viewed) and the option.
[ ! -e "$dir/DLV/RESULT/00001_VWD.FIL" ] || e2e_fail "viewed flags written before 閉じる"
e2e_ui click 新着情報 閉じる || e2e_fail "cannot press 閉じる"
e2e_ui gone 新着情報 10 || e2e_fail "the dialog stayed"
vwd=$(tr -d '\r' <"$dir/DLV/RESULT/00001_VWD.FIL" | tr '\n' ' ')
[ "$vwd" = '[00001] vwd_fg=1 [00002] vwd_fg=0 [00003] vwd_fg=1 [00004] vwd_fg=0 ' ] ||
  e2e_fail "viewed flags: $vwd"
config=$(tr -d '\r' <"$dir/DLV/CONFIG.INI")
grep -qx 'disp_first=0' <<<"$config" && grep -qx 'dlv_type=0' <<<"$config" || e2e_fail "CONFIG.INI: $config"

# The tray command "ＳＤＩ 最新情報" shows the dialog again on request.
e2e_ui -a command QRT100 40005 || e2e_fail "cannot send ＳＤＩ 最新情報"
e2e_ui wait 新着情報 10 || e2e_fail "ＳＤＩ 最新情報 did not open the dialog"
rows=$(e2e_ui list 新着情報 1072 | tr -d '\r')
[ "$(head -1 <<<"$rows")" = $'オルヴァンタ（第９類）\t35\t○' ] || e2e_fail "viewed mark lost: $rows"
e2e_ui click 新着情報 閉じる
e2e_ui gone 新着情報 10 || e2e_fail "the dialog stayed"

# --- A second checker is refused ------------------------------------------------------
e2e_start "$dir" "$dir/QRT100.EXE"
second=$E2E_PID
e2e_ui wait QRT100 30 || e2e_fail "the second checker showed no message"
texts=$(e2e_ui texts QRT100)
printf '%s\n' "$texts" >"$E2E_ARTIFACTS/second-checker-texts.txt"
e2e_shot QRT100 second-checker
grep -qF '【ＳＤＩチェッカー機能:QRT100】は既に起動されています。\n起動を中止します。' <<<"$texts" ||
  e2e_fail "not the already-running message: $texts"
e2e_ui click QRT100 OK || e2e_fail "cannot press OK"
e2e_wait_exit "$second" 20 || e2e_fail "the second checker did not end"
e2e_running "$checker" || e2e_fail "the first checker ended with the second"

# --- The launcher's stop request ---------------------------------------------------------
e2e_ui shm QRT100 0 9 || e2e_fail "cannot write run_sts"
stop_at=$SECONDS
e2e_wait_exit "$checker" 10 || e2e_fail "the checker did not end on run_sts 9"
e2e_log "ended $((SECONDS - stop_at)) s after run_sts 9"
((SECONDS - stop_at <= 3)) || e2e_fail "the checker took $((SECONDS - stop_at)) s to end"
e2e_collect "$dir" main-
trace=$(trace_of "$dir")
grep -qF '*****   ＳＤＩチェッカー停止 [' <<<"$trace" || e2e_fail "no scheduler banner: $trace"
grep -qF '*****   ＳＤＩチェッカー終了 [' <<<"$trace" || e2e_fail "no closing banner: $trace"
grep -q '^\*\*\*\*\* QRT100 Finished DATE:[0-9/]* TIME:[0-9:]* \*\*\*\*\*$' <<<"$(e2e_sjis "$dir/ERRDATA" | tr -d '\r')" ||
  e2e_fail "ERRDATA: $(cat "$dir/ERRDATA")"
e2e_ui shm QRT100 0 >/dev/null 2>&1 && e2e_fail "the control block outlived the checker"
e2e_stop_server

# --- The server cannot be reached: every pass tries again, nothing is stored ----------
e2e_start_server "$refserver" "$scenario" gone
dir=$(new_checker_folder "$E2E_SERVER_PORT")
e2e_start "$dir" "$dir/QRT100.EXE"
checker=$E2E_PID
# The user master is fetched during the start-up; then the server goes away.
e2e_wait_run_sts 1 30 || e2e_fail "unreachable: run_sts did not become 1"
e2e_stop_server
for pass in 1 2; do
  e2e_ui wait QRT100 30 || e2e_fail "unreachable: no message on pass $pass"
  e2e_ui texts QRT100 >"$E2E_ARTIFACTS/unreachable-$pass.txt"
  e2e_ui click QRT100 OK || e2e_fail "unreachable: cannot press OK"
  e2e_ui gone QRT100 10 || e2e_fail "unreachable: the message stayed"
done
attempts=$(trace_of "$dir" | grep -c '^\*\*\* get_zrdb_url \*\*\*$' || true)
((attempts >= 2)) || e2e_fail "unreachable: $attempts logon attempts"
[ ! -e "$dir/DLV/LAST_PD.FIL" ] && [ ! -e "$dir/DLV/UPDATE_TM" ] && [ ! -e "$dir/DLV/RESULT/00001.FIL" ] ||
  e2e_fail "unreachable: something was stored: $(ls -R "$dir/DLV")"
e2e_ui shm QRT100 0 9 || e2e_fail "cannot write run_sts"
e2e_wait_exit "$checker" 40 || e2e_fail "unreachable: the checker did not end"
e2e_collect "$dir" unreachable-
