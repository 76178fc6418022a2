# Functions for the end-to-end tests: the Windows programs run under Wine on a
# virtual X display, in a fresh temporary install folder, and are driven through
# their windows with the UI driver (tools/uidriver). Source this file from a bash
# test script, then:
#
#   e2e_init NAME BUILD_DIR UIDRIVER_EXE   display, Wine prefix, artefact folder, cleanup trap
#   dir=$(e2e_new_install)                 a fresh empty install folder
#   e2e_install EXE "$dir" [NAME]          copy a program into it
#   e2e_start "$dir" "$dir/QRT000.EXE" S   start it in the background (pid in E2E_PID)
#   e2e_ui wait QRT000 20                  run a UI driver command (bounded)
#   e2e_shot QRT000 box                    screenshot -> $E2E_ARTIFACTS/box.png
#   e2e_wait_exit "$E2E_PID" 20            wait for the program's end (status in E2E_STATUS)
#   e2e_collect "$dir"                     copy its trace files into the artefact folder
#   e2e_start_server SERVER SCENARIO main  the reference server (port in E2E_SERVER_PORT)
#   e2e_stop_server                        stop it
#   e2e_write_zorax_ini "$dir" K V ...     USER\ZORAX.INI with those [Config] settings
#
# Every wait is bounded; the cleanup trap stops the reference server, the programs
# the test started, the Wine server of the prefix and the Xvfb the test started,
# by their process ids.
# Failures are reported with e2e_fail (which exits the test with status 1).
# shellcheck shell=bash
# shellcheck disable=SC2034  # E2E_PID, E2E_STATUS, E2E_ARTIFACTS, E2E_SERVER_PORT are for the tests

# shellcheck source=scripts/wine-env.sh
source "$(dirname "${BASH_SOURCE[0]}")/../wine-env.sh"
# shellcheck source=scripts/refserver.sh
source "$(dirname "${BASH_SOURCE[0]}")/../refserver.sh"

E2E_PIDS=()          # programs started by e2e_start
E2E_XVFB_PID=
E2E_TMP=
E2E_FAILED=0
E2E_LOCK_FD=
E2E_PREFIX=          # the Wine prefix once this test holds it
# Set for the test script: the last started program, the last exit status and
# the port of the reference server.
E2E_PID=
E2E_STATUS=
E2E_SERVER_PORT=

e2e_log() { printf '[%s] %s\n' "${E2E_NAME:-e2e}" "$*" >&2; }

e2e_fail() {
  e2e_log "FAIL: $*"
  E2E_FAILED=1
  exit 1
}

# Runs a command with an upper bound on its duration (seconds).
e2e_bounded() {
  local seconds=$1
  shift
  timeout -k 5 "$seconds" "$@"
}

# e2e_init NAME BUILD_DIR UIDRIVER_EXE
e2e_init() {
  E2E_NAME=$1
  E2E_BUILD=$(cd "$2" && pwd)
  E2E_UIDRIVER=$3
  [ -f "$E2E_UIDRIVER" ] || e2e_fail "no UI driver at $E2E_UIDRIVER"
  E2E_ARTIFACTS=$E2E_BUILD/e2e-artifacts/$E2E_NAME
  rm -rf "$E2E_ARTIFACTS"
  mkdir -p "$E2E_ARTIFACTS"
  E2E_TMP=$(mktemp -d "${TMPDIR:-/tmp}/qrt-e2e-$E2E_NAME.XXXXXX")
  trap e2e_cleanup EXIT
  trap 'exit 130' INT TERM
  # Without the locale Wine converts Japanese arguments and file names wrongly.
  qrt_wine_locale_present || e2e_fail "no $QRT_WINE_LOCALE locale (scripts/setup generates it)"
  e2e_start_xvfb
  e2e_wine_env
}

# Starts Xvfb on a display it picks itself (-displayfd), so that tests running at
# the same time never share one.
e2e_start_xvfb() {
  local fdfile=$E2E_TMP/display
  : >"$fdfile"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fdfile" >"$E2E_TMP/xvfb.log" 2>&1 &
  E2E_XVFB_PID=$!
  local i
  for ((i = 0; i < 100; i++)); do
    [ -s "$fdfile" ] && break
    kill -0 "$E2E_XVFB_PID" 2>/dev/null || e2e_fail "Xvfb did not start: $(cat "$E2E_TMP/xvfb.log")"
    sleep 0.1
  done
  [ -s "$fdfile" ] || e2e_fail "Xvfb did not report its display"
  DISPLAY=:$(tr -d '[:space:]' <"$fdfile")
  export DISPLAY
  e2e_log "Xvfb pid $E2E_XVFB_PID on display $DISPLAY"
}

