#!/usr/bin/env bash
# Builds the Windows console with the Qt for Windows of scripts/windows-qt.sh
# and packs it twice: build-win/vormik-<version>-windows.zip (portable: the
# settings beside vormik.exe) and build-win/vormik-<version>-setup.exe (NSIS:
# Program Files, Start menu, uninstall entry, settings under %APPDATA%).
#   bash scripts/package-windows.sh              build, then pack
#   bash scripts/package-windows.sh --no-build   pack what build-win holds
# The last two lines are the two files' paths.
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=build-win
if [ "${1:-}" != "--no-build" ]; then
  VORMIK_WINDOWS_QT=build bash scripts/windows-tests.sh --build-only
fi
bash scripts/install-deps.sh --windows >/dev/null

version=$(sed -n 's/^project(Vormik VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
name=vormik-$version
stage="$build_dir/package/$name"
zip_file="$build_dir/$name-windows.zip"
setup_file="$build_dir/$name-setup.exe"
runtime_list="$build_dir/windows-runtime.txt"
if [ ! -f "$build_dir/bin/vormik.exe" ] || [ ! -f "$runtime_list" ]; then
  echo "no $build_dir/bin/vormik.exe: build with Qt for Windows first (scripts/windows-qt.sh)" >&2
  exit 1
fi
rm -rf "$build_dir/package" "$zip_file" "$setup_file"
mkdir -p "$stage"

cp "$build_dir/bin/vormik.exe" "$stage/"
while IFS= read -r file; do
  mkdir -p "$stage/$(dirname "$file")"
  cp "$build_dir/bin/$file" "$stage/$file"
done < "$runtime_list"
# The debug information is only useful beside the build.
find "$stage" -name '*.exe' -o -name '*.dll' | xargs x86_64-w64-mingw32-strip
# The shortcut's icon file; the build made it for the program's resources.
cp "$build_dir/icons/vormik.ico" "$stage/"
# Windows text: CR LF, and a byte order mark so that Notepad reads UTF-8
# whatever the machine's code page.
{ printf '\xef\xbb\xbf'; sed 's/$/\r/' packaging/windows/README.txt; } > "$stage/README.txt"

# Exactly the DLLs the program loads: every DLL a shipped file imports that is
# not a part of Windows is shipped, and every shipped DLL is imported by some
# shipped file (plugins, which Qt loads by name, aside).
# objdump speaks the locale's language: its English words are matched.
imports() { LC_ALL=C x86_64-w64-mingw32-objdump -p "$1" | sed -n 's/^\s*DLL Name: //p'; }
shipped_dlls=$(cd "$stage" && find . -maxdepth 1 -name '*.dll' -printf '%f\n' | sort)
needed=$(find "$stage" -name '*.exe' -o -name '*.dll' | while read -r f; do imports "$f"; done | sort -u)
missing=()
for dll in $needed; do
  if [ ! -f "$stage/$dll" ] && { [ -f "/usr/lib/gcc/x86_64-w64-mingw32/12-posix/$dll" ] ||
       [ -f "/usr/x86_64-w64-mingw32/lib/$dll" ] || [[ "$dll" == Qt6* ]]; }; then
    missing+=("$dll")
  fi
done
unused=()
for dll in $shipped_dlls; do
  grep -qxF "$dll" <<< "$needed" || unused+=("$dll")
done
if [ ${#missing[@]} -gt 0 ] || [ ${#unused[@]} -gt 0 ]; then
  echo "wrong DLL set: missing ${missing[*]:-none}; not needed ${unused[*]:-none}" >&2
  exit 1
fi

(cd "$build_dir/package" && zip -q -r -9 "../$name-windows.zip" "$name")
makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$version" -DSTAGE="$PWD/$stage" \
  -DOUTFILE="$PWD/$setup_file" packaging/windows/vormik.nsi >/dev/null
echo "$zip_file: $(du -k "$zip_file" | cut -f1) KiB"
echo "$setup_file: $(du -k "$setup_file" | cut -f1) KiB"
echo "$zip_file"
echo "$setup_file"
