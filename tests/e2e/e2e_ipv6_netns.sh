#!/usr/bin/env bash
# The detection program on IPv6 networks, natively or under Wine, in a network namespace of this
# test's own whose names come from its own hosts file (/etc/netns/NS/hosts):
#   1. IPv6 only (no IPv4 address on any link): a name with only an IPv6 address, on the host
#      side of the link, is reached directly.
#   2. IPv4 added: a name whose IPv6 address is silent and whose IPv4 address answers, and the
#      reverse, are reached through the race of addresses within about a second; the times are
#      printed. A silent address sits on a second link, whose neighbour entry for it names a
#      hardware address nobody owns, so its handshake goes out and nothing ever comes back.
#   3. IPv6 only: the target as an IPv6 literal on the command line, bracketed or apart from its
#      port, and (natively) a proxy given as an IPv6 literal in http_proxy is recorded.
#   e2e_ipv6_netns.sh PROGRAM WORK-FOLDER [WINE]
# Exits 77 (skipped) where network namespaces cannot be made.
set -uo pipefail
program=$1 work=$2 wine=${3:-}

ns="${QV_NETNS_PREFIX:-qv6}-$$"
host_if="q6h$$" ns_if="q6n$$" silent_host_if="q6s$$" silent_ns_if="q6t$$"
host6=fd6e:7::1 ns6=fd6e:7::2 host4=10.214.7.1 ns4=10.214.7.2
silent6=fd6e:8::99 silent4=10.214.8.99
nobody_mac=02:00:00:00:00:99 # locally administered, on no interface
slow_bound=5                  # seconds: far above a race, far below a system connect time-out

