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

# package_platform PRESET: the platform word of that build's package.
package_platform() {
    case $1 in
    native) echo linux-x86_64 ;;
    win32 | win64) echo "$1" ;;
    *) return 1 ;;
    esac
}
