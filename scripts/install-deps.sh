#!/usr/bin/env bash
# Installs the Debian packages the console and its tests need (run as root).
set -euo pipefail
packages=(cmake g++ make pkg-config qt6-base-dev libgtest-dev libgmock-dev libbenchmark-dev
          xvfb xauth fonts-dejavu-core)
# The fuzz targets and the sanitizer runs of the test command.
if [ "${1:-}" = "--tests" ]; then
  packages+=(clang libclang-rt-14-dev)
fi
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq "${missing[@]}"
fi