cleanup() {
  if [ -n "$wine" ] && [ -n "${WINEPREFIX:-}" ]; then
    ip netns exec "$ns" env WINEPREFIX="$WINEPREFIX" wineserver -k >/dev/null 2>&1
  fi
  for pidfile in "$work"/*.pid; do [ -f "$pidfile" ] && kill "$(cat "$pidfile")" 2>/dev/null; done
  ip link delete "$host_if" >/dev/null 2>&1
  ip link delete "$silent_host_if" >/dev/null 2>&1
  ip netns delete "$ns" >/dev/null 2>&1
  rm -rf "/etc/netns/$ns"
}
trap cleanup EXIT

if ! ip netns add "$ns" 2>/dev/null; then
  echo "network namespaces cannot be made here; skipped"
  exit 77
fi
in_ns() { ip netns exec "$ns" "$@"; }
# veth PAIR-HOST PAIR-NS: a link into the namespace, both ends up, IPv6 without the wait of
# duplicate address detection.
veth() {
  ip link add "$1" type veth peer name "$2" && ip link set "$2" netns "$ns" &&
    ip link set "$1" up && in_ns ip link set "$2" up
}
veth "$host_if" "$ns_if" && veth "$silent_host_if" "$silent_ns_if" &&
  in_ns ip link set lo up &&
  ip -6 addr add "$host6/64" dev "$host_if" nodad &&
  in_ns ip -6 addr add "$ns6/64" dev "$ns_if" nodad &&
  in_ns ip -6 addr add fd6e:8::2/64 dev "$silent_ns_if" nodad &&
  in_ns ip -6 neigh replace "$silent6" lladdr "$nobody_mac" dev "$silent_ns_if" nud permanent ||
  { echo "FAILED: cannot wire the namespace" >&2; exit 1; }

rm -rf "$work" && mkdir -p "$work/bin" "$work/cwd" && chmod 777 "$work"
cp "$program" "$work/bin/"
exe="$work/bin/$(basename "$program")"
unset http_proxy https_proxy all_proxy HTTP_PROXY HTTPS_PROXY ALL_PROXY no_proxy NO_PROXY
export QV_REGISTRY_DIR="$work/registry"

# The target, on every address of the host side, IPv6 and IPv4 alike.
python3 -c '
import socket, sys
s = socket.socket(socket.AF_INET6, socket.SOCK_STREAM)
s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.setsockopt(socket.IPPROTO_IPV6, socket.IPV6_V6ONLY, 0)
s.bind(("::", 0))
s.listen(50)
open(sys.argv[1], "w").write(str(s.getsockname()[1]))
while True:
    c, _ = s.accept()
    c.close()' "$work/target.port" </dev/null >/dev/null 2>&1 &
echo $! >"$work/target.pid"
for _ in $(seq 1 100); do [ -s "$work/target.port" ] && break; sleep 0.1; done
port=$(cat "$work/target.port")

mkdir -p "/etc/netns/$ns"
cat >"/etc/netns/$ns/hosts" <<HOSTS
127.0.0.1 localhost
::1 localhost
$host6 only6.test
$silent6 v6silent.test
$host4 v6silent.test
$host6 v4silent.test
$silent4 v4silent.test
HOSTS

if [ -n "$wine" ]; then
  # A prefix of its own, so that its wineserver, which opens the program's sockets, starts
  # inside the namespace.
  export WINEPREFIX="$work/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  export WINEARCH="${WINEARCH:-win32}"
  in_ns "$wine" wineboot --init >/dev/null 2>&1
fi

failures=0
fail() { echo "FAILED: $*" >&2; failures=$((failures + 1)); }
ini_value() { # SECTION NAME
  S="[$1]" N="$2" awk '{ sub(/\r$/, "") } /^\[/ { in_s = ($0 == ENVIRON["S"]) }
    in_s && index($0, ENVIRON["N"] "=") == 1 { print substr($0, length(ENVIRON["N"]) + 2); found = 1 }
    END { if (!found) print "<absent>" }' "$work/bin/qvproxy.ini" 2>/dev/null || echo "<absent>"
}
run() { # ARGS...: sets $status, $log, $elapsed_ms and $attempt_ms (the direct attempt's own time)
  rm -rf "$QV_REGISTRY_DIR" "$work/bin/qvproxy.ini" "$work/cwd/qvproxydetect.log"
  [ -n "$wine" ] && in_ns "$wine" reg delete 'HKCU\Software\Quorvane' /f >/dev/null 2>&1
  local start
  start=$(date +%s%N)
  if [ -n "$wine" ]; then
    (cd "$work/cwd" && timeout 120 ip netns exec "$ns" "$wine" "$exe" "$@")
  else
    (cd "$work/cwd" && timeout 120 ip netns exec "$ns" "$exe" "$@")
  fi
  status=$? elapsed_ms=$((($(date +%s%N) - start) / 1000000))
  log=$(tr -d '\r' <"$work/cwd/qvproxydetect.log" 2>/dev/null | sed 's/^[^>]*>//')
  attempt_ms=$(sed -n 's/^PROXY: \[0\] \[.*\] \[OK:0\] \[\([0-9]*\)ms\]$/\1/p' <<<"$log" | head -n1)
}
expect_direct() { # ADDRESS: reached directly and recorded with that target address
  [ "$status" -eq 0 ] || fail "exit code: expected 0, got $status"
  [ "$(ini_value 'Detected\0000' ProxyMethod)" = 0 ] ||
    fail "Detected\\0000 ProxyMethod: expected 0, got '$(ini_value 'Detected\0000' ProxyMethod)'"
  [ "$(ini_value 'Detected\0000' Address)" = "$1" ] ||
    fail "Detected\\0000 Address: expected '$1', got '$(ini_value 'Detected\0000' Address)'"
}
report() { # CASE
  if [ "$failures" -ne 0 ]; then
    echo "--- log of $1:" >&2
    echo "$log" >&2
    exit 1
  fi
  echo "$1: passed (direct attempt ${attempt_ms:-?} ms, run ${elapsed_ms} ms)"
}
expect_quick() { # CASE
  [ -n "$attempt_ms" ] && [ "$attempt_ms" -le $((slow_bound * 1000)) ] ||
    fail "$1: the direct attempt took ${attempt_ms:-?} ms, expected well under ${slow_bound} s"
}

# Literals where hosts are read: the command line and a proxy URL.
literal_cases() {
  echo "case: a bracketed IPv6 literal on the command line"
  run "[$host6]:$port"
  expect_direct "$host6"
  report "bracketed literal"

  echo "case: an IPv6 literal and the port apart"
  run "$host6" "$port"
  expect_direct "$host6"
  report "literal and port"

  [ -n "$wine" ] && return # the Linux variables are the native build's settings
  echo "case: a proxy given as an IPv6 literal in http_proxy"
  local proxy_port
  proxy_port=$(python3 -c 'import socket; s = socket.socket(socket.AF_INET6)
s.bind(("'"$host6"'", 0)); print(s.getsockname()[1])')
  cat >"$work/tinyproxy.conf" <<CONF
Port $proxy_port
Listen $host6
Timeout 60
LogFile "$work/tinyproxy.log"
Allow fd6e:7::/64
ConnectPort $port
CONF
  tinyproxy -d -c "$work/tinyproxy.conf" </dev/null >>"$work/tinyproxy.out" 2>&1 &
  echo $! >"$work/tinyproxy.pid"
  sleep 0.5
  # The target is the host's loopback, which only the proxy reaches.
  http_proxy="http://[$host6]:$proxy_port" run 127.0.0.1 "$port"
  [ "$status" -eq 0 ] || fail "exit code: expected 0, got $status"
  [ "$(ini_value 'Detected\0000' ProxyMethod)" = 100 ] || fail "the proxy was not recorded"
  [ "$(ini_value 'Detected\0000' ProxyHost)" = "$host6" ] ||
    fail "ProxyHost: expected $host6, got '$(ini_value 'Detected\0000' ProxyHost)'"
  report "IPv6 proxy"
}

echo "case: IPv6 only, a name with only an IPv6 address"
in_ns ip -4 addr show | grep -q 'inet .*scope global' && fail "the namespace has an IPv4 address"
run only6.test "$port"
expect_direct only6.test
report "IPv6-only name"

literal_cases

ip addr add "$host4/24" dev "$host_if" &&
  in_ns ip addr add "$ns4/24" dev "$ns_if" &&
  in_ns ip addr add 10.214.8.2/24 dev "$silent_ns_if" &&
  in_ns ip neigh replace "$silent4" lladdr "$nobody_mac" dev "$silent_ns_if" nud permanent ||
  { echo "FAILED: cannot add IPv4" >&2; exit 1; }

echo "case: IPv4 added, the name's IPv6 address is silent"
run v6silent.test "$port"
expect_direct v6silent.test
expect_quick "silent IPv6"
report "silent IPv6, working IPv4"

echo "case: IPv4 added, the name's IPv4 address is silent"
run v4silent.test "$port"
expect_direct v4silent.test
expect_quick "silent IPv4"
report "silent IPv4, working IPv6"
echo "every IPv6 case passed"
