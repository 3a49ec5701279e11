// What the lesson journal adds to a teacher's operation: a listen click
// (alternating between two desks, so every one changes the registers and
// writes two journal lines) with and without the journal, in process and
// against the emulator.
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>

#include "bench/emulatorlink.h"
#include "console/consolemodel.h"
#include "console/lessonjournal.h"
#include "tests/console/scriptedcontroller.h"

namespace {

console::Moment SystemClock() {
  return {std::chrono::duration_cast<std::chrono::milliseconds>(
              std::chrono::system_clock::now().time_since_epoch())
              .count(),
          0};
}

// Listens to desks 1 and 2 in turn; state.range(0) != 0 keeps a journal.
void ListenClicks(benchmark::State& state, FrameSender& sender, const testsupport::TempDir& dir) {
  ClassroomState room;
  ScriptedUser user;
  console::ConsoleModel model(room, sender, [] { return true; }, user,
                              {dir.File("vormik.ini"), ""});
  for (int d = 0; d < kDeskCount; ++d) model.PlaceDesk(d, 0, 0, true);
  std::unique_ptr<console::LessonJournal> journal;
  if (state.range(0) != 0) {
    journal = std::make_unique<console::LessonJournal>(model, SystemClock, dir.path() + "/");
    journal->ConsoleStarted();
  }
  int desk = 0;
  for (auto _ : state) {
    model.ListenTo(desk);
    desk ^= 1;
  }
  if (journal && !journal->problem().empty()) state.SkipWithError(journal->problem().c_str());
}

void BM_ListenInProcess(benchmark::State& state) {
  testsupport::TempDir dir;
  ScriptedController controller;
  ListenClicks(state, controller, dir);
}

void BM_ListenAgainstEmulator(benchmark::State& state) {
  EmulatorLink emulator;
  if (!emulator.Started()) {
    state.SkipWithError(emulator.Error().c_str());
    return;
  }
  ListenClicks(state, emulator.link(), emulator.dir());
}

BENCHMARK(BM_ListenInProcess)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ListenAgainstEmulator)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
