#!/usr/bin/env bash
# Configures and builds the given CMake presets (default: native native-asan native-tsan win32 win64).
#   scripts/build.sh [preset...]      JOBS=N to change the parallelism (default 2)
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(native native-asan native-tsan win32 win64)
jobs=${JOBS:-2}

for preset in "${presets[@]}"; do
    echo "== build $preset (build/$preset)"
    cmake --preset "$preset" --log-level=WARNING >/dev/null
    cmake --build --preset "$preset" -j "$jobs"
done
