#!/usr/bin/env bash
# End-to-end tests of the launcher's options, history and ID dialogs (qrt000.exe
# under Wine and Xvfb, opened from its menu and driven through their controls):
# CONFIG.INI as the options dialog stores it, the start-up shortcut read back
# through the shell-link interface and deleted again; the history of three
# results across the number wrap, its marks, 結果表示 with its messages, the
# browser page and the _VWD file; a new account tested against the reference
# server, a refused one, and an emptied ID that contacts no server; the
# network settings opened from the options: the enable rules, ZORAX.INI with
# exactly the changed lines, PROXY.FIL written, shown decoded and deleted, and
# the discovery from the prefix's Internet settings ending the launcher.
# usage: launcher_dialogs.sh BUILD_DIR QRT000_EXE QRT100_EXE UIDRIVER_EXE REFSERVER SCENARIO
set -euo pipefail
# shellcheck shell=bash source=scripts/e2e/lib.sh
source "$(dirname "$0")/../../scripts/e2e/lib.sh"
[ $# -eq 6 ] ||
  { echo "usage: $0 BUILD_DIR QRT000_EXE QRT100_EXE UIDRIVER_EXE REFSERVER SCENARIO" >&2; exit 2; }
e2e_init launcher_dialogs "$1" "$4"
qrt000=$2 qrt100=$3 refserver=$5 scenario=$6

menu=ＳＤＩ\ チェッカーメニュー
title='QRT000 ZORAX接続'
options='QRT020  オプション設定'
history='SDI 履歴'
account='QRT040  ID,PASS設定'

# The demo world with a second account that the server accepts.
world=$E2E_TMP/world.scenario
{
  cat "$scenario"
  printf '\n[user NEW01]\npassword = new01\nkinds = 51\n'
} >"$world"
e2e_start_server "$refserver" "$world" dialogs
server_log=$E2E_ARTIFACTS/dialogs-server.log
folder() { e2e_launcher_install "$qrt000" "$qrt100" "$E2E_SERVER_PORT" OFF; }

# open_menu DIR: starts the launcher with its menu (pid in launcher).
open_menu() {
  e2e_start "$1" "$1/QRT000.EXE" 0
  launcher=$E2E_PID
  e2e_ui wait "$menu" 30 || e2e_fail "no menu"
}
# open_dialog BUTTON TITLE: presses a menu button and waits for its dialog.
open_dialog() {
  e2e_ui click "$menu" "$1" || e2e_fail "cannot press $1"
  e2e_ui wait "$2" 30 || e2e_fail "$1 opened no dialog"
}
# press TITLE BUTTON: presses a button of a dialog that then closes.
press_closing() {
  e2e_ui click "$1" "$2" || e2e_fail "cannot press $2 in $1"
  e2e_ui gone "$1" 10 || e2e_fail "$1 stayed after $2"
}
close_menu() {
  e2e_ui click "$menu" 戻り || e2e_fail "cannot press 戻り in the menu"
  e2e_wait_exit "$launcher" 20 || e2e_fail "the launcher did not end"
}
ui_texts() { e2e_ui texts "$@" | tr -d '\r'; }

# ---- Options ----------------------------------------------------------------------
dir=$(folder)
printf '[SYSTEM]\r\ndlv_type=0\r\ncheck_time=00:00:00\r\ndisp_cycle=2\r\nauto_start=0\r\nzero_disp=0\r\ndisp_first=1\r\n' \
  >"$dir/DLV/CONFIG.INI"
startup=$(e2e_ui folder startup | tr -d '\r') || e2e_fail "the prefix has no Startup folder"
link="$startup\\QRT_SDI.LNK"
link_unix=$(e2e_bounded 30 "$QRT_WINE" winepath -u "$link" 2>/dev/null | tr -d '\r')
rm -f "$link_unix"
open_menu "$dir"
open_dialog "SDI 設定" "$options"
# The lists in their order; 00:00:00 is not offered and shows 12:30.
lines() { tr -d '\r' | paste -sd '|'; }
[ "$(e2e_ui combo "$options" 1135 | lines)" = '*発行日毎| 週１回| 半月１回| 月１回' ] ||
  e2e_fail "delivery cycles: $(e2e_ui combo "$options" 1135 | lines)"
[ "$(e2e_ui combo "$options" 1132 | lines)" = ' 　５分毎| １０分毎|*３０分毎| １時間毎| ２時間毎' ] ||
  e2e_fail "display intervals: $(e2e_ui combo "$options" 1132 | lines)"
times=$(e2e_ui combo "$options" 1131 | tr -d '\r')
expected_times=$(for ((m = 30; m < 24 * 60; m += 30)); do
  mark=' '
  [ "$m" = 750 ] && mark='*'
  printf '%s%02d:%02d\n' "$mark" $((m / 60)) $((m % 60))
done)
[ "$times" = "$expected_times" ] || e2e_fail "check times: $(paste -sd ' ' <<<"$times")"
texts=$(ui_texts "$options")
[ "$(e2e_control "$texts" 1130 4)" = 'ＳＤＩチェッカーの自動起動（ログオン時）' ] ||
  e2e_fail "options texts: $texts"
[ "$(e2e_ui check "$options" 1130 | tr -d '\r')" = 0 ] || e2e_fail "auto_start shown on"
# 登録 without a change stores the time shown: 12:30:00.
press_closing "$options" 登録
[ "$(cat "$dir/DLV/CONFIG.INI")" = $'[SYSTEM]\r\ndlv_type=0\r\ncheck_time=12:30:00\r\ndisp_cycle=2\r\nauto_start=0\r\nzero_disp=0\r\ndisp_first=1\r' ] ||
  e2e_fail "CONFIG.INI after 登録 without a change: $(cat -A "$dir/DLV/CONFIG.INI")"
[ ! -e "$link_unix" ] || e2e_fail "a shortcut was made with auto start off"
open_dialog "SDI 設定" "$options"
[ "$(e2e_ui combo "$options" 1131 | grep '^\*' | tr -d '\r')" = '*12:30' ] || e2e_fail "12:30 not shown"
# Every control changed, then 登録.
e2e_ui combo "$options" 1135 2 >/dev/null || e2e_fail "cannot choose 半月１回"
e2e_ui combo "$options" 1131 13 >/dev/null || e2e_fail "cannot choose 07:00"
e2e_ui combo "$options" 1132 4 >/dev/null || e2e_fail "cannot choose ２時間毎"
e2e_ui check "$options" 1130 1 >/dev/null || e2e_fail "cannot check auto start"
e2e_ui check "$options" 1133 1 >/dev/null || e2e_fail "cannot check zero_disp"
e2e_shot "$options" launcher-options
press_closing "$options" 登録
expected=$'[SYSTEM]\r\ndlv_type=2\r\ncheck_time=07:00:00\r\ndisp_cycle=4\r\nauto_start=1\r\nzero_disp=1\r\ndisp_first=1\r'
[ "$(cat "$dir/DLV/CONFIG.INI")" = "$expected" ] ||
  e2e_fail "CONFIG.INI after 登録: $(cat -A "$dir/DLV/CONFIG.INI")"
# The shortcut, read back through the shell-link interface.
shortcut=$(e2e_ui link "$link" | tr -d '\r') || e2e_fail "no shortcut at $link"
printf '%s\n' "$shortcut" >"$E2E_ARTIFACTS/shortcut.txt"
field() { awk -F'\t' -v k="$1" '$1 == k { print $2; exit }' <<<"$shortcut"; }
inst=$(e2e_winpath "$dir")
lower() { tr '[:upper:]' '[:lower:]' <<<"$1"; }
[ "$(lower "$(field target)")" = "$(lower "$inst\\qrt000.exe")" ] || e2e_fail "shortcut target: $shortcut"
[ "$(field arguments)" = S ] || e2e_fail "shortcut arguments: $shortcut"
[ "$(lower "$(field folder)")" = "$(lower "$inst")" ] || e2e_fail "shortcut folder: $shortcut"
[ "$(field description)" = 'Orvanta SDI' ] || e2e_fail "shortcut description: $shortcut"
[ "$(lower "$(field icon)")" = "$(lower "$inst\\qrt000.exe,2")" ] || e2e_fail "shortcut icon: $shortcut"
[ "$(field show)" = 1 ] || e2e_fail "shortcut window: $shortcut"
grep -qF "STARTUP[$link]" <<<"$(e2e_sjis "$dir/DBG_QRT000.LST" | tr -d '\r')" ||
  e2e_fail "no STARTUP trace line for $link"
# Opened again: the stored choice; 戻り changes nothing.
open_dialog "SDI 設定" "$options"
[ "$(e2e_ui combo "$options" 1131 | grep '^\*' | tr -d '\r')" = '*07:00' ] ||
  e2e_fail "07:00 is not selected again"
e2e_ui check "$options" 1133 0 >/dev/null || e2e_fail "cannot uncheck zero_disp"
press_closing "$options" 戻り
[ "$(cat "$dir/DLV/CONFIG.INI")" = "$expected" ] || e2e_fail "戻り changed CONFIG.INI"
# Auto start turned off: the shortcut goes.
open_dialog "SDI 設定" "$options"
e2e_ui check "$options" 1130 0 >/dev/null || e2e_fail "cannot uncheck auto start"
press_closing "$options" 登録
[ ! -e "$link_unix" ] || e2e_fail "QRT_SDI.LNK stayed with auto start off"
grep -q '^auto_start=0' "$dir/DLV/CONFIG.INI" || e2e_fail "auto_start not stored off"
close_menu
e2e_collect "$dir" options-

# ---- Network settings (from the options dialog) -----------------------------------
dir=$(folder)
network=ネットワーク設定
open_menu "$dir"
# open_network: the options dialog, then its ネットワーク設定 button.
open_network() {
  open_dialog "SDI 設定" "$options"
  e2e_ui click "$options" ネットワーク設定 || e2e_fail "cannot press ネットワーク設定"
  e2e_ui wait "$network" 30 || e2e_fail "no network settings dialog"
}
# close_network BUTTON: OK or ｷｬﾝｾﾙ, then 戻り in the options dialog.
close_network() {
  press_closing "$network" "$1"
  press_closing "$options" 戻り
}
net_flag() { e2e_control "$(ui_texts "$network")" "$1" 3; }
open_network
texts=$(ui_texts "$network")
printf '%s\n' "$texts" >"$E2E_ARTIFACTS/network-texts.txt"
[ "$(e2e_control "$texts" 1012 4)" = 127.0.0.1 ] && [ "$(e2e_control "$texts" 1013 4)" = "$E2E_SERVER_PORT" ] ||
  e2e_fail "network: the proxy is not shown: $texts"
[ "$(e2e_ui check "$network" 1135 | tr -d '\r')" = 1 ] && [ "$(e2e_ui check "$network" 1052 | tr -d '\r')" = 1 ] ||
  e2e_fail "network: the check boxes do not show PROXY_USE ON and NO_SSL ON"
e2e_shot "$network" launcher-network
# The enable rules: without the proxy only HTTP TEST enables the credentials.
e2e_ui check "$network" 1135 0 >/dev/null || e2e_fail "cannot uncheck the proxy box"
for id in 1012 1013 1031 1004 1007; do
  [ "$(net_flag "$id")" = disabled ] || e2e_fail "network: control $id enabled without the proxy"
done
e2e_ui check "$network" 1010 1 >/dev/null || e2e_fail "cannot check HTTP TEST"
for id in 1004 1007; do [ "$(net_flag "$id")" = - ] || e2e_fail "network: $id disabled with HTTP TEST"; done
for id in 1012 1013 1031; do [ "$(net_flag "$id")" = disabled ] || e2e_fail "network: $id enabled"; done
# ｷｬﾝｾﾙ keeps ZORAX.INI.
ini_before=$(cat "$dir/USER/ZORAX.INI")
close_network ｷｬﾝｾﾙ
[ "$(cat "$dir/USER/ZORAX.INI")" = "$ini_before" ] || e2e_fail "network: ｷｬﾝｾﾙ changed ZORAX.INI"
# OK without a change writes the file as the writer writes it; the next OK
# changes exactly the lines of the changed controls.
open_network
close_network OK
base=$(e2e_sjis "$dir/USER/ZORAX.INI" | tr -d '\r')
open_network
e2e_ui check "$network" 1121 1 >/dev/null || e2e_fail "cannot check HTTP1.1"
e2e_ui check "$network" 1009 1 >/dev/null || e2e_fail "cannot check NTLM_MODE"
e2e_ui type "$network" 1013 3128 || e2e_fail "cannot type the port"
e2e_ui type "$network" 1004 proxyuser || e2e_fail "cannot type the proxy user"
e2e_ui type "$network" 1007 proxypass || e2e_fail "cannot type the proxy password"
close_network OK
now=$(e2e_sjis "$dir/USER/ZORAX.INI" | tr -d '\r')
delta=$({ diff <(printf '%s\n' "$base") <(printf '%s\n' "$now") || true; } | grep '^[<>]' | paste -sd '|')
[ "$delta" = "< PROXY_HTTP_VER      OFF|> PROXY_HTTP_VER      ON|< NTLM_MODE           OFF|> NTLM_MODE           ON|< PROXY               127.0.0.1:$E2E_SERVER_PORT|> PROXY               127.0.0.1:3128" ] ||
  e2e_fail "network: the changed lines of ZORAX.INI: $delta"
[ "$(cat "$dir/USER/PROXY.FIL")" = "$(printf 'proxyuser:proxypass' | base64 -w0)" ] ||
  e2e_fail "network: PROXY.FIL: $(cat "$dir/USER/PROXY.FIL")"
# HTTP TEST on: the credentials are kept encoded and shown decoded.
open_network
e2e_ui check "$network" 1010 1 >/dev/null || e2e_fail "cannot check HTTP TEST"
close_network OK
grep -q '^ZRHTTP_USE          ON' <<<"$(e2e_sjis "$dir/USER/ZORAX.INI" | tr -d '\r')" ||
  e2e_fail "network: ZRHTTP_USE not stored ON"
open_network
texts=$(ui_texts "$network")
[ "$(e2e_control "$texts" 1004 4)" = proxyuser ] && [ "$(e2e_control "$texts" 1007 4)" = proxypass ] ||
  e2e_fail "network: the credentials are not shown decoded: $texts"
# SOCKS with HTTP TEST stores ZRHTTP_USE OFF; an empty user deletes PROXY.FIL.
e2e_ui check "$network" 1016 1 >/dev/null || e2e_fail "cannot check SOCKS"
e2e_ui type "$network" 1004 '' || e2e_fail "cannot empty the proxy user"
close_network OK
now=$(e2e_sjis "$dir/USER/ZORAX.INI" | tr -d '\r')
grep -q '^ZRHTTP_USE          OFF' <<<"$now" && grep -q '^SOCKS_USE           ON' <<<"$now" ||
  e2e_fail "network: SOCKS with HTTP TEST: $now"
[ ! -e "$dir/USER/PROXY.FIL" ] || e2e_fail "network: PROXY.FIL stayed with an empty user"
# The discovery from the prefix's Internet settings: ZORAX.INI rewritten with the
# proxy found (only its PROXY line changes), the message, the launcher ended.
key='HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings'
reg() { e2e_bounded 60 "$QRT_WINE" reg "$@" >/dev/null 2>&1; }
reg add "$key" /v ProxyEnable /t REG_DWORD /d 1 /f || e2e_fail "cannot set ProxyEnable"
reg add "$key" /v ProxyServer /t REG_SZ /d "http=discovered:8123;https=other:8443" /f ||
  e2e_fail "cannot set ProxyServer"
before=$(e2e_sjis "$dir/USER/ZORAX.INI" | tr -d '\r')
# With Ctrl: the HTTP service's view of the settings (its connection blob names
# a proxy without a port) fills the edits; nothing is saved.
blob=$(python3 -c 'import struct; p = b"proxyctrl"; b = b"<local>"
print((struct.pack("<IIII", 0x46, 1, 3, len(p)) + p + struct.pack("<I", len(b)) + b + bytes(36)).hex())')
reg add "$key\\Connections" /v DefaultConnectionSettings /t REG_BINARY /d "$blob" /f ||
  e2e_fail "cannot set the connection settings"
open_network
e2e_ui ctrlclick "$network" OSのプロキシ設定から情報を再取得する || e2e_fail "cannot press the discovery button with Ctrl"
texts=$(ui_texts "$network")
[ "$(e2e_control "$texts" 1012 4)" = proxyctrl ] && [ "$(e2e_control "$texts" 1013 4)" = 80 ] ||
  e2e_fail "discovery with Ctrl: the edits show: $texts"
e2e_shot "$network" launcher-network-discovered
close_network ｷｬﾝｾﾙ
reg delete "$key\\Connections" /v DefaultConnectionSettings /f || true
[ "$(e2e_sjis "$dir/USER/ZORAX.INI" | tr -d '\r')" = "$before" ] || e2e_fail "discovery with Ctrl saved ZORAX.INI"
open_network
e2e_ui click "$network" OSのプロキシ設定から情報を再取得する || e2e_fail "cannot press the discovery button"
e2e_ok_box "$title" プロキシ情報の取得が終了しました。 discovery
e2e_wait_exit "$launcher" 20 || e2e_fail "discovery: the launcher did not end"
reg delete "$key" /v ProxyEnable /f || true
reg delete "$key" /v ProxyServer /f || true
now=$(e2e_sjis "$dir/USER/ZORAX.INI" | tr -d '\r')
delta=$({ diff <(printf '%s\n' "$before") <(printf '%s\n' "$now") || true; } | grep '^[<>]' | paste -sd '|')
[ "$delta" = "< PROXY               127.0.0.1:3128|> PROXY               discovered:8123" ] ||
  e2e_fail "discovery: the changed lines of ZORAX.INI: $delta"
grep -q '^PROXY_USE           ON' <<<"$now" || e2e_fail "discovery: PROXY_USE not ON: $now"
e2e_collect "$dir" network-

# ---- History --------------------------------------------------------------------
dir=$(folder)
urls=$E2E_TMP/urls.txt
e2e_set_browser "$urls"
mkdir -p "$dir/DLV/RESULT"
printf '[COMMON]\r\nlist_no_f=99999\r\nlist_no_t=2\r\nlist_no_cnt=3\r\n' >"$dir/DLV/RESULT/LIST_NO.FIL"
# result N FROM TO REQUESTS...: a result file; each request "rslt_no:inq_cnt:name".
result() {
  local n=$1 from=$2 to=$3 i=0 r
  shift 3
  {
    printf '[LIST]\nrslt_cnt=%d\nsdi_date=%s\nsdi_time=09:15:00\ninq_date_f=%s\ninq_date_t=%s\n' \
      $# "$to" "$from" "$to"
    for r in "$@"; do
      i=$((i + 1))
      IFS=: read -r no cnt name <<<"$r"
      printf '[%05d]\nrslt_no=%d\ninq_cnt=%d\nexp_nm=%s\n' "$i" "$no" "$cnt" "$name"
    done
  } | e2e_write_sjis "$dir/DLV/RESULT/$(printf '%05d' "$n").FIL"
}
result 2 2024/01/12 2024/01/12 '123:35:オルヴァンタ（第９類）' '125:0:図形商標 星形'
result 1 2024/01/10 2024/01/11 '201:10001:指定商品 電子計算機' '202:4:称呼 ソラックス'
result 99999 2024/01/05 2024/01/09
open_menu "$dir"
open_dialog "SDI 履歴" "$history"
[ "$(e2e_ui combo "$history" 1105 | lines)" = \
  '*2024/01/12 ～ 2024/01/12| 2024/01/10 ～ 2024/01/11| 2024/01/05 ～ 2024/01/09' ] ||
  e2e_fail "history items: $(e2e_ui combo "$history" 1105 | lines)"
texts=$(e2e_ui -a texts "$history" | tr -d '\r')
printf '%s\n' "$texts" >"$E2E_ARTIFACTS/history-texts.txt"
[ "$(e2e_control "$texts" 1133 4)" = '検索日時：2024/01/12 09:15:00\n検索範囲：2024/01/12 ～ 2024/01/12\n' ] ||
  e2e_fail "history summary: $texts"
[ "$(e2e_control "$texts" 1076 3)" = hidden ] || e2e_fail "説明 is not hidden: $texts"
rows=$(e2e_ui list "$history" 1091 | tr -d '\r')
[ "$rows" = $'オルヴァンタ（第９類）\t35\t　\n図形商標 星形\t0\t―' ] || e2e_fail "history rows: $rows"
e2e_columns_fit "$history" 1091 history
e2e_ui click "$history" 結果表示 || e2e_fail "cannot press 結果表示"
e2e_ok_box "$title" 確認したい情報を選択してください。 "no row"
e2e_ui select "$history" 1 1091 || e2e_fail "cannot select the zero-hit row"
e2e_ui click "$history" 結果表示 || e2e_fail "cannot press 結果表示"
e2e_ok_box "$title" 検索結果が０件です。表示できません。 "zero hits"
e2e_ui select "$history" 0 1091 || e2e_fail "cannot select the first row"
e2e_ui click "$history" 結果表示 || e2e_fail "cannot press 結果表示"
e2e_wait_file "$urls" 20 || e2e_fail "結果表示 opened no page"
[ "$(cat "$urls")" = "http://127.0.0.1/QRT_SDI.HTM?KD00=TM&RNO=00123" ] || e2e_fail "page: $(cat "$urls")"
rows=$(e2e_ui list "$history" 1091 | tr -d '\r')
[ "$rows" = $'オルヴァンタ（第９類）\t35\t○\n図形商標 星形\t0\t―' ] || e2e_fail "rows after 結果表示: $rows"
tr -d '\r' <"$dir/DLV/RESULT/00002_VWD.FIL" | grep -qzF $'[00001]\nvwd_fg=1\n' ||
  e2e_fail "00002_VWD.FIL: $(cat -A "$dir/DLV/RESULT/00002_VWD.FIL")"
e2e_shot "$history" launcher-history
# The older result: its rows; a request over 10000 hits is not opened.
e2e_ui combo "$history" 1105 1 >/dev/null || e2e_fail "cannot choose the second result"
rows=$(e2e_ui list "$history" 1091 | tr -d '\r')
[ "$rows" = $'指定商品 電子計算機\t10001\t　\n称呼 ソラックス\t4\t　' ] || e2e_fail "result 1 rows: $rows"
e2e_ui select "$history" 0 1091 || e2e_fail "cannot select row 0 of result 1"
e2e_ui click "$history" 結果表示 || e2e_fail "cannot press 結果表示"
e2e_ok_box "$title" 表示件数が10000を超えました。表示できません。 "too many hits"
[ "$(wc -l <"$urls")" = 1 ] || e2e_fail "a page was opened for a refused row: $(cat "$urls")"
# The wrapped result has no requests.
e2e_ui combo "$history" 1105 2 >/dev/null || e2e_fail "cannot choose result 99999"
[ -z "$(e2e_ui list "$history" 1091 | tr -d '\r')" ] || e2e_fail "result 99999 shows rows"
press_closing "$history" 戻り
# The counters emptied while the menu is open: the message, no dialog.
printf '[COMMON]\r\nlist_no_f=0\r\nlist_no_t=0\r\nlist_no_cnt=0\r\n' >"$dir/DLV/RESULT/LIST_NO.FIL"
e2e_ui click "$menu" "SDI 履歴" || e2e_fail "cannot press SDI 履歴 again"
e2e_ok_box "$title" ＳＤＩ履歴はありません。 "no results"
if e2e_ui wait "$history" 2 2>/dev/null; then e2e_fail "the history opened without results"; fi
close_menu
e2e_collect "$dir" history-

# ---- ID and password --------------------------------------------------------------
dir=$(folder)
uid() { cat "$dir/USER/UID_QRT.FIL"; }
user_checks() { grep -c 'mid=0118' "$server_log" || true; }
open_menu "$dir"
open_dialog "ID, PASS設定" "$account"
texts=$(ui_texts "$account")
[ "$(e2e_control "$texts" 1126 4)" = DEMO01 ] || e2e_fail "the ID is not shown: $texts"
# A ninth character is not accepted.
e2e_ui type "$account" 1126 NEW01XYZW || e2e_fail "cannot type the ID"
[ "$(e2e_control "$(ui_texts "$account")" 1126 4)" = NEW01XYZ ] ||
  e2e_fail "the ID edit took more than eight characters: $(ui_texts "$account")"
e2e_ui type "$account" 1126 NEW01 || e2e_fail "cannot type the ID"
e2e_ui type "$account" 1127 new01 || e2e_fail "cannot type the password"
e2e_shot "$account" launcher-account
checks=$(user_checks)
press_closing "$account" 設定
[ "$(uid)" = "$(printf 'NEW01\0\0\0\0new01\0\0\0\0' | base64 -w0)" ] || e2e_fail "UID_QRT.FIL: $(uid)"
[ "$(user_checks)" -gt "$checks" ] || e2e_fail "the new account was not checked with the server"
grep -q 'mid=0118 kd00=00 user=NEW01' "$server_log" || e2e_fail "no user check of NEW01"
# The account accepted: the menu enables its buttons (no result, so no history).
texts=$(ui_texts "$menu")
for id in 1072 1075 1080; do
  [ "$(e2e_control "$texts" "$id" 3)" = - ] || e2e_fail "menu button $id after the account: $texts"
done
# A refused account: the message, the dialog stays with the rejected texts.
before=$(uid)
open_dialog "ID, PASS設定" "$account"
e2e_ui type "$account" 1127 wrong || e2e_fail "cannot type the password"
e2e_ui click "$account" 設定 || e2e_fail "cannot press 設定"
e2e_ok_box "$title" Ｏｒｖａｎｔａに接続できません。 refused
texts=$(ui_texts "$account") || e2e_fail "the ID dialog closed after a refusal"
[ "$(e2e_control "$texts" 1126 4)" = NEW01 ] && [ "$(e2e_control "$texts" 1127 4)" = wrong ] ||
  e2e_fail "the edits after the refusal: $texts"
[ "$(uid)" = "$before" ] || e2e_fail "a refused account changed UID_QRT.FIL"
press_closing "$account" 戻り
# Reopened, the dialog shows the stored account, not the refused one.
open_dialog "ID, PASS設定" "$account"
[ "$(e2e_control "$(ui_texts "$account")" 1127 4)" = new01 ] ||
  e2e_fail "the refused password stayed: $(ui_texts "$account")"
# An emptied ID: the 24 "A" file, no request.
checks=$(user_checks)
e2e_ui type "$account" 1126 '' || e2e_fail "cannot empty the ID"
press_closing "$account" 設定
[ "$(uid)" = AAAAAAAAAAAAAAAAAAAAAAAA ] || e2e_fail "UID_QRT.FIL after emptying the ID: $(uid)"
[ "$(user_checks)" = "$checks" ] || e2e_fail "emptying the ID contacted the server"
close_menu
e2e_collect "$dir" account-
e2e_stop_server
