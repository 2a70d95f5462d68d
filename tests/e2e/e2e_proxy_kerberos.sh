#!/usr/bin/env bash
# The detection program behind a real squid that asks for Negotiate, checked by its Kerberos
# helper against an MIT KDC of this test's own realm, all in a network namespace whose only way
# to the target is that squid (the target's name is known to squid alone). With a ticket of the
# user's the program passes the proxy and records it; without one the route fails in time and
# the log names Negotiate.
#   e2e_proxy_kerberos.sh PROGRAM WORK-FOLDER [WINE]
# Exits 77 (skipped) where network namespaces cannot be made.
set -uo pipefail
program=$1 work=$2 wine=${3:-}
realm=QVTEST.LAN
proxy_host=127.0.0.1
target=target.qvtest.invalid
ns="qvkrb-$$"

pids=()
cleanup() {
  if [ -n "$wine" ]; then
    ip netns exec "$ns" env WINEPREFIX="$work/wineprefix" wineserver -k >/dev/null 2>&1
  fi
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  wait 2>/dev/null
  ip netns delete "$ns" >/dev/null 2>&1
}
trap cleanup EXIT

if ! ip netns add "$ns" 2>/dev/null; then
  echo "network namespaces cannot be made here; skipped"
  exit 77
fi
in_ns() { ip netns exec "$ns" "$@"; }
in_ns ip link set lo up || { echo "FAILED: no loopback in the namespace" >&2; exit 1; }

rm -rf "$work" && mkdir -p "$work/bin" "$work/cwd" "$work/kdc" && chmod 777 "$work"
cp "$program" "$work/bin/"
exe="$work/bin/$(basename "$program")"
unset http_proxy https_proxy all_proxy HTTP_PROXY HTTPS_PROXY ALL_PROXY
export QV_REGISTRY_DIR="$work/registry"
free_port() {
  in_ns perl -MIO::Socket::INET -e \
    'print IO::Socket::INET->new(LocalAddr => "127.0.0.1", LocalPort => 0, Listen => 1)->sockport'
}
wait_port() { # PORT
  for _ in $(seq 1 300); do
    in_ns bash -c "exec 3<>/dev/tcp/127.0.0.1/$1" 2>/dev/null && return 0
    sleep 0.1
  done
  return 1
}

# The realm: a KDC in user space, a user and the proxy's service with its keytab.
kdc_port=$(free_port)
export KRB5_CONFIG="$work/kdc/krb5.conf" KRB5_KDC_PROFILE="$work/kdc/kdc.conf"
cat >"$KRB5_CONFIG" <<CONF
[libdefaults]
  default_realm = $realm
  dns_lookup_kdc = false
  dns_lookup_realm = false
  dns_canonicalize_hostname = false
  rdns = false
[realms]
  $realm = {
    kdc = 127.0.0.1:$kdc_port
  }
CONF
cat >"$KRB5_KDC_PROFILE" <<CONF
[kdcdefaults]
  kdc_ports = $kdc_port
  kdc_tcp_ports = $kdc_port
[realms]
  $realm = {
    database_name = $work/kdc/principal
    key_stash_file = $work/kdc/stash
    acl_file = $work/kdc/kadm5.acl
  }
[logging]
  kdc = FILE:$work/kdc/kdc.log
CONF
{
  kdb5_util -r "$realm" create -s -P master-key &&
    kadmin.local -r "$realm" -q "addprinc -pw alice-secret alice" &&
    kadmin.local -r "$realm" -q "addprinc -randkey HTTP/$proxy_host" &&
    kadmin.local -r "$realm" -q "ktadd -k $work/kdc/http.keytab HTTP/$proxy_host"
} >"$work/kdc/setup.log" 2>&1 || { echo "FAILED: the realm could not be made" >&2; cat "$work/kdc/setup.log" >&2; exit 1; }
chmod 644 "$work/kdc/http.keytab"
# Started by ip itself, not through a function, so that $! is the server's own process.
ip netns exec "$ns" krb5kdc -n -r "$realm" </dev/null >>"$work/kdc/kdc.out" 2>&1 &
pids+=($!)

# The target, known by name to squid alone, and squid.
target_port=$(free_port)
ip netns exec "$ns" perl -MIO::Socket::INET -e '
  $SIG{CHLD} = "IGNORE";
  my $s = IO::Socket::INET->new(LocalAddr => "127.0.0.1", LocalPort => $ARGV[0], Listen => 10,
                                ReuseAddr => 1) or die "echo: $!";
  while (my $c = $s->accept) {
    if (fork() == 0) { while (sysread($c, my $b, 4096)) { syswrite($c, $b) } exit 0 }
    close $c;
  }' "$target_port" </dev/null >>"$work/echo.out" 2>&1 &
