#!/usr/bin/env bash
# Tests the scripts' handling of machines without 32-bit execution, forced by
# VR_NO_32BIT on any machine: the probe's answers, wine-run.sh's choice of
# loader and prefix (and its skip for 32-bit programs there), and the counting
# of skipped ctest tests. The wine loaders are stand-ins that log their calls:
# what is tested is which loader the wrapper picks and with what, not wine.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
unset VR_EXEC32 VR_NO_32BIT VR_WINE_ARCH VR_WINE_BUILD_DIR

failures=0
expect() { # expect NAME CONDITION...
    local name=$1
    shift
    if "$@"; then echo "ok   $name"; else echo "FAIL $name"; failures=$((failures + 1)); fi
}
# run OUT STATUS CMD...: runs CMD, its stdout and stderr to OUT, its status to STATUS.
run() {
    local out=$1 st=$2
    shift 2
    local s=0
    "$@" >"$out" 2>&1 || s=$?
    echo "$s" >"$st"
}
is() { [ "$(cat "$1")" = "$2" ]; }

# --- the probe -----------------------------------------------------------------
run "$tmp/out" "$tmp/st" env VR_NO_32BIT=1 "$root/scripts/exec32.sh"
expect "forced: cannot, and says why" is "$tmp/st" 1
expect "forced: the reason is one line" is "$tmp/out" "VR_NO_32BIT is set"
run "$tmp/plain" "$tmp/plain.st" "$root/scripts/exec32.sh"
run "$tmp/zero" "$tmp/zero.st" env VR_NO_32BIT=0 "$root/scripts/exec32.sh"
expect "VR_NO_32BIT=0 forces nothing" cmp -s "$tmp/plain.st" "$tmp/zero.st"
expect "a real probe answers 0 or 1" grep -qx '[01]' "$tmp/plain.st"
expect "the probe leaves nothing behind" bash -c "! ls '$root'/build/.exec32.* 2>/dev/null"
run "$tmp/out" "$tmp/st" env VR_EXEC32="no: Exec format error" "$root/scripts/exec32.sh"
expect "an earlier answer is kept: no" is "$tmp/out" "Exec format error"
run "$tmp/out" "$tmp/st" env VR_EXEC32=yes "$root/scripts/exec32.sh"
expect "an earlier answer is kept: yes" is "$tmp/st" 0

# probe_exec32 as the scripts use it: one line, and the answer exported.
(
    root=$root
    . "$root/scripts/common.sh"
    export VR_NO_32BIT=1
    probe_exec32 who "this is skipped" >"$tmp/line" && echo can >"$tmp/can" || echo cannot >"$tmp/can"
    echo "$VR_EXEC32" >"$tmp/exported"
)
expect "the scripts' line names reason and what is skipped" is "$tmp/line" \
    "who: this machine cannot execute 32-bit programs (VR_NO_32BIT is set): this is skipped"
expect "the answer goes to the scripts' programs" is "$tmp/exported" "no: VR_NO_32BIT is set"
expect "and the caller is told" is "$tmp/can" cannot

# --- wine-run.sh ---------------------------------------------------------------
mkdir -p "$tmp/bin"
for stub in wine wine64 wineserver; do
    printf '#!/bin/sh\nmkdir -p "$WINEPREFIX"\necho "%s WINEARCH=$WINEARCH WINEPREFIX=$WINEPREFIX $*" >>"%s/calls"\n' \
        "$stub" "$tmp" >"$tmp/bin/$stub"
    chmod +x "$tmp/bin/$stub"
done
wr() { # wr ARGS...: wine-run.sh with the stand-ins, its prefix under $tmp/b
    rm -f "$tmp/calls"
    run "$tmp/out" "$tmp/st" env PATH="$tmp/bin:$PATH" VR_WINE64="$tmp/bin/wine64" \
        VR_WINE_BUILD_DIR="$tmp/b" "$@"
    touch "$tmp/calls"
}
# pe FILE MACHINE: the smallest file with a PE header's machine field.
pe() { { printf 'MZ'; head -c 58 /dev/zero; printf '\100\0\0\0PE\0\0'; printf "$2"; } >"$1"; }
pe "$tmp/x86.exe" '\114\001'
pe "$tmp/x64.exe" '\144\206'

