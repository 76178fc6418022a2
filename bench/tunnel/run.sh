#!/usr/bin/env bash
# Benchmark of the tunnel: one exchange whose answer carries SIZE bytes (default
# 10,000,000) from the reference server over loopback, the product's tunnel
# (in process, tunnel_bench) against curl posting the same body to the same
# server (curl's own transfer time), plain HTTP through the server as the proxy
# and TLS. Best of RUNS (default 5) each; prints the milliseconds and the ratio
# ours / curl. Built with the native-release preset.
#   bench/tunnel/run.sh [SIZE] [RUNS]
set -euo pipefail
# The whole run holds the shared build lock: no build competes for the two cores.
if [ -z "${TUNNEL_BENCH_LOCKED:-}" ]; then
  TUNNEL_BENCH_LOCKED=1 exec flock /tmp/qrt-build.lock "$0" "$@"
fi
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
size=${1:-10000000}
runs=${2:-5}
rel=$root/build/native-release
out=$rel/bench-tunnel
mkdir -p "$out"

cmake --preset native-release >/dev/null
cmake --build "$rel" --target refserver zr_session >/dev/null
libs=()
for l in session net sdi text lha runtime naming platform; do libs+=("$rel/common/libzr_$l.a"); done
g++ -std=c++20 -O3 -DNDEBUG -I"$root/common" "$here/tunnel_bench.cpp" "${libs[@]}" -lssl -lcrypto \
  -lrt -pthread -o "$out/tunnel_bench"

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
# A test authority and a "localhost" certificate for the TLS runs.
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=bench authority" \
  -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign \
  -keyout "$tmp/ca.key" -out "$tmp/ca.pem" 2>/dev/null
openssl req -newkey rsa:2048 -nodes -subj /CN=localhost -keyout "$tmp/srv.key" -out "$tmp/srv.csr" \
  2>/dev/null
printf 'subjectAltName=DNS:localhost\nextendedKeyUsage=serverAuth\n' >"$tmp/srv.ext"
openssl x509 -req -in "$tmp/srv.csr" -CA "$tmp/ca.pem" -CAkey "$tmp/ca.key" -CAcreateserial \
  -days 2 -extfile "$tmp/srv.ext" -out "$tmp/srv.pem" 2>/dev/null

printf '[user BENCH]\npassword = bench\n[faults]\nmid=55 count=* binary=%d\n' "$size" \
  >"$tmp/world.scenario"
# The tunnel's body: the 32-character text header and the request text.
printf '%-11s%02d%-8s%04d%07d%s' QRTSVR 0 BENCH 55 5 bench >"$tmp/body"

# curl's best transfer time in milliseconds.
curl_best() {
  local best=999999 t
  for _ in $(seq "$runs"); do
    t=$(curl -s -o /dev/null -w '%{time_total}' --data-binary @"$tmp/body" \
      -H 'Content-Type: application/octet-stream' "$@")
    best=$(awk -v a="$best" -v b="$t" 'BEGIN { b *= 1000; print (b < a ? b : a) }')
  done
  echo "$best"
}

export QRT_REFSERVER=$rel/tools/refserver/refserver
printf "%-6s %12s %12s %10s   (answer of %d bytes, best of %d)\n" kind "ours ms" "curl ms" \
  ours/curl "$size" "$runs"
run() {  # kind: plain or tls
  local kind=$1 ours curl_ms
  read -r ours got < <("$out/tunnel_bench" "$kind" "$QRT_REFSERVER_PORT" "$runs")
  if [ "$got" != "$size" ]; then
    echo "the $kind answer carried $got bytes, not $size" >&2
    return 1
  fi
  if [ "$kind" = plain ]; then
    curl_ms=$(curl_best -x "http://127.0.0.1:$QRT_REFSERVER_PORT" http://h1.example/QRTSVR)
  else
    curl_ms=$(curl_best --cacert "$tmp/ca.pem" "https://localhost:$QRT_REFSERVER_PORT/QRTSVR")
  fi
  printf "%-6s %12.1f %12.1f %9.2fx\n" "$kind" "$ours" "$curl_ms" \
    "$(awk -v a="$ours" -v b="$curl_ms" 'BEGIN { print a / b }')"
}
export -f run curl_best
export out runs size tmp
"$root/scripts/with-refserver" "$tmp/world.scenario" -- bash -c 'run plain'
QRT_REFSERVER_CERT=$tmp/srv.pem QRT_REFSERVER_KEY=$tmp/srv.key SSL_CERT_FILE=$tmp/ca.pem \
  "$root/scripts/with-refserver" "$tmp/world.scenario" -- bash -c 'run tls'
