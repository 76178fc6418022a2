# shellcheck shell=bash
# Starting and stopping the native reference server (tools/refserver) from a
# script. Sourced (not run) by scripts/with-refserver and scripts/e2e/lib.sh:
#
#   refserver_start SERVER SCENARIO PORT_FILE LOG OUTPUT [ARGS...]
#   refserver_stop
# shellcheck disable=SC2034  # REFSERVER_PORT is for the scripts that source this

REFSERVER_PID=
REFSERVER_PORT=
REFSERVER_WAIT_SECONDS=15

# refserver_start SERVER SCENARIO PORT_FILE LOG OUTPUT [ARGS...]: starts the
# server binary SERVER in the background with the scenario on a free loopback
# port, its log in LOG, its standard output and error in OUTPUT, and ARGS as
# further options; its process id goes to REFSERVER_PID. Then waits, at most
# REFSERVER_WAIT_SECONDS, for the port it writes to PORT_FILE once it listens
# (then in REFSERVER_PORT). Returns 0 when it listens, 1 when it ended without a
# port (OUTPUT says why), 2 when no port came in time (the server keeps running
# until refserver_stop).
refserver_start() {
  local server=$1 scenario=$2 port_file=$3 log=$4 output=$5 i
  shift 5
  rm -f "$port_file"
  REFSERVER_PORT=
  "$server" --scenario "$scenario" --port-file "$port_file" --log "$log" "$@" >"$output" 2>&1 &
  REFSERVER_PID=$!
  for ((i = 0; i < REFSERVER_WAIT_SECONDS * 20; i++)); do
    if [[ -s $port_file ]]; then
      REFSERVER_PORT=$(tr -d '[:space:]' <"$port_file")
      return 0
    fi
    kill -0 "$REFSERVER_PID" 2>/dev/null || return 1
    sleep 0.05
  done
  return 2
}

# Stops the server refserver_start started, if it still runs, and waits for its
# end. Always succeeds.
refserver_stop() {
  if [[ -n $REFSERVER_PID ]]; then
    kill -TERM "$REFSERVER_PID" 2>/dev/null || true
    wait "$REFSERVER_PID" 2>/dev/null || true
    REFSERVER_PID=
  fi
  return 0
}
