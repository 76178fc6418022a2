#!/usr/bin/env bash
# End-to-end tests of the SDI checker behind an authenticating proxy (qrt100.exe
# under Wine and Xvfb): its whole check through squid demanding NTLM, answered
# by Wine's NTLM package with the account of PROXY.FIL on connections squid
# keeps open; and with ZRHTTP_USE on, through the system HTTP client (WinINet)
# and the proxy named in the prefix's Internet settings: the reference server,
# and squid demanding Basic without stored credentials, where the system's
# password dialog asks for them at each challenge; squid refusing the stored
# Basic credentials (the credentials message). The launcher's start command
# with ZRHTTP_USE on goes through the system client as well.
# usage: checker_proxy.sh BUILD_DIR QRT100_EXE UIDRIVER_EXE REFSERVER SCENARIO QRT000_EXE
set -euo pipefail
# shellcheck source=scripts/e2e/lib.sh
source "$(dirname "$0")/../../scripts/e2e/lib.sh"
[ $# -eq 6 ] || {
  echo "usage: $0 BUILD_DIR QRT100_EXE UIDRIVER_EXE REFSERVER SCENARIO QRT000_EXE" >&2
  exit 2
}
e2e_init checker_proxy "$1" "$3"
qrt100=$2 refserver=$4 scenario=$5 qrt000=$6
root=$(cd "$(dirname "$0")/../.." && pwd)
# shellcheck source=scripts/squid.sh
source "$root/scripts/squid.sh"
squid_available || e2e_fail "squid (or root) is not available"

trace_of() { e2e_sjis "$1/DBGDATA" | tr -d '\r'; }

# checker_folder K V...: an install folder with the checker, the account DEMO01
# and ZORAX.INI with those settings.
checker_folder() {
  local dir
  dir=$(e2e_new_install)
  e2e_install "$qrt100" "$dir" QRT100.EXE
  e2e_write_zorax_ini "$dir" NO_SSL ON "$@" リトライカウント 01 リトライ間隔 00100
  e2e_checker_account "$dir"
  printf '%s' "$dir"
}

# check DIR WHAT: starts the checker, waits for its first check and its stored
# result, and stops it through its control block.
check() {
  local dir=$1 what=$2 checker
  e2e_start "$dir" "$dir/QRT100.EXE"
  checker=$E2E_PID
  e2e_wait_run_sts 1 30 || e2e_fail "$what: the checker did not start"
  e2e_wait_file "$dir/DLV/LAST_PD.FIL" 60 || e2e_fail "$what: no result: $(trace_of "$dir" | tail -30)"
  grep -qx 'rslt_cnt=4' <<<"$(e2e_sjis "$dir/DLV/RESULT/00001.FIL" | tr -d '\r')" ||
    e2e_fail "$what: the result file: $(cat "$dir/DLV/RESULT/00001.FIL")"
  e2e_ui shm QRT100 0 9 >/dev/null || e2e_fail "$what: cannot ask the checker to end"
  e2e_wait_exit "$checker" 30 || e2e_fail "$what: the checker did not end"
  e2e_collect "$dir" "$what-"
}

e2e_start_server "$refserver" "$scenario" proxy

# --- Through squid demanding NTLM -------------------------------------------------
sqdir=$(mktemp -d /tmp/qrt-e2e-squid.XXXXXX)
chmod 755 "$sqdir"
squid_start "$sqdir/ntlm" ntlm "$E2E_SERVER_PORT" || e2e_fail "squid did not start: $(tail -3 "$sqdir/ntlm/cache.log")"
E2E_PIDS+=("$SQUID_PID")
dir=$(checker_folder PROXY_USE ON PROXY "127.0.0.1:$SQUID_PORT" NTLM_MODE ON PROXY_HTTP_VER ON)
printf 'QRTDOM\\qrtproxy:proxy-secret' | base64 -w0 >"$dir/USER/PROXY.FIL"
check "$dir" ntlm
cp "$sqdir/ntlm/access.log" "$E2E_ARTIFACTS/ntlm-access.log"
trace=$(trace_of "$dir")
grep -qF 'Authorization is NTLM' <<<"$trace" || e2e_fail "ntlm: no NTLM conversation: $trace"
! grep -qF 'proxy-secret' <<<"$trace" || e2e_fail "ntlm: the proxy password reached the trace"
! grep -qF 'Auth Converse Error' <<<"$trace" || e2e_fail "ntlm: a conversation failed: $trace"
log=$(cat "$sqdir/ntlm/access.log")
for mid in 0118 0107 1200 0108; do
  grep -q "mid=$mid " "$E2E_ARTIFACTS/proxy-server.log" || e2e_fail "ntlm: message $mid did not reach the server"
