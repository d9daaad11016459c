#!/usr/bin/env bash
# Configures and builds the given CMake presets (default: native native-asan native-tsan win32 win64).
#   scripts/build.sh [--target NAME]... [preset...]
#   --target NAME   build only that target (and what it needs) in each preset; repeatable
#   JOBS=N          the parallelism (default 2)
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

targets=()
while [ $# -gt 0 ]; do
    case $1 in
    --target)
        [ -n "${2:-}" ] || { echo "build.sh: --target needs a target name" >&2; exit 2; }
        targets+=("$2")
        shift 2
        ;;
    --target=*)
        targets+=("${1#--target=}")
        shift
        ;;
    -*)
        echo "build.sh: unknown option $1 (--target NAME, then presets)" >&2
        exit 2
        ;;
    *) break ;;
    esac
done
presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(native native-asan native-tsan win32 win64)
jobs=${JOBS:-2}

for preset in "${presets[@]}"; do
    echo "== build $preset (build/$preset)${targets[*]:+: ${targets[*]}}"
    cmake --preset "$preset" --log-level=WARNING >/dev/null
    if [ ${#targets[@]} -gt 0 ]; then
        cmake --build --preset "$preset" -j "$jobs" --target "${targets[@]}"
    else
        cmake --build --preset "$preset" -j "$jobs"
    fi
done
