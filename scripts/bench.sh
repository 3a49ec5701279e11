#!/usr/bin/env bash
# Builds the benchmarks (Release) and runs them, then measures the real
# console idling against the emulator: CPU use while the poll runs, and peak
# memory. Prints the figures that bench/README.md tabulates.
#   scripts/bench.sh [--quick]     (--quick: one repetition, a shorter idle run)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=${BUILD_DIR:-build-bench}
reps=5
idle_seconds=10
if [ "${1:-}" = "--quick" ]; then
  reps=1
  idle_seconds=5
fi
export QT_QPA_PLATFORM=offscreen

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DVORMIK_BUILD_UI=ON -DVORMIK_BUILD_TESTS=ON \
  -DVORMIK_BUILD_BENCH=ON >/dev/null
targets=(vormik vormik-emulator)
for f in bench/*_bench.cpp; do targets+=("bench_$(basename "$f" .cpp)"); done
cmake --build "$build" -j2 --target "${targets[@]}"

results="$build/results"
mkdir -p "$results"
for f in bench/*_bench.cpp; do
  name="bench_$(basename "$f" .cpp)"
  [ -x "$build/bin/$name" ] || { echo "skip $name (not built)"; continue; }
  echo "== $name"
  "$build/bin/$name" --benchmark_repetitions="$reps" --benchmark_report_aggregates_only=true \
    --benchmark_out="$results/$name.json" --benchmark_out_format=json
done

# ---- The real console, idle, polling the emulator ----
work=$(mktemp -d /tmp/vormik-idle-XXXXXX)
cleanup() {
  [ -n "${vormik_pid:-}" ] && kill "$vormik_pid" 2>/dev/null || true
  [ -n "${emu_pid:-}" ] && kill "$emu_pid" 2>/dev/null || true
  [ -n "${feeder_pid:-}" ] && kill "$feeder_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
mkfifo "$work/emu-in"
sleep 100000 >"$work/emu-in" &
feeder_pid=$!
"$build/bin/vormik-emulator" --link "$work/ttyEMU" --trace "$work/trace" <"$work/emu-in" \
  >"$work/emu-out" 2>&1 &
emu_pid=$!
for _ in $(seq 50); do [ -e "$work/ttyEMU" ] && break; sleep 0.1; done
mkdir -p "$work/app" "$work/home"
cp "$build/bin/vormik" "$work/app/vormik"
printf '[Communication]\r\nPortName=%s\r\nReadThreadStop=0\r\nNotWaitCSFromMC=0\r\n[Interface]\r\nMainFormWidth=700\r\nMainFormHeight=500\r\n' \
  "$work/ttyEMU" >"$work/app/vormik.ini"
HOME="$work/home" XDG_DATA_HOME="$work/home/.local/share" "$work/app/vormik" >"$work/vormik-out" 2>&1 &
vormik_pid=$!
sleep 3  # start-up, the reset, the settle wait, the first polls
ticks() { awk '{print $14 + $15}' "/proc/$vormik_pid/stat"; }
hz=$(getconf CLK_TCK)
polls_before=$(grep -c ' RX 55 30 03 ' "$work/trace" || true)
t0=$(ticks)
start_ns=$(date +%s%N)
sleep "$idle_seconds"
t1=$(ticks)
end_ns=$(date +%s%N)
polls_after=$(grep -c ' RX 55 30 03 ' "$work/trace" || true)
hwm=$(awk '/VmHWM/ {print $2}' "/proc/$vormik_pid/status")
elapsed=$(awk -v a="$start_ns" -v b="$end_ns" 'BEGIN {print (b - a) / 1e9}')
cpu=$(awk -v d=$((t1 - t0)) -v hz="$hz" -v s="$elapsed" 'BEGIN {printf "%.2f", 100 * d / hz / s}')
echo "== idle console ($idle_seconds s, polling): CPU ${cpu} % of one core," \
  "$((polls_after - polls_before)) polls answered, peak memory (VmHWM) $((hwm / 1024)) MB"
printf 'idle_cpu_percent=%s\npolls=%s\nseconds=%s\npeak_rss_kb=%s\n' "$cpu" \
  "$((polls_after - polls_before))" "$elapsed" "$hwm" >"$results/idle_console.txt"
