#!/usr/bin/env bash
# Installs what is missing, builds, and starts the console.
#   bash scripts/run.sh               against vormik-emulator (no controller needed)
#   bash scripts/run.sh /dev/ttyUSB0  against a controller on that serial device
# On a machine without a display, prefix with: xvfb-run -a
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target vormik vormik-emulator

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "Нет графического дисплея (DISPLAY не задан). Запустите так:" >&2
  echo "    xvfb-run -a bash scripts/run.sh" >&2
  echo "No graphical display found (DISPLAY is not set). Run: xvfb-run -a bash scripts/run.sh" >&2
  exit 2
fi

bin=$root/build/bin
ini=$bin/vormik.ini
port=${1:-}
emulator_pid=""
cleanup() {
  if [ -n "$emulator_pid" ]; then
    kill "$emulator_pid" 2>/dev/null || true
    wait "$emulator_pid" 2>/dev/null || true
  fi
}
trap cleanup EXIT

if [ -z "$port" ]; then
  port=$bin/demo-controller
  "$bin/vormik-emulator" --link "$port" --trace "$bin/demo-trace.log" < <(tail -f /dev/null) >/dev/null &
  emulator_pid=$!
  for _ in $(seq 50); do [ -e "$port" ] && break; sleep 0.1; done
  [ -e "$port" ] || { echo "vormik-emulator did not start" >&2; exit 1; }
  echo "Controller emulator on $port (trace: $bin/demo-trace.log)"
fi

# The demo classroom: all sixteen desks where the window's layout puts them.
classroom=$bin/demo-classroom.cld
if [ ! -e "$classroom" ]; then
  lefts=(8 176 376 544)
  {
    for n in $(seq 1 16); do
      i=$((n - 1))
      printf '[Desk%d]\r\nCoordinateLeft=%d\r\nCoordinateTop=%d\r\nVisible=1\r\nStudentName=Ученик %d\r\n' \
        "$n" "${lefts[$((i % 4))]}" "$(( (i / 4) * 104 ))" "$n"
    done
  } | iconv -f UTF-8 -t CP1251 > "$classroom"
fi

# put_setting FILE SECTION KEY VALUE: replace the key in its section, or add it
# at the section's start, or add the section at the end (CR LF kept).
put_setting() {
  local tmp
  tmp=$(mktemp "$1.XXXXXX")
  awk -v sec="$2" -v key="$3" -v val="$4" '
    BEGIN { RS = "\r\n"; ORS = "\r\n"; done = 0; cur = "" }
    {
      line = $0; t = line; gsub(/^[ \t]+|[ \t]+$/, "", t)
      if (t ~ /^\[.*\]$/) {
        cur = tolower(substr(t, 2, length(t) - 2)); print line
        if (!done && cur == tolower(sec)) { print key "=" val; done = 1; skip = 1 } else skip = 0
        next
      }
      if (skip && index(t, "=") > 0) {
        k = substr(t, 1, index(t, "=") - 1); gsub(/[ \t]+$/, "", k)
        if (tolower(k) == tolower(key)) next
      }
      print line
    }
    END { if (!done) { print "[" sec "]"; print key "=" val } }
  ' "$1" > "$tmp" && mv "$tmp" "$1"
}

# Point the settings at the port and the classroom; the program writes the
# rest of the file itself at its first start.
if [ ! -e "$ini" ]; then
  "$root/scripts/default-settings.sh" > "$ini"
fi
put_setting "$ini" Communication PortName "$port"
put_setting "$ini" Interface ClassRoomConfigurationFile "$classroom"

"$bin/vormik"
