#!/usr/bin/env bash
# A settings file written by the Windows build reads the same natively, and the other way round.
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
