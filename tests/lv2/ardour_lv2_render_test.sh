#!/usr/bin/env bash
# Ardour 7 (headless ardour7-lua) renders through VelvetRampart.lv2 bit for
# bit what rampart renders through VelvetRampart.so, on both outputs, once the
# reported latency is made up for (441 frames at 44.1 kHz: left out at the
# start, as many frames of silence after the end). Exits 77 without Ardour.
#   ardour_lv2_render_test.sh REPO_ROOT NATIVE_BUILD_DIR
set -euo pipefail

[ $# -eq 2 ] || { echo "usage: $0 REPO_ROOT NATIVE_BUILD_DIR" >&2; exit 2; }
root=$(realpath "$1") build=$(realpath "$2")
if ! command -v ardour7-lua >/dev/null; then
    echo "SKIPPED: Ardour 7 is not installed (apt-get install ardour)"
    exit 77
fi

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

# Ardour's settings and caches of the test's own; only our bundle, no VST.
export XDG_CONFIG_HOME=$tmp/config XDG_CACHE_HOME=$tmp/cache LV2_PATH=$tmp/lv2 LXVST_PATH=$tmp/vst
mkdir "$LV2_PATH" "$LXVST_PATH"
ln -s "$build/VelvetRampart.lv2" "$LV2_PATH/"

"$build/rampart" synth "$tmp/in.wav" --seconds 4 >/dev/null
# Sustain -24 dB through Ardour's control of the port, in the parameter's unit.
timeout 300 ardour7-lua "$root/tests/ardour/render.lua" "$tmp/session" "$tmp/in.wav" \
    "$tmp/ardour" "LV2:https://rampart.audio/lv2/VelvetRampart" 1=-24 >"$tmp/ardour.log" 2>&1 ||
    { cat "$tmp/ardour.log"; fail "Ardour did not render"; }

# rampart on the input and the latency's silence, in Ardour's 8192-frame
# blocks, without the first 441 frames.
latency=441
perl "$root/tests/lv2/wav_frames.pl" "$tmp/in.wav" "$tmp/padded.wav" 0 "$latency"
"$build/rampart" render "$tmp/padded.wav" "$tmp/rampart-padded.wav" --block 8192 --channels 1 \
    --sustain -24 >/dev/null
perl "$root/tests/lv2/wav_frames.pl" "$tmp/rampart-padded.wav" "$tmp/rampart.wav" "$latency" 0

for out in 1 2; do
    "$build/rampart" compare "$tmp/ardour-$out.wav" "$tmp/rampart.wav" ||
        fail "output $out from Ardour differs from rampart's render $latency frames on"
done
echo "PASS: Ardour's render through VelvetRampart.lv2 is bit-identical to rampart's through" \
    "VelvetRampart.so (both outputs), $latency frames of latency made up for"
