#!/usr/bin/env bash
# The main job: builds the native and the 32-bit Windows programs and runs the
# same qzsh session on both (the Windows one under wine), printing the output.
#   scripts/demo.sh [SCRIPT]    (default scripts/demo.qz)
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
session=$(realpath "${1:-$root/scripts/demo.qz}")
cd "$root"

scripts/setup.sh
scripts/build.sh native win32

for program in build/native/qzsh build/win32/qzsh.exe; do
    [ -x "$program" ] || { echo "demo: $program was not built (tools/qzsh/ has no sources?)" >&2; exit 1; }
done

status=0
echo
echo "== native: build/native/qzsh < ${session#"$root"/}"
build/native/qzsh <"$session" || status=$?

trap 'scripts/wine-run.sh --stop' EXIT
scripts/wine-run.sh --start
echo
echo "== win32: wine build/win32/qzsh.exe < ${session#"$root"/}"
# Windows programs end their lines with CR LF.
scripts/wine-run.sh build/win32/qzsh.exe <"$session" | tr -d '\r' || status=$?

exit "$status"
