#!/usr/bin/env bash
# The Windows detection program on a host whose only way out is an HTTP proxy: it runs under Wine
# in a network namespace of this test's own, where the target's address leads nowhere, and Wine's
# Internet settings name a real tinyproxy on the host, which reaches the target on the host's
# loopback. The program must record the proxy as Detected\0000 with ProxyMethod 100, whether the
# settings name it, a proxy script served from the host names it (with a dead proxy before it),
# or the machine-wide WinHTTP setting names it; a script whose server never answers costs only
# the script's deadline.
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
  [ -f "$work/pac.pid" ] && kill "$(cat "$work/pac.pid")" 2>/dev/null
  [ -f "$work/wpad.pid" ] && kill "$(cat "$work/wpad.pid")" 2>/dev/null
  ip link delete "$host_if" >/dev/null 2>&1
  ip netns delete "$ns" >/dev/null 2>&1
  rm -rf "/etc/netns/$ns"
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

# Proxy scripts, served from the host; /hang is accepted and never answered.
mkdir -p "$work/pac"
dead_port=$(perl -MIO::Socket::INET -e \
  'print IO::Socket::INET->new(LocalAddr => "'"$host_ip"'", LocalPort => 0, Listen => 1)->sockport')
script() { printf 'function FindProxyForURL(url, host) { return "%s"; }\n' "$1"; }
script "PROXY $host_ip:$proxy_port; DIRECT" >"$work/pac/good.pac"
script "PROXY $host_ip:$dead_port; PROXY $host_ip:$proxy_port" >"$work/pac/two.pac"
python3 "$(dirname "$0")/pac_server.py" "$host_ip" "$work/pac" "$work/pac.port" \
  </dev/null >>"$work/pac.out" 2>&1 &
echo $! >"$work/pac.pid"
for _ in $(seq 1 100); do [ -s "$work/pac.port" ] && break; sleep 0.1; done
pac="http://$host_ip:$(cat "$work/pac.port")"

# The namespace's own hosts file (ip netns exec mounts /etc/netns/NS/hosts over /etc/hosts) puts
# the machine in a domain before Wine first starts, and names wpad in it for DNS discovery.
domain=qvtest.lan
mkdir -p "/etc/netns/$ns"
printf '127.0.0.1 localhost\n%s %s.%s %s\n%s wpad.%s\n' "$ns_ip" "$(hostname)" "$domain" \
  "$(hostname)" "$host_ip" "$domain" >"/etc/netns/$ns/hosts"

# A prefix of its own, so that its wineserver, which opens the program's sockets, starts inside
# the namespace; 32-bit unless the caller runs a 64-bit build (WINEARCH=win64).
export WINEPREFIX="$work/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH="${WINEARCH:-win32}"
unset http_proxy https_proxy all_proxy HTTP_PROXY HTTPS_PROXY ALL_PROXY
in_ns() { ip netns exec "$ns" "$@"; }
in_ns "$wine" wineboot --init >/dev/null 2>&1
settings='HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings'
connections='Software\Microsoft\Windows\CurrentVersion\Internet Settings\Connections'

