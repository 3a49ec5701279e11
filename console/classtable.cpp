// The class list's table: text rows, header words and the names' column.
#include "console/classtable.h"

#include <algorithm>

#include "config/utf8.h"
#include "console/csvfield.h"

namespace console {

namespace {

// Lower case for the Russian and Latin letters a header has.
std::u32string Folded(std::string_view text) {
  std::u32string out;
  for (size_t i = 0; i < text.size();) {
    char32_t cp;
    size_t length;
    if (!utf8::Decode(text, i, cp, length)) cp = U'?';
    i += length;
    if (cp >= U'А' && cp <= U'Я') cp += 0x20;
    if (cp == U'Ё') cp = U'е';
    if (cp == U'ё') cp = U'е';
    if (cp >= U'A' && cp <= U'Z') cp += 0x20;
    out += cp;
  }
  return out;
}

bool IsLetter(char32_t cp) {
  return (cp >= U'a' && cp <= U'z') || (cp >= U'A' && cp <= U'Z') ||
         (cp >= 0x0400 && cp <= 0x04FF);
}

bool IsDigit(char32_t cp) { return cp >= U'0' && cp <= U'9'; }

// The words of a folded cell: letters, digits, '№' and '/' kept together.
std::vector<std::u32string> Words(const std::u32string& folded) {
  std::vector<std::u32string> words;
  std::u32string word;
  for (char32_t cp : folded) {
    if (IsLetter(cp) || IsDigit(cp) || cp == U'№' || cp == U'/') {
      word += cp;
    } else if (!word.empty()) {
      words.push_back(word);
      word.clear();
    }
  }
  if (!word.empty()) words.push_back(word);
  return words;
}

bool StartsWith(const std::u32string& word, std::u32string_view stem) {
  return word.size() >= stem.size() && word.compare(0, stem.size(), stem) == 0;
}

// What a header cell says of its column.
enum class Heading { None, Other, FullName, Surname, FirstName };

Heading HeadingOf(std::string_view cell) {
  std::vector<std::u32string> words = Words(Folded(cell));
  // "Ф.И.О." folds to three one-letter words.
  if (words.size() >= 3 && words[0] == U"ф" && words[1] == U"и" && words[2] == U"о")
    return Heading::FullName;
  bool surname = false, name = false, other = false, full = false;
  for (const std::u32string& w : words) {
    if (w == U"фио" || StartsWith(w, U"ученик") || StartsWith(w, U"учениц") ||
        StartsWith(w, U"учащ") || StartsWith(w, U"обучающ") || StartsWith(w, U"студент"))
      full = true;
    else if (StartsWith(w, U"фамили"))
      surname = true;
    else if (w == U"имя")
      name = true;
    else if (w == U"отчество" || w == U"№" || StartsWith(w, U"№") || w == U"п/п" || w == U"n" ||
             w == U"номер" || w == U"дата" || w == U"рождения" || w == U"класс" || w == U"пол" ||
             w == U"телефон" || w == U"адрес" || w == U"примечание")
      other = true;
  }
  if (full || (surname && name)) return Heading::FullName;
  if (surname) return Heading::Surname;
  if (name) return Heading::FirstName;
  return other ? Heading::Other : Heading::None;
}

// A number or a date: digits and the marks between them, no letter.
bool LooksNumeric(std::string_view cell) {
  bool digit = false;
  for (char32_t cp : Folded(cell)) {
    if (IsLetter(cp)) return false;
    digit = digit || IsDigit(cp);
  }
  return digit;
}

// Letters and no digits: "Иванова Анна", not "5А" or "12.03.2012".
bool LooksLikeName(std::string_view cell) {
  int letters = 0;
  for (char32_t cp : Folded(cell)) {
    if (IsDigit(cp)) return false;
    if (IsLetter(cp)) ++letters;
  }
  return letters >= 2;
}

std::string CellOf(const std::vector<std::string>& row, int column) {
  return column >= 0 && static_cast<size_t>(column) < row.size() ? row[column] : std::string();
}

char Separator(std::string_view text) {
  bool quoted = false;
  for (char c : text) {
    if (c == '"') quoted = !quoted;
    if (c == ';' && !quoted) return ';';
  }
  return ',';
}

std::string ColumnName(const ClassTable& table, int column, bool header) {
  std::string text = "столбец " + std::to_string(column + 1);
  const std::string title = header && !table.rows.empty() ? CellOf(table.rows[0], column) : "";
  if (!title.empty()) text += " «" + title + "»";
  return text;
}

}  // namespace

std::string CellText(std::string_view text) {
  // Leading spaces and control characters go before the cut.
  size_t start = 0;
  while (start < text.size() && static_cast<unsigned char>(text[start]) <= 0x20) ++start;
  std::string out;
  for (size_t i = start; i < text.size() && out.size() < kMaxCellBytes;) {
    char32_t cp;
    size_t length;
    if (!utf8::Decode(text, i, cp, length)) {
      i += length;
      continue;
    }
    if (out.size() + length > kMaxCellBytes) break;
    if (cp == '\t' || cp == '\r' || cp == '\n') {
      out += ' ';
    } else if (cp < 0x20 || cp == 0x7F) {
      // Other control characters are no part of a name.
    } else {
      out.append(text.substr(i, length));
    }
    i += length;
  }
  const size_t first = out.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return out.substr(first, out.find_last_not_of(' ') - first + 1);
}

void ClassTable::AddRow(std::vector<std::string> cells, size_t repeat) {
  if (cells.size() > kMaxTableColumns) cells.resize(kMaxTableColumns);
  bool empty = true;
  for (std::string& cell : cells) {
    cell = CellText(cell);
    empty = empty && cell.empty();
  }
  if (empty || repeat == 0) return;
  while (!cells.empty() && cells.back().empty()) cells.pop_back();
  totalRows += repeat;
  for (size_t i = 0; i < repeat && rows.size() < kMaxTableRows; ++i) rows.push_back(cells);
}

size_t ClassTable::Columns() const {
  size_t columns = 0;
  for (const auto& row : rows) columns = std::max(columns, row.size());
  return columns;
}

ClassTable ParseTextTable(std::string_view text) {
  const char separator = Separator(text);
  ClassTable table;
  table.rows.reserve(kMaxTableRows);
  std::vector<std::string> cells;
  std::string field;
  bool quoted = false;
  const auto endField = [&] {
    if (cells.size() < kMaxTableColumns) cells.push_back(FromCsvField(CellText(field)));
    field.clear();
  };
  const auto endLine = [&] {
    endField();
    table.AddRow(std::move(cells));
    cells.clear();
  };
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        field += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else if (field.size() < 2 * kMaxCellBytes) {
        field += c;
      }
      continue;
    }
    if (c == '"') {
      quoted = true;
    } else if (c == '\r' || c == '\n') {
      endLine();
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else if (c == separator) {
      endField();
    } else if (field.empty() && (c == ' ' || c == '\t')) {
      // Blanks before a cell's text are trimmed anyway: never let them fill it.
    } else if (field.size() < 2 * kMaxCellBytes) {
      field += c;
    }
  }
  endLine();
  return table;
}

