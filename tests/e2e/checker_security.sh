#!/usr/bin/env bash
# End-to-end tests of the checker (qrt100.exe under Wine and Xvfb) against
# hostile or secured peers:
#  - TLS for every exchange: with NO_SSL OFF and a proxy, the start-up user
#    check (which carries the password) and the whole check travel over TLS
#    (Schannel) through the proxy's CONNECT to the HTTPS reference server; the
#    proxy (the reference server's CONNECT relay) sees nothing but CONNECT lines.
#  - A wrong certificate (a trusted authority's, for another name): the user
#    check fails with its message, the trace names the problem, nothing reaches
#    the server and nothing is stored.
#  - A host name from the server holding CR LF ("evil\r\nSSL_CERT_IGNORE ON")
#    never reaches ZORAX.INI, and the checker starts again with the same file.
# usage: checker_security.sh BUILD_DIR QRT100_EXE UIDRIVER_EXE REFSERVER ADDROOT_EXE
set -euo pipefail
source "$(dirname "$0")/../../scripts/e2e/lib.sh"
[ $# -eq 5 ] || { echo "usage: $0 BUILD_DIR QRT100_EXE UIDRIVER_EXE REFSERVER ADDROOT_EXE" >&2; exit 2; }
e2e_init checker-security "$1" "$3"
qrt100=$2 refserver=$4 addroot=$5
[ -x "$refserver" ] || e2e_fail "no reference server at $refserver (build the native preset first)"

PIDS=()
stop_servers() {
  local p
  for p in "${PIDS[@]}"; do kill -TERM "$p" 2>/dev/null || true; wait "$p" 2>/dev/null || true; done
  PIDS=()
}
trap 'rc_=$?; stop_servers; (exit $rc_); e2e_cleanup' EXIT

# start NAME ARGS...: a reference server (or relay) on a free port (PORT).
start() {
  local name=$1 port_file=$E2E_TMP/$1.port
  shift
  "$refserver" "$@" --port-file "$port_file" --log "$E2E_ARTIFACTS/$name.log" >"$E2E_TMP/$name.out" 2>&1 &
  PIDS+=($!)
  local i
  for ((i = 0; i < 150; i++)); do
    [ -s "$port_file" ] && break
    kill -0 "${PIDS[-1]}" 2>/dev/null || e2e_fail "$name did not start: $(cat "$E2E_TMP/$name.out")"
    sleep 0.1
  done
  [ -s "$port_file" ] || e2e_fail "$name reported no port"
  PORT=$(tr -d '[:space:]' <"$port_file")
}

# checker_folder HOST NO_SSL PROXY_PORT: an install folder with the account DEMO01.
checker_folder() {
  local dir
  dir=$(e2e_new_install)
  e2e_install "$qrt100" "$dir" QRT100.EXE
  E2E_ZORAX_HOST=$1 e2e_write_zorax_ini "$dir" NO_SSL "$2" PROXY_USE ON PROXY "127.0.0.1:$3" \
    リトライカウント 01 リトライ間隔 00100
  e2e_checker_account "$dir"
  printf '%s' "$dir"
}


stop_checker() {
  e2e_ui shm QRT100 0 9 || e2e_fail "cannot write run_sts"
  e2e_wait_exit "$1" 30 || e2e_fail "the checker did not end on run_sts 9"
}

trace_of() { e2e_sjis "$1/DBGDATA" | tr -d '\r'; }

# scenario FILE DB_HOST [HOST_LINE]: one user, a week of issues, one result.
scenario() {
  {
    echo '[server]'
    echo 'db_code = 51'
    echo "db_host = $2"
    echo 'db_obj = QRTSVR'
    echo "hosts = $2"
    [ -n "${3:-}" ] && echo "host = $3"
    echo 'session = 300'
    echo '[user DEMO01]'
    echo 'password = demo01'
    echo 'kinds = 22 51'
    echo '[calendar]'
    echo 'newest = 20240112'
    echo 'dates = 20240105 20240112'
    echo '[sdi]'
    echo 'polls = 1'
  } >"$1"
}

# --- TLS for every exchange, through the proxy's CONNECT ----------------------------
# A test authority and a certificate for "localhost", trusted in the Wine prefix.
certs=$E2E_TMP/certs
mkdir -p "$certs"
openssl req -x509 -newkey rsa:2048 -nodes -days 30 -subj "/CN=QRT e2e authority" \
  -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign,cRLSign \
  -keyout "$certs/ca.key" -out "$certs/ca.pem" 2>/dev/null || e2e_fail "no test authority"
# server_cert NAME HOST: certs/NAME.pem and NAME.key, a server certificate for
# HOST from the test authority.
server_cert() {
  openssl req -newkey rsa:2048 -nodes -subj "/CN=$2" -keyout "$certs/$1.key" \
    -out "$certs/$1.csr" 2>/dev/null || e2e_fail "no key for $2"
  printf 'subjectAltName=DNS:%s\nextendedKeyUsage=serverAuth\nbasicConstraints=CA:FALSE\n' "$2" \
    >"$certs/$1.ext"
  openssl x509 -req -in "$certs/$1.csr" -CA "$certs/ca.pem" -CAkey "$certs/ca.key" \
    -CAcreateserial -days 30 -extfile "$certs/$1.ext" -out "$certs/$1.pem" 2>/dev/null ||
    e2e_fail "no certificate for $2"
}
server_cert server localhost
openssl x509 -in "$certs/ca.pem" -outform DER -out "$certs/ca.der"
e2e_bounded 120 "$(dirname "$0")/../../scripts/wine-run" "$addroot" "Z:$certs/ca.der" >"$E2E_TMP/addroot.log" 2>&1 ||
  e2e_fail "the test authority was not added: $(cat "$E2E_TMP/addroot.log")"

scenario "$E2E_TMP/tls.scenario" localhost
start https --scenario "$E2E_TMP/tls.scenario" --cert "$certs/server.pem" --key "$certs/server.key"
https_port=$PORT
start relay --relay "$https_port"
relay_port=$PORT
dir=$(checker_folder localhost OFF "$relay_port")
e2e_start "$dir" "$dir/QRT100.EXE"
checker=$E2E_PID
e2e_wait_run_sts 1 40 || e2e_fail "tls: run_sts did not become 1: $(trace_of "$dir" | tail -20)"
grep -q 'mid=0118 kd00=00 user=DEMO01' "$E2E_ARTIFACTS/https.log" ||
  e2e_fail "tls: the start-up user check did not reach the HTTPS server: $(cat "$E2E_ARTIFACTS/https.log")"
e2e_wait_file "$dir/DLV/LAST_PD.FIL" 60 || e2e_fail "tls: no check stored a result: $(trace_of "$dir" | tail -30)"
stop_checker "$checker"
e2e_collect "$dir" tls-
log=$(cat "$E2E_ARTIFACTS/https.log")
for mid in 0118 0107 0112 0117 1200 0204 0108; do
  grep -q "mid=$mid " <<<"$log" || e2e_fail "tls: mid $mid did not reach the HTTPS server: $log"
done
relay_log=$(cat "$E2E_ARTIFACTS/relay.log")
grep -q ' <- CONNECT localhost:443 ' <<<"$relay_log" || e2e_fail "tls: no CONNECT at the proxy: $relay_log"
grep ' <- ' <<<"$relay_log" | grep -v ' <- CONNECT localhost:443 ' &&
  e2e_fail "tls: the proxy saw more than CONNECT lines: $relay_log"
trace=$(trace_of "$dir")
grep -q '^\*\* PHMSG SSL(0) .* mid:0118' <<<"$trace" || e2e_fail "tls: the user check was not sent over TLS: $trace"
grep -q '^\*\* PHMSG(' <<<"$trace" && e2e_fail "tls: an exchange went over the plain tunnel: $trace"
stop_servers
e2e_log "tls: the user check and the whole check went over TLS through CONNECT"

# --- A wrong certificate: a trusted authority's certificate for another name ------
server_cert wrong wrong.example
start https-wrong --scenario "$E2E_TMP/tls.scenario" --cert "$certs/wrong.pem" --key "$certs/wrong.key"
start relay-wrong --relay "$PORT"
dir=$(checker_folder localhost OFF "$PORT")
e2e_start "$dir" "$dir/QRT100.EXE"
checker=$E2E_PID
e2e_ui wait QRT100 60 || e2e_fail "wrong certificate: no message: $(trace_of "$dir" | tail -20)"
texts=$(e2e_ui texts QRT100 | tr -d '\r')
printf '%s\n' "$texts" >"$E2E_ARTIFACTS/wrong-certificate-box.txt"
# The start-up user check fails with the connection message; the trace names
# the certificate's problem; nothing reaches the server and nothing is stored.
grep -qF 'ネットワークの設定が正しくない可能性があります。' <<<"$texts" ||
  e2e_fail "wrong certificate: the message: $texts"
grep -qF 'SSL certificate Error 800b010f: the certificate does not name the server (host:localhost)' \
  <<<"$(trace_of "$dir")" || e2e_fail "wrong certificate: the trace: $(trace_of "$dir" | tail -20)"
e2e_ui click QRT100 OK >/dev/null || e2e_fail "wrong certificate: cannot press OK"
grep -q 'mid=' "$E2E_ARTIFACTS/https-wrong.log" &&
  e2e_fail "wrong certificate: a request reached the server: $(cat "$E2E_ARTIFACTS/https-wrong.log")"
[ ! -e "$dir/DLV/LAST_PD.FIL" ] && [ ! -e "$dir/DLV/RESULT/LIST_NO.FIL" ] ||
  e2e_fail "wrong certificate: something was stored: $(ls -R "$dir/DLV")"
e2e_collect "$dir" wrong-certificate-
kill "$checker" 2>/dev/null || true
e2e_wait_exit "$checker" 30 || true
stop_servers

# --- A host entry with CR LF never reaches ZORAX.INI -------------------------------
scenario "$E2E_TMP/hosts.scenario" 127.0.0.1 'evil\r\nSSL_CERT_IGNORE     ON'
start plain --scenario "$E2E_TMP/hosts.scenario"
plain_port=$PORT
dir=$(checker_folder 127.0.0.1 ON "$plain_port")
before=$(cat "$dir/USER/ZORAX.INI")
e2e_start "$dir" "$dir/QRT100.EXE"
checker=$E2E_PID
e2e_wait_run_sts 1 40 || e2e_fail "hosts: run_sts did not become 1"
e2e_wait_file "$dir/DLV/LAST_PD.FIL" 60 || e2e_fail "hosts: no check stored a result: $(trace_of "$dir" | tail -30)"
stop_checker "$checker"
e2e_collect "$dir" hosts-
ini=$(e2e_sjis "$dir/USER/ZORAX.INI" | tr -d '\r')
printf '%s\n' "$ini" >"$E2E_ARTIFACTS/hosts-zorax.ini"
grep -q 'SSL_CERT_IGNORE' <<<"$ini" && e2e_fail "hosts: ZORAX.INI gained the key: $ini"
grep -q 'evil' <<<"$ini" && e2e_fail "hosts: ZORAX.INI holds the hostile entry: $ini"
[ "$(grep -c '^ホスト名' <<<"$ini")" = 1 ] || e2e_fail "hosts: host lines: $ini"
grep -qx 'ホスト名            127.0.0.1' <<<"$ini" || e2e_fail "hosts: the host line changed: $ini"
[ "$(LC_ALL=C tr -d '\r\n' <"$dir/USER/ZORAX.INI" | LC_ALL=C tr -d '\040-\176\200-\377' | wc -c)" = 0 ] ||
  e2e_fail "hosts: a control byte in ZORAX.INI"
grep -qF 'host list: not a host name, dropped: evil\x0D\x0ASSL_CERT_IGNORE     ON' <<<"$(trace_of "$dir")" ||
  e2e_fail "hosts: the dropped entry was not traced: $(trace_of "$dir" | grep -i host)"
# The checker starts again with the file it wrote.
e2e_start "$dir" "$dir/QRT100.EXE"
checker=$E2E_PID
e2e_wait_run_sts 1 40 || e2e_fail "hosts: the second start did not finish"
stop_checker "$checker"
[ "$(e2e_sjis "$dir/USER/ZORAX.INI" | tr -d '\r')" = "$ini" ] || e2e_fail "hosts: ZORAX.INI changed on the second run"
[ -n "$before" ]
stop_servers
e2e_log "hosts: the hostile host entry was dropped and the checker starts again"
