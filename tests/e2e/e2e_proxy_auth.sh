#!/usr/bin/env bash
# The detection program behind a proxy that asks for NTLM (tests/e2e/ntlm_proxy.py, which checks
# NTLMv2 answers against a known password): the direct route leads nowhere, the settings name
# the proxy, and the program must pass the proxy with the user's credentials and record it, or
# fail the route in time with a log that says why.
#   e2e_proxy_auth.sh PROGRAM WORK-FOLDER [WINE CREDENTIAL-TOOL]
# With WINE the Windows build runs in $WINEPREFIX, whose credential store gets the user's
# password for the proxy host as the signed-in user's; natively NTLM has no credentials to use.
set -uo pipefail
program=$1 work=$2 wine=${3:-} credential_tool=${4:-}
here=$(cd "$(dirname "$0")" && pwd)
password='Corr3ct horse'
proxy_host=127.0.0.1

rm -rf "$work" && mkdir -p "$work/bin" "$work/cwd"
cp "$program" "$work/bin/"
exe="$work/bin/$(basename "$program")"
unset http_proxy https_proxy all_proxy HTTP_PROXY HTTPS_PROXY ALL_PROXY
export QV_REGISTRY_DIR="$work/registry"
target_port=$(perl -MIO::Socket::INET -e \
  'print IO::Socket::INET->new(LocalAddr => "127.0.0.1", LocalPort => 0, Listen => 1)->sockport')

proxy_pid=
stop_proxy() { [ -n "$proxy_pid" ] && kill "$proxy_pid" 2>/dev/null && wait "$proxy_pid" 2>/dev/null; proxy_pid=; }
settings='HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings'
cleanup() {
  stop_proxy
  if [ -n "$wine" ]; then
    "$wine" reg add "$settings" /v ProxyEnable /t REG_DWORD /d 0 /f >/dev/null 2>&1
    "$wine" reg delete "$settings" /v ProxyServer /f >/dev/null 2>&1
    "$wine" "$credential_tool" delete "$proxy_host" >/dev/null 2>&1
    "$wine" reg delete 'HKCU\Software\Quorvane' /f >/dev/null 2>&1
  fi
}
trap cleanup EXIT

start_proxy() { # KIND PASSWORD
  stop_proxy
  rm -f "$work/proxy.port" "$work/proxy.log"
  python3 "$here/ntlm_proxy.py" "$1" "$2" "$work/proxy.port" "$work/proxy.log" \
    </dev/null >>"$work/proxy.out" 2>&1 &
  proxy_pid=$!
  for _ in $(seq 1 100); do [ -s "$work/proxy.port" ] && break; sleep 0.1; done
  proxy_port=$(cat "$work/proxy.port")
  if [ -n "$wine" ]; then
    "$wine" reg add "$settings" /v ProxyEnable /t REG_DWORD /d 1 /f >/dev/null 2>&1
    "$wine" reg add "$settings" /v ProxyServer /t REG_SZ /d "$proxy_host:$proxy_port" /f \
      >/dev/null 2>&1
  fi
}

