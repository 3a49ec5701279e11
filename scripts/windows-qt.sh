#!/usr/bin/env bash
# Cross-builds the part of Qt for Windows the console needs (Core, Gui, Widgets,
# Network, Test, the Windows and offscreen platform plugins, the Windows style)
# from Debian's own qt6-base source with mingw-w64, against the host Qt's
# tools, and installs it into a cache folder reused by later runs (run as root).
#   bash scripts/windows-qt.sh           build when missing; the last line is the folder
#   bash scripts/windows-qt.sh --path    only print the folder (built or not)
#   bash scripts/windows-qt.sh --ready   exit status 0 when the folder is complete
# VORMIK_QT_WIN_CACHE overrides the cache root (default /var/cache/vormik).
set -euo pipefail
cd "$(dirname "$0")/.."

# The host Qt's version: the Windows build must match its moc, rcc and uic.
qt_source_version=6.4.2+dfsg-10
cache_root=${VORMIK_QT_WIN_CACHE:-/var/cache/vormik}
triple=x86_64-w64-mingw32

# Everything that shapes the result; a change gives a new cache folder.
options=(
  -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_SYSTEM_PROCESSOR=x86_64
  -DCMAKE_C_COMPILER=$triple-gcc-posix -DCMAKE_CXX_COMPILER=$triple-g++-posix
  -DCMAKE_RC_COMPILER=$triple-windres
  -DCMAKE_FIND_ROOT_PATH=/usr/$triple
  -DCMAKE_FIND_ROOT_PATH_MODE_PROGRAM=NEVER -DCMAKE_FIND_ROOT_PATH_MODE_LIBRARY=ONLY
  -DCMAKE_FIND_ROOT_PATH_MODE_INCLUDE=ONLY -DCMAKE_FIND_ROOT_PATH_MODE_PACKAGE=ONLY
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
  -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON
  # -Os instead of -O2: the build is shorter and the console is not CPU bound.
  -DFEATURE_optimize_size=ON
  -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF
  -DFEATURE_sql=OFF -DFEATURE_dbus=OFF -DFEATURE_printsupport=OFF
  -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF -DFEATURE_vulkan=OFF
  -DFEATURE_ssl=OFF -DFEATURE_openssl=OFF -DFEATURE_icu=OFF -DFEATURE_glib=OFF
  -DFEATURE_zstd=OFF -DFEATURE_brotli=OFF
  -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_harfbuzz=OFF
  -DFEATURE_system_freetype=OFF -DFEATURE_system_png=OFF -DFEATURE_system_jpeg=OFF
  # Debian's source leaves out the tablet header wintab.h.
  -DFEATURE_tabletevent=OFF
  # The 6.4 Windows platform plugin does not compile without OpenGL.
  -DFEATURE_opengl=ON -DFEATURE_opengl_desktop=ON
)
# Only what the console, its window tests and the packages use.
targets=(Core Gui Widgets Network Test EntryPointImplementation
         QWindowsIntegrationPlugin QOffscreenIntegrationPlugin QWindowsVistaStylePlugin)
# The build folders whose install rules lay out those targets and what they
# depend on: the Windows platform plugin links Qt's OpenGL module, Core's
# package wants the bundled zlib's.
install_dirs=(src/corelib src/gui src/widgets src/network src/testlib src/entrypoint
              src/opengl src/3rdparty/zlib
              src/plugins/platforms/windows src/plugins/platforms/offscreen
              src/plugins/styles/windowsvista)

hash=$(printf '%s\n' "$qt_source_version" "${options[@]}" "${targets[@]}" | sha256sum | cut -c1-12)
prefix="$cache_root/qt6-win-${qt_source_version%%+*}-$hash"
# The mark names what was installed: a longer list installs again.
complete_mark=$(printf '%s\n' "${install_dirs[@]}")
complete() { [ -f "$prefix/.complete" ] && [ "$(cat "$prefix/.complete")" = "$complete_mark" ]; }
case "${1:-}" in
  --path) echo "$prefix"; exit 0 ;;
  --ready) complete; exit ;;
