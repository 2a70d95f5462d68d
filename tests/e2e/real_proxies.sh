#!/usr/bin/env bash
# Starts a real HTTP proxy (tinyproxy), a real SOCKS 4 proxy (dante), a SOCKS 5-only dante,
# microsocks asking for a user name and password, and an echo server behind them, each on a free
# loopback port with a configuration of its own, for the tests of both builds; or stops them.
# The two SOCKS 5 proxies run with a hosts file of their own (a mount namespace) that names the
# echo server, so that only they can resolve DIR/proxy-only.name.
#   real_proxies.sh start DIR   writes DIR/{echo,http,socks,socks5,microsocks}.port,
#                               DIR/proxy-only.name and DIR/microsocks.login ("user password")
#   real_proxies.sh stop DIR
set -uo pipefail
action=$1 dir=$2

free_port() {
  perl -MIO::Socket::INET -e \
    'my $s = IO::Socket::INET->new(LocalAddr => "127.0.0.1", LocalPort => 0, Listen => 1) or die; print $s->sockport'
}

wait_for_port() { # name port
  for _ in $(seq 1 100); do
    if (exec 3<>"/dev/tcp/127.0.0.1/$2") 2>/dev/null; then return 0; fi
    sleep 0.1
  done
  echo "real_proxies: $1 did not start listening on port $2" >&2
  return 1
}

stop_all() {
  for name in echo tinyproxy danted danted5 microsocks; do
    if [ -f "$dir/$name.pid" ]; then
      kill "$(cat "$dir/$name.pid")" 2>/dev/null
      rm -f "$dir/$name.pid"
    fi
  done
}

case "$action" in
start)
  stop_all 2>/dev/null
  rm -rf "$dir" && mkdir -p "$dir"
  chmod 777 "$dir"

  # The target: echoes back whatever arrives, one child process per connection.
  perl -MIO::Socket::INET -e '
    $SIG{CHLD} = "IGNORE";
    my $s = IO::Socket::INET->new(LocalAddr => "127.0.0.1", LocalPort => 0, Listen => 50,
                                  ReuseAddr => 1) or die "echo: $!";
    open(my $f, ">", $ARGV[0]) or die; print $f $s->sockport; close $f;
    while (my $c = $s->accept) {
      if (fork() == 0) { while (sysread($c, my $b, 4096)) { syswrite($c, $b) } exit 0 }
      close $c;
    }' "$dir/echo.port.tmp" </dev/null >>"$dir/echo.out" 2>&1 &
  echo $! >"$dir/echo.pid"
  for _ in $(seq 1 100); do [ -s "$dir/echo.port.tmp" ] && break; sleep 0.1; done
  echo_port=$(cat "$dir/echo.port.tmp")

  http_port=$(free_port)
  cat >"$dir/tinyproxy.conf" <<CONF
Port $http_port
Listen 127.0.0.1
Timeout 60
LogFile "$dir/tinyproxy.log"
LogLevel Info
MaxClients 100
Allow 127.0.0.1
ConnectPort $echo_port
CONF
  tinyproxy -d -c "$dir/tinyproxy.conf" </dev/null >>"$dir/tinyproxy.out" 2>&1 &
  echo $! >"$dir/tinyproxy.pid"

  socks_port=$(free_port)
  # A dante on loopback for loopback targets; a third argument adds a line to its connect rule.
  dante_conf() { # PORT LOG-FILE [RULE-LINE]
    printf '%s\n' "logoutput: $2" "internal: 127.0.0.1 port = $1" "external: 127.0.0.1" \
      "clientmethod: none" "socksmethod: none" "user.privileged: root" \
      "user.unprivileged: nobody" "client pass {" "  from: 127.0.0.0/8 to: 0.0.0.0/0" "}" \
      "socks pass {" "  from: 127.0.0.0/8 to: 127.0.0.0/8" "  command: connect" ${3:+"  $3"} "}"
  }
  dante_conf "$socks_port" "$dir/danted.log" >"$dir/danted.conf"
  danted -f "$dir/danted.conf" -N 1 </dev/null >>"$dir/danted.out" 2>&1 &
  echo $! >"$dir/danted.pid"

  # The hosts file the SOCKS 5 proxies read, bound over /etc/hosts in a mount namespace of their
  # own; the tests' programs read the machine's, where the name is unknown.
  proxy_only_name=proxy-only.qvsocks5.invalid
  printf '127.0.0.1 localhost %s\n' "$proxy_only_name" >"$dir/proxy-hosts"
  # A user other than root gets the mount namespace inside a user namespace of its own.
  as_root=()
  [ "$(id -u)" -eq 0 ] || as_root=(--map-root-user)
  with_proxy_hosts() {
    exec unshare "${as_root[@]}" --mount --propagation private \
      sh -c 'mount --bind "$0" /etc/hosts && exec "$@"' "$dir/proxy-hosts" "$@"
  }

  socks5_port=$(free_port)
  dante_conf "$socks5_port" "$dir/danted5.log" "proxyprotocol: socks_v5" >"$dir/danted5.conf"
  with_proxy_hosts danted -f "$dir/danted5.conf" -N 1 </dev/null >>"$dir/danted5.out" 2>&1 &
  echo $! >"$dir/danted5.pid"

  microsocks_port=$(free_port)
  microsocks_user=qvuser microsocks_password='pa:ss@w/rd'
  with_proxy_hosts microsocks -i 127.0.0.1 -p "$microsocks_port" -u "$microsocks_user" \
    -P "$microsocks_password" </dev/null >>"$dir/microsocks.out" 2>&1 &
  echo $! >"$dir/microsocks.pid"

  wait_for_port echo "$echo_port" && wait_for_port tinyproxy "$http_port" &&
    wait_for_port danted "$socks_port" && wait_for_port danted5 "$socks5_port" &&
    wait_for_port microsocks "$microsocks_port" || { stop_all; exit 1; }
  echo "$echo_port" >"$dir/echo.port"
  echo "$http_port" >"$dir/http.port"
  echo "$socks_port" >"$dir/socks.port"
  echo "$socks5_port" >"$dir/socks5.port"
  echo "$microsocks_port" >"$dir/microsocks.port"
  echo "$proxy_only_name" >"$dir/proxy-only.name"
  echo "$microsocks_user $microsocks_password" >"$dir/microsocks.login"
  echo "echo on $echo_port, tinyproxy $(tinyproxy -v | awk '{print $2}') on $http_port, dante on $socks_port," \
    "SOCKS 5-only dante on $socks5_port, microsocks on $microsocks_port"
  ;;
stop)
  stop_all
  ;;
*)
  echo "usage: real_proxies.sh start|stop DIR" >&2
  exit 2
  ;;
esac
