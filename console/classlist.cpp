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

std::vector<ImportRow> PlanTableImport(const ClassTable& table, const TableChoice& choice,
                                       const DeskPlan& plan) {
  std::vector<std::string> names;
  for (const TakenName& taken : TakeNames(table, choice)) names.push_back(taken.name);
  return PlanNameImport(names, plan);
}

std::string ClassNameOf(const std::string& classroomFilePath) {
  const size_t slash = classroomFilePath.find_last_of("/\\");
  std::string name =
      slash == std::string::npos ? classroomFilePath : classroomFilePath.substr(slash + 1);
  const size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.resize(dot);
  return name.empty() ? "класс" : name;
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
