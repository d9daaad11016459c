#!/usr/bin/env bash
# Tests the scripts' handling of machines without 32-bit execution, forced by
# VR_NO_32BIT on any machine: the probe's answers, wine-run.sh's choice of
# loader and prefix (and its skip for 32-bit programs there), and the counting
# of skipped ctest tests. The wine loaders are stand-ins that log their calls:
# what is tested is which loader the wrapper picks and with what, not wine.
# Then build.sh's presets and targets (cmake a stand-in too), and the check
# that INSTALL.txt names what the Linux binaries need.
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

# --- build.sh: presets and targets ----------------------------------------------
# A stand-in cmake logs what build.sh asks of it.
mkdir -p "$tmp/cmake-bin"
printf '#!/bin/sh\necho "$*" >>"%s/cmake-calls"\n' "$tmp" >"$tmp/cmake-bin/cmake"
chmod +x "$tmp/cmake-bin/cmake"
build() { # build ARGS...: build.sh with the stand-in, its calls in $tmp/cmake-calls
    rm -f "$tmp/cmake-calls"
    run "$tmp/out" "$tmp/st" env PATH="$tmp/cmake-bin:$PATH" JOBS=3 "$root/scripts/build.sh" "$@"
    touch "$tmp/cmake-calls"
}
build --target VelvetRampart --target=rampart native win64
expect "targets: every preset configured, then built for those targets only" \
    diff <(printf '%s\n' "--preset native --log-level=WARNING" \
        "--build --preset native -j 3 --target VelvetRampart rampart" \
        "--preset win64 --log-level=WARNING" \
        "--build --preset win64 -j 3 --target VelvetRampart rampart") "$tmp/cmake-calls"
build native
expect "no target: the whole preset" \
    diff <(printf '%s\n' "--preset native --log-level=WARNING" "--build --preset native -j 3") \
    "$tmp/cmake-calls"
build --target
expect "--target without a name is refused" is "$tmp/st" 2
expect "  and nothing is built" is "$tmp/cmake-calls" ""
build --jobs 4 native
expect "an unknown option is refused" is "$tmp/st" 2

# --- check_requirements.sh: INSTALL.txt against the dynamic tables ---------------
binary=$(realpath "$(command -v cmake)") # any C++ program of the system
req() { run "$tmp/out" "$tmp/st" bash "$here/check_requirements.sh" "$1" "$binary"; }
: >"$tmp/none.txt"
req "$tmp/none.txt"
expect "requirements: an empty text fails" is "$tmp/st" 1
# The text that names exactly what the check asked for passes.
sed -nE 's/^names no ([^,]+), which.*/\1/p; s/^does not say "(.*)"$/\1/p; s/^does not name (.*)$/\1/p' \
    "$tmp/out" >"$tmp/exact.txt"
req "$tmp/exact.txt"
expect "requirements: the libraries and versions it asked for pass" is "$tmp/st" 0
expect "  (a glibc version among them)" grep -q '^glibc [0-9.]* or later$' "$tmp/exact.txt"
sed -E 's/^glibc [0-9.]+ or later$/glibc 2.1 or later/' "$tmp/exact.txt" >"$tmp/old.txt"
req "$tmp/old.txt"
expect "requirements: another glibc version fails" is "$tmp/st" 1
grep -v '^libc\.so\.6$' "$tmp/exact.txt" >"$tmp/less.txt"
req "$tmp/less.txt"
expect "requirements: a library left out fails" grep -q "names no libc.so.6" "$tmp/out"
{ cat "$tmp/exact.txt"; echo "libgone.so.3"; } >"$tmp/more.txt"
req "$tmp/more.txt"
expect "requirements: a library no binary loads fails" grep -q "names libgone.so.3, which none" "$tmp/out"

# --- docs_commands_test.sh: what it runs, what it refuses ---------------------------
# A repository of one README and one script, and an empty build.
mkdir -p "$tmp/repo/scripts" "$tmp/repo/docs" "$tmp/nbuild"
printf '#!/bin/sh\necho made >"$1"\n' >"$tmp/repo/scripts/make.sh"
chmod +x "$tmp/repo/scripts/make.sh"
echo marker >"$tmp/nbuild/in-the-build"
cat >"$tmp/repo/README.md" <<'MD'
See [the docs](docs/more.md) and `scripts/make.sh`.

<!-- runnable -->
```sh
scripts/make.sh first.txt
test -f build/native/in-the-build
```

<!-- runnable -->

```sh
grep -qx made first.txt   # what the earlier block wrote
```

```sh
false   # shown, not run
```
MD
printf '# More\n' >"$tmp/repo/docs/more.md"
docs() { run "$tmp/out" "$tmp/st" bash "$here/docs_commands_test.sh" "$tmp/repo" "$tmp/nbuild"; }
docs
expect "docs: marked blocks run in order, in a tree with the build; unmarked ones do not" \
    is "$tmp/st" 0
expect "  both marked blocks ran" [ "$(grep -c '^ok ' "$tmp/out")" = 2 ]
expect "  and the repository is left as it was" [ ! -e "$tmp/repo/first.txt" ]
cat >>"$tmp/repo/README.md" <<'MD'

A [dead link](docs/none.md), `scripts/gone.sh` and `tests/*/ok` (a pattern).

<!-- runnable -->
```sh
scripts/make.sh second.txt
exit 3
```

```sh
if then
```
MD
docs
expect "docs: a failing block fails the test" is "$tmp/st" 1
expect "  named by its line and status" grep -q '^FAIL README.md:2[0-9]: exit status 3$' "$tmp/out"
expect "  a link that leads nowhere" grep -q 'the link to docs/none.md leads nowhere' "$tmp/out"
expect "  a path that is not there, but no pattern" \
    bash -c 'grep -q "names scripts/gone.sh" "$1" && ! grep -q "tests/\*" "$1"' _ "$tmp/out"
expect "  a block that is not shell" grep -q 'not valid shell' "$tmp/out"

echo "scripts_test: $failures failed"
[ "$failures" -eq 0 ]
