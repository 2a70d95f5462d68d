#!/usr/bin/env bash
# The Windows detection program on a host whose only way out is an HTTP proxy: it runs under Wine
# in a network namespace of this test's own, where the target's address leads nowhere, and Wine's
# Internet settings name a real tinyproxy on the host, which reaches the target on the host's
# loopback. The program must record the proxy as Detected\0000 with ProxyMethod 100.
#   e2e_proxy_netns.sh PROGRAM WORK-FOLDER WINE ECHO-PORT-FILE
# Exits 77 (skipped) where network namespaces cannot be made.
set -uo pipefail
program=$1 work=$2 wine=$3 echo_port_file=$4

ns="qvtest-$$"
host_if="qvh$$" ns_if="qvn$$"
host_ip=10.213.7.1 ns_ip=10.213.7.2 # a /30 of our own, between the host and the namespace

cleanup() {
  if [ -n "${WINEPREFIX:-}" ]; then
    ip netns exec "$ns" env WINEPREFIX="$WINEPREFIX" wineserver -k >/dev/null 2>&1
  fi
  [ -f "$work/tinyproxy.pid" ] && kill "$(cat "$work/tinyproxy.pid")" 2>/dev/null
  ip link delete "$host_if" >/dev/null 2>&1
  ip netns delete "$ns" >/dev/null 2>&1
}
trap cleanup EXIT

if ! ip netns add "$ns" 2>/dev/null; then
  echo "network namespaces cannot be made here; skipped"
  exit 77
fi
ip link add "$host_if" type veth peer name "$ns_if" &&
  ip link set "$ns_if" netns "$ns" &&
  ip addr add "$host_ip/30" dev "$host_if" && ip link set "$host_if" up &&
  ip netns exec "$ns" ip addr add "$ns_ip/30" dev "$ns_if" &&
  ip netns exec "$ns" ip link set "$ns_if" up &&
  ip netns exec "$ns" ip link set lo up || { echo "FAILED: cannot wire the namespace" >&2; exit 1; }

rm -rf "$work" && mkdir -p "$work/bin" "$work/cwd" && chmod 777 "$work"
cp "$program" "$work/bin/"
exe="$work/bin/$(basename "$program")"
echo_port=$(cat "$echo_port_file")

proxy_port=$(perl -MIO::Socket::INET -e \
  'print IO::Socket::INET->new(LocalAddr => "'"$host_ip"'", LocalPort => 0, Listen => 1)->sockport')
cat >"$work/tinyproxy.conf" <<CONF
Port $proxy_port
Listen $host_ip
Timeout 60
LogFile "$work/tinyproxy.log"
LogLevel Info
Allow $ns_ip
ConnectPort $echo_port
CONF
tinyproxy -d -c "$work/tinyproxy.conf" </dev/null >>"$work/tinyproxy.out" 2>&1 &
echo $! >"$work/tinyproxy.pid"

# A prefix of its own, so that its wineserver, which opens the program's sockets, starts inside
# the namespace.
export WINEPREFIX="$work/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win32
unset http_proxy https_proxy all_proxy HTTP_PROXY HTTPS_PROXY ALL_PROXY
in_ns() { ip netns exec "$ns" "$@"; }
in_ns "$wine" wineboot --init >/dev/null 2>&1
settings='HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings'
in_ns "$wine" reg add "$settings" /v ProxyEnable /t REG_DWORD /d 1 /f >/dev/null 2>&1
in_ns "$wine" reg add "$settings" /v ProxyServer /t REG_SZ /d "$host_ip:$proxy_port" /f >/dev/null 2>&1

(cd "$work/cwd" && timeout 120 ip netns exec "$ns" "$wine" "$exe" 127.0.0.1 "$echo_port")
status=$?
log=$(tr -d '\r' <"$work/cwd/qvproxydetect.log" 2>/dev/null | sed 's/^[^>]*>//')
method=$(in_ns "$wine" reg query 'HKCU\Software\Quorvane\Connection\Detected\0000' /v ProxyMethod \
  2>/dev/null | tr -d '\r' | awk '$1 == "ProxyMethod" { print $3 }')

failures=0
fail() { echo "FAILED: $*" >&2; failures=$((failures + 1)); }
[ "$status" -eq 0 ] || fail "exit code: expected 0, got $status"
[ "$method" = 100 ] || fail "Detected\\0000 ProxyMethod: expected 100, got '$method'"
grep -q "^PROXY: \[0\] \[127.0.0.1:$echo_port\] \[ERROR:" <<<"$log" ||
  fail "the direct attempt did not fail inside the namespace"
grep -q "^PROXY: \[100\] \[127.0.0.1:$echo_port\]via\[$host_ip:$proxy_port\] \[OK:0\]" <<<"$log" ||
  fail "no OK line for the attempt through the proxy"
if [ "$failures" -ne 0 ]; then
  echo "--- log:" >&2
  echo "$log" >&2
  exit 1
fi
echo "the proxy was found and recorded"
