#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: the suite,
# the Debian package (built, installed, run, removed), the Windows build of the
# console with its tests under Wine (Qt for Windows is cross-built from
# Debian's source first when its cache folder is empty: about 20 minutes of two
# idle cores; VORMIK_WINDOWS_QT=auto only takes a cache that is there, off
# builds the core alone), the window, its zip and installer end to end under
# Wine, a short run of each fuzz target over its corpus, then the suite again under AddressSanitizer +
# UndefinedBehaviorSanitizer and the threaded parts under ThreadSanitizer.
# VORMIK_QUICK=1 stops after the plain suite.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh --tests
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure -j2 --timeout 600
if [ "${VORMIK_QUICK:-0}" = 1 ]; then
  exit 0
fi
bash scripts/package-check.sh
VORMIK_WINDOWS_QT=${VORMIK_WINDOWS_QT:-build} bash scripts/windows-tests.sh
bash scripts/fuzz.sh 10
bash scripts/sanitizers.sh asan tsan