# The Wine environment of the end-to-end tests: one prefix in the build folder
# (E2E_PREFIX_NAME names another one for a suite of its own), created once and
# reused; one test at a time uses it (a lock held until cleanup), because each
# test ends with stopping the prefix's Wine server.
e2e_wine_env() {
  local name=${E2E_PREFIX_NAME:-wineprefix-e2e}
  qrt_wine_env "$E2E_BUILD/$name"
  mkdir -p "$WINEPREFIX"
  exec {E2E_LOCK_FD}>"$E2E_BUILD/$name.lock"
  flock -w 600 "$E2E_LOCK_FD" || e2e_fail "the Wine prefix stays locked"
  E2E_PREFIX=$WINEPREFIX
  # A server left over by an interrupted run would keep another code page or display.
  e2e_bounded 20 "$QRT_WINESERVER" -k >/dev/null 2>&1 || true
  if [ ! -f "$WINEPREFIX/.qrt-e2e-ready" ]; then
    e2e_log "creating the Wine prefix $WINEPREFIX"
    e2e_bounded 180 "$QRT_WINE" wineboot --init >"$E2E_TMP/wineboot.log" 2>&1 ||
      e2e_fail "wineboot failed: $(tail -5 "$E2E_TMP/wineboot.log")"
    # Without a window manager on the virtual display, Wine draws the title bars
    # and frames itself, so that screenshots show the windows' titles.
    e2e_bounded 60 "$QRT_WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f \
      >/dev/null 2>&1 || e2e_fail "cannot configure the Wine prefix"
    touch "$WINEPREFIX/.qrt-e2e-ready"
  fi
}

# e2e_visual_styles: turns on the desktop's visual styles in the prefix (Wine's
# "light" theme, which wineboot puts in C:\windows\resources\themes), so that
# programs with a common-controls 6 manifest draw themed controls.
e2e_visual_styles() {
  local key='HKCU\Software\Microsoft\Windows\CurrentVersion\ThemeManager' v
  [ -f "$WINEPREFIX/drive_c/windows/resources/themes/light/light.msstyles" ] ||
    e2e_fail "no light.msstyles in the prefix"
  for v in 'ThemeActive=1' 'DllName=C:\windows\resources\themes\light\light.msstyles' \
    'ColorName=Blue' 'SizeName=NormalSize'; do
    e2e_bounded 60 "$QRT_WINE" reg add "$key" /v "${v%%=*}" /d "${v#*=}" /f >/dev/null 2>&1 ||
      e2e_fail "cannot turn the visual styles on"
  done
}

# Prints the path of a new, empty install folder below the test's temporary folder.
e2e_new_install() {
  mktemp -d "$E2E_TMP/inst.XXXXXX"
}

# e2e_install EXE DIR [NAME]: copies a program into an install folder.
e2e_install() {
  cp "$1" "$2/${3:-$(basename "$1")}" || e2e_fail "cannot copy $1 to $2"
}

# The Windows form of a Linux path as Wine shows it to programs (drive Z: is /).
e2e_winpath() {
  local p
  p=$(cd "$1" 2>/dev/null && pwd) || p=$1
  printf 'Z:%s' "${p//\//\\}"
}

