// The first table of an .ods file's content.xml. Repeated rows and cells are
// counted, never laid out: a row "repeated" a million times costs nothing.
#include <cstdlib>

#include "sheets/spreadsheet.h"
#include "sheets/xmlreader.h"

namespace sheets {

namespace {

constexpr size_t kMaxRepeat = 1u << 20;

size_t Repeat(std::string_view value) {
  if (value.empty()) return 1;
  const unsigned long long n = std::strtoull(std::string(value).c_str(), nullptr, 10);
  return n == 0 ? 1 : static_cast<size_t>(std::min<unsigned long long>(n, kMaxRepeat));
}

struct FirstTable : XmlHandler {
  console::ClassTable table;
  int tables = 0;  // depth of table elements
  bool finished = false;
  std::vector<std::string> cells;
  size_t rowRepeat = 1, cellRepeat = 1, column = 0;
  bool inCell = false;
  int paragraphs = 0;
  int annotation = 0;  // a comment's text is no part of the cell
  std::string text;

  void Start(std::string_view name,
             const std::function<std::string_view(std::string_view)>& attribute) override {
    if (name == "table") {
      ++tables;
    } else if (tables != 1) {
      return;
    } else if (name == "table-row") {
      rowRepeat = Repeat(attribute("number-rows-repeated"));
      cells.clear();
      column = 0;
    } else if (name == "table-cell" || name == "covered-table-cell") {
      inCell = true;
      cellRepeat = Repeat(attribute("number-columns-repeated"));
      paragraphs = 0;
      text.clear();
    } else if (name == "annotation") {
      ++annotation;
    } else if (inCell && annotation == 0) {
      if (name == "p" && paragraphs++ > 0) Add(" ");
      if (name == "s" || name == "tab" || name == "line-break") Add(" ");
    }
  }
  void End(std::string_view name) override {
    if (name == "table") {
      if (--tables == 0) finished = true;
    } else if (tables != 1) {
      return;
    } else if (name == "annotation") {
      --annotation;
    } else if (name == "table-cell" || name == "covered-table-cell") {
      inCell = false;
      for (size_t i = 0; i < cellRepeat && column < console::kMaxTableColumns; ++i, ++column) {
        cells.push_back(text);
      }
    } else if (name == "table-row") {
      table.AddRow(cells, rowRepeat);
    }
  }
  void Text(std::string_view piece) override {
    if (inCell && annotation == 0) Add(piece);
  }
  void Add(std::string_view piece) {
    if (text.size() < 2 * console::kMaxCellBytes) text.append(piece);
  }
  bool Done() const override { return finished; }
};

}  // namespace

SheetRead ReadOds(const ZipArchive& zip) {
  SheetRead read;
  FirstTable first;
  read.problem = ParsePart(zip, "content.xml", first);
  read.table = std::move(first.table);
  return read;
}

}  // namespace sheets
