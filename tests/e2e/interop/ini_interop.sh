#!/usr/bin/env bash
# A settings file written by the Windows build reads the same natively, and the other way round;
# odd files that people make by hand read the same on both.
# usage: ini_interop.sh NATIVE-TOOL WINDOWS-TOOL WINE WORK-FOLDER
set -euo pipefail
native=$1 windows=$2 wine=$3 work=$4
name="interop-$$.ini"
native_file="$(dirname "$native")/$name"
windows_file="$(dirname "$windows")/$name"
mkdir -p "$work"
trap 'rm -f "$native_file" "$windows_file"' EXIT

rm -f "$native_file" "$windows_file"
"$wine" "$windows" write "$name"
cp "$windows_file" "$work/written-by-windows.ini"
cp "$windows_file" "$native_file"
"$native" check "$name"
echo "written by Windows, read natively: same"

rm -f "$native_file" "$windows_file"
"$native" write "$name"
cp "$native_file" "$work/written-natively.ini"
cp "$native_file" "$windows_file"
"$wine" "$windows" check "$name"
echo "written natively, read by Windows: same"

# Both sides made the same changes in the same order; their files should match byte for byte.
if cmp -s "$work/written-by-windows.ini" "$work/written-natively.ini"; then
  echo "the same changes give the same bytes on both"
else
  echo "the files written by the same changes differ:" >&2
  diff <(cut -c1-120 "$work/written-by-windows.ini") <(cut -c1-120 "$work/written-natively.ini") >&2
  exit 1
fi

# Odd files read by both builds. Each row: the file (printf format), record, name, default, and
# what is read.
rows=(
  '\xef\xbb\xbf[Manual]\r\nProxyHost=h\r\n[B]\r\nk=b\r\n|Manual|ProxyHost|d|h'
  '\xef\xbb\xbf[Manual]\r\nProxyHost=h\r\n[B]\r\nk=b\r\n|B|k|d|b'
  '[Manual]\rProxyHost=h\r[B]\rk=b\r|Manual|ProxyHost|d|h'
  '[Manual]\rProxyHost=h\r[B]\rk=b\r|B|k|d|b'
  'top=1\r\n[Manual\r\nProxyHost=h\r\n|Manual|ProxyHost|d|d'
  'top=1\r\n[Manual\r\nProxyHost=h\r\n||ProxyHost|d|h'
  '[Man]ual]\r\nProxyHost=h\r\n|Man]ual|ProxyHost|d|h'
  '[Man]ual]\r\nProxyHost=h\r\n|Man|ProxyHost|d|d'
  '[Manual]\r\n|Manual|ProxyHost|"quoted"|quoted'
)
failed=0
for row in "${rows[@]}"; do
  IFS='|' read -r content record key default expected <<<"$row"
  native_expected=$expected windows_expected=$expected
  printf "$content" >"$native_file"
  cp "$native_file" "$windows_file"
  native_read=$("$native" read "$name" "$record" "$key" "$default")
  windows_read=$("$wine" "$windows" read "$name" "$record" "$key" "$default" | tr -d '\r')
  if [[ $native_read != "$native_expected" || $windows_read != "$windows_expected" ]]; then
    echo "[$record] $key of '$content': expected '$native_expected' natively and" \
         "'$windows_expected' by Windows, read '$native_read' and '$windows_read'" >&2
    failed=1
  fi
done
[[ $failed == 0 ]] && echo "odd files read the same on both (${#rows[@]} rows)"
exit $failed
