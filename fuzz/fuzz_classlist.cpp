// Fuzz target: a class list file from anywhere (a stick, a colleague's mail).
// The bytes go in as they are, or wrapped in a well-formed .xlsx or .ods
// container so that the XML readers behind the zip see them. Whatever comes
// in, the reader says why it refused in Russian, or gives a table within its
// bounds of valid UTF-8, and the preview's choices stay inside that table.
#include <string>
#include <vector>

#include "config/utf8.h"
#include "console/classtable.h"
#include "fuzz/fuzzinput.h"
#include "sheets/classlistfile.h"
#include "tests/sheets/zipwriter.h"

namespace {

// Two parts cut from the input at a point it chooses.
std::vector<std::string> Parts(fuzz::Input& input) {
  const size_t first = input.Word();
  std::string rest = input.Rest();
  const size_t cut = first < rest.size() ? first : rest.size();
  return {rest.substr(0, cut), rest.substr(cut)};
}

std::string FileBytes(fuzz::Input& input) {
  const int kind = input.Below(3);
  const bool deflate = input.Bool();
  if (kind == 1) {
    const std::vector<std::string> part = Parts(input);
    return testzip::Zip({{"xl/workbook.xml", "<workbook/>", deflate},
                         {"xl/sharedStrings.xml", part[0], deflate},
                         {"xl/worksheets/sheet1.xml", part[1], deflate}});
  }
  if (kind == 2) {
    return testzip::Zip({{"mimetype", "application/vnd.oasis.opendocument.spreadsheet", false},
                         {"content.xml", input.Rest(), deflate}});
  }
  return input.Rest();
}

void CheckTable(const console::ClassTable& table) {
  FUZZ_CHECK(table.rows.size() <= console::kMaxTableRows);
  FUZZ_CHECK(table.rows.size() <= table.totalRows);
  for (const auto& row : table.rows) {
    FUZZ_CHECK(!row.empty() && row.size() <= console::kMaxTableColumns);
    for (const std::string& cell : row) {
      FUZZ_CHECK(cell.size() <= console::kMaxCellBytes);
      FUZZ_CHECK(utf8::FirstInvalid(cell) == std::string::npos);
    }
  }
  const int columns = static_cast<int>(table.Columns());
  const console::TableChoice guess = console::GuessChoice(table);
  FUZZ_CHECK(table.rows.empty() || (guess.column >= 0 && guess.column < columns));
  FUZZ_CHECK(guess.secondColumn < columns);
  for (const bool header : {false, true}) {
    for (const console::ColumnOption& option : console::ColumnOptions(table, header)) {
      const std::vector<console::TakenName> names = console::TakeNames(table, option.choice);
      FUZZ_CHECK(names.size() <= static_cast<size_t>(kDeskCount));
      for (const console::TakenName& name : names) FUZZ_CHECK(name.row < table.rows.size());
      FUZZ_CHECK(!console::ChoiceSummary(table, option.choice).empty());
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input input(data, size);
  const std::string bytes = FileBytes(input);
  const sheets::ClassListFile file = sheets::ReadClassListBytes("список.xlsx", bytes);
  if (!file.problem.empty()) {
    FUZZ_CHECK(file.problem.rfind("Список класса из файла «список.xlsx» не прочитан: ", 0) == 0);
    FUZZ_CHECK(file.table.rows.empty());
    return 0;
  }
  CheckTable(file.table);
  return 0;
}