esac
if complete; then
  echo "Qt for Windows: reused $prefix"
  echo "$prefix"
  exit 0
fi

started=$(date +%s)
bash scripts/install-deps.sh --windows >/dev/null

work="$cache_root/qt6-win-work"
mkdir -p "$work"
src="$work/qt6-base-$qt_source_version"

# The same archive as the machine's binary packages, as a source entry in a
# file of its own; only that file is refreshed.
add_source_entry() {
  local list=/etc/apt/sources.list.d/vormik-qt-src.sources
  [ -f "$list" ] && return 0
  local uri=http://deb.debian.org/debian suite=bookworm keyring=/usr/share/keyrings/debian-archive-keyring.gpg
  local deb822=/etc/apt/sources.list.d/debian.sources
  if [ -f "$deb822" ]; then
    # The first entry of the main archive (not the security one).
    uri=$(awk '/^URIs:/ && $2 !~ /security/ {print $2; exit}' "$deb822")
    suite=$(awk '/^Suites:/ {print $2; exit}' "$deb822")
    keyring=$(awk '/^Signed-By:/ {print $2; exit}' "$deb822")
  elif [ -f /etc/apt/sources.list ]; then
    read -r uri suite < <(awk '$1 == "deb" && $2 !~ /security/ {print $2, $3; exit}' /etc/apt/sources.list)
  fi
  printf 'Types: deb-src\nURIs: %s\nSuites: %s\nComponents: main\nSigned-By: %s\n' \
    "$uri" "$suite" "$keyring" > "$list"
}

fetch_source() {
  [ -f "$src/.unpacked" ] && return 0
  add_source_entry
  apt-get update -qq -o Dir::Etc::sourcelist=sources.list.d/vormik-qt-src.sources \
    -o Dir::Etc::sourceparts=- -o APT::Get::List-Cleanup=0
  rm -rf "$src"
  # apt checks the files against the signed index; dpkg-source unpacks them
  # and applies Debian's patches (all of them: none breaks the Windows build).
  (cd "$work" && apt-get source -qq "qt6-base=$qt_source_version" >/dev/null)
  local unpacked
  unpacked=$(find "$work" -maxdepth 1 -type d -name 'qt6-base-6.4.2*' ! -name "*$qt_source_version" | head -1)
  [ -n "$unpacked" ] && mv "$unpacked" "$src"
  touch "$src/.unpacked"
}

fetch_source
build="$work/build-$hash"
mkdir -p "$build"
if [ ! -f "$build/build.ninja" ]; then
  echo "Qt for Windows: configuring into $build"
  nice -n 10 cmake -G Ninja -S "$src" -B "$build" "${options[@]}" \
    -DCMAKE_INSTALL_PREFIX="$prefix" > "$build/configure.log" 2>&1 \
    || { tail -40 "$build/configure.log"; echo "Qt for Windows: configuration failed" >&2; exit 1; }
fi
echo "Qt for Windows: building ${targets[*]}"
# Nice: the machine's other jobs keep the CPU they need.
nice -n 10 cmake --build "$build" -j2 --target "${targets[@]}"

rm -rf "$prefix"
# The top folder's own rules (the Qt6 package files, mkspecs), then the
# chosen folders: the install of the whole tree would want every target built.
cmake -DCMAKE_INSTALL_LOCAL_ONLY=1 -P "$build/cmake_install.cmake" >/dev/null
for dir in "${install_dirs[@]}"; do
  cmake -P "$build/$dir/cmake_install.cmake" >/dev/null
done
echo "$complete_mark" > "$prefix/.complete"
took=$(( $(date +%s) - started ))
echo "Qt for Windows: built in $((took / 60)) min $((took % 60)) s"
echo "$prefix"
