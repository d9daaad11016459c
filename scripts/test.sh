#!/usr/bin/env bash
# Every test, from a fresh Debian machine: installs what is missing, builds the
# native, native-asan and win32 presets, runs each one's ctest suite (win32's
# under wine) and every fuzzer for a bounded time, then prints a summary.
#   FUZZ_SECONDS=N   fuzzing time for each fuzzer (default 60)
#   JOBS=N           build parallelism (default 2)
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

fuzz_seconds=${FUZZ_SECONDS:-60}
started=$SECONDS
summary=()
passed=0
failed=0

# record STEP RESULT SECONDS [DETAIL]
record() {
    summary+=("$(printf '  %-24s %-6s %5ss  %s' "$1" "$2" "$3" "${4:-}")")
}

# A wine server left running would hold the prefix (and the caller's pipes).
wine_started=0
cleanup() { [ $wine_started -eq 0 ] || scripts/wine-run.sh --stop || true; }
trap cleanup EXIT
trap 'exit 130' INT TERM

scripts/setup.sh

# run_ctest PRESET: runs the preset's tests and adds them to the counts.
run_ctest() {
    local preset=$1 log=build/$1/ctest.log t0=$SECONDS status=0
    echo "== test $preset"
    ctest --preset "$preset" 2>&1 | tee "$log" || status=$?
    # "NN% tests passed, F tests failed out of T"
    local line total=0 bad=0
    line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1 || true)
    if [ -n "$line" ]; then
        total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line")
        bad=$(sed -E 's/.*passed, ([0-9]+) tests? failed.*/\1/' <<<"$line")
    fi
    if [ "$status" -ne 0 ] && [ "$bad" -eq 0 ]; then
        bad=1 # ctest itself failed
    fi
    passed=$((passed + total - bad))
    failed=$((failed + bad))
    if [ "$status" -eq 0 ]; then
        record "test $preset" ok $((SECONDS - t0)) "$total tests"
    else
        record "test $preset" FAILED $((SECONDS - t0)) "$bad of $total failed"
    fi
    return "$status"
}

for preset in native native-asan win32; do
    t0=$SECONDS
    if ! scripts/build.sh "$preset"; then
        record "build $preset" FAILED $((SECONDS - t0))
        failed=$((failed + 1))
        continue
    fi
    record "build $preset" ok $((SECONDS - t0))

    if [ "$preset" = win32 ]; then
        # One persistent wine server for the whole suite, warmed with its output
        # detached: each program then starts at once.
        t0=$SECONDS
        wine_started=1
        if ! scripts/wine-run.sh --start; then
            record "wine prefix" FAILED $((SECONDS - t0))
            failed=$((failed + 1))
            continue
        fi
        record "wine prefix" ok $((SECONDS - t0))
        run_ctest win32 || true
        scripts/wine-run.sh --stop
        wine_started=0
    else
        run_ctest "$preset" || true
    fi
done

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
echo "test.sh: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