bool IsHeaderRow(const std::vector<std::string>& row) {
  bool heading = false;
  for (const std::string& cell : row) {
    if (LooksNumeric(cell)) return false;
    heading = heading || HeadingOf(cell) != Heading::None;
  }
  return heading;
}

int WordiestColumn(const ClassTable& table, bool header) {
  int best = 0;
  size_t bestCount = 0;
  for (size_t c = 0; c < table.Columns(); ++c) {
    size_t count = 0;
    for (size_t r = header ? 1 : 0; r < table.rows.size(); ++r) {
      if (LooksLikeName(CellOf(table.rows[r], static_cast<int>(c)))) ++count;
    }
    if (count > bestCount) {
      best = static_cast<int>(c);
      bestCount = count;
    }
  }
  return best;
}

TableChoice GuessChoice(const ClassTable& table) {
  TableChoice choice;
  choice.header = !table.rows.empty() && IsHeaderRow(table.rows[0]);
  if (choice.header) {
    const std::vector<std::string>& head = table.rows[0];
    int full = -1, surname = -1, name = -1;
    for (size_t c = 0; c < head.size(); ++c) {
      const Heading h = HeadingOf(head[c]);
      const int column = static_cast<int>(c);
      if (h == Heading::FullName && full < 0) full = column;
      if (h == Heading::Surname && surname < 0) surname = column;
      if (h == Heading::FirstName && name < 0) name = column;
    }
    if (full >= 0) {
      choice.column = full;
      return choice;
    }
    if (surname >= 0) {
      choice.column = surname;
      choice.secondColumn = name;
      return choice;
    }
  }
  choice.column = WordiestColumn(table, choice.header);
  return choice;
}

std::vector<TakenName> TakeNames(const ClassTable& table, const TableChoice& choice) {
  std::vector<TakenName> names;
  for (size_t r = choice.header ? 1 : 0; r < table.rows.size() && names.size() < kDeskCount; ++r) {
    std::string name = CellOf(table.rows[r], choice.column);
    const std::string second = CellOf(table.rows[r], choice.secondColumn);
    if (!second.empty()) name = name.empty() ? second : name + " " + second;
    if (!name.empty()) names.push_back({r, name});
  }
  return names;
}

size_t RowsLeftOut(const ClassTable& table, const TableChoice& choice) {
  const std::vector<TakenName> names = TakeNames(table, choice);
  // Only a full set of desks leaves rows out.
  if (names.size() < kDeskCount) return 0;
  const size_t header = choice.header ? 1 : 0;
  const size_t used = names.empty() ? header : names.back().row + 1;
  return table.totalRows > used ? table.totalRows - used : 0;
}

std::vector<ColumnOption> ColumnOptions(const ClassTable& table, bool header) {
  std::vector<ColumnOption> options;
  const TableChoice guess = GuessChoice(table);
  if (header && guess.header && guess.secondColumn >= 0) {
    options.push_back({{true, guess.column, guess.secondColumn},
                       ColumnName(table, guess.column, true) + " и " +
                           ColumnName(table, guess.secondColumn, true)});
  }
  for (size_t c = 0; c < std::max<size_t>(table.Columns(), 1); ++c) {
    const int column = static_cast<int>(c);
    const std::string name = ColumnName(table, column, header);
    options.push_back({{header, column, -1}, "С" + name.substr(std::string("с").size())});
  }
  return options;
}

std::string ChoiceSummary(const ClassTable& table, const TableChoice& choice) {
  const std::vector<TakenName> names = TakeNames(table, choice);
  std::string text;
  if (names.empty()) {
    text = "В выбранном столбце нет ни одного имени";
  } else {
    // Row numbers as the file shows them, counting its non-empty rows.
    text = "Взяты строки " + std::to_string(names.front().row + 1) + "–" +
           std::to_string(names.back().row + 1) + ", " + ColumnName(table, choice.column, choice.header);
    if (choice.secondColumn >= 0)
      text += " и " + ColumnName(table, choice.secondColumn, choice.header);
  }
  text += choice.header ? "; первая строка — заголовок, пропущена" : "; заголовка нет";
  const size_t left = RowsLeftOut(table, choice);
  if (left > 0) text += "; ещё строк не взято: " + std::to_string(left) + " (столов не хватит)";
  return text + ".";
}

}  // namespace console
