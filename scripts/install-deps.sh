#!/usr/bin/env bash
# Installs the Debian packages that are missing (run as root).
#   install-deps.sh            what the console needs to build and run
#   install-deps.sh --tests    that, plus clang for the fuzz and sanitizer runs
#   install-deps.sh --only P…  just the packages named
set -euo pipefail
packages=(cmake g++ make pkg-config qt6-base-dev libgtest-dev libgmock-dev libbenchmark-dev
          xvfb xauth fonts-dejavu-core)
extra=()
case "${1:-}" in
  --tests) packages+=(clang libclang-rt-14-dev) ;;
  # Named packages come without their recommendations (Wine's are many).
  --only) shift; packages=("$@"); extra=(--no-install-recommends) ;;
esac
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq "${extra[@]}" "${missing[@]}"
fi
