#!/usr/bin/env bash
# What the settings stores cost a direct run of the detection program on Linux: its system calls
# on files (one run under strace) and the median wall time of RUNS runs against a process that only
# connects (bare_connect). Each run finds the records of the runs before it, as on a machine where
# the program has run before. The target is a local listener; the registry and the settings file
# live in a scratch folder.
#
#   cmake --build --preset native --target qvproxydetect bare_connect && bench/store_bench.sh [RUNS]
#
# A second argument names another build of the program to measure, say one kept from before a
# change.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-21}
bin=build/native/bin
program=$(realpath "${2:-$bin/qvproxydetect}")
for needed in "$program" "$bin/bare_connect"; do
  [ -x "$needed" ] || { echo "no $needed: build the native preset first" >&2; exit 2; }
done
command -v strace >/dev/null || { echo "strace is needed" >&2; exit 2; }

scratch=$(mktemp -d)
listener=
cleanup() {
  [ -n "$listener" ] && kill "$listener" 2>/dev/null
  rm -rf "$scratch"
}
trap cleanup EXIT

# The settings file lies next to the program, so the program runs from a copy in the scratch folder.
cp "$program" "$scratch/qvproxydetect"
python3 -c '
import socket, sys
server = socket.socket()
server.bind(("127.0.0.1", 0))
server.listen(64)
print(server.getsockname()[1], flush=True)
while True:
    server.accept()[0].close()
' >"$scratch/port" &
listener=$!
while [ ! -s "$scratch/port" ]; do sleep 0.05; done
port=$(cat "$scratch/port")

cd "$scratch"
unset http_proxy HTTP_PROXY https_proxy HTTPS_PROXY all_proxy ALL_PROXY no_proxy NO_PROXY
export QV_REGISTRY_DIR="$scratch/registry"
detect=("$scratch/qvproxydetect" 127.0.0.1 "$port")
connect=("$OLDPWD/$bin/bare_connect" 127.0.0.1 "$port")
"${detect[@]}" >/dev/null || { echo "the program did not reach the listener" >&2; exit 1; }

strace -c -f -o "$scratch/strace" "${detect[@]}" >/dev/null
calls() { # names of system calls -> their count in the strace summary
  local pattern
  pattern=$(printf '%s|' "$@")
  awk -v names="^(${pattern%|})\$" '$NF ~ names { n += ($4 ~ /^[0-9]+$/ ? $4 : $3) } END { print n + 0 }' \
    "$scratch/strace"
}
echo "one direct run (strace -c -f):"
printf '  %-34s %6s\n' "stat calls (stat, lstat, fstat...)" "$(calls stat lstat fstat newfstatat statx fstatat64)"
printf '  %-34s %6s\n' "directory reads (getdents64)" "$(calls getdents getdents64)"
printf '  %-34s %6s\n' "opens (open, openat)" "$(calls open openat)"
printf '  %-34s %6s\n' "all system calls" "$(awk '$NF == "total" { print $4 }' "$scratch/strace")"

now_us() { echo $(($(date +%s%N) / 1000)); }
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
: >"$scratch/detect.us"
: >"$scratch/connect.us"
for ((i = 0; i < runs; i++)); do
  start=$(now_us); "${detect[@]}" >/dev/null; echo $(($(now_us) - start)) >>"$scratch/detect.us"
  start=$(now_us); "${connect[@]}"; echo $(($(now_us) - start)) >>"$scratch/connect.us"
done
detect_us=$(median <"$scratch/detect.us")
connect_us=$(median <"$scratch/connect.us")
echo "median wall time of $runs runs:"
printf '  %-34s %6s us\n' "direct run of qvproxydetect" "$detect_us" "bare connect" "$connect_us"
awk -v d="$detect_us" -v c="$connect_us" 'BEGIN { printf "  %-34s %6.1f\n", "ratio", d / c }'
