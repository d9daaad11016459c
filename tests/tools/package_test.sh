#!/usr/bin/env bash
# Checks a package from scripts/package.sh as a user receives it: the archive
# holds its folder with the plug-in, INSTALL.txt and LICENSE (and on Linux the
# LV2 bundle) and nothing else; each library carries no debug information but
# links to the debug file kept beside the package, which has it; the Linux
# plug-in exports its entry points alone; and the packaged plug-in still loads
# through its entry point (rampart info of the same build: the record, its
# magic, the dispatcher), the packaged LV2 bundle passes the bundle test
# (LV2's tools, bit identity with rampart).
# Exits 77 (skipped) where the build cannot run here.
#   package_test.sh SOURCE_DIR ARCHIVE
set -euo pipefail

[ $# -eq 2 ] || { echo "usage: $0 SOURCE_DIR ARCHIVE" >&2; exit 2; }
src=$1 archive=$(realpath "$2")
file=$(basename "$archive")
case $file in
*-linux-x86_64.tar.gz) name=${file%.tar.gz} preset=native lib=VelvetRampart.so
    lv2=(VelvetRampart.lv2 VelvetRampart.lv2/manifest.ttl VelvetRampart.lv2/VelvetRampart.ttl
        VelvetRampart.lv2/VelvetRampart_dsp.so VelvetRampart.lv2/VelvetRampart_ui.so) ;;
*-win32.zip | *-win64.zip) name=${file%.zip} preset=${name##*-} lib=VelvetRampart.dll ;;
*) echo "FAIL: not a package name: $file"; exit 1 ;;
esac
[ -v lv2 ] || lv2=()
version=${name#VelvetRampart-}
version=${version%-*}
version=${version%-linux}

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $file: $*"; exit 1; }

(cd "$tmp" && cmake -E tar xf "$archive") || fail "cannot be extracted"
got=$(cd "$tmp" && find . -mindepth 1 | sort | tr '\n' ' ')
want=$(printf '%s\n' "./$name" "./$name/INSTALL.txt" "./$name/LICENSE" "./$name/$lib" \
    "${lv2[@]/#/./$name/}" | sort | tr '\n' ' ')
[ "$got" = "$want" ] || fail "holds '$got', not '$want'"
grep -q "Velvet Rampart $version for" "$tmp/$name/INSTALL.txt" || fail "INSTALL.txt does not name version $version"
grep -q "^MIT License" "$tmp/$name/LICENSE" || fail "LICENSE is not the MIT licence"

plugin=$tmp/$name/$lib
sections() { objdump -h "$1" | awk '$1 ~ /^[0-9]+$/ { print $2 }'; }
# Stripped, each linked to its debug file beside the package.
stripped() { # PACKAGED_LIBRARY
    local l=$1 base debug link
    base=$(basename "$l")
    debug=$(dirname "$archive")/$name-debug/$base.debug
    if sections "$l" | grep -q '^\.debug_'; then fail "$base still has debug information"; fi
    sections "$l" | grep -qx '\.gnu_debuglink' || fail "$base has no debug link"
    [ -f "$debug" ] || fail "no debug file beside the package ($debug)"
    sections "$debug" | grep -qx '\.debug_info' || fail "$debug has no debug information"
    # The link's name from the section's hex words, up to its NUL: the text
    # column beside them shows the checksum's bytes too, a blank among them at times.
    link=$(objdump -s -j .gnu_debuglink "$l" |
        awk -F'  ' '/^ [0-9a-f]+ / { sub(/^ [0-9a-f]+ /, "", $1); gsub(/ /, "", $1); printf "%s", $1 }' |
        perl -ne 'print((split /\0/, pack("H*", $_))[0])')
    case $link in "$base.debug"*) ;; *) fail "the debug link of $base names '$link', not $base.debug" ;; esac
}
stripped "$plugin"
for l in "${lv2[@]}"; do
    case $l in *.so) stripped "$tmp/$name/$l" ;; esac
done

build=$src/build/$preset
if [ "$preset" = native ]; then
    # Beside other plug-ins in a host, only its entry points may be seen.
    exports=$(bash "$src/tests/tools/check_so_exports.sh" nm "$plugin" \
        "$src/tests/tools/so_exports.txt" 2>&1) || fail "exports more than its entry points: $exports"
    out=$("$build/rampart" info "$plugin" 2>&1) || fail "does not load: $out"
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