# The binary settings that WinHTTP reads: a header (magic, a counter, flags), then each text as
# a 32-bit length and its bytes.
le32() { printf '%02x%02x%02x%02x' $(($1 & 255)) $((($1 >> 8) & 255)) $((($1 >> 16) & 255)) $((($1 >> 24) & 255)); }
blob() { # MAGIC FLAGS TEXT...
  local out text
  out=$(le32 "$1")$(le32 0)$(le32 "$2")
  shift 2
  for text; do out+=$(le32 ${#text})$(printf '%s' "$text" | od -An -tx1 | tr -d ' \n'); done
  echo "$out"
}
reg_add() { in_ns "$wine" reg add "$@" /f >/dev/null 2>&1; }
# user_settings STATIC-PROXY SCRIPT-URL: either may be empty. The script goes both where Windows
# keeps it (AutoConfigURL) and where Wine's WinHTTP reads it (DefaultConnectionSettings, whose
# flags also switch Wine's default discovery off).
user_settings() {
  local flags=1
  reg_add "$settings" /v ProxyEnable /t REG_DWORD /d "$([ -n "$1" ] && echo 1 || echo 0)"
  reg_add "$settings" /v ProxyServer /t REG_SZ /d "$1"
  reg_add "$settings" /v AutoConfigURL /t REG_SZ /d "$2"
  [ -n "$2" ] && flags=$((flags | 4))
  reg_add "HKCU\\$connections" /v DefaultConnectionSettings /t REG_BINARY \
    /d "$(blob 0x46 "$flags" "" "" "$2")"
}
machine_wide() { # PROXY, or empty for none
  reg_add "HKLM\\$connections" /v WinHttpSettings /t REG_BINARY \
    /d "$(blob 0x18 "$([ -n "$1" ] && echo 3 || echo 1)" "$1" "")"
}

failures=0
fail() { echo "FAILED: $*" >&2; failures=$((failures + 1)); }
run() { # runs the program; sets $status, $log, $elapsed and $method/$proxy of Detected\0000
  in_ns "$wine" reg delete 'HKCU\Software\Quorvane' /f >/dev/null 2>&1
  rm -f "$work/cwd/qvproxydetect.log" "$work/bin/qvproxy.ini"
  local start=$SECONDS
  (cd "$work/cwd" && timeout 120 ip netns exec "$ns" "$wine" "$exe" 127.0.0.1 "$echo_port")
  status=$? elapsed=$((SECONDS - start))
  log=$(tr -d '\r' <"$work/cwd/qvproxydetect.log" 2>/dev/null | sed 's/^[^>]*>//')
  detected() {
    in_ns "$wine" reg query 'HKCU\Software\Quorvane\Connection\Detected\0000' /v "$1" \
      2>/dev/null | tr -d '\r' | N="$1" awk '$1 == ENVIRON["N"] { print $3 }'
  }
  method=$(detected ProxyMethod) proxy=$(detected ProxyHost):$(detected ProxyPort)
}
expect_line() { grep -q "$1" <<<"$log" || fail "$2"; }
expect_proxy_recorded() {
  [ "$status" -eq 0 ] || fail "exit code: expected 0, got $status"
  [ "$method" = 100 ] || fail "Detected\\0000 ProxyMethod: expected 100, got '$method'"
  [ "$proxy" = "$host_ip:$proxy_port" ] || fail "Detected\\0000 proxy: expected $host_ip:$proxy_port, got '$proxy'"
  expect_line "^PROXY: \[0\] \[127.0.0.1:$echo_port\] \[ERROR:" \
    "the direct attempt did not fail inside the namespace"
  expect_line "^PROXY: \[100\] \[127.0.0.1:$echo_port\]via\[$host_ip:$proxy_port\] \[OK:0\]" \
    "no OK line for the attempt through the proxy"
}
report() { # CASE
  if [ "$failures" -ne 0 ]; then
    echo "--- log of $1:" >&2
    echo "$log" >&2
    exit 1
  fi
  echo "$1: passed (${elapsed}s)"
}

echo "case: the settings name the proxy"
user_settings "$host_ip:$proxy_port" ""
machine_wide ""
run
expect_proxy_recorded
report "static proxy"

echo "case: a proxy script names it"
user_settings "" "$pac/good.pac"
run
expect_proxy_recorded
expect_line "^PROXY: Proxy script: '$pac/good.pac' for http://127.0.0.1:$echo_port/$" "no script line"
expect_line "^PROXY: Proxy script answered '$host_ip:$proxy_port' \[" "no answer line"
expect_line "^PROXY: Try 'script' $host_ip:$proxy_port$" "no Try line for the script's proxy"
report "proxy script"

# Wine's WinHTTP answers only the first PROXY entry of a script's list (Windows answers them
# all), so here the dead proxy is what is tried; the unit tests try both from a full answer.
echo "case: a script names a dead proxy, then the working one"
user_settings "" "$pac/two.pac"
run
expect_line "^PROXY: Try 'script' $host_ip:$dead_port$" "the dead proxy was not tried"
expect_line "^PROXY: \[100\] \[127.0.0.1:$echo_port\]via\[$host_ip:$dead_port\] \[ERROR:" \
  "no ERROR line for the dead proxy"
if grep -q "^PROXY: Try 'script' $host_ip:$proxy_port$" <<<"$log"; then
  expect_proxy_recorded # a WinHTTP that answers the whole list
else
  [ -z "$method" ] || fail "the dead proxy was recorded"
fi
report "dead and working proxy"

echo "case: the script's server accepts and never answers"
user_settings "$host_ip:$proxy_port" "$pac/hang"
run
expect_proxy_recorded
expect_line "^PROXY: Proxy script gave no answer within 5000ms$" "no line for the silent script"
[ "$elapsed" -le 21 ] || fail "the run took ${elapsed}s, more than the 20 s wait and its margin"
report "silent script server"

echo "case: only the machine-wide WinHTTP setting names the proxy"
user_settings "" ""
machine_wide "$host_ip:$proxy_port"
run
expect_proxy_recorded
expect_line "^PROXY: Machine-wide proxy: '$host_ip:$proxy_port'$" "no machine-wide line"
expect_line "^PROXY: Try 'machine-wide' $host_ip:$proxy_port$" "no Try line for it"
report "machine-wide proxy"

echo "case: the settings, a script and the machine-wide setting all name it: tried once"
user_settings "$host_ip:$proxy_port" "$pac/good.pac"
run
expect_proxy_recorded
[ "$(grep -c "^PROXY: \[100\] \[127.0.0.1:$echo_port\]via\[$host_ip:$proxy_port\] \[OK" <<<"$log")" = 1 ] ||
  fail "the proxy was tried more than once"
expect_line "^PROXY: Already a candidate: 'script' $host_ip:$proxy_port$" \
  "no line for the script's proxy that was a candidate already"
report "one route, three sources"

# Discovery through DNS: http://wpad.DOMAIN/wpad.dat is served on the host. Wine asks DNS for it
# only when the machine has a domain.
echo "case: discovery finds the script through DNS"
cp "$work/pac/good.pac" "$work/pac/wpad.dat"
python3 "$(dirname "$0")/pac_server.py" "$host_ip" "$work/pac" "$work/wpad.port" 80 \
  </dev/null >>"$work/pac.out" 2>&1 &
echo $! >"$work/wpad.pid"
for _ in $(seq 1 50); do [ -s "$work/wpad.port" ] && break; sleep 0.1; done
user_settings "" ""
reg_add "HKCU\\$connections" /v DefaultConnectionSettings /t REG_BINARY /d "$(blob 0x46 9 "" "" "")"
machine_wide ""
run
expect_line "^PROXY: Proxy script: automatic detection for http://127.0.0.1:$echo_port/$" \
  "no discovery line"
if [ -s "$work/wpad.port" ] && grep -q "^PROXY: Try 'script' $host_ip:$proxy_port$" <<<"$log"; then
  expect_proxy_recorded
  report "DNS discovery"
else
  report "DNS discovery (not found by this Wine: $(grep '^PROXY: Proxy script [fg]' <<<"$log"))"
fi
echo "the proxy was found and recorded from every source"
