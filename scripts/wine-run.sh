#!/usr/bin/env bash
# Runs Windows programs under wine in the project's own prefixes: a 32-bit one
# for the win32 build, a 64-bit one for the win64 build.
#   wine-run.sh [--arch win32|win64] PROGRAM [ARGS...]  run one program (ctest's emulator)
#   wine-run.sh [--arch win32|win64] --start   create and warm the prefix, keep a wine server up
#   wine-run.sh [--arch win32|win64] --stop    stop that server and every program in the prefix
# Without --arch: VR_WINE_ARCH, else the word size of PROGRAM, else win32. The
# prefix lives in VR_WINE_BUILD_DIR (default build/ARCH) and is created on first
# use without dialogs and without a display. Where this machine cannot execute
# 32-bit programs (scripts/exec32.sh), win32 says why and exits 77 (skipped).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# pe_arch FILE: win32 or win64 from a PE file's machine field, else nothing.
pe_arch() {
    [ -f "$1" ] || return 0
    local at machine
    at=$(od -An -tu4 -j60 -N4 "$1" 2>/dev/null | tr -d ' ')
    [ -n "$at" ] || return 0
    machine=$(od -An -tx2 -j$((at + 4)) -N2 "$1" 2>/dev/null | tr -d ' ')
    case $machine in
    014c) echo win32 ;;
    8664) echo win64 ;;
    esac
}

arch=${VR_WINE_ARCH:-}
if [ "${1:-}" = --arch ]; then
    arch=${2:-}
    shift 2 || true
fi
[ -n "$arch" ] || arch=$(pe_arch "${1:-}")
arch=${arch:-win32}

case $arch in
win32) loader=wine ;;
# The wine command on PATH takes the 32-bit loader whenever wine32 is there.
win64) loader=${VR_WINE64:-/usr/lib/wine/wine64} ;;
*)
    echo "wine-run: unknown architecture '$arch' (win32 or win64)" >&2
    exit 2
    ;;
esac

case "${1:-}" in
"" | -h | --help)
    sed -n '2,10s/^# \{0,1\}//p' "${BASH_SOURCE[0]}"
    [ -n "${1:-}" ]
    exit
    ;;
esac

build=${VR_WINE_BUILD_DIR:-$root/build/$arch}
export WINEPREFIX="$build/wineprefix"
export WINEARCH=$arch
export WINEDEBUG=-all
# No Mono or Gecko installer dialogs, and no menu entries written to $HOME.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

if [ "$arch" = win32 ] && [ "$1" != --stop ]; then
    if ! why=$("$root/scripts/exec32.sh"); then
        echo "wine-run: skipped: this machine cannot execute 32-bit programs ($why)" >&2
        exit 77
    fi
fi

ready="$WINEPREFIX/.vr-ready"
fonts="$WINEPREFIX/.vr-fonts"

# Debian's wine does not load the fonts of fonts-wine from where the package
# puts them, only from the prefix's Fonts folder: without them Tahoma and the
# System font are stood in for by some other face. Copied once, each file
# whole before it appears.
install_fonts() {
    local from=/usr/share/wine/fonts to="$WINEPREFIX/drive_c/windows/Fonts" f
    [ -d "$from" ] && [ -d "$to" ] || return 0
    for f in "$from"/*; do
        [ -e "$to/${f##*/}" ] && continue
        cp "$f" "$to/.vr-copy" && mv "$to/.vr-copy" "$to/${f##*/}" || return 0
    done
    touch "$fonts"
}

ensure_prefix() {
    [ -f "$ready" ] && [ -f "$fonts" ] && return 0
    mkdir -p "$build"
    # ctest may start several programs at once; one of them creates the prefix.
    # fd 9 (the lock) must not leak into wine: its server would hold the lock.
    (
        flock 9
        if [ ! -f "$ready" ]; then
            if ! "$loader" wineboot.exe -i 9>&- </dev/null >/dev/null 2>&1; then
                echo "wine-run: cannot create the wine prefix $WINEPREFIX" >&2
                exit 1
            fi
            touch "$ready"
        fi
        [ -f "$fonts" ] || install_fonts
    ) 9>"$build/.wineprefix.lock"
}

case "$1" in
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
    "$loader" cmd /c exit </dev/null >/dev/null 2>&1
    ;;
--stop)
    if [ -d "$WINEPREFIX" ]; then
        wineserver -k </dev/null >/dev/null 2>&1 || true
    fi
    ;;
*)
    ensure_prefix
    exec "$loader" "$@"
    ;;
esac
