#!/usr/bin/env bash
# Formats the repository's C++ files with clang-format 14 and the style in
# .clang-format; hand-laid tables sit between "clang-format off" and "on".
#   scripts/format.sh           formats every tracked .cpp and .h in place
#   scripts/format.sh --check   changes nothing; lists the files that differ
#                               and exits 1 if any does
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

tool=$(command -v clang-format-14 || command -v clang-format || true)
if [ -z "$tool" ]; then
    echo "format.sh: clang-format 14 is not installed (scripts/setup.sh installs it)" >&2
    exit 2
fi

mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [ "${1:-}" != --check ]; then
    "$tool" -i "${files[@]}"
    exit 0
fi
drift=()
for f in "${files[@]}"; do
    "$tool" "$f" | cmp -s - "$f" || drift+=("$f")
done
if [ ${#drift[@]} -gt 0 ]; then
    printf 'format.sh: not as clang-format lays it out: %s\n' "${drift[@]}"
    echo "format.sh: to fix, run: scripts/format.sh"
    exit 1
fi
echo "format.sh: ${#files[@]} files as clang-format lays them out"
