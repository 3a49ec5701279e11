// Reading, placing and writing class lists.
#include "console/classlist.h"

#include "config/cp1251.h"
#include "config/utf8.h"
#include "console/csvfield.h"

namespace console {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

bool ValidUtf8(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    char32_t cp;
    size_t length;
    if (!utf8::Decode(text, i, cp, length)) return false;
    i += length;
  }
  return true;
}

std::string Trimmed(std::string_view text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const size_t last = text.find_last_not_of(" \t");
  return std::string(text.substr(first, last - first + 1));
}

// ';' when the text has one outside quotes: a spreadsheet in a Russian locale
// writes it; otherwise ','.
char Separator(std::string_view text) {
  bool quoted = false;
  for (char c : text) {
    if (c == '"') quoted = !quoted;
    if (c == ';' && !quoted) return ';';
  }
  return ',';
}

bool StartsCharacter(char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }

// A name being read: its characters up to kMaxListedNameCharacters; blanks
// before the first are never stored (they would be trimmed anyway).
struct NameField {
  std::string text;
  size_t characters = 0;
  void Append(char c) {
    if (text.empty() && (c == ' ' || c == '\t')) return;
    if (StartsCharacter(c) && characters++ >= kMaxListedNameCharacters) return;
    if (characters > kMaxListedNameCharacters) return;  // the rest of a dropped character
    text += c;
  }
  void Clear() {
    text.clear();
    characters = 0;
  }
};

// Control characters are no part of a name: a tab or a line break inside
// quotes is a space, the others are dropped.
void AppendToName(NameField& name, char c) {
  if (c == '\t' || c == '\r' || c == '\n') {
    name.Append(' ');
  } else if (static_cast<unsigned char>(c) >= 0x20) {
    name.Append(c);
  }
}

// Russian plural of "имя" after a count.
const char* NamesWord(size_t count) {
  const size_t lastTwo = count % 100;
  const size_t last = count % 10;
  if (lastTwo >= 11 && lastTwo <= 14) return "имён";
  if (last == 1) return "имя";
  if (last >= 2 && last <= 4) return "имени";
  return "имён";
}

std::string FirstCharacters(std::string_view utf8Text, size_t count, bool& cut) {
  size_t characters = 0;
  for (size_t i = 0; i < utf8Text.size(); ++i) {
    if ((static_cast<unsigned char>(utf8Text[i]) & 0xC0) == 0x80) continue;
    if (characters == count) {
      cut = true;
      return std::string(utf8Text.substr(0, i));
    }
    ++characters;
  }
  cut = false;
  return std::string(utf8Text);
}

}  // namespace

std::string DecodeListBytes(std::string_view bytes) {
  if (bytes.substr(0, kUtf8Bom.size()) == kUtf8Bom) {
    return std::string(bytes.substr(kUtf8Bom.size()));
  }
  if (ValidUtf8(bytes)) return std::string(bytes);
  return cp1251::ToUtf8(bytes);
}

NameList ParseNameList(std::string_view text) {
  const char separator = Separator(text);
  NameList list;
  list.names.reserve(kMaxListedNames);
  NameField field;
  bool quoted = false;
  bool firstColumn = true;
  const auto endLine = [&] {
    std::string name = FromCsvField(Trimmed(field.text));
    if (!name.empty()) {
      if (list.names.size() < kMaxListedNames) {
        list.names.push_back(std::move(name));
      } else {
        ++list.leftOut;
      }
    }
    field.Clear();
    firstColumn = true;
  };
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        if (firstColumn) field.Append('"');
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else if (firstColumn) {
        AppendToName(field, c);
      }
      continue;
    }
    if (c == '"') {
      quoted = true;
    } else if (c == '\r' || c == '\n') {
      endLine();
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else if (c == separator) {
      firstColumn = false;
    } else if (firstColumn) {
      AppendToName(field, c);
    }
  }
  endLine();
  return list;
}

std::string LeftOutText(size_t leftOut) {
  return "…и ещё " + std::to_string(leftOut) + " " + NamesWord(leftOut) + ": столов для них нет";
}

std::vector<ImportRow> PlanNameImport(const std::vector<std::string>& names, const DeskPlan& plan) {
  const std::vector<int> order = PlanOrder(plan);
  std::vector<ImportRow> rows;
  for (size_t i = 0; i < names.size(); ++i) {
    ImportRow row;
    row.name = names[i];
    if (i >= order.size()) {
      row.fate = NameFate::NoDesk;
      rows.push_back(row);
      continue;
    }
    row.desk = order[i];
    if (const auto bad = cp1251::FirstUnrepresentable(row.name)) {
      row.fate = NameFate::Refused;
      row.character = bad->character;
      rows.push_back(row);
      continue;
    }
    bool cut = false;
    row.stored = FirstCharacters(row.name, kMaxImportedNameCharacters, cut);
    row.fate = cut ? NameFate::Cut : NameFate::Kept;
    rows.push_back(row);
  }
  return rows;
}

int ImportNames(ConsoleModel& model, const std::vector<ImportRow>& rows) {
  int imported = 0;
  for (const ImportRow& row : rows) {
    if (row.fate != NameFate::Kept && row.fate != NameFate::Cut) continue;
    model.BeginNameEditing(row.desk);
    model.TypeName(row.desk, row.stored);
    model.PressEnterInName(row.desk);
    ++imported;
  }
  return imported;
}

std::string ExportNamesCsv(const DeskPlan& plan) {
  std::string csv(kUtf8Bom);
  for (int desk : PlanOrder(plan)) {
    csv += CsvField(plan[desk].studentName) + ";" + CsvField(plan[desk].label) + "\r\n";
  }
  return csv;
}

std::string FateText(const ImportRow& row) {
  switch (row.fate) {
    case NameFate::Kept:
      return "будет вписано";
    case NameFate::Cut:
      return "будет обрезано до " + std::to_string(kMaxImportedNameCharacters) + " символов";
    case NameFate::Refused:
      return "не будет вписано: символ «" + row.character + "» нельзя сохранить в файле кабинета";
    case NameFate::NoDesk:
      return "не хватает столов";
  }
  return {};
}

}  // namespace console
