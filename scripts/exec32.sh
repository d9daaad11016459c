#!/usr/bin/env bash
# Tells whether this machine can execute 32-bit x86 programs, by trying one: a
# 96-byte Linux i386 program that exits with status 42. Some kernels have
# 32-bit emulation switched off; there every 32-bit program, wine's 32-bit
# loader included, fails with "Exec format error".
#   scripts/exec32.sh    exit 0 when it can; else print why on one line, exit 1
# VR_NO_32BIT=1 answers "cannot" without trying, so that the fallback can be
# exercised on any machine. VR_EXEC32 ("yes", or "no: REASON"), exported by the
# scripts after their first answer, is taken as it stands: one run, one probe.
set -euo pipefail

if [ -n "${VR_NO_32BIT:-}" ] && [ "${VR_NO_32BIT}" != 0 ]; then
    echo "VR_NO_32BIT is set"
    exit 1
fi
case "${VR_EXEC32:-}" in
yes) exit 0 ;;
no:*) echo "${VR_EXEC32#no: }"; exit 1 ;;
esac

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# Under build/, not /tmp: a noexec /tmp would say "Permission denied" instead.
mkdir -p "$root/build"
probe=$(mktemp "$root/build/.exec32.XXXXXX")
trap 'rm -f "$probe" "$probe.err"' EXIT

# ELF header, one loadable segment at 0x08048000, then
# mov eax, 1 (exit); mov ebx, 42; int 0x80.
printf '\177ELF\1\1\1\0\0\0\0\0\0\0\0\0\2\0\3\0\1\0\0\0\124\200\4\10\64\0\0\0\0\0\0\0'`
      `'\0\0\0\0\64\0\40\0\1\0\0\0\0\0\0\0\1\0\0\0\0\0\0\0\0\200\4\10\0\200\4\10'`
      `'\140\0\0\0\140\0\0\0\5\0\0\0\0\20\0\0\270\1\0\0\0\273\52\0\0\0\315\200' >"$probe"
chmod +x "$probe"

status=0
"$probe" 2>"$probe.err" || status=$?
[ "$status" -eq 42 ] && exit 0
if [ "$status" -eq 126 ] && [ -s "$probe.err" ]; then
    # "...: cannot execute binary file: Exec format error"
    sed -n '$s/.*: //p' "$probe.err"
else
    echo "a 32-bit test program exited with status $status instead of 42"
fi
exit 1
