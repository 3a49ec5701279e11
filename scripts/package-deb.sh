#!/usr/bin/env bash
# Builds the Debian package build-deb/vormik_<version>_amd64.deb: the console,
# the emulator, the menu entry, the classroom file type, the icon and the
# README, its library dependencies computed by dpkg-shlibdeps. The last line
# printed is the package's path.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh --package >/dev/null
cmake -S . -B build-deb -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORMIK_BUILD_TESTS=OFF \
      -DVORMIK_BUILD_BENCH=OFF >/dev/null
cmake --build build-deb -j"$(nproc)" >/dev/null
rm -f build-deb/vormik_*.deb
(cd build-deb && cpack -G DEB >/dev/null)
ls build-deb/vormik_*_amd64.deb
