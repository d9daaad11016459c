#!/usr/bin/env bash
# Opens the plug-in's own editor in Debian's Ardour 7, the GUI on an Xvfb of
# its own, from nothing: Ardour's settings, scan cache, session and home are
# made here and removed afterwards. Saves the plug-in's window as Ardour shows
# it to OUT.png, requires the editor in it to show the panel rampart composes
# off-screen, and quits Ardour with Ctrl+Q. FORMAT is vst (VelvetRampart.so,
# the default) or lv2 (VelvetRampart.lv2, its X11 editor; then a drag on a
# knob must reach Ardour, which saves the port's new value with Ctrl+S).
# Exits 77 (skipped) without Ardour (package "ardour") or Xvfb ("xvfb").
#   ardour_editor_shot.sh REPO_ROOT NATIVE_BUILD_DIR OUT.png [FORMAT]
set -euo pipefail

[ $# -eq 3 ] || [ $# -eq 4 ] ||
    { echo "usage: $0 REPO_ROOT NATIVE_BUILD_DIR OUT.png [vst|lv2]" >&2; exit 2; }
root=$(realpath "$1") build=$(realpath "$2") out=$3 format=${4:-vst}
case $format in
vst) plugin=VelvetRampart.so kind=VST name="Velvet Rampart" ;;
lv2) plugin=VelvetRampart.lv2 kind=LV2 name="LV2:https://rampart.audio/lv2/VelvetRampart" ;;
*) echo "$0: FORMAT is vst or lv2, not '$format'" >&2; exit 2 ;;
esac
rm -f "$out" "${out%.png}-failed.png" "${out%.png}-failed-screen.png"
scanner=/usr/lib/ardour7/ardour-vst-scanner
if ! command -v ardour >/dev/null || ! command -v ardour7-lua >/dev/null || [ ! -x "$scanner" ]; then
    echo "SKIPPED: Ardour 7 is not installed (apt-get install ardour)"
    exit 77
fi
if ! command -v Xvfb >/dev/null; then
    echo "SKIPPED: Xvfb is not installed (apt-get install xvfb)"
    exit 77
fi

fail() { echo "FAIL: $*" >&2; exit 1; }
command -v xwininfo >/dev/null || fail "xwininfo is missing (apt-get install x11-utils)"
if [ ! -e "$build/$plugin" ] || [ ! -x "$build/rampart" ]; then
    fail "$build holds no $plugin and rampart (scripts/build.sh native)"
fi

tmp=$(mktemp -d)
ardour_pid=
cleanup() {
    if [ -n "$ardour_pid" ] && kill -0 "$ardour_pid" 2>/dev/null; then
        kill -9 "$ardour_pid" 2>/dev/null || true
        wait "$ardour_pid" 2>/dev/null || true
    fi
    [ "$(type -t xvfb_stop)" != function ] || xvfb_stop
    rm -rf "$tmp"
}
trap cleanup EXIT

# Never the caller's X server: the scan and the session are made headless.
unset DISPLAY
c++ -std=c++20 -O1 -I/usr/include/cairo "$root/tests/ardour/window_shot.cpp" \
    -o "$tmp/window_shot" -lcairo -lxcb -lxcb-xtest 2>"$tmp/cc.log" ||
    { cat "$tmp/cc.log" >&2; fail "cannot build window_shot (g++, libcairo2-dev, libxcb1-dev, libxcb-xtest0-dev)"; }
"$build/rampart" shot "$tmp/reference.png" >/dev/null || fail "rampart shot failed"

# Ardour's settings, caches and data of our own; only our plug-in is found.
export HOME=$tmp/home XDG_CONFIG_HOME=$tmp/config XDG_CACHE_HOME=$tmp/cache
export LXVST_PATH=$tmp/vst LV2_PATH=$tmp/lv2
mkdir -p "$HOME" "$XDG_CONFIG_HOME/ardour7" "$LXVST_PATH" "$LV2_PATH"
if [ "$format" = vst ]; then
    ln -s "$build/VelvetRampart.so" "$LXVST_PATH/"
    # The scan cache is keyed by the absolute path.
    LD_LIBRARY_PATH=/usr/lib/ardour7 "$scanner" -q -f "$LXVST_PATH/VelvetRampart.so" ||
        fail "Ardour's scanner refuses $build/VelvetRampart.so"
else
    ln -s "$build/VelvetRampart.lv2" "$LV2_PATH/"
fi
# Without .a7 Ardour opens its first-run wizard; without the dummy backend
# shown and its state saved, its audio/MIDI set-up dialog. The state names the
# engine editor_session.lua makes the session with.
: >"$XDG_CONFIG_HOME/ardour7/.a7"
cat >"$XDG_CONFIG_HOME/ardour7/config" <<'EOF'
<?xml version="1.0" encoding="UTF-8"?>
<Ardour>
  <Config>
    <Option name="hide-dummy-backend" value="0"/>
  </Config>
  <Extra>
    <AudioMIDISetup>
      <EngineStates>
        <State backend="None (Dummy)" driver="Normal Speed" device="Silence" input-device="" output-device="" sample-rate="44100" buffer-size="1024" n-periods="0" input-latency="0" output-latency="0" lm-input="" lm-output="" active="1" use-buffered-io="0" midi-option="1 in, 1 out, Silence" lru="1">
          <MIDIDevices/>
        </State>
      </EngineStates>
    </AudioMIDISetup>
  </Extra>
