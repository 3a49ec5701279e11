#!/usr/bin/env bash
# Installs the Debian packages that are missing (run as root).
#   install-deps.sh            what the console needs to build and run
#   install-deps.sh --package  that, plus what builds the Debian package
#   install-deps.sh --tests    that, plus clang for the fuzz and sanitizer runs and
#                              the desktop tools the package check uses, and
#                              poppler-utils (pdftotext, pdftoppm) for the report tests
#   install-deps.sh --windows  the Windows build, its packages and its tests under Wine
#   install-deps.sh --only P…  just the packages named
set -euo pipefail
packages=(cmake g++ make pkg-config qt6-base-dev qt6-translations-l10n libgtest-dev libgmock-dev
          zlib1g-dev libexpat1-dev libfreexl-dev  # the class lists' spreadsheets
          libfontconfig-dev  # the font configuration read early at start-up
          libbenchmark-dev xvfb xauth fonts-dejavu-core)
# dpkg-shlibdeps computes the package's library dependencies.
packaging=(dpkg-dev)
extra=()
case "${1:-}" in
  --package) packages+=("${packaging[@]}") ;;
  --tests) packages+=(clang libclang-rt-14-dev "${packaging[@]}" desktop-file-utils xdg-utils poppler-utils dbus-daemon
                      libfile-mimeinfo-perl shared-mime-info) ;;
  # Without recommendations (Wine's are many): the cross compilers and Wine,
  # Qt for Windows' build (ninja, dpkg-source, the host Qt's tools), the zip
  # and the NSIS installer, the window driven on Xvfb and checked by pixels.
  --windows) packages=(cmake make ninja-build dpkg-dev g++-mingw-w64-x86-64-posix
                       gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine64 locales
                       qt6-base-dev qt6-base-dev-tools qt6-translations-l10n zip unzip nsis
                       python3 xvfb xauth xdotool imagemagick fonts-dejavu-core)
             extra=(--no-install-recommends) ;;
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