done
grep -q 'TCP_DENIED/407 POST' <<<"$log" && grep -q '/200 POST' <<<"$log" ||
  e2e_fail "ntlm: squid's log: $log"
kill "$SQUID_PID" 2>/dev/null || true
rm -rf "$sqdir"

# --- A proxy refusing the stored credentials ---------------------------------------
sqdir=$(mktemp -d /tmp/qrt-e2e-squid.XXXXXX)
chmod 755 "$sqdir"
squid_start "$sqdir/basic" basic "$E2E_SERVER_PORT" ||
  e2e_fail "squid did not start: $(tail -3 "$sqdir/basic/cache.log")"
E2E_PIDS+=("$SQUID_PID")
dir=$(checker_folder PROXY_USE ON PROXY "127.0.0.1:$SQUID_PORT" PROXY_HTTP_VER ON)
printf 'qrtuser:wrong-secret' | base64 -w0 >"$dir/USER/PROXY.FIL"
e2e_start "$dir" "$dir/QRT100.EXE"
checker=$E2E_PID
e2e_ui wait QRT100 60 || e2e_fail "refused: no message: $(trace_of "$dir" | tail -20)"
texts=$(e2e_ui texts QRT100 | tr -d '\r')
printf '%s\n' "$texts" >"$E2E_ARTIFACTS/refused-box.txt"
# The refused Basic line is not sent again: the credentials message, no
# password in the trace, nothing through the proxy, nothing stored.
grep -qF 'プロキシ認証の設定が必要です。' <<<"$texts" || e2e_fail "refused: the message: $texts"
trace=$(trace_of "$dir")
! grep -qF 'wrong-secret' <<<"$trace" || e2e_fail "refused: the proxy password reached the trace"
grep -q 'TCP_DENIED/407' "$sqdir/basic/access.log" || e2e_fail "refused: squid's log: $(cat "$sqdir/basic/access.log")"
grep -q '/200 POST' "$sqdir/basic/access.log" && e2e_fail "refused: a request passed the proxy"
[ ! -e "$dir/DLV/LAST_PD.FIL" ] || e2e_fail "refused: something was stored"
e2e_collect "$dir" refused-
kill "$checker" 2>/dev/null || true
e2e_wait_exit "$checker" 30 || true
kill "$SQUID_PID" 2>/dev/null || true
rm -rf "$sqdir"

# --- ZRHTTP_USE: the system HTTP client with the prefix's proxy setting -------------
key='HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings'
reg() { e2e_bounded 60 "$QRT_WINE" reg "$@" >/dev/null 2>&1; }
reg add "$key" /v ProxyEnable /t REG_DWORD /d 1 /f || e2e_fail "cannot set ProxyEnable"
reg add "$key" /v ProxyServer /t REG_SZ /d "127.0.0.1:$E2E_SERVER_PORT" /f ||
  e2e_fail "cannot set ProxyServer"
dir=$(checker_folder ZRHTTP_USE ON)
check "$dir" wininet
trace=$(trace_of "$dir")
grep -qF 'HTTP_TEST USE' <<<"$trace" || grep -qF 'zrhttp_initial' <<<"$trace" ||
  e2e_fail "wininet: the system client was not installed: $trace"