</Ardour>
EOF
timeout 120 ardour7-lua "$root/tests/ardour/editor_session.lua" "$tmp/session" shot "$name" \
    </dev/null >"$tmp/session.log" 2>&1 || { cat "$tmp/session.log" >&2; fail "cannot make the session"; }

# shellcheck source=tests/support/xvfb.sh
. "$root/tests/support/xvfb.sh"
status=0
xvfb_start "$tmp/xvfb.log" || status=$?
trap cleanup EXIT # xvfb_start sets its own
[ "$status" -eq 0 ] || fail "Xvfb did not start"
export DISPLAY=:$xvfb_display

ardour -n "$tmp/session/shot.ardour" </dev/null >"$tmp/ardour.log" 2>&1 &
ardour_pid=$!

windows() { xwininfo -root -tree | sed -n 's/^ *\(0x[0-9a-f]*\) "\([^"]*\)": .*/\1 \2/p'; }
window_titled() { windows | awk -v t="$1" 'substr($0, index($0, " ") + 1) == t { print $1; exit }'; }
ardour_log() { echo "--- Ardour's output (last lines):" >&2; tail -n 20 "$tmp/ardour.log" >&2; }
# Pictures of the screen and of the last shot taken are left beside OUT.png.
give_up() {
    echo "FAIL: $*" >&2
    echo "--- windows:" >&2
    windows >&2 || true
    ardour_log
    if "$tmp/window_shot" screen "${out%.png}-failed-screen.png"; then
        echo "--- the screen: ${out%.png}-failed-screen.png" >&2
    fi
    if [ -f "$tmp/shot.png" ]; then
        cp "$tmp/shot.png" "${out%.png}-failed.png"
        echo "--- the last shot of the plug-in's window: ${out%.png}-failed.png" >&2
    fi
    exit 1
}

# The window, then two pictures alike: Ardour's own part of the window is
# drawn by another thread than the editor.
title="In: Velvet Rampart (by rampart.audio) [$kind]"
wait_s=120
deadline=$((SECONDS + wait_s)) why="no window titled \"$title\"" taken=''
while :; do
    kill -0 "$ardour_pid" 2>/dev/null || give_up "Ardour exited before showing the plug-in's window"
    window=$(window_titled "$title")
    if [ -n "$window" ]; then
        shot=0
        "$tmp/window_shot" shot "$window" "$tmp/shot.png" "$tmp/reference.png" \
            >"$tmp/shot.log" 2>&1 || shot=$?
        case $shot in
        0)
            if [ -n "$taken" ] && cmp -s "$tmp/shot.png" "$tmp/taken.png"; then break; fi
            cp "$tmp/shot.png" "$tmp/taken.png"
            taken=1 why="the picture of the window kept changing"
            ;;
        3) taken='' why=$(cat "$tmp/shot.log") ;;
        *) give_up "$(cat "$tmp/shot.log")" ;;
        esac
    fi
    [ "$SECONDS" -lt "$deadline" ] || give_up "after $wait_s s: $why"
    sleep 0.5
done
cat "$tmp/shot.log"

main=$(window_titled "shot - Ardour")
[ -n "$main" ] || give_up "no window titled \"shot - Ardour\""
# The LV2 editor writes what the user turns to the host: a drag up on the
# Level knob (its centre in the panel's layout, 158,105), then Ardour saves
# the session with the level port's new value.
if [ "$format" = lv2 ]; then
    "$tmp/window_shot" drag "$window" "$tmp/reference.png" 158 105 -30 || give_up "cannot drag"
    "$tmp/window_shot" save "$main" || give_up "cannot type Ctrl+S"
    level_saved() {
        perl -0ne 'if (/<Processor [^>]*type="lv2".*?<Port symbol="level" value="([^"]*)"/s) {
                       exit($1 > -6 ? 0 : 1) } exit 1' "$tmp/session/shot.ardour"
    }
    for _ in $(seq 1 100); do
        level_saved && break
        sleep 0.1
    done
    level_saved || give_up "the session saved after dragging Level holds no level above -6 dB:" \
        "$(grep -o '<Port symbol="[a-z_]*" value="[^"]*"' "$tmp/session/shot.ardour" | tr '\n' ' ')"
    echo "Ardour saved the level the editor wrote: $(grep -o '<Port symbol="level" value="[^"]*"' \
        "$tmp/session/shot.ardour")"
fi

# Quitting as a user does also closes the editor and the plug-in in Ardour.
"$tmp/window_shot" quit "$main" || give_up "cannot type Ctrl+Q"
for _ in $(seq 1 300); do
    kill -0 "$ardour_pid" 2>/dev/null || break
    sleep 0.1
done
kill -0 "$ardour_pid" 2>/dev/null && give_up "Ardour did not quit within 30 s of Ctrl+Q"
status=0
wait "$ardour_pid" || status=$?
ardour_pid=
[ "$status" -eq 0 ] || { ardour_log; fail "Ardour exited with status $status on quitting"; }

mv "$tmp/shot.png" "$out"
echo "PASS: Ardour showed $plugin's editor as composed; saved $out"
