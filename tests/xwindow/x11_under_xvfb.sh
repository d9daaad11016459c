#!/usr/bin/env bash
# The native editor in a host window on an X server of its own: starts Xvfb
# and runs the X11 test program on it.
#   x11_under_xvfb.sh PROGRAM OUT [PROGRAM ARGS...]
# OUT.log holds the program's output; OUT.png is the editor as the server
# showed it.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
program=$1 out=$2
shift 2
rm -f "$out.png" "$out.log"

# shellcheck source=tests/support/xvfb.sh
. "$root/tests/support/xvfb.sh"
xvfb_start "$out.xvfb.log"

status=0
DISPLAY=":$xvfb_display" VR_X11_SHOT="$out.png" \
    timeout -k 10 240 "$program" "$@" </dev/null >"$out.log" 2>&1 || status=$?
cat "$out.log"
if [ "$status" -eq 124 ] || [ "$status" -eq 137 ]; then
    echo "x11_under_xvfb: the program did not finish within 240 s" >&2
fi
[ ! -f "$out.png" ] || echo "x11_under_xvfb: screenshot $out.png"
exit "$status"
