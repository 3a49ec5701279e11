// Round trip of one acknowledged register write over a pseudo-terminal to the emulator.
#include <benchmark/benchmark.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <string>

#include "link/controllerport.h"
#include "link/transmit.h"
#include "tests/support/emulatorprocess.h"
#include "tests/support/locknames.h"
#include "tests/support/tempdir.h"

namespace {

// Seven bytes (six out, one back) of ten bits each at 9600 baud.
constexpr double kWireTimeMs = 7 * 10 * 1000.0 / 9600.0;

class NoPersonUi : public LinkUi {
 public:
  bool AskRetryConnection() override { return false; }
  void ShowWaitDialog() override {}
};

void RoundTrip(benchmark::State& state, std::vector<std::string> options) {
  testsupport::EmulatorProcess emu(std::move(options));
  if (!emu.Started()) {
    state.SkipWithError(("emulator: " + emu.Error()).c_str());
    return;
  }
  testsupport::TempDir dir;
  std::ofstream(dir.File("vormik.ini")) << "[Communication]\r\nNotWaitCSFromMC=0\r\n";
  // The console's own lock: per port, named, taken and released every frame.
  ControllerPort port;
  port.CreateSharingLockForPort(emu.linkPath(), testsupport::TestLockName("bench"));
  port.OpenControllerPort(emu.linkPath());
  NoPersonUi ui;
  ControllerLink link(port, dir.File("vormik.ini"), ui);
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
  port.ClosePort();
  testsupport::RemoveTestLockObjects();
}

void BM_AcknowledgedFrameInstant(benchmark::State& state) { RoundTrip(state, {}); }
void BM_AcknowledgedFrameAtBaud(benchmark::State& state) { RoundTrip(state, {"--baud"}); }

BENCHMARK(BM_AcknowledgedFrameInstant)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_AcknowledgedFrameAtBaud)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
