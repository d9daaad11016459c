#!/usr/bin/env bash
# Renders the test signal through VelvetRampart.so hosted by Debian's Ardour 7
# (headless: ardour7-lua, dummy backend) and with rampart, and requires both
# of the plug-in's outputs from Ardour to be bit-identical to rampart's.
# Exits 77 (skipped) when Ardour is not installed (Debian package "ardour").
#   ardour_render_test.sh REPO_ROOT NATIVE_BUILD_DIR
set -euo pipefail

[ $# -eq 2 ] || { echo "usage: $0 REPO_ROOT NATIVE_BUILD_DIR" >&2; exit 2; }
root=$(realpath "$1") build=$(realpath "$2")
scanner=/usr/lib/ardour7/ardour-vst-scanner
if ! command -v ardour7-lua >/dev/null || [ ! -x "$scanner" ]; then
    echo "SKIPPED: Ardour 7 is not installed (apt-get install ardour)"
    exit 77
fi

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

# Ardour's settings, plug-in cache and LXVST search path of the test's own:
# nothing of the user's is read or changed, and only our plug-in is found.
export XDG_CONFIG_HOME=$tmp/config XDG_CACHE_HOME=$tmp/cache LXVST_PATH=$tmp/vst
mkdir "$LXVST_PATH"
ln -s "$build/VelvetRampart.so" "$LXVST_PATH/"
# luasession only reads the scan cache, which is keyed by the absolute path
LD_LIBRARY_PATH=/usr/lib/ardour7 "$scanner" -q -f "$LXVST_PATH/VelvetRampart.so" ||
    fail "Ardour's scanner refuses $build/VelvetRampart.so"

"$build/rampart" synth "$tmp/in.wav" --seconds 4 >/dev/null
# Sustain -24 dB (normalised 24/45) shows that Ardour's parameter reaches the
# plug-in. Loading the session, Ardour sets all four parameters to the values
# getParameter gave, which is not quite the plug-in's starting state (output
# up to 6e-8 apart in half the samples), so rampart is given all four as well.
timeout 300 ardour7-lua "$root/tests/ardour/render.lua" "$tmp/session" "$tmp/in.wav" \
    "$tmp/ardour" "Velvet Rampart" 1=0.5333333333333333 >"$tmp/ardour.log" 2>&1 ||
    { cat "$tmp/ardour.log"; fail "Ardour did not render"; }
# Ardour bounces in blocks of 8192 frames
"$build/rampart" render "$tmp/in.wav" "$tmp/rampart.wav" --block 8192 --channels 1 \
    --state on --sustain -24 --tone 150 --level -6 >/dev/null

for out in 1 2; do
    "$build/rampart" compare "$tmp/ardour-$out.wav" "$tmp/rampart.wav" ||
        fail "output $out from Ardour differs from rampart's render"
done
echo "PASS: Ardour's render through VelvetRampart.so is bit-identical to rampart's (both outputs)"
