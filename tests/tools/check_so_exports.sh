#!/usr/bin/env bash
# Checks what a Linux shared object exports:
#   check_so_exports.sh NM LIBRARY EXPECTED_LIST
# The defined names of its dynamic symbol table must be exactly those in
# EXPECTED_LIST (one a line, '#' starts a comment). A host may load many
# plug-ins into one process: any other name we export can bind another
# plug-in's calls to our code, or ours to theirs.
set -euo pipefail
# shellcheck source=tests/tools/same_names.sh
. "$(dirname "${BASH_SOURCE[0]}")/same_names.sh"

if [ $# -ne 3 ]; then
    echo "usage: $0 NM LIBRARY EXPECTED_LIST" >&2
    exit 2
fi
nm=$1 lib=$2 list=$3

if ! dump=$("$nm" -D --defined-only "$lib" 2>&1); then
    echo "check_so_exports: $nm -D $lib failed:" >&2
    echo "$dump" >&2
    exit 2
fi
[ -r "$list" ] || { echo "check_so_exports: cannot read $list" >&2; exit 2; }

# "ADDRESS TYPE NAME", the name with its version where it has one
# ("main@@V1"); nm's own remarks ("no symbols") match no such line.
exported=$(printf '%s\n' "$dump" | awk '
    $1 ~ /^[0-9a-fA-F]+$/ && $2 ~ /^[A-Za-z]$/ && NF == 3 { sub(/@.*/, "", $3); print $3 }' |
    sort -u)
expected=$(sed 's/#.*//; s/^[[:space:]]*//; s/[[:space:]]*$//' "$list" | grep -v '^$' | sort -u || true)

status=0
same_names "$exported" "$expected" "unexpected export" "missing export" || status=1

echo "check_so_exports: $(grep -c . <<<"$exported" || true) names exported by $(basename "$lib")," \
    "$(grep -c . <<<"$expected" || true) expected"
exit $status
