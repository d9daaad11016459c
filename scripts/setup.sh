#!/usr/bin/env bash
# Installs, only when missing, everything the build and the tests need on Debian 12.
# Idempotent and quiet when all is present.
set -euo pipefail

need=()
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

pkgs=(cmake ninja-build g++ clang libclang-rt-14-dev llvm
      g++-mingw-w64-i686-posix mingw-w64-i686-dev binutils-mingw-w64-i686
      g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev binutils-mingw-w64-x86-64
      wine wine32:i386 wine64 fonts-wine xvfb x11-utils
      libasound2 libasound2:i386
      googletest libgtest-dev libgmock-dev libbenchmark-dev libsndfile1-dev pkg-config
      libcairo2-dev libfreetype-dev fonts-dejavu-core gnuplot-nox
      libxcb1-dev libxcb-xtest0-dev ardour libfftw3-dev clang-format-14
      help2man man-db lv2-dev lilv-utils sordi)

for p in "${pkgs[@]}"; do have_pkg "$p" || need+=("$p"); done
[ ${#need[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive

if printf '%s\n' "${need[@]}" | grep -q ':i386$'; then
  dpkg --print-foreign-architectures | grep -qx i386 || $SUDO dpkg --add-architecture i386
fi
echo "setup: installing ${need[*]}"
$SUDO apt-get update -qq >/dev/null
$SUDO apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
