#!/usr/bin/env bash
# Tests check_exports.sh on canned objdump output: a checker that passes
# everything would let a DLL without its framework exports, or one that needs
# the MinGW runtime DLLs, ship unnoticed.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
checker=$here/check_exports.sh
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Stands in for objdump: "-p FILE" prints FILE, which holds a canned dump.
cat >"$tmp/objdump" <<'SH'
#!/bin/sh
[ "$1" = "-p" ] && [ -f "$2" ] && exec cat "$2"
echo "objdump: '$2': No such file" >&2
exit 1
SH
chmod +x "$tmp/objdump"

# The layout binutils 2.40 prints for a MinGW DLL.
dump() { # dump FILE IMPORT... ; export names on stdin
    local file=$1
    shift
    {
        printf '\nVelvetRampart.dll:     file format pei-i386\n\n'
        printf 'The Import Tables (interpreted .idata section contents)\n'
        for lib in "$@"; do
            printf '\tDLL Name: %s\n\tvma:  Hint/Ord Member-Name Bound-To\n\t53a0\t  283  CreateMutexA\n\n' "$lib"
        done
        printf 'The Export Tables (interpreted .edata section contents)\n\n'
        printf 'Export Address Table -- Ordinal Base 1\n\t[   0] +base[   1] 1500 Export RVA\n\n'
        printf '[Ordinal/Name Pointer] Table\n'
        local i=0 name
        while IFS= read -r name; do
            printf '\t[%4d] %s\n' "$i" "$name"
            i=$((i + 1))
        done
        printf '\nThe Function Table (interpreted .pdata section contents)\n'
    } >"$file"
}

failures=0
# expect NAME WANT_STATUS [MUST_PRINT...] [!MUST_NOT_PRINT...] -- COMMAND...
expect() {
    local name=$1 want=$2
    shift 2
    local patterns=()
    while [ "$1" != "--" ]; do
        patterns+=("$1")
        shift
    done
    shift
    local out status=0
    out=$("$@" 2>&1) || status=$?
    local ok=1
    [ "$status" -eq "$want" ] || ok=0
    local pattern
    for pattern in "${patterns[@]}"; do
        if [ "${pattern#!}" != "$pattern" ]; then
            grep -qF -- "${pattern#!}" <<<"$out" && ok=0
        else
            grep -qF -- "$pattern" <<<"$out" || ok=0
        fi
    done
    if [ $ok -eq 1 ]; then
        echo "ok   $name"
    else
        echo "FAIL $name (status $status, wanted $want)"
        sed 's/^/     | /' <<<"$out"
        failures=$((failures + 1))
    fi
}
check() { # check NAME WANT_STATUS DUMP LIST [MUST_PRINT...] [!MUST_NOT_PRINT...]
    local name=$1 want=$2 dumpfile=$3 list=$4
    shift 4
    expect "$name" "$want" "$@" -- bash "$checker" "$tmp/objdump" "$dumpfile" "$list"
}

printf 'QZ_OK\nQZ_EMPTY\n_ZN13QZ_Chain_ItemC1EPv\nVSTPluginMain\nmain\n' |
    dump "$tmp/good.dump" KERNEL32.dll msvcrt.dll USER32.dll gdi32.dll WINMM.dll
printf '# error codes\nQZ_OK   # success\n\n   QZ_EMPTY\r\n_ZN13QZ_Chain_ItemC1EPv\n' >"$tmp/list.txt"

# Export names
check "every listed name present passes" 0 "$tmp/good.dump" "$tmp/list.txt" \
    "3 of 3 expected exports present" "5 imported DLLs checked" "!missing"
printf 'QZ_OK\nQZ_ERROR_AUDIO\n__QZ\n' >"$tmp/more.txt"
check "missing names are each reported" 1 "$tmp/good.dump" "$tmp/more.txt" \
    "missing export: QZ_ERROR_AUDIO" "missing export: __QZ" "!missing export: QZ_OK" \
    "1 of 3 expected exports present"
printf 'QZ_OK_\nQZ\nain\n' >"$tmp/partial.txt"
check "a name matches only whole" 1 "$tmp/good.dump" "$tmp/partial.txt" \
    "missing export: QZ_OK_" "missing export: QZ" "missing export: ain"
printf 'Export RVA\n+base[\n' >"$tmp/noise.txt"
check "address table lines are not names" 1 "$tmp/good.dump" "$tmp/noise.txt" \
    "missing export: Export RVA" "missing export: +base["
: | dump "$tmp/noexports.dump" KERNEL32.dll
check "a DLL without an export table fails" 1 "$tmp/noexports.dump" "$tmp/list.txt" \
    "missing export: QZ_OK" "0 of 3 expected exports present"

# Imports
printf 'QZ_OK\n' | dump "$tmp/pthread.dump" KERNEL32.dll libwinpthread-1.dll \
    libstdc++-6.dll libgcc_s_dw2-1.dll msvcrt.dll
printf 'QZ_OK\n' >"$tmp/one.txt"
check "MinGW runtime DLLs are rejected" 1 "$tmp/pthread.dump" "$tmp/one.txt" \
    "unexpected import: libwinpthread-1.dll" "unexpected import: libstdc++-6.dll" \
    "unexpected import: libgcc_s_dw2-1.dll" "!unexpected import: KERNEL32.dll" \
    "!unexpected import: msvcrt.dll"
