#!/usr/bin/env bash
# The same input rendered by the native rampart with the native plug-in and by
# rampart.exe under wine with the DLL must give bit-identical files: both builds
# compute the same samples. Also checks that both synthesise the same signal.
# Exits 77 (skipped) when there is no native build to compare with.
#   cross_build_identity_test.sh SOURCE_DIR WIN32_BUILD NATIVE_BUILD PLUGIN...
# PLUGIN is a library name without its suffix (TestGain: TestGain.so, TestGain.dll).
set -euo pipefail

src=$1 win=$2 native=$3
shift 3
[ $# -gt 0 ] || { echo "usage: $0 SOURCE_DIR WIN32_BUILD NATIVE_BUILD PLUGIN..." >&2; exit 2; }

if [ ! -x "$native/rampart" ]; then
    echo "SKIPPED: no native build at $native (build the native preset first; scripts/test.sh does)"
    exit 77
fi
[ -f "$win/rampart.exe" ] || { echo "FAIL: $win/rampart.exe was not built"; exit 1; }

tmp=$(mktemp -d "$win/cross-identity.XXXXXX")
trap 'rm -rf "$tmp"' EXIT

native() { "$native/rampart" "$@"; }
# rampart.exe under wine; its paths are Unix paths seen through drive Z:.
windows() { VR_WINE_BUILD_DIR="$win" "$src/scripts/wine-run.sh" "$win/rampart.exe" "$@" | tr -d '\r'; }

failures=0
check() { # check WHAT A B
    if native compare "$2" "$3" >"$tmp/compare.txt"; then
        echo "ok: $1"
    else
        echo "FAIL: $1: $(cat "$tmp/compare.txt")"
        failures=$((failures + 1))
    fi
}

native synth "$tmp/in.wav" --seconds 3 >/dev/null
windows synth "Z:$tmp/in-win32.wav" --seconds 3 >/dev/null
check "synth" "$tmp/in.wav" "$tmp/in-win32.wav"

settings=("" "--sustain -24 --level -6" "--sustain -45 --tone 400 --level -3 --block 100"
          "--state off" "--tone 50 --block 4096")
for name in "$@"; do
    so=$native/$name.so dll=$win/$name.dll
    for lib in "$so" "$dll"; do
        [ -f "$lib" ] || { echo "FAIL: $lib was not built"; exit 1; }
    done
    i=0
    for s in "${settings[@]}"; do
        i=$((i + 1))
        # shellcheck disable=SC2086 # the settings are separate words
        native render "$tmp/in.wav" "$tmp/$name-$i.wav" --plugin "$so" $s >/dev/null
        # shellcheck disable=SC2086
        windows render "Z:$tmp/in.wav" "Z:$tmp/$name-$i-win32.wav" --plugin "Z:$dll" $s >/dev/null
        check "$name ${s:-(defaults)}" "$tmp/$name-$i.wav" "$tmp/$name-$i-win32.wav"
    done
done
[ "$failures" -eq 0 ]
