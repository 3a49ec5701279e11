#!/usr/bin/env bash
# Start to visible window: the real console (vormik, against the emulator)
# side by side with a bare Qt Widgets window of the same size, each started
# as a process on an X server (Xvfb) until the server maps its window,
# in turns, RUNS times each; for scale, the bare window holding one line of
# text, and holding the console's visible controls built of stock widgets.
# Prints the medians and their ratio; exits 1 when the console takes more
# than 1.5 x the bare window.
#   bench/startup_window.sh [BUILD_DIR] [RUNS]   (default build, 15; needs vormik,
#   vormik-emulator and bench_bare_window)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh --only xvfb xauth x11-utils >/dev/null
bin=$(realpath "${1:-build}")/bin
runs=${2:-15}
work=$(mktemp -d /tmp/vormik-startup-XXXXXX)
cleanup() {
  kill "${app_pid:-}" "${emu_pid:-}" "${feeder_pid:-}" "${xev_pid:-}" "${xvfb_pid:-}" 2>/dev/null || true
  # The server gone before the next run of this script looks for a free display.
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
# A display number of its own, chosen by the server: other X servers may run here.
# The server never resets between clients: a start during a reset would be refused.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -maxclients 2048 -noreset 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=:$(cat "$work/display")
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
mkfifo "$work/emu-in"
sleep 100000 >"$work/emu-in" 2>/dev/null &
feeder_pid=$!
"$bin/vormik-emulator" --link "$work/port" <"$work/emu-in" >/dev/null 2>&1 &
emu_pid=$!
for _ in $(seq 50); do [ -e "$work/port" ] && break; sleep 0.1; done

# The server's own word that a window was mapped: xev on the root window
# prints each MapNotify as it happens. Nothing polls, so the measured program
# keeps the second core (a poll of X clients every 10 ms took it, and added
# up to 10 ms to either side).
mkfifo "$work/maps"
stdbuf -oL xev -root -event substructure >"$work/maps" 2>/dev/null &
xev_pid=$!
exec 4<"$work/maps"

# Microseconds now, without starting a process.
now_us() { echo "${EPOCHREALTIME/./}"; }

# Milliseconds from the start of the command to its window being mapped.
# A start that the X server refused (now and then on this shared machine) is
# not a measurement: it is tried once more.
time_to_window() {
  local start now attempt
  for attempt in 1 2; do
    # Whatever the last program mapped late is not this one's window.
    while read -r -t 0.05 _ <&4; do :; done
    start=$(now_us)
    "$@" >/dev/null 2>"$work/stderr.txt" &
    app_pid=$!
    mapped && break
    wait "$app_pid" 2>/dev/null || true
    app_pid=
    if [ "$attempt" = 2 ] || ! grep -q "could not connect to display" "$work/stderr.txt"; then
      echo "no window from $1" >&2
      tail -n 3 "$work/stderr.txt" "$work/xvfb.log" >&2
      exit 1
    fi
    echo "X server refused $1; tried again" >&2
  done
  now=$(now_us)
  kill "$app_pid" 2>/dev/null || true
  wait "$app_pid" 2>/dev/null || true
  app_pid=
  echo $(( (now - start) / 1000 ))
}

# Waits for the next window mapped on the display; false when the program
# ended, or 20 s went by, without one.
mapped() {
  local line
  while IFS= read -r -t 20 line <&4; do
    case $line in MapNotify*) return 0 ;; esac
  done
  return 1
}

median() { sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2}'; }

: >"$work/bare.txt"
: >"$work/text.txt"
: >"$work/widgets.txt"
: >"$work/console.txt"
for run in $(seq "$runs"); do
  # A fresh folder each time: the console's settings beside it, no earlier
  # lock or channel. Both processes start with it as their home, so that
  # neither reads the other's (or this user's) files.
  dir="$work/run$run"
  mkdir -p "$dir"
  cp "$bin/vormik" "$dir/vormik"
  printf '[Communication]\r\nPortName=%s\r\nReadThreadStop=0\r\n' "$work/port" >"$dir/vormik.ini"
  HOME="$dir" time_to_window "$bin/bench_bare_window" >>"$work/bare.txt"
  HOME="$dir" time_to_window "$bin/bench_bare_window" --text >>"$work/text.txt"
  HOME="$dir" time_to_window "$bin/bench_bare_window" --widgets >>"$work/widgets.txt"
  HOME="$dir" time_to_window "$dir/vormik" >>"$work/console.txt"
  # What a killed console had begun behind its window (its first start's
  # desktop files and their tools) ends before the next bare window starts.
  sleep 0.3
done
bare=$(median <"$work/bare.txt")
console=$(median <"$work/console.txt")
text=$(median <"$work/text.txt")
widgets=$(median <"$work/widgets.txt")
ratio=$(awk -v c="$console" -v b="$bare" 'BEGIN {printf "%.2f", c / b}')
echo "bare Qt window: $bare ms (median of $runs: $(tr '\n' ' ' <"$work/bare.txt"))"
# The yardsticks beside the bare window: how much of the allowance plain text,
# and the console's visible controls built of stock widgets, take by themselves.
yardstick() {
  echo "$1 $2 ms (median of $runs: $(tr '\n' ' ' <"$3")), $(awk -v t="$2" -v b="$bare" 'BEGIN {printf "%.2f", t / b}') x"
}
yardstick "with one text: " "$text" "$work/text.txt"
yardstick "stock controls:" "$widgets" "$work/widgets.txt"
echo "console:        $console ms (median of $runs: $(tr '\n' ' ' <"$work/console.txt"))"
echo "ratio:          $ratio x"
awk -v r="$ratio" 'BEGIN {exit !(r <= 1.5)}'
