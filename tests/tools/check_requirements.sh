#!/usr/bin/env bash
# Checks that an INSTALL.txt names what the Linux binaries beside it need, as
# their dynamic tables say: every library they load (NEEDED) by its soname,
# "glibc X or later" with X the newest GLIBC_ symbol version they use, and
# "GLIBCXX_Y" with Y the newest GLIBCXX_ one; and that it names no library
# none of them loads.
#   check_requirements.sh INSTALL.txt BINARY...
# Exit 0 when it does; else one line per difference and exit 1.
set -euo pipefail

[ $# -ge 2 ] || { echo "usage: $0 INSTALL.txt BINARY..." >&2; exit 2; }
text=$1
shift

needed=$(for b in "$@"; do objdump -p "$b" | awk '$1 == "NEEDED" { print $2 }'; done | sort -u)
versions=$(for b in "$@"; do objdump -T "$b"; done)
newest() { grep -oE "\\b$1_[0-9][0-9.]*" <<<"$versions" | sed "s/^$1_//" | sort -V | tail -n 1; }
glibc=$(newest GLIBC)
glibcxx=$(newest GLIBCXX)

problems=0
say() { echo "$*"; problems=$((problems + 1)); }
for lib in $needed; do
    grep -qF "$lib" "$text" || say "names no $lib, which the binaries load"
done
if [ -n "$glibc" ]; then
    grep -qF "glibc $glibc or later" "$text" || say "does not say \"glibc $glibc or later\""
fi
if [ -n "$glibcxx" ]; then
    grep -qE "GLIBCXX_${glibcxx//./\\.}([^0-9.]|$)" "$text" || say "does not name GLIBCXX_$glibcxx"
fi
# A library named but loaded by none: a requirement that went away.
for lib in $(grep -oE '\blib[A-Za-z0-9_+-]+\.so\.[0-9]+' "$text" | sort -u) \
    $(grep -oE '\bld-linux[A-Za-z0-9_.-]*\.so\.[0-9]+' "$text" | sort -u); do
    grep -qxF "$lib" <<<"$needed" || say "names $lib, which none of the binaries loads"
done
[ "$problems" -eq 0 ]
