# shellcheck shell=bash
# Starting squid, the real HTTP proxy of the tests, from a script. Sourced (not
# run) by tests/tls/tls-peers and tests/integration/wine/ntlm-proxy:
#
#   squid_start DIR AUTH [ORIGIN_PORT]
#
# squid runs in the foreground on a free loopback port with its own small
# configuration in DIR (which must be reachable by the proxy user: squid drops
# to it), caching nothing, logging every request with its client port to
# DIR/access.log ("CLIENT_IP:PORT STATUS METHOD URL"). AUTH is the
# authentication it demands:
#   basic      user qrtuser, password qrtpass (basic_ncsa_auth)
#   ntlm       NTLM with any credentials (tests/support/ntlm_helper.py, whose
#              challenge, unlike ntlm_fake_auth's, Samba's client accepts)
#   ntlm-refusing  NTLM that refuses every account (the helper's --refuse)
#   negotiate  Negotiate carrying NTLM tokens (negotiate_wrapper_auth handing
#              them to the same helper)
# With ORIGIN_PORT every request goes to the server on that loopback port
# (which then gets origin-form request lines). Needs root; squid_available
# says whether squid and its helpers are installed. Sets SQUID_PORT and
# SQUID_PID (0 and 1 on success and failure); DIR/cache.log says why not.

SQUID_PORT=
SQUID_PID=
SQUID_HELPERS=/usr/lib/squid
# The system interpreter: squid runs its helpers as the proxy user.
SQUID_PYTHON=/usr/bin/python3
SQUID_NTLM_HELPER=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/tests/support/ntlm_helper.py

squid_available() {
  command -v squid >/dev/null && command -v htpasswd >/dev/null &&
    [ -x "$SQUID_HELPERS/basic_ncsa_auth" ] && [ -x "$SQUID_HELPERS/negotiate_wrapper_auth" ] &&
    [ -x "$SQUID_PYTHON" ] &&
    [ "$(id -u)" = 0 ]
}

squid_port_busy() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }

squid_start() {
  local dir=$1 auth=$2 origin=${3:-} try k up conf
  SQUID_PORT= SQUID_PID=
  mkdir -p "$dir"
  case $auth in
    basic)
      htpasswd -bc "$dir/passwd" qrtuser qrtpass 2>/dev/null
      conf="auth_param basic program $SQUID_HELPERS/basic_ncsa_auth $dir/passwd
auth_param basic realm qrt" ;;
    ntlm | ntlm-refusing)
      cp "$SQUID_NTLM_HELPER" "$dir/ntlm_helper.py"
      local refuse=
      [ "$auth" = ntlm-refusing ] && refuse=" --refuse"
      conf="auth_param ntlm program $SQUID_PYTHON $dir/ntlm_helper.py$refuse
auth_param ntlm children 2" ;;
    negotiate)
      cp "$SQUID_NTLM_HELPER" "$dir/ntlm_helper.py"
      conf="auth_param negotiate program $SQUID_HELPERS/negotiate_wrapper_auth --ntlm $SQUID_PYTHON $dir/ntlm_helper.py --kerberos /bin/false
auth_param negotiate children 2
auth_param negotiate keep_alive on" ;;
    *) echo "squid_start: unknown authentication $auth" >&2; return 1 ;;
  esac
  if [ -n "$origin" ]; then
    conf="$conf
cache_peer 127.0.0.1 parent $origin 0 no-query originserver name=origin
never_direct allow all"
  fi
  chown -R proxy "$dir" 2>/dev/null
  for try in 1 2 3 4 5; do
    SQUID_PORT=$((20000 + RANDOM % 30000))
    squid_port_busy "$SQUID_PORT" && continue
    cat >"$dir/squid.conf" <<CONF
http_port 127.0.0.1:$SQUID_PORT
pid_filename $dir/squid.pid
cache_log $dir/cache.log
logformat qrt %>a:%>p %Ss/%03>Hs %rm %ru
access_log $dir/access.log qrt
coredump_dir $dir
cache deny all
shutdown_lifetime 0 seconds
$conf
acl authed proxy_auth REQUIRED
http_access allow authed
http_access deny all
CONF
    squid -f "$dir/squid.conf" -N >"$dir/squid.out" 2>&1 &
    SQUID_PID=$!
    up=
    for k in $(seq 1 50); do
      kill -0 "$SQUID_PID" 2>/dev/null || break
      if squid_port_busy "$SQUID_PORT" && sleep 0.2 && kill -0 "$SQUID_PID" 2>/dev/null; then
        up=1
        break
      fi
      sleep 0.1
    done
    [ -n "$up" ] && return 0
    kill "$SQUID_PID" 2>/dev/null
    SQUID_PID=
  done
  SQUID_PORT=
  return 1
}
