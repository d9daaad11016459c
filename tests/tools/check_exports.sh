#!/usr/bin/env bash
# Checks a Windows DLL's export and import tables:
#   check_exports.sh OBJDUMP DLL EXPECTED_LIST [IMPORT_LIST]
# Every name in EXPECTED_LIST (one a line, '#' starts a comment) must be in the
# export name table, and the DLL may import nothing but Windows system DLLs:
# a host machine has no MinGW runtime to offer. With IMPORT_LIST (same form),
# the DLLs it imports at load time must be exactly those, in any case: a
# library that a host would load with the plug-in, unasked, shows up there.
set -euo pipefail
# shellcheck source=tests/tools/same_names.sh
. "$(dirname "${BASH_SOURCE[0]}")/same_names.sh"

if [ $# -ne 3 ] && [ $# -ne 4 ]; then
    echo "usage: $0 OBJDUMP DLL EXPECTED_LIST [IMPORT_LIST]" >&2
    exit 2
fi
objdump=$1 dll=$2 list=$3 import_list=${4:-}

if ! dump=$("$objdump" -p "$dll" 2>&1); then
    echo "check_exports: $objdump -p $dll failed:" >&2
    echo "$dump" >&2
    exit 2
fi
[ -r "$list" ] || { echo "check_exports: cannot read $list" >&2; exit 2; }
if [ -n "$import_list" ] && [ ! -r "$import_list" ]; then
    echo "check_exports: cannot read $import_list" >&2
    exit 2
fi

# Export names: the table after "[Ordinal/Name Pointer] Table", up to the next
# blank line; the name is the last field ("[   0] NAME" or, in newer binutils,
# "[   0] +base[   1] 0000 NAME").
exports=$(printf '%s\n' "$dump" | tr -d '\r' | awk '
    /^\[Ordinal\/Name Pointer\] Table/ { inside = 1; next }
    inside && /^[[:space:]]*$/         { inside = 0; next }
    inside && /^[[:space:]]*\[/        { print $NF }')
imports=$(printf '%s\n' "$dump" | tr -d '\r' | sed -n 's/^[[:space:]]*DLL Name:[[:space:]]*//p')

names() { tr -d '\r' <"$1" | sed 's/#.*//; s/^[[:space:]]*//; s/[[:space:]]*$//' | grep -v '^$' || true; }
expected=$(names "$list")

status=0
missing=0
total=0
while IFS= read -r name; do
    [ -n "$name" ] || continue
    total=$((total + 1))
    if ! grep -qxF -- "$name" <<<"$exports"; then
        echo "missing export: $name"
        missing=$((missing + 1))
        status=1
    fi
done <<<"$expected"

allowed='^(kernel32|user32|gdi32|comdlg32|winmm|advapi32|ole32|msvcrt|ucrtbase|api-ms-win-crt-[a-z0-9-]+)\.dll$'
nimports=0
while IFS= read -r lib; do
    [ -n "$lib" ] || continue
    nimports=$((nimports + 1))
    if ! tr '[:upper:]' '[:lower:]' <<<"$lib" | grep -Eq "$allowed"; then
        echo "unexpected import: $lib"
        status=1
    fi
done <<<"$imports"

if [ -n "$import_list" ]; then
    lower() { tr '[:upper:]' '[:lower:]'; }
    have=$(lower <<<"$imports" | grep -v '^$' | sort -u || true)
    want=$(names "$import_list" | lower | sort -u)
    same_names "$have" "$want" "import not listed" "listed import missing" || status=1
fi

echo "check_exports: $((total - missing)) of $total expected exports present," \
    "$nimports imported DLLs checked in $(basename "$dll")"
exit $status