# e2e_start DIR PROGRAM ARGS...: starts a Windows program in the background with
# DIR as its current folder. PROGRAM is a Linux path or a Windows path (Z:\...).
# Its process id goes to E2E_PID and the list the cleanup stops.
e2e_start() {
  local dir=$1 prog=$2
  shift 2
  local log
  log=$E2E_ARTIFACTS/$(basename "${prog//\\//}").$((${#E2E_PIDS[@]} + 1)).log
  (cd "$dir" && exec "$QRT_WINE" "$prog" "$@") >"$log" 2>&1 &
  E2E_PID=$!
  E2E_PIDS+=("$E2E_PID")
  e2e_log "started $(basename "${prog//\\//}") $* (pid $E2E_PID)"
}

# e2e_wait_exit PID SECONDS: waits for a program started by e2e_start to end; its
# exit status goes to E2E_STATUS. Returns 1 on time-out (the program keeps running).
e2e_wait_exit() {
  local pid=$1 seconds=${2:-30} i
  for ((i = 0; i < seconds * 10; i++)); do
    if ! kill -0 "$pid" 2>/dev/null; then
      wait "$pid"
      E2E_STATUS=$?
      return 0
    fi
    sleep 0.1
  done
  # kill -0 also succeeds for an ended child not yet reaped; check the state.
  if [ "$(ps -o stat= -p "$pid" 2>/dev/null | cut -c1)" = Z ]; then
    wait "$pid"
    E2E_STATUS=$?
    return 0
  fi
  return 1
}

# True while a program started by e2e_start runs.
e2e_running() {
  kill -0 "$1" 2>/dev/null && [ "$(ps -o stat= -p "$1" 2>/dev/null | cut -c1)" != Z ]
}

# e2e_ui COMMAND ARGS...: runs the UI driver (output on stdout, status returned).
# The driver bounds its own waits; the outer bound only guards against a hung Wine.
e2e_ui() {
  local bound=60
  case $1 in
    wait | gone) bound=$((${3:-30} + 30)) ;;
  esac
  e2e_bounded "$bound" "$QRT_WINE" "$E2E_UIDRIVER" "$@"
}

# e2e_shot TITLE NAME: saves a screenshot of the window (TITLE "-": the whole
# screen) as $E2E_ARTIFACTS/NAME.png. A screenshot is an artefact, not a check: a
# failed one is retried once, then reported as a warning without failing the test
# (the driver's self-test checks that screenshots work).
e2e_shot() {
  local bmp=$E2E_TMP/$2.bmp rc attempt
  for attempt in 1 2; do
    rc=0
    e2e_ui shot "$1" "$(e2e_winpath "$E2E_TMP")\\$2.bmp" || rc=$?
    if ((rc == 0)) && convert "$bmp" "$E2E_ARTIFACTS/$2.png"; then
      rm -f "$bmp"
      e2e_log "screenshot $E2E_ARTIFACTS/$2.png"
      return 0
    fi
    e2e_log "WARNING: screenshot $2, attempt $attempt, failed (status $rc)"
  done
  return 0
}

# e2e_collect DIR [PREFIX]: copies the trace and error files of an install folder
# into the artefact folder.
e2e_collect() {
  local dir=$1 prefix=${2:-} f
  for f in "$dir"/DBG_*.LST "$dir"/DBGDATA* "$dir"/ERRDATA* "$dir"/*_ERR; do
    [ -f "$f" ] && cp "$f" "$E2E_ARTIFACTS/$prefix$(basename "$f")"
  done
  return 0
}

# Prints a Shift-JIS text file as UTF-8.
e2e_sjis() {
  iconv -f CP932 -t UTF-8 "$1"
}

# Writes UTF-8 text from stdin to FILE as Shift-JIS with CR LF line ends.
e2e_write_sjis() {
  sed 's/$/\r/' | iconv -f UTF-8 -t CP932 >"$1"
}

# e2e_set_browser URL_FILE: the programs' "open" of a web page then appends the
# URL to URL_FILE (one per line) instead of starting a browser. Wine hands URLs to
# the command named by HKCU\Software\Wine\WineBrowser "Browsers".
e2e_set_browser() {
  local file=$1 script=$E2E_TMP/browser.sh
  : >"$file"
  cat >"$script" <<EOF
#!/bin/sh
printf '%s\n' "\$1" >>'$file'
EOF
  chmod +x "$script"
  e2e_bounded 60 "$QRT_WINE" reg add 'HKCU\Software\Wine\WineBrowser' /v Browsers /d "$script" /f \
    >/dev/null 2>&1 || e2e_fail "cannot set the WineBrowser registry value"
}

# e2e_wait_file FILE SECONDS: waits until FILE exists and is not empty.
e2e_wait_file() {
  local i
  for ((i = 0; i < ${2:-20} * 10; i++)); do
    [ -s "$1" ] && return 0
    sleep 0.1
  done
  return 1
}

# e2e_start_server SERVER SCENARIO [NAME]: starts the reference server binary
# SERVER with the scenario on a free loopback port and waits for it to listen;
# the port goes to E2E_SERVER_PORT, the server's log to
# $E2E_ARTIFACTS/NAME-server.log (server.log without NAME). One server at a
# time: a running one is stopped first.
e2e_start_server() {
  local server=$1 scenario=$2 name=${3:+$3-} rc=0
  [ -x "$server" ] || e2e_fail "no reference server at $server (build the native preset first)"
  refserver_stop
  refserver_start "$server" "$scenario" "$E2E_TMP/${name}port" "$E2E_ARTIFACTS/${name}server.log" \
    "$E2E_TMP/${name}server.out" || rc=$?
  case $rc in
    0) E2E_SERVER_PORT=$REFSERVER_PORT ;;
    1) e2e_fail "the reference server did not start: $(cat "$E2E_TMP/${name}server.out")" ;;
    *) e2e_fail "the reference server reported no port within $REFSERVER_WAIT_SECONDS seconds" ;;
  esac
}

# Stops the reference server e2e_start_server started (if it still runs).
e2e_stop_server() {
  refserver_stop
}

# e2e_write_zorax_ini DIR KEY VALUE...: writes DIR\USER\ZORAX.INI in Shift-JIS with
# CR LF as the programs write it: the version line, [Host] with the host
# 127.0.0.1 and the service's object name, then [Config] with the KEY VALUE pairs
# in the order given.
e2e_write_zorax_ini() {
  local dir=$1
  shift
  (($# % 2 == 0)) || e2e_fail "e2e_write_zorax_ini: a key without a value: $*"
  mkdir -p "$dir/USER"
  "$(dirname "${BASH_SOURCE[0]}")/../zorax-ini" "$dir/USER/ZORAX.INI" \
    "${E2E_ZORAX_HOST:-127.0.0.1}" /QRT/QRTSRV.EXE "$@"
}

# e2e_checker_account DIR: the account DEMO01 (USER\UID_QRT.FIL) and options
# that search every issue and pop up every five minutes (DLV\CONFIG.INI).
e2e_checker_account() {
  mkdir -p "$1/USER" "$1/DLV"
  printf 'DEMO01\0\0\0demo01\0\0\0' | base64 -w0 >"$1/USER/UID_QRT.FIL"
  printf '[SYSTEM]\r\ndlv_type=0\r\ndisp_cycle=0\r\n' >"$1/DLV/CONFIG.INI"
}

# e2e_quiet_checker_install QRT100 PORT: prints a fresh install folder with the
# checker, the reference server on PORT as the HTTP proxy (three retries 100 ms
# apart), the account DEMO01 and options that search every issue and pop the
# new-arrivals dialog up once per new result (at most every two hours), so that
# nothing but its checks happens.
e2e_quiet_checker_install() {
  local dir
  dir=$(e2e_new_install)
  e2e_install "$1" "$dir" QRT100.EXE
  e2e_write_zorax_ini "$dir" NO_SSL ON PROXY_USE ON PROXY "127.0.0.1:$2" \
    リトライカウント 03 リトライ間隔 00100
  e2e_checker_account "$dir"
  printf '[SYSTEM]\r\ndlv_type=0\r\ndisp_cycle=4\r\ndisp_first=1\r\n' >"$dir/DLV/CONFIG.INI"
  printf '%s' "$dir"
}

# e2e_wait_run_sts VALUE SECONDS: waits until byte 0 of the checker's control
# block "QRT100" holds VALUE.
e2e_wait_run_sts() {
  local i v
  for ((i = 0; i < $2 * 4; i++)); do
    v=$(e2e_ui shm QRT100 0 2>/dev/null | tr -d '\r') || v=
    [ "$v" = "$1" ] && return 0
    sleep 0.25
  done
  return 1
}

# The cleanup trap: stop the reference server, take a screenshot of the screen
# when the test failed, then stop the programs, the Wine server of the prefix and
# Xvfb.
e2e_cleanup() {
  local rc=$? pid
  set +e
  refserver_stop
  if ((rc != 0 || E2E_FAILED)) && [ -n "$E2E_XVFB_PID" ] && [ -n "$E2E_PREFIX" ]; then
    e2e_bounded 30 "$QRT_WINE" "$E2E_UIDRIVER" shot - "$(e2e_winpath "$E2E_TMP")\\failure.bmp" \
      >/dev/null 2>&1 && convert "$E2E_TMP/failure.bmp" "$E2E_ARTIFACTS/failure.png" 2>/dev/null
  fi
  for pid in "${E2E_PIDS[@]}"; do
    kill "$pid" 2>/dev/null
  done
  if [ -n "$E2E_PREFIX" ]; then
    WINEPREFIX=$E2E_PREFIX e2e_bounded 20 "$QRT_WINESERVER" -k >/dev/null 2>&1
    WINEPREFIX=$E2E_PREFIX e2e_bounded 20 "$QRT_WINESERVER" -w >/dev/null 2>&1
  fi
  for pid in "${E2E_PIDS[@]}"; do
    kill -9 "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  done
  if [ -n "$E2E_XVFB_PID" ]; then
    kill "$E2E_XVFB_PID" 2>/dev/null
    for _ in 1 2 3 4 5 6 7 8 9 10; do
      kill -0 "$E2E_XVFB_PID" 2>/dev/null || break
      sleep 0.2
    done
    kill -9 "$E2E_XVFB_PID" 2>/dev/null
    wait "$E2E_XVFB_PID" 2>/dev/null
  fi
  # Keep only the program logs that hold something.
  [ -n "${E2E_ARTIFACTS:-}" ] && find "$E2E_ARTIFACTS" -name '*.log' -empty -delete 2>/dev/null
  [ -n "$E2E_LOCK_FD" ] && exec {E2E_LOCK_FD}>&-
  [ -n "$E2E_TMP" ] && rm -rf "$E2E_TMP"
  if ((rc == 0 && !E2E_FAILED)); then
    e2e_log "PASS"
  else
    e2e_log "artefacts in $E2E_ARTIFACTS"
  fi
  exit "$rc"
}

# e2e_launcher_install QRT000 QRT100 PORT [VERSION_UP]: a fresh install folder
# with the launcher, the checker, the connection settings (the reference server
# on PORT as the HTTP proxy, one retry) and the account DEMO01; prints it.
e2e_launcher_install() {
  local dir
  dir=$(e2e_new_install)
  e2e_install "$1" "$dir" QRT000.EXE
  e2e_install "$2" "$dir" QRT100.EXE
  mkdir -p "$dir/DLV"
  e2e_write_zorax_ini "$dir" NO_SSL ON PROXY_USE ON PROXY "127.0.0.1:$3" VERSION_UP "${4:-ON}" \
    リトライカウント 01 リトライ間隔 00100
  printf 'DEMO01\0\0\0demo01\0\0\0' | base64 -w0 >"$dir/USER/UID_QRT.FIL"
  printf '[SYSTEM]\r\ndlv_type=0\r\n' >"$dir/DLV/CONFIG.INI"
  printf '%s' "$dir"
}

# e2e_ok_box TITLE TEXT WHAT: a message box titled TITLE shows TEXT (its texts
# are appended to $E2E_ARTIFACTS/messages.txt); OK closes it.
e2e_ok_box() {
  local texts
  e2e_ui wait "$1" 60 || e2e_fail "$3: no message box"
  texts=$(e2e_ui texts "$1") || e2e_fail "$3: cannot read the message"
  printf '%s\n' "$texts" >>"$E2E_ARTIFACTS/messages.txt"
  grep -qF "$2" <<<"$texts" || e2e_fail "$3: not the expected message: $texts"
  e2e_ui click "$1" OK || e2e_fail "$3: cannot press OK"
  e2e_ui gone "$1" 10 || e2e_fail "$3: the message stayed"
}

# e2e_control TEXTS ID FIELD: a field of control ID in the output of
# `uidriver texts` (FIELD 3 the flags, 4 the text).
e2e_control() { awk -F'\t' -v id="$2" -v f="$3" '$2 == id { print $f; exit }' <<<"$1" | tr -d '\r'; }


# e2e_columns_fit TITLE ID WHAT: every column of the list view shows its whole
# title: at least 13 pixels per (full-width) character of the title, the width
# of one in the dialogs' 10-point font at 96 dpi, and the header's margins of
# 6 pixels either side. The columns go to $E2E_ARTIFACTS/WHAT-columns.txt.
e2e_columns_fit() {
  local columns width name chars
  columns=$(e2e_ui columns "$1" "$2" | tr -d '\r') || e2e_fail "$3: cannot read the columns"
  printf '%s\n' "$columns" >"$E2E_ARTIFACTS/$3-columns.txt"
  [ -n "$columns" ] || e2e_fail "$3: the list has no columns"
  while IFS=$'\t' read -r width name; do
    chars=$(printf '%s' "$name" | LC_ALL=C.UTF-8 wc -m)
    ((width >= chars * 13 + 12)) || e2e_fail "$3: column \"$name\" is $width pixels wide: $columns"
  done <<<"$columns"
}
