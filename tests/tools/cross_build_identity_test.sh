#!/usr/bin/env bash
# The same input rendered through the same plug-in by different builds (the
# native rampart with the .so, rampart.exe under wine with the DLL) must give
# bit-identical files: every build computes the same samples. Also checks that
# every build synthesises the same signal.
#   cross_build_identity_test.sh SOURCE_DIR PLUGINS BUILD REFERENCE...
# PLUGINS: library names without suffix, comma-separated (TestGain: TestGain.so,
# TestGain.dll). BUILD is the build under test, compared with each REFERENCE
# build. A reference that is missing or cannot run here is left out; exits 77
# (skipped) when none is left or BUILD itself cannot run here.
set -euo pipefail

if [ $# -lt 4 ]; then
    echo "usage: $0 SOURCE_DIR PLUGINS BUILD REFERENCE..." >&2
    exit 2
fi
src=$1
root=$src
# shellcheck source=../../scripts/common.sh
. "$src/scripts/common.sh"
IFS=, read -r -a plugins <<<"$2"
shift 2
under_test=$1

tmp=$(mktemp -d "$under_test/cross-identity.XXXXXX")
trap 'rm -rf "$tmp"' EXIT

# on BUILD ARGS...: that build's rampart (build/win32 and build/win64 under wine).
on() {
    local build=$1
    shift
    if [ -x "$build/rampart" ]; then
        "$build/rampart" "$@"
    else
        on_windows "" "$build" "$build/rampart.exe" "$@" # word size from the program
    fi
}
name_of() { basename "$1"; }
lib_of() { # lib_of BUILD PLUGIN
    if [ -x "$1/rampart" ]; then echo "$1/$2.so"; else echo "$1/$2.dll"; fi
}

# Every build synthesises its own input; builds that cannot run drop out here.
builds=()
for build in "$@"; do
    out=$tmp/$(name_of "$build")
    mkdir -p "$out"
    if [ ! -x "$build/rampart" ] && [ ! -f "$build/rampart.exe" ]; then
        [ "$build" = "$under_test" ] && { echo "FAIL: no rampart in $build"; exit 1; }
        echo "left out: $(name_of "$build") (not built)"
        continue
    fi
    status=0
    on "$build" synth "$out/in.wav" --seconds 3 >/dev/null 2>"$tmp/err" || status=$?
    if [ "$status" -eq 77 ]; then
        echo "left out: $(name_of "$build") ($(sed 's/^wine-run: skipped: //' "$tmp/err"))"
        [ "$build" = "$under_test" ] && exit 77
        continue
    fi
    [ "$status" -eq 0 ] || { echo "FAIL: $(name_of "$build") synth: $(cat "$tmp/err")"; exit 1; }
    builds+=("$build")
done
if [ ${#builds[@]} -lt 2 ]; then
    echo "SKIPPED: no other build to compare $(name_of "$under_test") with" \
        "(build the native preset first; scripts/test.sh does)"
    exit 77
fi

failures=0
check() { # check WHAT A B
    if cmp -s "$2" "$3"; then
        echo "ok: $1"
    else
        echo "FAIL: $1: $(on "${builds[0]}" compare "$2" "$3" 2>&1)"
        failures=$((failures + 1))
    fi
}

settings=("" "--sustain -24 --level -6" "--sustain -45 --tone 400 --level -3 --block 100"
          "--state off" "--tone 50 --block 4096")
for build in "${builds[@]}"; do
    b=$(name_of "$build")
    for name in "${plugins[@]}"; do
        lib=$(lib_of "$build" "$name")
        [ -f "$lib" ] || { echo "FAIL: $lib was not built"; exit 1; }
        i=0
        for s in "${settings[@]}"; do
            i=$((i + 1))
            # shellcheck disable=SC2086 # the settings are separate words
            on "$build" render "$tmp/$(name_of "$under_test")/in.wav" "$tmp/$b/$name-$i.wav" \
                --plugin "$lib" $s >/dev/null
        done
    done
done

t=$(name_of "$under_test")
for build in "${builds[@]:1}"; do
    b=$(name_of "$build")
    check "synth: $t = $b" "$tmp/$t/in.wav" "$tmp/$b/in.wav"
    for name in "${plugins[@]}"; do
        i=0
        for s in "${settings[@]}"; do
            i=$((i + 1))
            check "$name ${s:-(defaults)}: $t = $b" "$tmp/$t/$name-$i.wav" "$tmp/$b/$name-$i.wav"
        done
    done
done
[ "$failures" -eq 0 ]
