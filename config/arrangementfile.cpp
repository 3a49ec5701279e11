// Reading and writing the arrangement sections of a classroom file.
#include "config/arrangementfile.h"

#include <cstdio>

#include "config/classroomplan.h"
#include "platform/system.h"

namespace classroom {

namespace {

// A value no written name can have (names never hold control characters).
constexpr char kAbsent[] = "\x01";

std::string Hex(unsigned value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%0*X", digits, value);
  return text;
}

size_t CharacterCount(std::string_view utf8Text) {
  size_t count = 0;
  for (char c : utf8Text) {
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++count;
  }
  return count;
}

}  // namespace

std::string ArrangementSection(int number) { return "Arrangement" + std::to_string(number); }

std::vector<Arrangement> ReadArrangements(const ini::IniDocument& document) {
  std::vector<Arrangement> arrangements;
  for (int n = 1; n <= kMaxArrangements; ++n) {
    const std::string section = ArrangementSection(n);
    Arrangement a;
    a.name = document.ReadString(section, kArrangementName, kAbsent);
    if (a.name == kAbsent) break;
    a.pairs = static_cast<uint8_t>(document.ReadInteger(section, kArrangementPairs, 0) & 0xFF);
    a.line = static_cast<uint16_t>(document.ReadInteger(section, kArrangementLine, 0) & 0xFFFF);
    arrangements.push_back(a);
  }
  return arrangements;
}

bool WriteArrangement(const Arrangement& arrangement, ini::IniDocument& document) {
  const std::vector<Arrangement> present = ReadArrangements(document);
  int number = static_cast<int>(present.size()) + 1;
  for (size_t i = 0; i < present.size(); ++i) {
    if (present[i].name == arrangement.name) number = static_cast<int>(i) + 1;
  }
  if (number > kMaxArrangements) return false;
  const std::string section = ArrangementSection(number);
  document.WriteString(section, kArrangementName, arrangement.name);
  document.WriteString(section, kArrangementPairs, Hex(arrangement.pairs, 2));
  document.WriteString(section, kArrangementLine, Hex(arrangement.line, 4));
  return true;
}

std::string ArrangementNameProblem(std::string_view utf8Name, const ini::IniDocument& target) {
  if (utf8Name.find_first_not_of(" \t") == std::string_view::npos) {
    return "Введите название расстановки.";
  }
  if (CharacterCount(utf8Name) > kMaxArrangementNameCharacters) {
    return "Название расстановки длиннее " + std::to_string(kMaxArrangementNameCharacters) +
           " символов.";
  }
  for (char c : utf8Name) {
    if (static_cast<unsigned char>(c) < 0x20) {
      return "Название расстановки не может содержать перевод строки или управляющие символы.";
    }
  }
  if (const auto bad = target.FirstUnholdable(utf8Name)) {
    return "Символ «" + bad->character +
           "» в названии расстановки нельзя сохранить в файле кабинета.";
  }
  return {};
}

namespace {

// A full disk or a file that takes no writing: the old file stands as it was.
std::string NotWrittenText(const std::string& path) {
  return "Расстановка не сохранена: файл кабинета «" + path +
         "» не удалось записать (диск заполнен или нет доступа).";
}

}  // namespace

std::string SaveArrangementToFile(const std::string& path, const Arrangement& arrangement) {
  ini::IniDocument document;
  const ini::LoadResult loaded = ini::IniDocument::TryLoad(path, document);
  if (loaded.status == ini::LoadStatus::Missing) {
    return "Файл кабинета «" + path +
           "» ещё не сохранён. Сохраните кабинет, затем сохраните расстановку.";
  }
  if (!loaded.ok()) return "Файл кабинета «" + path + "» не удалось прочитать.";
  const std::string problem = ArrangementNameProblem(arrangement.name, document);
  if (!problem.empty()) return problem;
  if (!WriteArrangement(arrangement, document)) {
    return "В файле кабинета уже " + std::to_string(kMaxArrangements) +
           " расстановок; новую сохранить некуда.";
  }
  try {
    WriteClassroomDocument(path, document);
  } catch (const ini::WriteRefused& refused) {
    return refused.what();
  } catch (const ini::WriteError&) {
    return NotWrittenText(path);
  }
  if (!platform::FlushFileToDisk(path)) return NotWrittenText(path);
  return {};
}

std::string CarryArrangements(const std::string& from, const std::string& to) {
  ini::IniDocument source;
  if (!ini::IniDocument::TryLoad(from, source).ok()) return {};
  const std::vector<Arrangement> carried = ReadArrangements(source);
  if (carried.empty()) return {};
  ini::IniDocument target;
  if (!ini::IniDocument::TryLoad(to, target).ok()) return ini::WriteError(to).what();
  for (const Arrangement& arrangement : carried) {
    if (!WriteArrangement(arrangement, target)) break;
  }
  try {
    WriteClassroomDocument(to, target);
  } catch (const ini::WriteError& error) {
    return error.what();
  }
  if (!platform::FlushFileToDisk(to)) return ini::WriteError(to).what();
  return {};
}

}  // namespace classroom
