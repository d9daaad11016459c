#!/usr/bin/env bash
# Makes the packages a user downloads, in build/packages/:
#   VelvetRampart-VERSION-win32.zip, -win64.zip, -linux-x86_64.tar.gz
# each holding the plug-in without debug information, INSTALL.txt (where hosts
# look for it, what it needs) and LICENSE, in a folder of the package's name;
# the Linux one also rampart and qzsh with their manual pages, and the LV2
# bundle VelvetRampart.lv2/, its libraries likewise stripped. The debug
# information stays beside them, in VelvetRampart-VERSION-PLATFORM-debug/, under
# the names the binaries' debug links give (gdb finds them placed next to them).
#   scripts/package.sh [preset...]     default: native win32 win64 (built first)
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
# shellcheck source=scripts/common.sh
. scripts/common.sh

presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(native win32 win64)
for preset in "${presets[@]}"; do
    case $preset in
    native | win32 | win64) ;;
    *) echo "package: no package for preset '$preset' (native, win32, win64)" >&2; exit 2 ;;
    esac
done
scripts/build.sh "${presets[@]}"

out=build/packages
mkdir -p "$out"
# Entries dated from the last commit: the same sources, the same archive.
mtime=$(date -u -d "@$(git log -1 --format=%ct 2>/dev/null || echo 0)" '+%Y-%m-%d %H:%M:%S UTC')
cache_value() { sed -n "s/^$1:[A-Z]*=//p" "$2/CMakeCache.txt"; }

for preset in "${presets[@]}"; do
    build=build/$preset
    objcopy=$(cache_value CMAKE_OBJCOPY "$build")
    name=$(package_name "$preset")
    stage=$out/stage/$name
    debug=$out/$name-debug
    rm -rf "$stage" "$debug"
    cmake --install "$build" --prefix "$stage" --component plugin >/dev/null

    lib=VelvetRampart.so binaries=(VelvetRampart.so rampart qzsh)
    [ "$preset" = native ] || lib=VelvetRampart.dll binaries=(VelvetRampart.dll)
    # The LV2 bundle's two libraries likewise, their debug files beside the
    # plug-in's (the names differ).
    [ "$preset" != native ] ||
        binaries+=(VelvetRampart.lv2/VelvetRampart_dsp.so VelvetRampart.lv2/VelvetRampart_ui.so)
    mkdir -p "$debug"
    for bin in "${binaries[@]}"; do
        d=$debug/$(basename "$bin").debug
        "$objcopy" --only-keep-debug "$stage/$bin" "$d"
        "$objcopy" --strip-debug --strip-unneeded --add-gnu-debuglink="$d" "$stage/$bin"
    done

    archive=$(basename "$(package_archive "$preset")")
    if [ "$preset" = native ]; then
        format=gnutar
        flags=czf
    else
        format=zip
        flags=cf
    fi
    rm -f "$out/$archive" "$out/$archive.part"
    (cd "$out/stage" && cmake -E tar "$flags" "../$archive.part" --format="$format" \
        --mtime="$mtime" -- "$name")
    mv "$out/$archive.part" "$out/$archive"
    printf 'package: %s (%s KiB; plug-in %s KiB, debug information %s KiB beside it)\n' \
        "$out/$archive" "$(($(stat -c %s "$out/$archive") / 1024))" \
        "$(($(stat -c %s "$stage/$lib") / 1024))" "$(($(stat -c %s "$debug/$lib.debug") / 1024))"
done
rm -rf "$out/stage"
