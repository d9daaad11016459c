#!/usr/bin/env bash
# The main job: builds the native program and the Windows ones (64-bit, and
# 32-bit where this machine executes 32-bit programs), runs the same qzsh
# session on each (the Windows ones under wine), then renders a test signal
# through the plug-in on each build (VelvetRampart.so natively, VelvetRampart.dll
# under wine), checks that every render is bit-identical to the native one and
# prints the levels of the quiet tail before and after. Leaves in build/demo/ a
# plot of the input's and output's envelopes (envelopes.png) and a screenshot
# of the 64-bit DLL's editor under wine on an Xvfb of its own (editor.png).
#   scripts/demo.sh [SCRIPT]    (default scripts/demo.qz)
#   DEMO_PLUGIN=NAME            render through another plug-in of the builds
#   VR_NO_32BIT=1               leave the 32-bit build out, as on a machine without 32-bit execution
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
session=$(realpath "${1:-$root/scripts/demo.qz}")
plugin=${DEMO_PLUGIN:-VelvetRampart}
cd "$root"
# shellcheck source=scripts/common.sh
. scripts/common.sh

scripts/setup.sh
windows=(win64)
if probe_exec32 demo "the 32-bit Windows build is left out (its qzsh session and its render)"; then
    windows=(win32 win64)
fi
scripts/build.sh native "${windows[@]}"

for b in native "${windows[@]}"; do
    for program in qzsh rampart; do
        exe=build/$b/$program
        [ "$b" = native ] || exe+=.exe
        [ -x "$exe" ] || { echo "demo: $exe was not built" >&2; exit 1; }
    done
done

running=()
stop_wine() { for b in "${running[@]}"; do scripts/wine-run.sh --arch "$b" --stop; done; }
trap stop_wine EXIT
for b in "${windows[@]}"; do
    running+=("$b")
    scripts/wine-run.sh --arch "$b" --start
done

# on BUILD PROGRAM ARGS...: a program of that build; under wine, absolute
# paths are seen through drive Z: and lines end in CR LF.
on() {
    local b=$1 program=$2
    shift 2
    if [ "$b" = native ]; then
        "build/native/$program" "$@"
    else
        on_windows "$b" "$root/build/$b" "build/$b/$program.exe" "$@"
    fi
}
# Milliseconds since the epoch, for the timings.
now() { date +%s%3N; }

status=0
for b in native "${windows[@]}"; do
    echo
    echo "== $b: qzsh < ${session#"$root"/}"
    on "$b" qzsh <"$session" || status=$?
done

# --- the plug-in on every build ---------------------------------------------

lib_of() { if [ "$1" = native ]; then echo "$root/build/native/$plugin.so"; else echo "$root/build/$1/$plugin.dll"; fi; }
for b in native "${windows[@]}"; do
    lib=$(lib_of "$b")
    [ -f "$lib" ] || { echo "demo: plug-in not built: $lib is missing" >&2; exit 1; }
    if ! why=$(on "$b" rampart info "$lib" 2>&1 >/dev/null); then
        echo "demo: plug-in not built: ${why#rampart: }" >&2
        exit 1
    fi
done

demo=$root/build/demo
mkdir -p "$demo"
settings=(--sustain -24 --level -6)
echo
echo "== test signal: rampart synth build/demo/in.wav --seconds 6"
on native rampart synth "$demo/in.wav" --seconds 6

for b in native "${windows[@]}"; do
    echo
    echo "== $b: rampart render ... --plugin build/$b/$(basename "$(lib_of "$b")") ${settings[*]}"
    t0=$(now)
    on "$b" rampart render "$demo/in.wav" "$demo/out-$b.wav" --plugin "$(lib_of "$b")" "${settings[@]}"
    echo "($(($(now) - t0)) ms)"
done

echo
echo "== the renders"
same=(native)
for b in "${windows[@]}"; do
    if on native rampart compare "$demo/out-native.wav" "$demo/out-$b.wav" >"$demo/compare.txt"; then
        same+=("$b")
    else
        echo "$b differs from native: $(cat "$demo/compare.txt")"
        status=1
    fi
done
if [ ${#same[@]} -gt 1 ]; then
    line=${same[0]}
    for b in "${same[@]:1}"; do line+=", $b"; done
    echo "bit-identical: $line ($plugin, build/demo/out-*.wav)"
fi

echo
echo "== the quiet tail (from 3 s), before and after"
on native rampart levels "$demo/in.wav" --from 3
on native rampart levels "$demo/out-native.wav" --from 3

echo
echo "== the envelopes: build/demo/envelopes.png"
on native rampart envelope "$demo/in.wav" --window 0.05 >"$demo/envelope-in.txt"
on native rampart envelope "$demo/out-native.wav" --window 0.05 >"$demo/envelope-out.txt"
gnuplot <<EOF || status=$?
set terminal pngcairo size 800,400 font "DejaVu Sans,10"
set output "$demo/envelopes.png"
set title "The test signal through $plugin (${settings[*]})"
set xlabel "time (s)"
set ylabel "RMS level, 50 ms windows (dBFS)"
set yrange [-60:0]
set grid
set key bottom left
plot "$demo/envelope-in.txt" using 1:2 with lines lw 2 lc rgb "#3060c0" title "input", \
     "$demo/envelope-out.txt" using 1:2 with lines lw 2 lc rgb "#d04020" title "output"
EOF

# The window test's editor round alone: the real 64-bit DLL opened in a host
# window under wine, meters driven by audio, the window read back.
echo
echo "== the editor under wine and Xvfb: build/demo/editor.png"
rm -f "$demo/editor.png"
if VR_WINE_ARCH=win64 tests/window/window_under_xvfb.sh build/win64/window_tests.exe \
    build/win64/artwork-tool/build/artwork "$demo/window" \
    --gtest_filter='EditorUnderXvfb.OpensInTheHostsWindowFollowsTheMouseAndTheAudio' >"$demo/window.out" 2>&1 &&
    mv "$demo/window-editor.png" "$demo/editor.png"; then
    grep 'longest processReplacing' "$demo/window.out" || true
else
    echo "demo: no screenshot of the editor (build/demo/window.out):" >&2
    tail -n 20 "$demo/window.out" >&2
    status=1
fi

exit "$status"
