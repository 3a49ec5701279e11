// Cost of parsing INI text: a full classroom file, and a file of 10^5 sections.
#include <benchmark/benchmark.h>

#include <string>

#include "config/inifile.h"

namespace {

std::string ClassroomText() {
  std::string text;
  for (int n = 1; n <= 16; ++n) {
    text += "[Desk" + std::to_string(n) + "]\r\nCoordinateLeft=" + std::to_string(n * 150) +
            "\r\nCoordinateTop=" + std::to_string(n * 80) +
            "\r\nVisible=1\r\nStudentName=" + "\xC8\xE2\xE0\xED\xEE\xE2 " + std::to_string(n) +
            "\r\n";
  }
  return text;
}

std::string ManySectionsText(int sections) {
  std::string text;
  for (int i = 0; i < sections; ++i) {
    text += "[Section" + std::to_string(i) + "]\r\nKey=" + std::to_string(i) + "\r\n";
  }
  return text;
}

void BM_ParseClassroom(benchmark::State& state) {
  const std::string text = ClassroomText();
  for (auto _ : state) benchmark::DoNotOptimize(ini::IniDocument::Parse(text));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_ParseClassroom);

// What loading a classroom costs beyond the parse: 64 lookups.
void BM_ReadClassroom(benchmark::State& state) {
  const auto doc = ini::IniDocument::Parse(ClassroomText());
  for (auto _ : state) {
    for (int n = 1; n <= 16; ++n) {
      const std::string section = "Desk" + std::to_string(n);
      benchmark::DoNotOptimize(doc.ReadInteger(section, "CoordinateLeft", 0));
      benchmark::DoNotOptimize(doc.ReadInteger(section, "CoordinateTop", 0));
      benchmark::DoNotOptimize(doc.ReadInteger(section, "Visible", 0));
      benchmark::DoNotOptimize(doc.ReadString(section, "StudentName", "***"));
    }
  }
}
BENCHMARK(BM_ReadClassroom);

// Linear growth from 10^4 to 10^5 sections shows that parsing is not quadratic.
void BM_ParseManySections(benchmark::State& state) {
  const std::string text = ManySectionsText(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(ini::IniDocument::Parse(text));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ParseManySections)
    ->Arg(10000)
    ->Arg(100000)
    ->Complexity()
    ->Unit(benchmark::kMillisecond);

// One write into the large file; the value changes length, so the text after
// it moves and the index is shifted.
void BM_WriteIntoManySections(benchmark::State& state) {
  auto doc = ini::IniDocument::Parse(ManySectionsText(100000));
  bool longer = false;
  for (auto _ : state) doc.WriteString("Section50000", "Key", (longer = !longer) ? "100000" : "1");
}
BENCHMARK(BM_WriteIntoManySections)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
