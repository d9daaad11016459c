#!/usr/bin/env bash
# The built VelvetRampart.lv2 as LV2's own tools see it (lilv-utils, sordi,
# lv2-dev's schemas): its files and exports, lv2ls and lv2info without a
# warning, ports as the VST 2.x parameters, valid descriptions, and lv2apply
# rendering bit for bit what rampart renders through VelvetRampart.so.
#   lv2_bundle_test.sh REPO_ROOT NATIVE_BUILD_DIR [BUNDLE]
# BUNDLE: NATIVE_BUILD_DIR/VelvetRampart.lv2 unless given (the package test
# gives the packaged one). Exits 77 (skipped) without the tools.
set -euo pipefail

[ $# -eq 2 ] || [ $# -eq 3 ] || { echo "usage: $0 REPO_ROOT NATIVE_BUILD_DIR [BUNDLE]" >&2; exit 2; }
root=$(realpath "$1") build=$(realpath "$2") bundle=$(realpath "${3:-$2/VelvetRampart.lv2}")
for tool in lv2ls lv2info lv2apply sord_validate; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIPPED: $tool is not installed (apt-get install lilv-utils sordi lv2-dev)"
        exit 77
    fi
done
schemas=$(dpkg -L lv2-dev 2>/dev/null | grep '\.ttl$' || true)
[ -n "$schemas" ] || { echo "SKIPPED: no LV2 schemas (apt-get install lv2-dev)"; exit 77; }

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
uri=https://rampart.audio/lv2/VelvetRampart

# What the bundle holds, and what each library shows other code in the host.
got=$(cd "$bundle" && find . -mindepth 1 | sort | tr '\n' ' ')
want="./VelvetRampart.ttl ./VelvetRampart_dsp.so ./VelvetRampart_ui.so ./manifest.ttl "
[ "$got" = "$want" ] || fail "$bundle holds '$got', not '$want'"
for lib in dsp ui; do
    bash "$root/tests/tools/check_so_exports.sh" nm "$bundle/VelvetRampart_$lib.so" \
        "$root/tests/lv2/${lib}_exports.txt" || fail "VelvetRampart_$lib.so exports more than its descriptor"
done

# Only this bundle on the LV2 path.
export LV2_PATH=$tmp/lv2
mkdir "$LV2_PATH"
ln -s "$bundle" "$LV2_PATH/VelvetRampart.lv2"

listed=$(lv2ls 2>"$tmp/lv2ls.err") || fail "lv2ls failed: $(cat "$tmp/lv2ls.err")"
[ ! -s "$tmp/lv2ls.err" ] || fail "lv2ls warns: $(cat "$tmp/lv2ls.err")"
[ "$listed" = "$uri" ] || fail "lv2ls lists '$listed', not $uri"
echo "lv2ls: $listed"

lv2info "$uri" >"$tmp/info" 2>"$tmp/info.err" || fail "lv2info failed: $(cat "$tmp/info.err")"
[ ! -s "$tmp/info.err" ] || fail "lv2info warns: $(cat "$tmp/info.err")"
has() { grep -Eq "$1" "$tmp/info" || fail "lv2info does not say $2:"$'\n'"$(cat "$tmp/info")"; }
has '^	Name: +Velvet Rampart$' "the name"
has '^	Author: +rampart\.audio$' "the maker"
has '^	Has latency: +yes, reported by port 7$' "the latency port"
has 'Class: +http://lv2plug\.in/ns/extensions/ui#X11UI$' "the X11 editor"
has 'Binary: +file://.*/VelvetRampart\.lv2/VelvetRampart_ui\.so$' "the editor's library"
has '^	Binary: +file://.*/VelvetRampart\.lv2/VelvetRampart_dsp\.so$' "the plug-in's library"
# Each port as "index symbol name minimum maximum default", the unset ones "-".
ports=$(awk '
    function flush() { if (index_ != "") print index_, symbol, "\"" name "\"", min, max, def }
    /^\tPort [0-9]+:$/ { flush(); index_ = $2; sub(":", "", index_); symbol = name = ""; min = max = def = "-" }
    /^\t\tSymbol:/ { symbol = $2 }
    /^\t\tName:/ { sub(/^\t\tName: +/, ""); name = $0 }
    /^\t\tMinimum:/ { min = $2 + 0 }
    /^\t\tMaximum:/ { max = $2 + 0 }
    /^\t\tDefault:/ { def = $2 + 0 }
    END { flush() }' "$tmp/info")
# The VST 2.x plug-in's parameters (README): State Off/On (On), Sustain 0 to
# -45 dB (-6), Freq 50 to 400 Hz (150), Level -45 to -3 dB (-6).
expected='0 in "In" - - -
1 out1 "Out 1" - - -
2 out2 "Out 2" - - -
3 state "State" 0 1 1
4 sustain "Sustain" -45 0 -6
5 freq "Freq" 50 400 150
6 level "Level" -45 -3 -6
7 latency "Latency" 0 65535 -
8 meter_in "In meter" 0 1 -
9 meter_out "Out meter" 0 1 -'
[ "$ports" = "$expected" ] || fail "lv2info describes the ports as"$'\n'"$ports"$'\n'"not"$'\n'"$expected"
# The units, as units:db and units:hz of the LV2 units extension.
for port in sustain level freq; do
    unit=db
    [ "$port" = freq ] && unit=hz
    grep -Pzo "lv2:symbol \"$port\" ;(\n[^]]*)*units:unit units:$unit" "$bundle/VelvetRampart.ttl" \
        >/dev/null || fail "the $port port's unit is not units:$unit"
done
echo "lv2info: Velvet Rampart by rampart.audio, 10 ports as expected, latency on port 7, X11 editor"

# Against every schema lv2-dev ships (the core, the extensions, RDF, OWL, DOAP...).
# shellcheck disable=SC2086
sord_validate $schemas "$bundle"/*.ttl >"$tmp/validate" 2>&1 || fail "sord_validate: $(cat "$tmp/validate")"
grep -q '^Found 0 errors' "$tmp/validate" || fail "sord_validate: $(cat "$tmp/validate")"
echo "sord_validate: $(grep '^Found' "$tmp/validate")"

# lv2apply runs a frame at a time, controls by symbol, a default one left
# unset as rampart without its option: rampart in blocks of one.
render() { # NAME RATE "LV2APPLY OPTIONS" "RAMPART OPTIONS"
    local name=$1 rate=$2 lv2=$3 vst=$4
    [ -f "$tmp/in-$rate.wav" ] || "$build/rampart" synth "$tmp/in-$rate.wav" --seconds 4 --rate "$rate" >/dev/null
    # shellcheck disable=SC2086
    lv2apply -i "$tmp/in-$rate.wav" -o "$tmp/$name-lv2.wav" $lv2 "$uri" 2>"$tmp/apply.err" ||
        fail "lv2apply ($name): $(cat "$tmp/apply.err")"
    # shellcheck disable=SC2086
    "$build/rampart" render "$tmp/in-$rate.wav" "$tmp/$name-vst.wav" --block 1 --channels 2 $vst >/dev/null
    "$build/rampart" compare "$tmp/$name-lv2.wav" "$tmp/$name-vst.wav" >"$tmp/compare" ||
        fail "lv2apply's render ($name) differs from rampart's: $(cat "$tmp/compare")"
    echo "lv2apply ($name, $rate Hz): $(cat "$tmp/compare")"
}
render defaults 44100 "" ""
render settings 44100 "-c sustain -24 -c freq 300 -c level -12" "--sustain -24 --tone 300 --level -12"
render ends 48000 "-c sustain -45 -c freq 50 -c level -3" "--sustain -45 --tone 50 --level -3"
render off 96000 "-c state 0 -c sustain -30" "--state off --sustain -30"
echo "PASS: the bundle lists, describes and validates cleanly, and renders as VelvetRampart.so does"
