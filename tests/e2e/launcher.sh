#!/usr/bin/env bash
# End-to-end tests of the launcher's start-up (qrt000.exe under Wine and Xvfb):
# the trace of a normal start up to the SDI checker menu, the refusal of a second
# launcher in the same folder, the missing connection settings, and the silent
# end on a bad argument.
# usage: launcher.sh BUILD_DIR QRT000_EXE UIDRIVER_EXE
set -euo pipefail
# shellcheck source=scripts/e2e/lib.sh
source "$(dirname "$0")/../../scripts/e2e/lib.sh"
[ $# -eq 3 ] || { echo "usage: $0 BUILD_DIR QRT000_EXE UIDRIVER_EXE" >&2; exit 2; }
e2e_init launcher "$1" "$3"
qrt000=$2

menu=ＳＤＩ\ チェッカーメニュー

# ZORAX.INI as the program writes it; $2 = extra [Config] keys and values,
# separated by spaces.
write_zorax_ini() {
  local dir=$1 more
  read -ra more <<<"${2:-}"
  e2e_write_zorax_ini "$dir" \
    PROXY_HTTP_VER OFF \
    VERSION_UP ON \
    ZRHTTP_USE OFF \
    SOCKS_USE OFF \
    ACCEPT_HDR OFF \
    NOCACHE_HDR OFF \
    KEEPALIVE_HDR OFF \
    CONNECT_CLS OFF \
    NOHOST_HDR OFF \
    NO_SSL ON \
    NTLM_MODE OFF \
    VERSION_SNO 01 \
    CONNECT_OPT OFF \
    "${more[@]}" \
    リトライカウント 10 \
    リトライ間隔 00500 \
    プロキシ優先認証 OFF
}

# A fresh install folder with the launcher and, unless $1 is "no-ini", ZORAX.INI.
new_launcher_folder() {
  local dir
  dir=$(e2e_new_install)
  e2e_install "$qrt000" "$dir" QRT000.EXE
  [ "${1:-}" = no-ini ] || write_zorax_ini "$dir" "${2:-}"
  printf '%s' "$dir"
}

# Waits until the trace of a folder holds the launcher's last start-up line.
wait_for_start_up() {
  local i
  for ((i = 0; i < ${2:-30} * 10; i++)); do
    [ -f "$1/DBG_QRT000.LST" ] && e2e_sjis "$1/DBG_QRT000.LST" 2>/dev/null | grep -q '^【OS VERSION' &&
      return 0
    sleep 0.1
  done
  return 1
}

# --- A normal start writes exactly the start-up lines, in order -----------------
# mode | extra ZORAX.INI keys and values | expected proxy line
cases=(
  "S||PROXY NO USE"
  "0|PROXY_USE ON PROXY proxy1:8080|PROXY USE proxy1 : 8080"
  "V||PROXY NO USE"
)
for case in "${cases[@]}"; do
  mode=${case%%|*}
  rest=${case#*|}
  extra=${rest%|*}
  proxy_line=${rest##*|}
  dir=$(new_launcher_folder ini "$extra")
  e2e_start "$dir" "$dir/QRT000.EXE" "$mode"
  pid=$E2E_PID
  if [ "$mode" = S ]; then
    # "S" runs the start command at once, which asks for the account first.
    e2e_ui wait 'QRT000 ZORAX接続' 30 || e2e_fail "mode S: no message without an account"
    grep -qF 'ＩＤ，ＰＡＳＳを設定して下さい。' <<<"$(e2e_ui texts 'QRT000 ZORAX接続')" ||
      e2e_fail "mode S: not the account message"
    e2e_ui click 'QRT000 ZORAX接続' OK || e2e_fail "mode S: cannot press OK"
  fi
  e2e_ui wait "$menu" 30 || e2e_fail "mode $mode: no menu"
  e2e_ui click "$menu" 戻り || e2e_fail "mode $mode: cannot press 戻り"
  e2e_wait_exit "$pid" 30 || e2e_fail "mode $mode: the launcher did not end after 戻り"
  e2e_collect "$dir" "start-$mode-"
  [ -f "$dir/DBG_QRT000.LST" ] || e2e_fail "mode $mode: no DBG_QRT000.LST"
  trace=$(e2e_sjis "$dir/DBG_QRT000.LST" | tr -d '\r') || e2e_fail "mode $mode: trace is not Shift-JIS"
  mapfile -t lines <<<"$trace"
  expected=("*** Version : 1.20 ***" "$proxy_line" "HTTP_TEST NOT USE")
  # The start-up writes four lines; what follows is the menu's.
  ((${#lines[@]} >= 4)) || e2e_fail "mode $mode: expected 4 start-up lines, got: $trace"
  for i in 0 1 2; do
    [ "${lines[i]}" = "${expected[i]}" ] ||
      e2e_fail "mode $mode: trace line $((i + 1)) is '${lines[i]}', expected '${expected[i]}'"
  done
  [[ ${lines[3]} =~ ^【OS\ VERSION\ :\ .+】$ ]] ||
    e2e_fail "mode $mode: trace line 4 is '${lines[3]}', expected the OS version"
  # Every line of the file ends in CR LF.
  [ "$(grep -c $'\r$' "$dir/DBG_QRT000.LST")" -eq "${#lines[@]}" ] ||
    e2e_fail "mode $mode: lines without CR LF"
done

# --- A second launcher of the same folder is refused ----------------------------
first_dir=$(new_launcher_folder)
# The first launcher stays while it shows its menu.
e2e_start "$first_dir" "$first_dir/QRT000.EXE" 0
first=$E2E_PID
e2e_ui wait "$menu" 30 || e2e_fail "the first launcher showed no menu"
e2e_running "$first" || e2e_fail "the first launcher did not stay"

# The same folder typed in upper case: Wine resolves Windows paths without regard
# to case, the lock name is built in upper case.
win_dir=$(e2e_winpath "$first_dir")
e2e_start "$first_dir" "${win_dir^^}\\QRT000.EXE" S
second=$E2E_PID
e2e_ui wait QRT000 30 || e2e_fail "the second launcher showed no message"
texts=$(e2e_ui texts QRT000) || e2e_fail "cannot read the message"
printf '%s\n' "$texts" >"$E2E_ARTIFACTS/second-launcher-texts.txt"
e2e_shot QRT000 second-launcher
message=$(grep -oP 'アプリケーションは、 【.*】 で既に起動されています。\(QRT000\)' <<<"$texts") ||
  e2e_fail "not the already-running message: $texts"
shown_dir=${message#*【}
shown_dir=${shown_dir%%】*}
[ "${shown_dir^^}" = "${win_dir^^}" ] || e2e_fail "the message names '$shown_dir', expected $win_dir"
e2e_ui click QRT000 OK || e2e_fail "cannot press OK"
e2e_wait_exit "$second" 20 || e2e_fail "the second launcher did not end after OK"
e2e_ui gone QRT000 10 || e2e_fail "the message stayed"
e2e_running "$first" || e2e_fail "the first launcher ended with the second"

# A launcher of another folder starts while the first still runs.
other_dir=$(new_launcher_folder)
e2e_start "$other_dir" "$other_dir/QRT000.EXE" 0
other=$E2E_PID
wait_for_start_up "$other_dir" 30 || e2e_fail "the launcher of another folder did not start up"
e2e_ui gone QRT000 3 || e2e_fail "the launcher of another folder was refused"
e2e_running "$other" || e2e_fail "the launcher of another folder ended"
e2e_running "$first" || e2e_fail "the first launcher was not running during the check"
# Both menus are closed, one after the other.
e2e_ui close "$menu" || e2e_fail "cannot close a menu"
for ((i = 0; i < 200; i++)); do
  e2e_running "$first" && e2e_running "$other" || break
  sleep 0.1
done
e2e_ui close "$menu" || e2e_fail "cannot close the second menu"
e2e_wait_exit "$first" 20 || e2e_fail "the first launcher did not end"
e2e_wait_exit "$other" 20 || e2e_fail "the launcher of another folder did not end"
e2e_collect "$first_dir" "first-"
e2e_collect "$other_dir" "other-"

# --- Without ZORAX.INI the launcher says so and ends ----------------------------
dir=$(new_launcher_folder no-ini)
e2e_start "$dir" "$dir/QRT000.EXE" S
pid=$E2E_PID
e2e_ui wait QRT000 30 || e2e_fail "no message without ZORAX.INI"
texts=$(e2e_ui texts QRT000) || e2e_fail "cannot read the message"
printf '%s\n' "$texts" >"$E2E_ARTIFACTS/no-ini-texts.txt"
e2e_shot QRT000 no-ini
grep -qF "ホスト名ファイル(ZORAX.INI)が見つかりません。\\n$(e2e_winpath "$dir")\\USER\\ZORAX.INI" \
  <<<"$texts" || e2e_fail "not the missing ZORAX.INI message: $texts"
e2e_running "$pid" || e2e_fail "the launcher ended before OK"
e2e_ui click QRT000 OK || e2e_fail "cannot press OK"
e2e_wait_exit "$pid" 20 || e2e_fail "the launcher did not end after OK"
[ ! -e "$dir/DBG_QRT000.LST" ] || e2e_fail "a trace file was created without ZORAX.INI"

# --- No argument or an unknown launch mode: nothing shown, no trace -------------
for arg in "" X 1; do
  dir=$(new_launcher_folder)
  if [ -z "$arg" ]; then
    e2e_start "$dir" "$dir/QRT000.EXE"
  else
    e2e_start "$dir" "$dir/QRT000.EXE" "$arg"
  fi
  # A message box would keep the program running.
  e2e_wait_exit "$E2E_PID" 30 || e2e_fail "argument '$arg': the launcher did not end"
  e2e_ui gone QRT000 0 || e2e_fail "argument '$arg': a window was shown"
  [ ! -e "$dir/DBG_QRT000.LST" ] || e2e_fail "argument '$arg': a trace file was created"
done
