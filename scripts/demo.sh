#!/usr/bin/env bash
# The main job: builds the plug-in, rampart and qzsh natively and for Windows
# (64-bit, and 32-bit where this machine executes 32-bit programs), and little
# else (scripts/test.sh builds everything), runs the same qzsh session on each
# (the Windows ones under wine), then renders a test signal through the plug-in
# on each build (VelvetRampart.so natively, VelvetRampart.dll under wine),
# checks that every render is bit-identical to the native one and prints the
# levels of the quiet tail before and after. Leaves in build/demo/ a plot of
# the input's and output's envelopes (envelopes.png), a screenshot of the 64-bit
# DLL's editor under wine on an Xvfb of its own (editor.png) and one of the
# .so's editor in Ardour (ardour-editor.png), and refreshes the copies of the
# pictures in docs/ that the README shows.
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
# What this job runs, and what that needs (the editor's images come with the
# plug-in): the 64-bit build's window test opens its editor for the
# screenshot. The native build adds the tools' manual pages.
for b in native "${windows[@]}"; do
    targets=(--target "$plugin" --target rampart --target qzsh)
    [ "$b" != native ] || targets+=(--target manpages)
    [ "$b" != win64 ] || targets+=(--target window_tests)
    scripts/build.sh "${targets[@]}" "$b"
done

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

# The Linux plug-in's editor in a real host: Ardour 7 on an Xvfb of its own.
echo
echo "== the editor in Ardour: build/demo/ardour-editor.png"
shot=0
tests/ardour/ardour_editor_shot.sh "$root" build/native "$demo/ardour-editor.png" \
    >"$demo/ardour.out" 2>&1 || shot=$?
case $shot in
0) tail -n 1 "$demo/ardour.out" ;;
77) echo "demo: $(tail -n 1 "$demo/ardour.out")" ;;
*)
    echo "demo: no screenshot of the editor in Ardour (build/demo/ardour.out):" >&2
    tail -n 20 "$demo/ardour.out" >&2
    status=1
    ;;
esac

# The README shows copies of these pictures; a copy changes only when its
# picture did. Renders of another plug-in leave them alone.
echo
if [ "$plugin" = VelvetRampart ]; then
    refreshed=()
    for pair in "$demo/editor.png:editor.png" "$demo/envelopes.png:envelopes.png" \
        "$demo/ardour-editor.png:ardour-editor.png" \
        "build/native/resources/contact-sheet.png:artwork.png"; do
        from=${pair%%:*} to=docs/${pair#*:}
        [ -f "$from" ] || continue
        cmp -s "$from" "$to" && continue
        cp "$from" "$to.part" && mv "$to.part" "$to"
        refreshed+=("$to")
    done
    if [ ${#refreshed[@]} -gt 0 ]; then
        echo "== the README's pictures refreshed: ${refreshed[*]}"
    else
        echo "== the README's pictures (docs/*.png) are as this run made them"
    fi
fi

exit "$status"