# The launcher with ZRHTTP_USE: its start command ("S") checks the user and
# connects through the system client; with VERSION_UP OFF it then ends.
dir=$(e2e_new_install)
e2e_install "$qrt000" "$dir" QRT000.EXE
e2e_write_zorax_ini "$dir" NO_SSL ON ZRHTTP_USE ON VERSION_UP OFF リトライカウント 01 リトライ間隔 00100
e2e_checker_account "$dir"
before=$(grep -c 'mid=0118 ' "$E2E_ARTIFACTS/proxy-server.log" || true)
e2e_start "$dir" "$dir/QRT000.EXE" S
e2e_wait_exit "$E2E_PID" 60 || e2e_fail "launcher: it did not end after connecting"
ltrace=$(e2e_sjis "$dir/DBG_QRT000.LST" | tr -d '\r')
printf '%s\n' "$ltrace" >"$E2E_ARTIFACTS/launcher-wininet-trace.txt"
grep -qF 'HTTP_TEST USE' <<<"$ltrace" || e2e_fail "launcher: the system client was not installed: $ltrace"
after=$(grep -c 'mid=0118 ' "$E2E_ARTIFACTS/proxy-server.log" || true)
((after > before)) || e2e_fail "launcher: its user check did not reach the server"

# --- ZRHTTP_USE without stored credentials: the system's password dialog ---------
sqdir=$(mktemp -d /tmp/qrt-e2e-squid.XXXXXX)
chmod 755 "$sqdir"
squid_start "$sqdir/basic" basic "$E2E_SERVER_PORT" ||
  e2e_fail "squid did not start: $(tail -3 "$sqdir/basic/cache.log")"
E2E_PIDS+=("$SQUID_PID")
reg add "$key" /v ProxyServer /t REG_SZ /d "127.0.0.1:$SQUID_PORT" /f || e2e_fail "cannot set ProxyServer"
dir=$(checker_folder ZRHTTP_USE ON)
e2e_start "$dir" "$dir/QRT100.EXE"
checker=$E2E_PID
password=ネットワーク用パスワードを入力
# The first challenge: the account typed into the dialog lets the user check through.
e2e_ui wait "$password" 60 || e2e_fail "password: no dialog after the proxy's challenge"
e2e_shot "$password" password-dialog
texts=$(e2e_ui texts "$password" | tr -d '\r')
printf '%s\n' "$texts" >"$E2E_ARTIFACTS/password-dialog.txt"
grep -qF "127.0.0.1:$SQUID_PORT" <<<"$texts" || e2e_fail "password: the dialog does not name the proxy: $texts"
edits=($(awk -F'\t' '$1 == "Edit" { print $2 }' <<<"$texts"))
((${#edits[@]} == 2)) || e2e_fail "password: the dialog's fields: $texts"
e2e_ui type "$password" "${edits[0]}" qrtuser || e2e_fail "password: cannot type the user"
e2e_ui type "$password" "${edits[1]}" qrtpass || e2e_fail "password: cannot type the password"
e2e_ui click "$password" OK || e2e_fail "password: cannot press OK"
# The next challenge asks again; cancelled, the exchange fails and the checker
# ends after its message.
e2e_ui wait "$password" 60 || e2e_fail "password: no dialog at the second challenge"
grep -q 'TCP_MISS/200 POST' "$sqdir/basic/access.log" ||
  e2e_fail "password: the typed account did not pass the proxy: $(cat "$sqdir/basic/access.log")"
e2e_ui click "$password" キャンセル || e2e_fail "password: cannot press キャンセル"
e2e_ok_box QRT100 '回線接続エラーです。' password
e2e_wait_exit "$checker" 30 || e2e_fail "password: the checker did not end after its message"
cp "$sqdir/basic/access.log" "$E2E_ARTIFACTS/basic-access.log"
e2e_collect "$dir" password-
reg delete "$key" /v ProxyEnable /f || true
reg delete "$key" /v ProxyServer /f || true
kill "$SQUID_PID" 2>/dev/null || true
rm -rf "$sqdir"
e2e_stop_server
