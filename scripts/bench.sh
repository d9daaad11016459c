#!/usr/bin/env bash
# Builds the native preset and runs every benchmark program (bench/*.cpp).
#   scripts/bench.sh [benchmark options...]   e.g. --benchmark_filter=Hipass
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

scripts/setup.sh
scripts/build.sh native

shopt -s nullglob
benches=(build/native/bench_*)
if [ ${#benches[@]} -eq 0 ]; then
    echo "no benchmarks in bench/"
    exit 0
fi
for bench in "${benches[@]}"; do
    [ -x "$bench" ] || continue
    echo
    echo "== ${bench##*/}"
    "$bench" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true "$@"
done
