#!/usr/bin/env bash
# Checks a package from scripts/package.sh as a user receives it: the archive
# holds its folder with the plug-in, INSTALL.txt and LICENSE (the Linux one
# also rampart, qzsh, their manual pages and the LV2 bundle) and nothing else;
# every binary carries no debug information but links to the debug file kept
# beside the package, which has it; the Linux plug-in exports its entry points
# alone, and INSTALL.txt names what the Linux binaries need as their dynamic
# tables say; the pages render; the packaged plug-in still loads through its
# entry point (rampart info: the record, its magic, the dispatcher), natively
# by the packaged rampart, which finds it beside itself; and the packaged LV2
# bundle passes the bundle test (LV2's tools, bit identity with rampart).
# Exits 77 (skipped) where the build cannot run here.
#   package_test.sh SOURCE_DIR ARCHIVE
set -euo pipefail

[ $# -eq 2 ] || { echo "usage: $0 SOURCE_DIR ARCHIVE" >&2; exit 2; }
src=$1 archive=$(realpath "$2")
file=$(basename "$archive")
case $file in
*-linux-x86_64.tar.gz)
    name=${file%.tar.gz} preset=native lib=VelvetRampart.so
    binaries=(VelvetRampart.so rampart qzsh
        VelvetRampart.lv2/VelvetRampart_dsp.so VelvetRampart.lv2/VelvetRampart_ui.so)
    pages=(rampart.1 qzsh.1)
    lv2=(VelvetRampart.lv2 VelvetRampart.lv2/manifest.ttl VelvetRampart.lv2/VelvetRampart.ttl)
    ;;
*-win32.zip | *-win64.zip)
    name=${file%.zip} preset=${name##*-} lib=VelvetRampart.dll
    binaries=(VelvetRampart.dll) pages=() lv2=()
    ;;
*) echo "FAIL: not a package name: $file"; exit 1 ;;
esac
version=${name#VelvetRampart-}
version=${version%-*}
version=${version%-linux}

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $file: $*"; exit 1; }

(cd "$tmp" && cmake -E tar xf "$archive") || fail "cannot be extracted"
got=$(cd "$tmp" && find . -mindepth 1 | sort | tr '\n' ' ')
want=$(printf '%s\n' "./$name" "./$name/INSTALL.txt" "./$name/LICENSE" \
    "${binaries[@]/#/./$name/}" "${pages[@]/#/./$name/}" "${lv2[@]/#/./$name/}" |
    sort | tr '\n' ' ')
[ "$got" = "$want" ] || fail "holds '$got', not '$want'"
grep -q "Velvet Rampart $version for" "$tmp/$name/INSTALL.txt" || fail "INSTALL.txt does not name version $version"
grep -q "^MIT License" "$tmp/$name/LICENSE" || fail "LICENSE is not the MIT licence"

plugin=$tmp/$name/$lib
sections() { objdump -h "$1" | awk '$1 ~ /^[0-9]+$/ { print $2 }'; }
for bin in "${binaries[@]}"; do
    base=$(basename "$bin")
    debug=$(dirname "$archive")/$name-debug/$base.debug
    if sections "$tmp/$name/$bin" | grep -q '^\.debug_'; then fail "$bin still has debug information"; fi
    sections "$tmp/$name/$bin" | grep -qx '\.gnu_debuglink' || fail "$bin has no debug link"
    [ -f "$debug" ] || fail "no debug file beside the package ($debug)"
    sections "$debug" | grep -qx '\.debug_info' || fail "$debug has no debug information"
    # The link's name from the section's hex words, up to its NUL: the text
    # column beside them shows the checksum's bytes too, a blank among them at times.
    link=$(objdump -s -j .gnu_debuglink "$tmp/$name/$bin" |
        awk -F'  ' '/^ [0-9a-f]+ / { sub(/^ [0-9a-f]+ /, "", $1); gsub(/ /, "", $1); printf "%s", $1 }' |
        perl -ne 'print((split /\0/, pack("H*", $_))[0])')
    case $link in "$base.debug"*) ;; *) fail "$bin's debug link names '$link', not $base.debug" ;; esac
done

build=$src/build/$preset
if [ "$preset" = native ]; then
    # Beside other plug-ins in a host, only its entry points may be seen.
    exports=$(bash "$src/tests/tools/check_so_exports.sh" nm "$plugin" \
        "$src/tests/tools/so_exports.txt" 2>&1) || fail "exports more than its entry points: $exports"
    problems=$(bash "$src/tests/tools/check_requirements.sh" "$tmp/$name/INSTALL.txt" \
        "${binaries[@]/#/$tmp/$name/}" 2>&1) || fail "INSTALL.txt: $problems"
    for page in "${pages[@]}"; do
        program=${page%.1}
        rendered=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$tmp/$name/$page" 2>"$tmp/man.err") ||
            fail "man -l $page fails: $(cat "$tmp/man.err")"
        [ ! -s "$tmp/man.err" ] || fail "man -l $page warns: $(cat "$tmp/man.err")"
        grep -Eq "^ +$program - [a-z]" <<<"$rendered" || fail "$page has no NAME line for $program"
        grep -Eq "^ +$program (\[|COMMAND)" <<<"$rendered" || fail "$page has no SYNOPSIS"
        grep -q "^$program $version " <<<"$rendered" || fail "$page is not of version $version"
        out=$("$tmp/$name/$program" --version 2>&1) || fail "the packaged $program does not run: $out"
        [ "$out" = "$program $version" ] || fail "the packaged $program says '$out', not '$program $version'"
    done
    grep -Eq '^ +(info|render)$' <<<"$(man -l "$tmp/$name/rampart.1" 2>/dev/null)" ||
        fail "rampart.1 describes no commands"
    # The packaged rampart finds the plug-in beside it.
    out=$(cd "$tmp" && "$tmp/$name/rampart" info 2>&1) || fail "does not load: $out"
else
    status=0
    out=$(VR_WINE_ARCH=$preset VR_WINE_BUILD_DIR=$build "$src/scripts/wine-run.sh" \
        "$build/rampart.exe" info "Z:$plugin" 2>&1) || status=$?
    [ "$status" -ne 77 ] || { echo "SKIPPED: $file: ${out#wine-run: skipped: }"; exit 77; }
    [ "$status" -eq 0 ] || fail "does not load: $out"
fi
tr -d '\r' <<<"$out" | grep -Eq '^effect name +Velvet Rampart$' ||
    fail "rampart info shows no Velvet Rampart record: $out"
if [ ${#lv2[@]} -gt 0 ]; then
    status=0
    out=$(bash "$src/tests/lv2/lv2_bundle_test.sh" "$src" "$build" "$tmp/$name/VelvetRampart.lv2" 2>&1) ||
        status=$?
    [ "$status" -ne 77 ] || { echo "SKIPPED: $file: ${out#SKIPPED: }"; exit 77; }
    [ "$status" -eq 0 ] || fail "the packaged LV2 bundle: $out"
fi
bundle=''
[ ${#lv2[@]} -eq 0 ] || bundle='; the LV2 bundle lists, validates and renders as the plug-in'
echo "ok: $file ($(($(stat -c %s "$plugin") / 1024)) KiB plug-in, loads$bundle)"
