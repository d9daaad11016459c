#!/usr/bin/env bash
# Runs 32-bit Windows programs under wine in the project's own prefix.
#   wine-run.sh PROGRAM [ARGS...]  run one program (ctest's cross-compiling emulator)
#   wine-run.sh --start            create and warm the prefix, keep a wine server running
#   wine-run.sh --stop             stop that server and every program left in the prefix
# The prefix lives in VR_WINE_BUILD_DIR (default build/win32) and is created on
# first use without dialogs and without a display.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${VR_WINE_BUILD_DIR:-$root/build/win32}

export WINEPREFIX="$build/wineprefix"
export WINEARCH=win32
export WINEDEBUG=-all
# No Mono or Gecko installer dialogs, and no menu entries written to $HOME.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

ready="$WINEPREFIX/.vr-ready"

ensure_prefix() {
    [ -f "$ready" ] && return 0
    mkdir -p "$build"
    # ctest may start several programs at once; one of them creates the prefix.
    # fd 9 (the lock) must not leak into wine: its server would hold the lock.
    (
        flock 9
        if [ ! -f "$ready" ]; then
            if ! wine wineboot.exe -i 9>&- </dev/null >/dev/null 2>&1; then
                echo "wine-run: cannot create the wine prefix $WINEPREFIX" >&2
                exit 1
            fi
            touch "$ready"
        fi
    ) 9>"$build/.wineprefix.lock"
}

case "${1:-}" in
--start)
    ensure_prefix
    # A persistent server, and wine's services started once with their output
    # detached: programs then start at once and no service holds a caller's pipe.
    if ! wineserver -p </dev/null >/dev/null 2>&1; then
        # A short-lived server is still up (it cannot be made persistent):
        # let it go (3 s) and start ours. One still up after that is persistent.
        timeout 5 wineserver -w </dev/null >/dev/null 2>&1 || true
        wineserver -p </dev/null >/dev/null 2>&1 || true
    fi
    wine cmd /c exit </dev/null >/dev/null 2>&1
    ;;
--stop)
    if [ -d "$WINEPREFIX" ]; then
        wineserver -k </dev/null >/dev/null 2>&1 || true
    fi
    ;;
"" | -h | --help)
    sed -n '2,7s/^# \{0,1\}//p' "${BASH_SOURCE[0]}"
    [ -n "${1:-}" ]
    ;;
*)
    ensure_prefix
    exec wine "$@"
    ;;
esac
