#!/usr/bin/env bash
# Every test, from a fresh Debian machine: installs what is missing, builds the
# native, native-asan, native-tsan (the plug-in's tests under ThreadSanitizer),
# win32 and win64 presets, runs each one's ctest suite (the Windows ones under
# wine, 32-bit and 64-bit), makes the packages and checks each, runs every
# fuzzer for a bounded time, then prints a summary.
# Where this machine cannot execute 32-bit programs (or VR_NO_32BIT=1), win32 is
# still built and its export and import checks run; its programs are skipped
# and counted as skipped.
#   FUZZ_SECONDS=N   fuzzing time for each fuzzer (default 60)
#   JOBS=N           build parallelism (default 2)
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
# shellcheck source=scripts/common.sh
. scripts/common.sh

fuzz_seconds=${FUZZ_SECONDS:-60}
started=$SECONDS
summary=()
passed=0
failed=0
skipped=0

# record STEP RESULT SECONDS [DETAIL]
record() {
    summary+=("$(printf '  %-28s %-7s %5ss  %s' "$1" "$2" "$3" "${4:-}")")
}

# A wine server left running would hold the prefix (and the caller's pipes).
# Each one stays up to the end: the 64-bit identity test renders with the
# 32-bit build too.
wine_up=()
stop_wine() {
    local arch
    for arch in "${wine_up[@]}"; do scripts/wine-run.sh --arch "$arch" --stop || true; done
    wine_up=()
}
cleanup() { stop_wine; }
trap cleanup EXIT
trap 'exit 130' INT TERM

scripts/setup.sh

# The layout of the C++ sources: drift fails the run and says how to fix it.
t0=$SECONDS
if scripts/format.sh --check; then
    record "format" ok $((SECONDS - t0))
    passed=$((passed + 1))
else
    record "format" FAILED $((SECONDS - t0)) "run scripts/format.sh"
    failed=$((failed + 1))
fi

exec32=1
probe_exec32 test.sh "the win32 build is made and its export and import checks run;\
 its programs under wine (tests, identity renders, package check) are skipped" || exec32=0

# run_ctest PRESET: runs the preset's tests and adds them to the counts.
run_ctest() {
    local preset=$1 log=build/$1/ctest.log t0=$SECONDS status=0 total bad skip
    echo "== test $preset"
    ctest --preset "$preset" 2>&1 | tee "$log" || status=$?
    read -r total bad skip < <(ctest_counts "$log")
    if [ "$status" -ne 0 ] && [ "$bad" -eq 0 ]; then
        bad=1 # ctest itself failed
    fi
    passed=$((passed + total - bad - skip))
    failed=$((failed + bad))
    skipped=$((skipped + skip))
    local detail="$total tests"
    [ "$skip" -eq 0 ] || detail+=", $skip skipped"
    if [ "$status" -eq 0 ]; then
        record "test $preset" ok $((SECONDS - t0)) "$detail"
    else
        record "test $preset" FAILED $((SECONDS - t0)) "$bad of $total failed"
    fi
}

# check_package PRESET: makes that build's package and checks it.
check_package() {
    local preset=$1 t0=$SECONDS status=0 archive
    if ! scripts/package.sh "$preset"; then
        record "package $preset" FAILED $((SECONDS - t0))
        failed=$((failed + 1))
        return
    fi
    archive=$(package_archive "$preset")
    bash tests/tools/package_test.sh "$root" "$archive" || status=$?
    case $status in
    0) record "package $preset" ok $((SECONDS - t0)) "$(basename "$archive")"; passed=$((passed + 1)) ;;
    77) record "package $preset" skipped $((SECONDS - t0)) "made; loading it needs 32-bit"; skipped=$((skipped + 1)) ;;
    *) record "package $preset" FAILED $((SECONDS - t0)) "$(basename "$archive")"; failed=$((failed + 1)) ;;
    esac
}

for preset in native native-asan native-tsan win32 win64; do
    t0=$SECONDS
    if ! scripts/build.sh "$preset"; then
        record "build $preset" FAILED $((SECONDS - t0))
        failed=$((failed + 1))
        continue
    fi
    record "build $preset" ok $((SECONDS - t0))

    case $preset in
    win32 | win64)
        if [ "$preset" = win32 ] && [ $exec32 -eq 0 ]; then
            record "wine prefix $preset" skipped 0 "no 32-bit execution"
            skipped=$((skipped + 1))
        else
            # One persistent wine server for the whole suite, warmed with its
            # output detached: each program then starts at once.
            t0=$SECONDS
            wine_up+=("$preset")
            if ! scripts/wine-run.sh --arch "$preset" --start; then
                record "wine prefix $preset" FAILED $((SECONDS - t0))
                failed=$((failed + 1))
                continue
            fi
            record "wine prefix $preset" ok $((SECONDS - t0))
        fi
        run_ctest "$preset"
        check_package "$preset"
        ;;
    native)
        run_ctest "$preset"
        check_package "$preset"
        ;;
    *) run_ctest "$preset" ;;
    esac
done

stop_wine

# Fuzzers: the seed corpus is copied to a scratch corpus under build/ so the
# repository is left as it is; crashes land in the scratch artifacts directory.
fuzzers=()
for src in tests/fuzz/*_fuzz.cpp; do
    [ -e "$src" ] && fuzzers+=("$(basename "$src" .cpp)")
done
if [ ${#fuzzers[@]} -gt 0 ]; then
    each=$fuzz_seconds
    [ "$each" -ge 5 ] || each=5
    for name in "${fuzzers[@]}"; do
        short=${name%_fuzz}
        bin=build/native-asan/$name
        work=build/native-asan/fuzz/$short
        t0=$SECONDS
        if [ ! -x "$bin" ]; then
            record "fuzz $short" FAILED 0 "not built"
            failed=$((failed + 1))
            continue
        fi
        rm -rf "$work"
        mkdir -p "$work/corpus" "$work/artifacts"
        if [ -d "tests/fuzz/corpus/$short" ]; then
            cp -R "tests/fuzz/corpus/$short/." "$work/corpus/"
        fi
        echo "== fuzz $short (${each}s)"
        if "$bin" -max_total_time="$each" -timeout=10 -print_final_stats=1 \
            -artifact_prefix="$work/artifacts/" "$work/corpus" >"$work/fuzz.log" 2>&1; then
            runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/fuzz.log" | tail -n 1)
            record "fuzz $short" ok $((SECONDS - t0)) "${runs:-?} runs"
            passed=$((passed + 1))
        else
            tail -n 40 "$work/fuzz.log"
            record "fuzz $short" FAILED $((SECONDS - t0)) "see $work/artifacts/"
            failed=$((failed + 1))
        fi
    done
fi

echo
echo "== summary ($((SECONDS - started))s)"
printf '%s\n' "${summary[@]}"
[ $exec32 -eq 1 ] || echo "  (${VR_EXEC32#no: }: the 32-bit Windows programs were skipped)"
echo "test.sh: $passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ]
