// Loading hostile classroom files: how the time grows with the size (the
// fitted complexity must come out as N), a file of binary noise, long lines
// and 10^5 sections at the size limit (64 MB) with the peak memory it takes,
// and the refusal of a 64 GB sparse file above it.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "config/classroomplan.h"
#include "config/inifile.h"

namespace {

// Sections, long lines, NULs, "=" lines and noise, repeated to `size` bytes.
std::string HostileText(size_t size) {
  std::mt19937 random(42);
  std::string block;
  for (int i = 0; i < 1000; ++i) block += "[S" + std::to_string(i) + "]\r\nk=v\r\n=\r\n";
  block += "[Desk1]\r\nStudentName=" + std::string(100000, 'x') + "\r\n";
  block += std::string("\0\0=\0[\0]\r\n", 10);
  for (int i = 0; i < 50000; ++i) block += static_cast<char>(random() & 0xFF);
  std::string text;
  text.reserve(size + block.size());
  while (text.size() < size) text += block;
  text.resize(size);
  return text;
}

std::string WriteTemp(const std::string& text) {
  char dir[] = "/tmp/vormik-bench-XXXXXX";
  if (mkdtemp(dir) == nullptr) return {};
  const std::string path = std::string(dir) + "/hostile.cld";
  std::ofstream(path, std::ios::binary).write(text.data(), static_cast<std::streamsize>(text.size()));
  return path;
}

long StatusKb(const std::string& field) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind(field, 0) == 0) return std::stol(line.substr(field.size()));
  return -1;
}

// Starts a new peak at the present use; returns that use.
long ResetPeakRssKb() {
  std::ofstream("/proc/self/clear_refs") << "5";
  return StatusKb("VmRSS:");
}

// What LoadClassroom does with the file: read it whole, read the 64 keys.
void BM_LoadHostileScaling(benchmark::State& state) {
  const std::string path = WriteTemp(HostileText(static_cast<size_t>(state.range(0))));
  for (auto _ : state) {
    const classroom::ClassroomPlan plan = classroom::ReadPlan(ini::IniDocument::Load(path));
    benchmark::DoNotOptimize(plan);
  }
  state.SetComplexityN(state.range(0));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
  std::filesystem::remove_all(std::filesystem::path(path).parent_path());
}
BENCHMARK(BM_LoadHostileScaling)
    ->RangeMultiplier(4)
    ->Range(1 << 20, 64 << 20)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();

void BM_LoadHostileAtLimit(benchmark::State& state) {
  const std::string path = WriteTemp(HostileText(ini::kMaxFileBytes));
  double peakGrowthMb = 0;
  for (auto _ : state) {
    state.PauseTiming();
    const long before = ResetPeakRssKb();
    state.ResumeTiming();
    const classroom::ClassroomPlan plan = classroom::ReadPlan(ini::IniDocument::Load(path));
    benchmark::DoNotOptimize(plan);
    state.PauseTiming();
    peakGrowthMb = std::max(peakGrowthMb, (StatusKb("VmHWM:") - before) / 1024.0);
    state.ResumeTiming();
  }
  state.counters["peak_rss_growth_MB"] = peakGrowthMb;
  std::filesystem::remove_all(std::filesystem::path(path).parent_path());
}
BENCHMARK(BM_LoadHostileAtLimit)->Unit(benchmark::kMillisecond)->Iterations(3);

// Saving a full plan into the file at the limit: read, 64 writes, replace.
void BM_SaveIntoHostileAtLimit(benchmark::State& state) {
  const std::string path = WriteTemp(HostileText(ini::kMaxFileBytes));
  classroom::ClassroomPlan plan;
  for (int i = 0; i < kDeskCount; ++i) plan[i] = {i, i, true, "Ученик"};
  for (auto _ : state) {
    ini::IniDocument doc = ini::IniDocument::Load(path);
    classroom::WritePlan(plan, doc);
    doc.Save(path);
  }
  std::filesystem::remove_all(std::filesystem::path(path).parent_path());
}
BENCHMARK(BM_SaveIntoHostileAtLimit)->Unit(benchmark::kMillisecond)->Iterations(2);

// A 64 GB sparse file: refused from its size, nothing read or reserved.
void BM_RefuseHugeSparse(benchmark::State& state) {
  const std::string path = WriteTemp("");
  std::filesystem::resize_file(path, 64ull << 30);
  for (auto _ : state) {
    const classroom::LoadedClassroom loaded = classroom::LoadClassroomFile(path);
    if (loaded.result.status != ini::LoadStatus::TooLarge) state.SkipWithError("not refused");
    benchmark::DoNotOptimize(loaded);
  }
  std::filesystem::remove_all(std::filesystem::path(path).parent_path());
}
BENCHMARK(BM_RefuseHugeSparse)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
