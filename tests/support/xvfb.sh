# Sourced by the scripts that run a program on an X server of their own.
# xvfb_start LOG: starts Xvfb (640 × 480, 24-bit colour, so the screen holds
# every colour byte) on a display it picks itself, sets xvfb_display to its
# number once it accepts clients, and stops it when the script exits.

xvfb_pid=
xvfb_display=
xvfb_display_file=

xvfb_stop() {
    if [ -n "$xvfb_pid" ] && kill -0 "$xvfb_pid" 2>/dev/null; then
        kill "$xvfb_pid" 2>/dev/null || true
        for _ in $(seq 1 50); do
            kill -0 "$xvfb_pid" 2>/dev/null || break
            sleep 0.1
        done
        kill -9 "$xvfb_pid" 2>/dev/null || true
    fi
    [ -z "$xvfb_display_file" ] || rm -f "$xvfb_display_file"
}

xvfb_start() {
    local log=$1
    trap xvfb_stop EXIT
    xvfb_display_file=$(mktemp "$(dirname "$log")/.xvfb-display.XXXXXX")
    # -displayfd: Xvfb takes a free display number and writes it once it
    # accepts clients.
    Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp 3>"$xvfb_display_file" \
        </dev/null >"$log" 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 1 100); do
        [ -s "$xvfb_display_file" ] && break
        if ! kill -0 "$xvfb_pid" 2>/dev/null; then
            echo "Xvfb did not start:" >&2
            cat "$log" >&2
            return 1
        fi
        sleep 0.1
    done
    xvfb_display=$(head -n 1 "$xvfb_display_file")
    if [ -z "$xvfb_display" ]; then
        echo "Xvfb gave no display within 10 s" >&2
        return 1
    fi
}