printf 'QZ_OK\n' | dump "$tmp/system.dump" ADVAPI32.dll ole32.dll COMDLG32.DLL \
    api-ms-win-crt-runtime-l1-1-0.dll ucrtbase.dll
check "system DLLs pass whatever their case" 0 "$tmp/system.dump" "$tmp/one.txt" \
    "5 imported DLLs checked" "!unexpected"
printf 'QZ_OK\n' | dump "$tmp/lookalike.dump" kernel32.dll.evil.dll mykernel32.dll
check "look-alike DLL names are rejected" 1 "$tmp/lookalike.dump" "$tmp/one.txt" \
    "unexpected import: kernel32.dll.evil.dll" "unexpected import: mykernel32.dll"

# Failures of the tools themselves
check "an unreadable DLL is an error" 2 "$tmp/absent.dump" "$tmp/list.txt" "No such file"
check "an unreadable list is an error" 2 "$tmp/good.dump" "$tmp/absent.txt" "cannot read"

# The import list: exactly the DLLs named, whatever their case.
printf '# system\nkernel32.dll\nMSVCRT.DLL\nuser32.dll\ngdi32.dll\nwinmm.dll # sound\n' >"$tmp/imports.txt"
imports() { # imports NAME WANT_STATUS DUMP [MUST_PRINT...] [!MUST_NOT_PRINT...]
    local name=$1 want=$2 dumpfile=$3
    shift 3
    expect "$name" "$want" "$@" -- \
        bash "$checker" "$tmp/objdump" "$dumpfile" "$tmp/one.txt" "$tmp/imports.txt"
}
imports "the listed imports pass whatever their case" 0 "$tmp/good.dump" \
    "5 imported DLLs checked" "!import not listed" "!listed import missing"
printf 'QZ_OK\n' | dump "$tmp/ole.dump" KERNEL32.dll msvcrt.dll USER32.dll gdi32.dll WINMM.dll ole32.dll
imports "a system DLL beyond the list fails" 1 "$tmp/ole.dump" \
    "import not listed: ole32.dll" "!unexpected import" "!listed import missing"
printf 'QZ_OK\n' | dump "$tmp/nowinmm.dump" KERNEL32.dll msvcrt.dll USER32.dll gdi32.dll
imports "a listed DLL not imported fails: the list says what is imported" 1 "$tmp/nowinmm.dump" \
    "listed import missing: winmm.dll" "!import not listed"
expect "an unreadable import list is an error" 2 "cannot read" -- \
    bash "$checker" "$tmp/objdump" "$tmp/good.dump" "$tmp/one.txt" "$tmp/absent.txt"

# The Linux library's dynamic symbols: exactly the listed names.
so_checker=$here/check_so_exports.sh
# Stands in for nm: "-D --defined-only FILE" prints FILE.
cat >"$tmp/nm" <<'SH'
#!/bin/sh
[ "$1" = "-D" ] && [ "$2" = "--defined-only" ] && [ -f "$3" ] && exec cat "$3"
echo "nm: '$3': No such file" >&2
exit 1
SH
chmod +x "$tmp/nm"
printf '# entry points\nVSTPluginMain\nmain # older hosts\n' >"$tmp/so.txt"
so() { # so NAME WANT_STATUS SYMBOLS [MUST_PRINT...] [!MUST_NOT_PRINT...]
    local name=$1 want=$2
    printf '%b' "$3" >"$tmp/so.dump"
    shift 3
    expect "$name" "$want" "$@" -- bash "$so_checker" "$tmp/nm" "$tmp/so.dump" "$tmp/so.txt"
}
so "the entry points alone pass" 0 \
    '0000000000012340 T VSTPluginMain\n0000000000012350 T main\n' \
    "2 names exported" "!unexpected" "!missing"
so "any other name fails, data and weak ones too" 1 \
    '0000000000012340 T VSTPluginMain\n0000000000012350 T main\n00000000000a1000 T _ZN11AudioEffect10dispatcherEiiPvPvf\n00000000000b2000 D QZ_OK\n00000000000b3000 W _ZN12AudioEffectX13getVstVersionEv\n00000000000b4000 u _ZZN2qz4xyzEvE1s\n' \
    "unexpected export: _ZN11AudioEffect10dispatcherEiiPvPvf" "unexpected export: QZ_OK" \
    "unexpected export: _ZN12AudioEffectX13getVstVersionEv" "unexpected export: _ZZN2qz4xyzEvE1s" \
    "!unexpected export: main" "!missing"
so "a missing entry point fails" 1 '0000000000012340 T VSTPluginMain\n' \
    "missing export: main" "!missing export: VSTPluginMain"
so "versioned names count by their name" 0 \
    '0000000000012340 T VSTPluginMain@@VR_1\n0000000000012350 T main@VR_1\n' "!unexpected" "!missing"
so "nm's remark on a library without symbols is no name" 1 'nm: lib.so: no symbols\n' \
    "missing export: VSTPluginMain" "missing export: main" "!unexpected"
expect "an unreadable library is an error" 2 "No such file" -- \
    bash "$so_checker" "$tmp/nm" "$tmp/absent.so" "$tmp/so.txt"
expect "an unreadable name list is an error" 2 "cannot read" -- \
    bash "$so_checker" "$tmp/nm" "$tmp/so.dump" "$tmp/absent.txt"

echo "check_exports_test: $failures failed"
[ "$failures" -eq 0 ]
