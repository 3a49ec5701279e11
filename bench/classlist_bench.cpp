// Reading hostile class lists: a zip bomb, a sheet just under the XML limit,
// an .ods of a million repeated rows, nesting past the depth limit and a
// 4 MB text list, each with the time it takes and the peak memory it adds.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <fstream>
#include <string>

#include "sheets/classlistfile.h"
#include "sheets/spreadsheet.h"
#include "tests/sheets/zipwriter.h"

namespace {

long StatusKb(const std::string& field) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind(field, 0) == 0) return std::stol(line.substr(field.size()));
  return -1;
}

long ResetPeakRssKb() {
  std::ofstream("/proc/self/clear_refs") << "5";
  return StatusKb("VmRSS:");
}

// `size` spaces inside a sheet, deflated piece by piece: the bomb never
// stands whole in memory, here or in the reader.
std::string BombSheet(size_t size) {
  z_stream s{};
  deflateInit2(&s, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 9, Z_DEFAULT_STRATEGY);
  std::string out;
  const std::string head = "<worksheet><sheetData>";
  std::string piece(1 << 16, ' ');
  char buffer[1 << 16];
  for (size_t fed = 0; fed <= size;) {
    const std::string& in = fed == 0 ? head : piece;
    fed += fed == 0 ? 1 : in.size();
    s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
    s.avail_in = static_cast<uInt>(in.size());
    const int flush = fed > size ? Z_FINISH : Z_NO_FLUSH;
    do {
      s.next_out = reinterpret_cast<Bytef*>(buffer);
      s.avail_out = sizeof buffer;
      deflate(&s, flush);
      out.append(buffer, sizeof buffer - s.avail_out);
    } while (s.avail_out == 0);
  }
  deflateEnd(&s);
  return out;
}

std::string BombXlsx() {
  // The packed sheet goes in as stored bytes of a deflated entry: Zip() would
  // deflate it again, so the entry is built with the packed data by hand.
  const std::string packed = BombSheet(size_t{1} << 30);  // 1 GB of spaces
  std::string zip = testzip::Zip({{"xl/workbook.xml", "<workbook/>"},
                                  {"xl/worksheets/sheet1.xml", packed, false}});
  // Method 0 -> 8 in both headers: the stored bytes are read as deflate.
  for (size_t at = 0; (at = zip.find("xl/worksheets/sheet1.xml", at)) != std::string::npos; ++at) {
    const bool local = zip.compare(at - 30, 4, "PK\x03\x04") == 0;
    const size_t method = local ? at - 30 + 8 : at - 46 + 10;
    zip[method] = 8;
  }
  return zip;
}

std::string LargeSheetXlsx() {
  std::vector<std::vector<std::string>> rows = {{"ФИО"}};
  // About 7.3 MB of sheet XML, under the 8 MB limit: read to its end.
  for (int i = 0; i < 90000; ++i) rows.push_back({"Ученик Номер"});
  return testzip::Xlsx(rows, false);
}

std::string RepeatedOds() {
  return testzip::Ods(
      "<table:table><table:table-row><table:table-cell><text:p>ФИО</text:p></table:table-cell></table:table-row>"
      "<table:table-row table:number-rows-repeated=\"1000000\"><table:table-cell "
      "table:number-columns-repeated=\"16384\"><text:p>Орлова Анна</text:p></table:table-cell>"
      "</table:table-row></table:table>");
}

std::string DeepXlsx() {
  std::string deep = "<worksheet>";
  for (int i = 0; i < 100000; ++i) deep += "<a>";
  return testzip::Zip({{"xl/workbook.xml", "<workbook/>"}, {"xl/worksheets/sheet1.xml", deep}});
}

std::string BigText() {
  std::string text = "№ п/п;ФИО;Дата рождения\r\n";
  while (text.size() < sheets::kMaxListFileBytes - 64) text += "1;Орлова Анна Петровна;12.03.2014\r\n";
  return text;
}

void Read(benchmark::State& state, const std::string& bytes) {
  double peakGrowthMb = 0;
  for (auto _ : state) {
    state.PauseTiming();
    const long before = ResetPeakRssKb();
    state.ResumeTiming();
    const sheets::ClassListFile file = sheets::ReadClassListBytes("list", bytes);
    benchmark::DoNotOptimize(file);
    state.PauseTiming();
    peakGrowthMb = std::max(peakGrowthMb, (StatusKb("VmHWM:") - before) / 1024.0);
    state.counters["refused"] = file.problem.empty() ? 0 : 1;
    state.counters["rows_counted"] = static_cast<double>(file.table.totalRows);
    state.ResumeTiming();
  }
  state.counters["peak_rss_growth_MB"] = peakGrowthMb;
  state.counters["file_MB"] = static_cast<double>(bytes.size()) / (1 << 20);
}

void BM_ZipBomb(benchmark::State& state) { Read(state, BombXlsx()); }
void BM_SheetUnderTheLimit(benchmark::State& state) { Read(state, LargeSheetXlsx()); }
void BM_MillionRepeatedOdsRows(benchmark::State& state) { Read(state, RepeatedOds()); }
void BM_DeepNesting(benchmark::State& state) { Read(state, DeepXlsx()); }
void BM_TextAtTheLimit(benchmark::State& state) { Read(state, BigText()); }

BENCHMARK(BM_ZipBomb)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_SheetUnderTheLimit)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_MillionRepeatedOdsRows)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_DeepNesting)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_TextAtTheLimit)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
