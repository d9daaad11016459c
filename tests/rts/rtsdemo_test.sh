#!/usr/bin/env bash
# rtsdemo end to end on our own ASIO driver, registered in the wine prefix for
# the length of the test: the list shows it with its modes, and a run of two
# seconds passes its input to its output block after block.
#   rtsdemo_test.sh WINE_RUN ARCH RTSDEMO FAKE_ASIO_DLL
set -uo pipefail
run=$1 arch=$2 demo=$3 dll=$4
clsid='{5A1F0C3E-8B2D-4C6E-9F10-2B3C4D5E6F70}'
key='HKLM\Software\ASIO\VR Test Driver'
class="HKCR\\CLSID\\$clsid"
work=$(mktemp -d)
trap 'wine_reg delete "$key" /f; wine_reg delete "$class" /f; rm -rf "$work"' EXIT

wine_reg() { "$run" --arch "$arch" reg "$@" </dev/null >/dev/null 2>&1; }
fail() { echo "rtsdemo_test: $*" >&2; exit 1; }

"$run" --arch "$arch" reg add "$key" /v clsid /d "$clsid" /f </dev/null >/dev/null 2>&1
status=$?
[ $status -eq 77 ] && exit 77
[ $status -eq 0 ] || fail "cannot write the driver list ($status)"
wine_reg add "$key" /v description /d "VR Test Driver" /f || fail "no description"
wine_reg add "$class\\InprocServer32" /ve /d "Z:${dll//\//\\}" /f || fail "cannot register the driver"

"$run" --arch "$arch" "$demo" list </dev/null >"$work/list" 2>&1 || { cat "$work/list"; fail "list failed"; }
sed -i 's/\r$//' "$work/list" # Windows line ends
cat "$work/list"
grep -q '^[0-9]*: VR Test Driver$' "$work/list" || fail "the driver is not listed"
grep -q '^   mode 0: 48.0 kHz, 32 bit, stereo$' "$work/list" || fail "its first mode is missing"

export FAKE_ASIO_REPORT="Z:${work//\//\\}\\report.txt"
"$run" --arch "$arch" "$demo" run "VR Test Driver" 0 2 </dev/null >"$work/run" 2>&1 ||
    { cat "$work/run"; fail "run failed"; }
sed -i 's/\r$//' "$work/run"
cat "$work/run"
grep -q '^VR Test Driver, 48.0 kHz, 32 bit, stereo: 2 inputs, 2 outputs$' "$work/run" ||
    fail "not opened as asked"
[ "$(grep -c '^second [12]: [0-9]* blocks$' "$work/run")" -eq 2 ] || fail "no count each second"
read -r blocks refused < <(sed -n 's/^blocks \([0-9]*\), copies refused \([0-9]*\)$/\1 \2/p' "$work/run")
[ "${refused:-x}" = 0 ] || fail "copies refused"
# 10 ms buffers for 2 s: about 200 blocks; allow for a slow machine.
[ "${blocks:-0}" -ge 50 ] || fail "only ${blocks:-0} blocks"
[ -f "$work/report.txt" ] || fail "the driver wrote no report"
cat "$work/report.txt"
read -r _ switches _ echoed < <(tr -d '\r' <"$work/report.txt")
# Each block the demo saw left the driver's output equal to its input.
[ "$switches" -ge "$blocks" ] && [ "$echoed" -eq "$blocks" ] ||
    fail "$echoed of $switches switches came back as they went in"
echo "rtsdemo_test: $blocks blocks, $echoed of $switches switches passed through"