failures=0
fail() { echo "FAILED: $*" >&2; failures=$((failures + 1)); }
run() { # [KEEP-RECORDS]: runs the program; sets $status, $log, $elapsed, $method
  if [ -z "${1:-}" ]; then
    if [ -n "$wine" ]; then
      "$wine" reg delete 'HKCU\Software\Quorvane' /f >/dev/null 2>&1
    else
      rm -rf "$QV_REGISTRY_DIR"
    fi
    rm -f "$work/bin/qvproxy.ini"
  fi
  rm -f "$work/cwd/qvproxydetect.log"
  local start=$SECONDS
  if [ -n "$wine" ]; then
    (cd "$work/cwd" && timeout 120 "$wine" "$exe" 127.0.0.1 "$target_port")
  else
    (cd "$work/cwd" && http_proxy="http://$proxy_host:$proxy_port" timeout 120 "$exe" 127.0.0.1 \
      "$target_port")
  fi
  status=$? elapsed=$((SECONDS - start))
  log=$(tr -d '\r' <"$work/cwd/qvproxydetect.log" 2>/dev/null | sed 's/^[^>]*>//')
  if [ -n "$wine" ]; then
    method=$("$wine" reg query 'HKCU\Software\Quorvane\Connection\Detected\0000' /v ProxyMethod \
      2>/dev/null | tr -d '\r' | awk '$1 == "ProxyMethod" { print $3 }')
  else
    method=$(awk '$1 == "ProxyMethod" { v = $3; sub(/%00$/, "", v); print v }' \
      "$QV_REGISTRY_DIR/HKEY_CURRENT_USER/Software/Quorvane/Connection/Detected/0000/.values" \
      2>/dev/null)
  fi
}
expect_line() { grep -q "$1" <<<"$log" || fail "$2"; }
via="^PROXY: \[CONNECT 127.0.0.1:$target_port\]"
expect_recorded() {
  [ "$status" -eq 0 ] || fail "exit code: expected 0, got $status"
  [ "$method" = 100 ] || fail "Detected\\0000 ProxyMethod: expected 100, got '$method'"
  expect_line "$via proxy asks for authentication: NTLM$" "no line naming the scheme offered"
  expect_line "$via authenticated with NTLM$" "no line for the scheme that passed"
  grep -q "^granted " "$work/proxy.log" 2>/dev/null || fail "the proxy granted nothing"
}
expect_not_reached() { # SCHEME-LINE
  [ "$status" -eq 253 ] || fail "exit code: expected 253, got $status"
  [ -z "$method" ] || fail "a route was recorded: method '$method'"
  expect_line "$via $1" "no line '$1'"
  expect_line "$via authentication failed: " "no line for the failed authentication"
  [ "$elapsed" -le 30 ] || fail "the run took ${elapsed}s"
}
no_secrets() {
  if grep -qi "TlRMTVNT\|$password\|Proxy-Authorization" <<<"$log"; then
    fail "a token or the password reached the log"
  fi
}
report() { # CASE
  no_secrets
  if [ "$failures" -ne 0 ]; then
    echo "--- log of $1:" >&2
    echo "$log" >&2
    cat "$work/proxy.log" >&2 2>/dev/null
    exit 1
  fi
  echo "$1: passed (${elapsed}s; proxy: $(cat "$work/proxy.log" 2>/dev/null | tr "\n" " "))"
}

echo "case: a proxy that asks only for Basic"
start_proxy basic "$password"
run
expect_not_reached "proxy wants Basic, which needs a stored password: not answered$"
grep -q "authorization" "$work/proxy.log" 2>/dev/null && fail "the proxy was sent credentials"
report "Basic only"

if [ -z "$wine" ]; then
  echo "case: NTLM, which Linux cannot answer"
  start_proxy keep "$password"
  run
  expect_not_reached "NTLM could not be used: NTLM needs the signed-in user's password"
  report "NTLM on Linux"
  exit 0
fi

"$wine" "$credential_tool" write "$proxy_host" 'QVTEST\alice' "$password" ||
  { echo "FAILED: the password could not be stored" >&2; exit 1; }

for kind in keep close nolength; do
  echo "case: NTLM, $kind"
  start_proxy "$kind" "$password"
  run
  expect_recorded
  report "NTLM $kind"
  grep "^PROXY: \[100\] .* \[OK:0\]" <<<"$log" | sed 's/^/  the attempt, handshake included: /'
done

echo "case: NTLM again from the stored records"
run keep-records
[ "$status" -eq 0 ] || fail "exit code: expected 0, got $status"
expect_line "$via authenticated with NTLM$" "the stored route did not authenticate"
report "NTLM stored"

echo "case: NTLM, a proxy that closes after every 407: the scheme starts again once, then fails"
start_proxy closeall "$password"
run
expect_not_reached "NTLM starts again on a new connection$"
report "NTLM closing always"

echo "case: NTLM with a wrong password"
start_proxy keep "not the password"
run
expect_not_reached "NTLM rejected by the proxy$"
grep -q "^refused " "$work/proxy.log" || fail "the proxy refused nothing"
report "NTLM wrong password"
