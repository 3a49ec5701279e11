// Round trip of one acknowledged register write over a pseudo-terminal to the emulator.
#include <benchmark/benchmark.h>

#include <chrono>
#include <string>
#include <vector>

#include "bench/emulatorlink.h"

namespace {

// Seven bytes (six out, one back) of ten bits each at 9600 baud.
constexpr double kWireTimeMs = 7 * 10 * 1000.0 / 9600.0;

void RoundTrip(benchmark::State& state, std::vector<std::string> options) {
  // The console's own lock: per port, named, taken and released every frame.
  EmulatorLink emulator(std::move(options));
  if (!emulator.Started()) {
    state.SkipWithError(emulator.Error().c_str());
    return;
  }
  ControllerLink& link = emulator.link();
  uint8_t low = 0;
  int64_t failed = 0;
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    if (!link.TransmitFrame(0x82, 0x00, low++)) ++failed;
  }
  const double elapsedMs =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  state.counters["wire_ms"] = kWireTimeMs;
  // Round trip over wire time; the target at --baud is at most 1.05.
  state.counters["x_wire"] = elapsedMs / static_cast<double>(state.iterations()) / kWireTimeMs;
  state.counters["failed"] = static_cast<double>(failed);
}

void BM_AcknowledgedFrameInstant(benchmark::State& state) { RoundTrip(state, {}); }
void BM_AcknowledgedFrameAtBaud(benchmark::State& state) { RoundTrip(state, {"--baud"}); }

BENCHMARK(BM_AcknowledgedFrameInstant)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_AcknowledgedFrameAtBaud)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
