// Window costs: the whole window redrawn from the console model (every desk
// control, the teacher panel and the link picture), alone and with the
// repaint that follows; LoadClassroom and SaveClassroom of a full plan; and
// start-up to the window shown (the fixed settle wait after the start-up
// reset taken off).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <QTest>
#include <chrono>
#include <fstream>
#include <memory>
#include <string>

#include "app/consolesession.h"
#include "app/consolewindow.h"
#include "app/environment.h"
#include "link/timing.h"
#include "support/fakeprompter.h"
#include "support/windowfixture.h"
#include "tests/support/emulatorprocess.h"
#include "tests/support/locknames.h"
#include "tests/support/tempdir.h"

namespace {

// All 16 desks shown at the stored layout.
std::unique_ptr<WindowFixture> FullClassroom() {
  WindowOptions options;
  options.writeClassroom = true;
  options.notWaitCSFromMC = 1;  // no controller needed to draw
  auto fx = std::make_unique<WindowFixture>(options);
  if (!fx->Ok()) return nullptr;
  return fx;
}

// Two register copies that differ at every desk and on the teacher panel:
// all pairs joined, half the LEDs lit, desks 3-4 listened to; or every desk
// on the line (16 frames), the other LEDs lit, desk 13 spoken to, the input
// on the line. Redrawing after a switch changes every control.
void SwitchState(ClassroomState& room, bool first) {
  SwitchRegisters& s = room.SwitchState;
  s.Pairs = first ? 0xFF : 0x00;
  s.LineLow = s.LineHigh = first ? 0x00 : 0xFF;
  s.LedALow = s.LedAHigh = s.LedBLow = s.LedBHigh = first ? 0x55 : 0xAA;
  s.Route = first ? 0x12 : 0xDC;
}

void RedrawAlternating(benchmark::State& state, bool repaint) {
  auto fx = FullClassroom();
  if (!fx) {
    state.SkipWithError("window fixture failed");
    return;
  }
  ConsoleWindow& form = fx->form();
  bool first = true;
  for (auto _ : state) {
    SwitchState(form.room(), first);
    first = !first;
    form.Redraw();
    if (repaint) form.repaint();
  }
}

void BM_RedrawFromModel(benchmark::State& state) { RedrawAlternating(state, false); }
BENCHMARK(BM_RedrawFromModel)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_RedrawFromModelWithRepaint(benchmark::State& state) { RedrawAlternating(state, true); }
BENCHMARK(BM_RedrawFromModelWithRepaint)->Unit(benchmark::kMicrosecond)->UseRealTime();

// The model's load and the redraw that shows it.
void BM_LoadClassroom(benchmark::State& state) {
  auto fx = FullClassroom();
  if (!fx) {
    state.SkipWithError("window fixture failed");
    return;
  }
  for (auto _ : state) fx->form().Apply([](console::ConsoleModel& m) { m.LoadClassroom(); });
}
BENCHMARK(BM_LoadClassroom)->Unit(benchmark::kMicrosecond)->UseRealTime();

// The model's save; includes the flush to disk that every save ends with.
void BM_SaveClassroom(benchmark::State& state) {
  auto fx = FullClassroom();
  if (!fx) {
    state.SkipWithError("window fixture failed");
    return;
  }
  for (auto _ : state) fx->form().model().SaveClassroom();
}
BENCHMARK(BM_SaveClassroom)->Unit(benchmark::kMicrosecond)->UseRealTime();

// Start to visible window, side by side with a bare Qt Widgets window of the
// same size: each iteration shows a bare QWidget, then the console (its
// session reading the settings and opening the port, the window built),
// each until the window is exposed. The probe, the reset and the settle run
// behind the shown console and are not part of the figure; the console is
// closed after its start-up exchange is over. Manual time: the console's.
void BM_StartupBesideBareWindow(benchmark::State& state) {
  testsupport::EmulatorProcess emu;
  if (!emu.Started()) {
    state.SkipWithError(("emulator: " + emu.Error()).c_str());
    return;
  }
  testsupport::TempDir dir;
  const std::string settings = dir.File("vormik.ini");
  std::ofstream(settings) << "[Communication]\r\nPortName=" << emu.linkPath()
                          << "\r\nReadThreadStop=0\r\nNotWaitCSFromMC=0\r\n";
  AppEnvironment environment;
  environment.executablePath = dir.File("vormik");
  environment.settingsPath = settings;
  environment.portLockName = testsupport::TestLockName("view");
  environment.registerFileType = false;
  FakePrompter prompter;
  using Clock = std::chrono::steady_clock;
  double bareTotal = 0;
  double consoleTotal = 0;
  for (auto _ : state) {
    const auto bareStart = Clock::now();
    {
      QWidget bare;
      bare.resize(700, 546);
      bare.show();
      if (!QTest::qWaitForWindowExposed(&bare)) {
        state.SkipWithError("bare window not exposed");
        break;
      }
      bareTotal += std::chrono::duration<double>(Clock::now() - bareStart).count();
    }
    ClassroomState room;
    const auto start = Clock::now();
    auto session = std::make_unique<ConsoleSession>(room, environment, prompter);
    auto form = std::make_unique<ConsoleWindow>(*session);
    form->show();
    if (!QTest::qWaitForWindowExposed(form.get())) {
      state.SkipWithError("window not exposed");
      break;
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    consoleTotal += seconds;
    state.SetIterationTime(seconds);
    if (!QTest::qWaitFor([&] { return session->Started(); }, 10000)) {
      state.SkipWithError("the start-up exchange did not end");
      break;
    }
    form->close();
    form.reset();
    session.reset();
  }
  const double n = static_cast<double>(state.iterations());
  if (n > 0 && bareTotal > 0) {
    state.counters["bare_ms"] = 1000.0 * bareTotal / n;
    state.counters["console_ms"] = 1000.0 * consoleTotal / n;
    state.counters["x_bare"] = consoleTotal / bareTotal;
  }
}
BENCHMARK(BM_StartupBesideBareWindow)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(10);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
