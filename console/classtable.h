// A class list as a small table: the first rows of a sheet or a CSV file,
// which of its columns holds the names and whether its first row is a
// header. Bounded: only what the desks can use is kept, the rest is counted.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "config/desks.h"

namespace console {

// A header and a name for every desk; the rows after these are only counted.
inline constexpr size_t kMaxTableRows = kDeskCount + 1;
inline constexpr size_t kMaxTableColumns = 16;
// A cell longer than this is cut (a name box takes far less).
inline constexpr size_t kMaxCellBytes = 256;

struct ClassTable {
  std::vector<std::vector<std::string>> rows;  // cells trimmed; no empty row
  size_t totalRows = 0;                        // every non-empty row, kept or not

  // Trims and bounds the cells; an empty row is dropped. `repeat` copies of
  // it count (a spreadsheet stores equal rows once).
  void AddRow(std::vector<std::string> cells, size_t repeat = 1);
  size_t Columns() const;
};

// `text` cut to at most kMaxCellBytes on a character boundary, tabs and line
// breaks as spaces, other control characters dropped, spaces around it too.
std::string CellText(std::string_view text);

// The rows of a text list: one name a line, or CSV (";" when the text has one
// outside quotes, else ","), quoted fields with "" for a quote.
ClassTable ParseTextTable(std::string_view utf8Text);

struct TableChoice {
  bool header = false;    // the first row is a header, not a student
  int column = 0;         // the names' column
  int secondColumn = -1;  // "Имя" beside "Фамилия": added after a space
  bool operator==(const TableChoice& o) const {
    return header == o.header && column == o.column && secondColumn == o.secondColumn;
  }
};

// A row of header words ("ФИО", "Фамилия", "№", "п/п", …) and no numbers.
bool IsHeaderRow(const std::vector<std::string>& row);
// The header when the first row is one; the column headed as the names'
// ("ФИО", "Ученик", "Фамилия" with "Имя" beside it), else the one holding
// most words that are not numbers or dates.
TableChoice GuessChoice(const ClassTable& table);
// The column of most name-like cells below the header (leftmost on a tie).
int WordiestColumn(const ClassTable& table, bool header);

struct TakenName {
  size_t row = 0;  // in table.rows
  std::string name;
};
// The names the choice takes, in order, at most kDeskCount.
std::vector<TakenName> TakeNames(const ClassTable& table, const TableChoice& choice);
// Rows of the file the choice leaves out beyond the kept ones and the names taken.
size_t RowsLeftOut(const ClassTable& table, const TableChoice& choice);

// What the preview offers for the names: each column, and a surname and name
// pair when the header has one.
struct ColumnOption {
  TableChoice choice;  // header as given
  std::string text;    // "Столбец 2 «ФИО»"
};
std::vector<ColumnOption> ColumnOptions(const ClassTable& table, bool header);
// "Взяты строки 2–17 столбца 2 «ФИО»; первая строка — заголовок; ещё 5 строк не поместились."
std::string ChoiceSummary(const ClassTable& table, const TableChoice& choice);

}  // namespace console
