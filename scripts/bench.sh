#!/usr/bin/env bash
# Builds the native preset and runs every benchmark program (bench/*.cpp).
#   scripts/bench.sh [benchmark options...]   e.g. --benchmark_filter=Hipass
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

scripts/setup.sh
# The peer bench_plugin measures beside ours, for scale only: Debian's ZamComp
# (package zam-plugins), needed by nothing else. VR_PEER_PLUGIN names another.
install_peer() {
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    export DEBIAN_FRONTEND=noninteractive
    $sudo apt-get install -y -qq --no-install-recommends zam-plugins >/dev/null 2>&1 && return 0
    $sudo apt-get update -qq >/dev/null &&
        $sudo apt-get install -y -qq --no-install-recommends zam-plugins >/dev/null
}
if [ -z "${VR_PEER_PLUGIN:-}" ] &&
    ! dpkg-query -W -f='${Status}' zam-plugins 2>/dev/null | grep -q 'install ok installed'; then
    echo "bench: installing zam-plugins, the peer bench_plugin measures beside ours"
    install_peer || echo "bench: zam-plugins did not install: bench_plugin has no Peer rows"
fi
scripts/build.sh native

shopt -s nullglob
benches=(build/native/bench_*)
if [ ${#benches[@]} -eq 0 ]; then
    echo "no benchmarks in bench/"
    exit 0
fi
for bench in "${benches[@]}"; do
    [ -x "$bench" ] || continue
    echo
    echo "== ${bench##*/}"
    "$bench" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true "$@"
done
