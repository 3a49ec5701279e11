#!/usr/bin/env bash
# Builds the Windows core and its tests and zips the executables with a README
# into build-win/vormik-windows-core.zip.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/windows-tests.sh --build-only

build_dir=build-win
name=vormik-windows-core
stage="$build_dir/package/$name"
zip_file="$build_dir/$name.zip"
rm -rf "$build_dir/package" "$zip_file"
mkdir -p "$stage"

shopt -s nullglob
exes=("$build_dir"/bin/*.exe)
if [ ${#exes[@]} -eq 0 ]; then
  echo "no Windows executables in $build_dir/bin" >&2
  exit 1
fi
cp "${exes[@]}" "$stage/"
# The debug information is only useful beside the build; it triples the size.
x86_64-w64-mingw32-strip "$stage"/*.exe

# Windows text files: CR LF line ends.
crlf() { sed 's/$/\r/'; }

crlf > "$stage/run-tests.cmd" <<'EOF'
@echo off
rem Runs every test program of this folder; the exit code is the number that failed.
setlocal
pushd "%~dp0"
set failed=0
for %%t in (*_test.exe) do (
  echo === %%~nt
  "%%t"
  if errorlevel 1 set /a failed+=1
)
popd
echo %failed% test programs failed
exit /b %failed%
EOF

{
  cat <<'EOF'
Vormik, Windows build of the core (no window)
=============================================

Vormik is the teacher's console of a language laboratory. This archive holds
the parts of it that do not need Qt, built for 64-bit Windows with mingw-w64:
the test programs of the settings and classroom files (INI text in
Windows-1251), the controller frames and switching state, the transmission
and poll logic, and the Windows platform layer (serial port, the
"PortSharing" named mutex, the .cld file type registration, the program's
own path).

Contents
--------
EOF
  for exe in "$stage"/*.exe; do echo "  $(basename "$exe")"; done
  cat <<'EOF'
  run-tests.cmd              runs every *_test.exe and counts the failures

vormik-lockholder.exe is not a test: win32_namedlock_test.exe starts it as a
second process that holds the named mutex. Keep it beside the tests.

Running the tests on Windows
----------------------------
Unpack the archive into a folder of its own and run run-tests.cmd from a
command prompt, or run a single *_test.exe (GoogleTest options such as
--gtest_filter=ProfileWriteTest.* work).

- The tests expect the Russian code page (1251) for programs that are not
  Unicode: Control Panel, Region, Administrative, "Language for non-Unicode
  programs" = Russian, as on the laboratory's computers.
- The tests write only into fresh folders under %TEMP% and into a scratch
  key under HKEY_CURRENT_USER\Software; the file type test redirects the
  file-class root there, so the real .cld registration is left alone.
- No serial port is opened except a name that does not exist.

Building
--------
On Debian, from the source tree (installs mingw-w64 and Wine, builds, runs
all test programs under Wine, prints "N passed, N failed"):

    bash scripts/windows-tests.sh
    bash scripts/package-windows.sh     (this archive)

The whole program, window included, is built on Windows with Qt 6.4 for
MinGW 64-bit and its bundled MinGW and CMake, from a "Qt 6.4 (MinGW) command
prompt":

    cmake -S . -B build -G "MinGW Makefiles" -DCMAKE_BUILD_TYPE=Release
    cmake --build build -j 4
    ctest --test-dir build --output-on-failure

GoogleTest must be known to CMake there (for example built from its sources
and installed, with -DCMAKE_PREFIX_PATH pointing at it), or configure with
-DVORMIK_BUILD_TESTS=OFF. Then windeployqt build\bin\vormik.exe copies the
Qt libraries beside the program. vormik.ini is created beside vormik.exe at
the first start, so install it in a folder the teacher can write to.
EOF
} | crlf > "$stage/README.txt"

(cd "$build_dir/package" && zip -q -r "../$name.zip" "$name")
echo "$zip_file"