pids+=($!)
squid_port=$(free_port)
printf '127.0.0.1 %s\n' "$target" >"$work/hosts"
cat >"$work/squid.conf" <<CONF
http_port $proxy_host:$squid_port
pid_filename $work/squid.pid
cache_log $work/cache.log
access_log stdio:$work/access.log
coredump_dir $work
shutdown_lifetime 0 seconds
cache deny all
hosts_file $work/hosts
dns_nameservers 127.0.0.1
auth_param negotiate program /usr/lib/squid/negotiate_kerberos_auth -s HTTP/$proxy_host@$realm
auth_param negotiate children 2
auth_param negotiate keep_alive on
acl authenticated proxy_auth REQUIRED
http_access allow authenticated
http_access deny all
CONF
ip netns exec "$ns" env KRB5_KTNAME="$work/kdc/http.keytab" KRB5RCACHETYPE=none \
  squid -N -f "$work/squid.conf" \
  </dev/null >>"$work/squid.out" 2>&1 &
pids+=($!)
wait_port "$kdc_port" && wait_port "$squid_port" && wait_port "$target_port" ||
  { echo "FAILED: the KDC, squid or the target did not start" >&2; cat "$work/cache.log" >&2; exit 1; }

export KRB5CCNAME="FILE:$work/ccache"
if [ -n "$wine" ]; then
  export WINEPREFIX="$work/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=${WINEARCH:-win32}
  in_ns "$wine" wineboot --init >/dev/null 2>&1
  in_ns "$wine" reg add 'HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings' \
    /v ProxyEnable /t REG_DWORD /d 1 /f >/dev/null 2>&1
  in_ns "$wine" reg add 'HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings' \
    /v ProxyServer /t REG_SZ /d "$proxy_host:$squid_port" /f >/dev/null 2>&1
fi

failures=0
fail() { echo "FAILED: $*" >&2; failures=$((failures + 1)); }
run() { # sets $status, $log, $elapsed, $method
  rm -rf "$QV_REGISTRY_DIR" "$work/cwd/qvproxydetect.log" "$work/bin/qvproxy.ini"
  local start=$SECONDS
  if [ -n "$wine" ]; then
    in_ns "$wine" reg delete 'HKCU\Software\Quorvane' /f >/dev/null 2>&1
    (cd "$work/cwd" && timeout 120 ip netns exec "$ns" "$wine" "$exe" "$target" "$target_port")
  else
    (cd "$work/cwd" && http_proxy="http://$proxy_host:$squid_port" timeout 120 \
      ip netns exec "$ns" "$exe" "$target" "$target_port")
  fi
  status=$? elapsed=$((SECONDS - start))
  log=$(tr -d '\r' <"$work/cwd/qvproxydetect.log" 2>/dev/null | sed 's/^[^>]*>//')
  if [ -n "$wine" ]; then
    method=$(in_ns "$wine" reg query 'HKCU\Software\Quorvane\Connection\Detected\0000' \
      /v ProxyMethod 2>/dev/null | tr -d '\r' | awk '$1 == "ProxyMethod" { print $3 }')
  else
    method=$(awk '$1 == "ProxyMethod" { v = $3; sub(/%00$/, "", v); print v }' \
      "$QV_REGISTRY_DIR/HKEY_CURRENT_USER/Software/Quorvane/Connection/Detected/0000/.values" \
      2>/dev/null)
  fi
}
via="^PROXY: \[CONNECT $target:$target_port\]"
expect_line() { grep -q "$1" <<<"$log" || fail "$2"; }
report() {
  if grep -q "Negotiate [A-Za-z0-9+/]\{16\}" <<<"$log"; then fail "a token reached the log"; fi
  if [ "$failures" -ne 0 ]; then
    echo "--- log of $1:" >&2
    echo "$log" >&2
    exit 1
  fi
  echo "$1: passed (${elapsed}s)"
}

echo "case: no ticket"
run
[ "$status" -eq 253 ] || fail "exit code: expected 253, got $status"
[ -z "$method" ] || fail "a route was recorded: method '$method'"
expect_line "$via proxy asks for authentication: Negotiate" "no line naming Negotiate"
expect_line "$via Negotiate could not be used: .* status " "no line with the failing status"
expect_line "$via authentication failed: " "no line for the failed authentication"
[ "$elapsed" -le 30 ] || fail "the run took ${elapsed}s"
report "no ticket"

echo "case: a ticket of the user's"
echo alice-secret | in_ns kinit alice >"$work/kinit.log" 2>&1 || fail "kinit failed: $(cat "$work/kinit.log")"
run
[ "$status" -eq 0 ] || fail "exit code: expected 0, got $status"
[ "$method" = 100 ] || fail "Detected\\0000 ProxyMethod: expected 100, got '$method'"
expect_line "$via authenticated with Negotiate$" "no line for the scheme that passed"
grep -q " alice@$realm " "$work/access.log" || fail "squid did not log the user's tunnel"
report "ticket"
grep "^PROXY: \[100\] .* \[OK:0\]" <<<"$log" | sed 's/^/the attempt through squid, handshake included: /'
