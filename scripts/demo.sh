#!/usr/bin/env bash
# The main job: builds the native and the 32-bit Windows programs and runs the
# same qzsh session on both (the Windows one under wine), printing the output.
#   scripts/demo.sh [SCRIPT]    (default scripts/demo.qz)
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
session=$(realpath "${1:-scripts/demo.qz}")

scripts/setup.sh
scripts/build.sh native win32

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
