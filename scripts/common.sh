# Sourced by the scripts: what they share. Not a program of its own.

# probe_exec32 WHO SKIPPED: finds out once whether this machine executes 32-bit
# programs, exports the answer as VR_EXEC32 for every program the script starts,
# and where it cannot, says so in one line naming the reason and what SKIPPED
# names. Returns 0 when it can.
probe_exec32() {
    local why
    if why=$("$root/scripts/exec32.sh"); then
        export VR_EXEC32=yes
        return 0
    fi
    export VR_EXEC32="no: $why"
    echo "$1: this machine cannot execute 32-bit programs ($why): $2"
    return 1
}

# ctest_counts LOG: "TOTAL FAILED SKIPPED" from a ctest run's output. ctest
# counts a skipped test among the passed in its percentage line; the list of
# tests that did not run names each one "(Skipped)".
ctest_counts() {
    local line total=0 failed=0 skipped
    line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$1" | tail -n 1 || true)
    if [ -n "$line" ]; then
        total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line")
        failed=$(sed -E 's/.*passed, ([0-9]+) tests? failed.*/\1/' <<<"$line")
    fi
    skipped=$(grep -cE '^[[:space:]]*[0-9]+ - .* \(Skipped\)[[:space:]]*$' "$1" || true)
    echo "$total $failed $skipped"
}

# package_name PRESET: the name of that build's package, without its suffix
# (VelvetRampart-VERSION-PLATFORM); fails for a preset without a package.
package_name() {
    local platform version
    case $1 in
    native) platform=linux-x86_64 ;;
    win32 | win64) platform=$1 ;;
    *) return 1 ;;
    esac
    version=$(sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' "$root/build/$1/CMakeCache.txt" 2>/dev/null)
    echo "VelvetRampart-${version:-unknown}-$platform"
}

# package_archive PRESET: where scripts/package.sh puts that build's package.
package_archive() {
    local name
    name=$(package_name "$1") || return 1
    if [ "$1" = native ]; then echo "$root/build/packages/$name.tar.gz"; else echo "$root/build/packages/$name.zip"; fi
}

# on_windows ARCH BUILD_DIR PROGRAM ARGS...: a Windows program under wine in
# that build's prefix (ARCH empty: the program's own word size); absolute
# Unix paths among ARGS are seen through drive Z:, and the CR LF line ends of
# its output become LF.
on_windows() {
    local arch=$1 build=$2 program=$3 a args=()
    shift 3
    for a in "$@"; do
        case $a in
        /*) args+=("Z:$a") ;;
        *) args+=("$a") ;;
        esac
    done
    VR_WINE_BUILD_DIR="$build" "$root/scripts/wine-run.sh" --arch "$arch" "$program" "${args[@]}" | tr -d '\r'
}
