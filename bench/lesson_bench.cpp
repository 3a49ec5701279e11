// What the lesson journal adds to a teacher's operation: a listen click
// (alternating between two desks, so every one changes the registers and
// writes two journal lines) with and without the journal, in process and
// against the emulator.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "bench/emulatorlink.h"
#include "console/classlist.h"
#include "console/classtable.h"
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

// The process's peak resident memory so far, in KiB (VmHWM).
long PeakResidentKb() {
  long kb = -1;
  if (FILE* status = std::fopen("/proc/self/status", "r")) {
    char line[256];
    while (std::fgets(line, sizeof line, status) != nullptr) {
      if (std::sscanf(line, "VmHWM: %ld kB", &kb) == 1) break;
    }
    std::fclose(status);
  }
  return kb;
}

// A 1 MB class list of half a million one-letter names read and placed as
// the import does; the peak memory it added is a counter (run this benchmark
// alone, so that nothing before it raised the peak).
void BM_HugeClassList(benchmark::State& state) {
  const long before = PeakResidentKb();
  std::string bytes;
  bytes.reserve(1000000);  // the file's text, as the import holds it: 1 MB of the peak
  for (int i = 0; i < 500000; ++i) bytes += "A\n";
  console::DeskPlan plan{};
  for (int d = 0; d < kDeskCount; ++d) plan[d].visible = true;
  size_t placed = 0;
  size_t total = 0;
  for (auto _ : state) {
    const console::ClassTable table = console::ParseTextTable(console::DecodeListBytes(bytes));
    std::vector<std::string> names;
    for (const auto& row : table.rows) names.push_back(row.front());
    const std::vector<console::ImportRow> rows = console::PlanNameImport(names, plan);
    placed = rows.size();
    total = table.totalRows;
    benchmark::DoNotOptimize(rows.data());
  }
  state.counters["rows"] = static_cast<double>(placed);
  state.counters["names"] = static_cast<double>(total);
  state.counters["peak_growth_kb"] = static_cast<double>(PeakResidentKb() - before);
}

BENCHMARK(BM_HugeClassList)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListenInProcess)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ListenAgainstEmulator)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
