#!/usr/bin/env bash
# Memory of the real console under real mouse clicks: the built vormik on an
# X server (Xvfb) against the emulator, xdotool clicking the desks' listen,
# speak and line buttons at random. Prints the resident size after 100 and
# after 2,000 clicks; exits 1 when the second is above 1.2 x the first.
# (Programmatic clicks do not show what a pressed, hovered button paints.)
#   bench/memory_clicks.sh [BUILD_DIR]    (default build; needs vormik and vormik-emulator)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh --only xvfb xauth xdotool >/dev/null
bin=$(realpath "${1:-build}")/bin
work=$(mktemp -d /tmp/vormik-clicks-XXXXXX)
display=:$((90 + RANDOM % 9))
cleanup() {
  kill "${vormik_pid:-}" "${emu_pid:-}" "${feeder_pid:-}" "${xvfb_pid:-}" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
Xvfb "$display" -screen 0 1024x768x24 >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY=$display
mkfifo "$work/emu-in"
sleep 100000 >"$work/emu-in" 2>/dev/null &
feeder_pid=$!
"$bin/vormik-emulator" --link "$work/port" <"$work/emu-in" >/dev/null 2>&1 &
emu_pid=$!
for _ in $(seq 50); do [ -e "$work/port" ] && break; sleep 0.1; done
lefts=(8 176 376 544)
for n in $(seq 1 16); do
  i=$((n - 1))
  printf '[Desk%d]\r\nCoordinateLeft=%d\r\nCoordinateTop=%d\r\nVisible=1\r\nStudentName=N%d\r\n' \
    "$n" "${lefts[$((i % 4))]}" "$(( (i / 4) * 104 ))" "$n"
done >"$work/class.cld"
printf '[Communication]\r\nPortName=%s\r\nReadThreadStop=0\r\n[Interface]\r\nClassRoomConfigurationFile=%s\r\n' \
  "$work/port" "$work/class.cld" >"$work/vormik.ini"
cp "$bin/vormik" "$work/vormik"
HOME="$work" "$work/vormik" >/dev/null 2>&1 &
vormik_pid=$!
sleep 3
window=$(xdotool search --pid "$vormik_pid" | tail -1)
eval "$(xdotool getwindowgeometry --shell "$window")"
rss() { awk '/VmRSS/ {print $2}' "/proc/$vormik_pid/status"; }
# Buttons inside a desk panel: listen, speak, line.
offsets=("100 60" "125 60" "30 60")
after100=0
for i in $(seq 1 2000); do
  d=$((RANDOM % 16))
  read -r dx dy <<<"${offsets[$((RANDOM % 3))]}"
  xdotool mousemove $((X + ${lefts[$((d % 4))]} + dx)) $((Y + (d / 4) * 104 + dy)) click 1
  [ "$i" = 100 ] && after100=$(rss)
done
after2000=$(rss)
ratio=$(awk -v a="$after100" -v b="$after2000" 'BEGIN {printf "%.3f", b / a}')
echo "resident after 100 clicks: $after100 KB, after 2000: $after2000 KB, ratio $ratio"
awk -v r="$ratio" 'BEGIN {exit !(r <= 1.2)}'
