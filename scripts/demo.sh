#!/usr/bin/env bash
# The main job: builds the native and the 32-bit Windows programs, runs the same
# qzsh session on both (the Windows one under wine), then renders a test signal
# through the plug-in natively (VelvetRampart.so) and under wine
# (VelvetRampart.dll), checks that both renders are bit-identical and prints the
# levels of the quiet tail before and after.
#   scripts/demo.sh [SCRIPT]    (default scripts/demo.qz)
#   DEMO_PLUGIN=NAME            render through another plug-in of the builds
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
session=$(realpath "${1:-$root/scripts/demo.qz}")
plugin=${DEMO_PLUGIN:-VelvetRampart}
cd "$root"

scripts/setup.sh
scripts/build.sh native win32

for program in build/native/qzsh build/win32/qzsh.exe build/native/rampart build/win32/rampart.exe; do
    [ -x "$program" ] || { echo "demo: $program was not built" >&2; exit 1; }
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

# --- the plug-in on both builds ---------------------------------------------

rampart=build/native/rampart
win() { scripts/wine-run.sh build/win32/rampart.exe "$@" | tr -d '\r'; }
# Milliseconds since the epoch, for the timings.
now() { date +%s%3N; }

so=build/native/$plugin.so
dll=build/win32/$plugin.dll
for lib in "$so" "$dll"; do
    [ -f "$lib" ] || { echo "demo: plug-in not built: $lib is missing" >&2; exit 1; }
done
if ! why=$($rampart info "$so" 2>&1 >/dev/null); then
    echo "demo: plug-in not built: ${why#rampart: }" >&2
    exit 1
fi
if ! why=$(win info "Z:$root/$dll" 2>&1 >/dev/null); then
    echo "demo: plug-in not built: ${why#rampart: }" >&2
    exit 1
fi

demo=build/demo
mkdir -p "$demo"
settings=(--sustain -24 --level -6)
echo
echo "== test signal: $rampart synth $demo/in.wav --seconds 6"
$rampart synth "$demo/in.wav" --seconds 6

echo
echo "== native: $rampart render ... --plugin $so ${settings[*]}"
t0=$(now)
$rampart render "$demo/in.wav" "$demo/out-native.wav" --plugin "$so" "${settings[@]}"
echo "($(($(now) - t0)) ms)"

echo
echo "== win32: wine build/win32/rampart.exe render ... --plugin $dll ${settings[*]}"
t0=$(now)
win render "Z:$root/$demo/in.wav" "Z:$root/$demo/out-win32.wav" --plugin "Z:$root/$dll" "${settings[@]}"
echo "($(($(now) - t0)) ms)"

echo
echo "== the two renders"
$rampart compare "$demo/out-native.wav" "$demo/out-win32.wav" || status=1

echo
echo "== the quiet tail (from 3 s), before and after"
$rampart levels "$demo/in.wav" --from 3
$rampart levels "$demo/out-native.wav" --from 3

exit "$status"
