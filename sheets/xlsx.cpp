// The first sheet of an .xlsx file: the workbook names it, its relations
// give its part; shared strings are looked up only for the rows kept.
#include <algorithm>
#include <cstdlib>
#include <map>

#include "sheets/spreadsheet.h"
#include "sheets/xmlreader.h"

namespace sheets {

namespace {


// The first <sheet>'s relation id in the workbook.
struct FirstSheet : XmlHandler {
  std::string id;
  void Start(std::string_view name,
             const std::function<std::string_view(std::string_view)>& attribute) override {
    if (name == "sheet" && id.empty()) id = attribute("id");
  }
  void End(std::string_view) override {}
  void Text(std::string_view) override {}
  bool Done() const override { return !id.empty(); }
};

struct Relations : XmlHandler {
  std::string wanted, target;
  void Start(std::string_view name,
             const std::function<std::string_view(std::string_view)>& attribute) override {
    if (name == "Relationship" && attribute("Id") == wanted) target = attribute("Target");
  }
  void End(std::string_view) override {}
  void Text(std::string_view) override {}
  bool Done() const override { return !target.empty(); }
};

struct RawCell {
  std::string text;
  long shared = -1;  // index into the shared strings, or -1
};
using RawRow = std::vector<RawCell>;

int ColumnOfReference(std::string_view reference) {
  int column = 0;
  size_t i = 0;
  for (; i < reference.size() && reference[i] >= 'A' && reference[i] <= 'Z' && column < 100000; ++i)
    column = column * 26 + (reference[i] - 'A' + 1);
  return i == 0 ? -1 : column - 1;
}

struct SheetRows : XmlHandler {
  std::vector<RawRow> rows;
  size_t totalRows = 0;
  RawRow row;
  bool inRow = false, inValue = false, inCell = false, rowHasText = false;
  int column = 0, nextColumn = 0;
  std::string type, text;

  void Start(std::string_view name,
             const std::function<std::string_view(std::string_view)>& attribute) override {
    if (name == "row") {
      inRow = true;
      row.clear();
      rowHasText = false;
      nextColumn = 0;
    } else if (name == "c" && inRow) {
      inCell = true;
      const int fromReference = ColumnOfReference(attribute("r"));
      column = fromReference >= 0 ? fromReference : nextColumn;
      nextColumn = column + 1;
      type = attribute("t");
      text.clear();
    } else if (inCell && (name == "v" || name == "t")) {
      inValue = true;
    }
  }
  void End(std::string_view name) override {
    if (name == "v" || name == "t") {
      inValue = false;
    } else if (name == "c" && inCell) {
      inCell = false;
      if (text.empty() || column < 0 || static_cast<size_t>(column) >= console::kMaxTableColumns)
        return;
      if (row.size() <= static_cast<size_t>(column)) row.resize(column + 1);
      RawCell& cell = row[column];
      if (type == "s") {
        cell.shared = std::strtol(text.c_str(), nullptr, 10);
      } else {
        cell.text = console::CellText(text);
      }
      rowHasText = rowHasText || cell.shared >= 0 || !cell.text.empty();
    } else if (name == "row" && inRow) {
      inRow = false;
      if (!rowHasText) return;
      ++totalRows;
      if (rows.size() < console::kMaxTableRows) rows.push_back(row);
    }
  }
  void Text(std::string_view piece) override {
    if (inValue && text.size() < 2 * console::kMaxCellBytes) text.append(piece);
  }
};

// The shared strings the kept rows need; the rest are read past.
struct SharedStrings : XmlHandler {
  std::map<long, std::string> wanted;
  long index = -1, last = -1;
  int phonetic = 0;  // inside <rPh>, a reading aid, not the text
  bool inText = false;
  std::string text;

  void Start(std::string_view name,
             const std::function<std::string_view(std::string_view)>&) override {
    if (name == "si") {
      ++index;
      text.clear();
    } else if (name == "rPh") {
      ++phonetic;
    } else if (name == "t" && phonetic == 0) {
      inText = true;
    }
  }
  void End(std::string_view name) override {
    if (name == "t") {
      inText = false;
    } else if (name == "rPh") {
      --phonetic;
    } else if (name == "si") {
      const auto it = wanted.find(index);
      if (it != wanted.end()) it->second = console::CellText(text);
    }
  }
  void Text(std::string_view piece) override {
    if (inText && text.size() < 2 * console::kMaxCellBytes && wanted.count(index) != 0)
      text.append(piece);
  }
  bool Done() const override { return index > last; }
};

std::string SheetPart(const ZipArchive& zip) {
  const std::string fallback = "xl/worksheets/sheet1.xml";
  FirstSheet first;
  if (!ParsePart(zip, "xl/workbook.xml", first).empty() || first.id.empty()) return fallback;
  Relations relations;
  relations.wanted = first.id;
  if (!ParsePart(zip, "xl/_rels/workbook.xml.rels", relations).empty() || relations.target.empty())
    return fallback;
  // Relative to xl/, or from the archive's root with a leading slash.
  if (relations.target[0] == '/') return relations.target.substr(1);
  return "xl/" + relations.target;
}

}  // namespace

SheetRead ReadXlsx(const ZipArchive& zip) {
  SheetRead read;
  SheetRows sheet;
  read.problem = ParsePart(zip, SheetPart(zip), sheet);
  if (!read.problem.empty()) return read;
  SharedStrings shared;
  for (const RawRow& row : sheet.rows) {
    for (const RawCell& cell : row) {
      if (cell.shared >= 0) {
        shared.wanted[cell.shared];
        shared.last = std::max(shared.last, cell.shared);
      }
    }
  }
  if (!shared.wanted.empty()) {
    read.problem = ParsePart(zip, "xl/sharedStrings.xml", shared);
    if (!read.problem.empty()) return read;
  }
  for (const RawRow& raw : sheet.rows) {
    std::vector<std::string> cells;
    for (const RawCell& cell : raw) cells.push_back(cell.shared >= 0 ? shared.wanted[cell.shared] : cell.text);
    read.table.AddRow(std::move(cells));
  }
  read.table.totalRows = std::max(read.table.totalRows, sheet.totalRows);
  return read;
}

}  // namespace sheets