wr env VR_NO_32BIT=1 "$root/scripts/wine-run.sh" --arch win32 prog.exe
expect "no 32-bit: a 32-bit program is skipped (77)" is "$tmp/st" 77
expect "no 32-bit: the skip says why" grep -qx \
    "wine-run: skipped: this machine cannot execute 32-bit programs (VR_NO_32BIT is set)" "$tmp/out"
expect "no 32-bit: no loader is started" is "$tmp/calls" ""
wr env VR_NO_32BIT=1 "$root/scripts/wine-run.sh" --arch win32 --start
expect "no 32-bit: the 32-bit prefix is not made" \
    bash -c '[ "$(cat "$1")" = 77 ] && [ ! -d "$2" ]' _ "$tmp/st" "$tmp/b/wineprefix"
wr env VR_NO_32BIT=1 "$root/scripts/wine-run.sh" --arch win64 prog.exe a b
expect "no 32-bit: a 64-bit program runs" is "$tmp/st" 0
expect "64-bit: the wine64 loader, a win64 prefix of its own" grep -qx \
    "wine64 WINEARCH=win64 WINEPREFIX=$tmp/b/wineprefix prog.exe a b" "$tmp/calls"
expect "64-bit: the prefix is made once, first" grep -qx \
    "wine64 WINEARCH=win64 WINEPREFIX=$tmp/b/wineprefix wineboot.exe -i" <(head -n 1 "$tmp/calls")
wr env VR_EXEC32=yes "$root/scripts/wine-run.sh" "$tmp/x64.exe"
expect "a 64-bit PE file picks the 64-bit loader" grep -q "^wine64 WINEARCH=win64 .*x64.exe" "$tmp/calls"
wr env VR_EXEC32=yes "$root/scripts/wine-run.sh" "$tmp/x86.exe"
expect "a 32-bit PE file picks the 32-bit loader" grep -q "^wine WINEARCH=win32 .*x86.exe" "$tmp/calls"
wr env VR_EXEC32=yes VR_WINE_ARCH=win32 "$root/scripts/wine-run.sh" "$tmp/x64.exe"
expect "VR_WINE_ARCH goes before the file's word size" grep -q "^wine WINEARCH=win32 .*x64.exe" "$tmp/calls"
wr env VR_EXEC32=yes VR_WINE_ARCH=win32 "$root/scripts/wine-run.sh" --arch win64 "$tmp/x86.exe"
expect "--arch goes before VR_WINE_ARCH" grep -q "^wine64 WINEARCH=win64 .*x86.exe" "$tmp/calls"
wr "$root/scripts/wine-run.sh" --arch arm64 prog.exe
expect "an unknown architecture is refused" is "$tmp/st" 2

# --- counting ctest's skipped tests --------------------------------------------
counts() { (root=$root; . "$root/scripts/common.sh"; ctest_counts "$1"); }
cat >"$tmp/skips.log" <<'LOG'
1/5 Test #5: dll_exports ......................   Passed    0.12 sec
2/5 Test #1: qz_tests .........................***Skipped   0.01 sec
100% tests passed, 0 tests failed out of 5

Total Test time (real) =   0.30 sec

The following tests did not run:
	  1 - qz_tests (Skipped)
	  2 - plugin_tests (Skipped)
	  3 - tool_tests (Skipped)
	  4 - cross_build_identity (Skipped)
LOG
expect "skipped tests are counted as skipped" [ "$(counts "$tmp/skips.log")" = "5 0 4" ]
cat >"$tmp/fails.log" <<'LOG'
67% tests passed, 1 tests failed out of 3

The following tests did not run:
	  3 - cross_build_identity (Skipped)

The following tests FAILED:
	  1 - qz_tests (Failed)
LOG
expect "failed and skipped apart" [ "$(counts "$tmp/fails.log")" = "3 1 1" ]
printf 'No tests were found!!!\n' >"$tmp/none.log"
expect "no summary line counts nothing" [ "$(counts "$tmp/none.log")" = "0 0 0" ]

echo "scripts_test: $failures failed"
[ "$failures" -eq 0 ]
