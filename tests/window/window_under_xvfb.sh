#!/usr/bin/env bash
# The framework window on a real screen: starts an Xvfb of its own, runs the
# window test program under wine on it, and turns the screenshot the program
# leaves (BMP) into a PNG with the artwork tool.
#   window_under_xvfb.sh PROGRAM.exe ARTWORK_TOOL OUT [PROGRAM ARGS...]
# OUT names the pictures: OUT.png (the window as the screen shows it),
# OUT-expected.png (the same widgets composed off screen) and OUT-editor.png
# (the plug-in's editor in a host window); OUT.log holds the program's output.
# VR_WINE_ARCH chooses the wine prefix (win32 or win64).
# Exit 77 (skipped) where this machine cannot execute 32-bit programs.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
program=$1 tool=$2 out=$3
shift 3
arch=${VR_WINE_ARCH:-win32}
rm -f "$out.bmp" "$out.png" "$out-expected.bmp" "$out-expected.png" "$out-editor.bmp" \
    "$out-editor.png" "$out.log"

# As the wine wrapper would, before anything is started.
if [ "$arch" = win32 ] && ! why=$("$root/scripts/exec32.sh"); then
    echo "window_under_xvfb: skipped: this machine cannot execute 32-bit programs ($why)"
    exit 77
fi

# shellcheck source=tests/support/xvfb.sh
. "$root/tests/support/xvfb.sh"
xvfb_start "$out.xvfb.log"
display=$xvfb_display

# Output into a file, not a pipe: wine's services may outlive the program
# and would hold a pipe open.
status=0
start=$(date +%s%N)
DISPLAY=":$display" VR_WINDOW_SHOT="Z:$out" \
    timeout -k 10 180 "$root/scripts/wine-run.sh" --arch "$arch" "$program" --gtest_color=no "$@" \
    </dev/null >"$out.log" 2>&1 || status=$?
cat "$out.log"
echo "window_under_xvfb: $arch on display :$display, $((($(date +%s%N) - start) / 1000000)) ms"
case $status in
0) ;;
77) exit 77 ;;
124 | 137)
    echo "window_under_xvfb: the program did not finish within 180 s" >&2
    exit 1
    ;;
*) exit "$status" ;;
esac

# The pictures, for people to look at: PNGs of the window's size.
for name in "$out" "$out-expected" "$out-editor"; do
    if [ -f "$name.bmp" ]; then
        "$tool" --png "$name.bmp" "$name.png"
        rm -f "$name.bmp"
        size=$(od -An -tu1 -j16 -N8 "$name.png" | awk '{ print $3 * 256 + $4, $7 * 256 + $8 }')
        if [ "$size" != "200 156" ]; then
            echo "window_under_xvfb: $name.png is $size pixels, not 200 156" >&2
            exit 1
        fi
    fi
done
if [ -f "$out.png" ]; then echo "window_under_xvfb: screenshot $out.png"; fi
