// Reading a class list file: its kind from its bytes, then its reader.
#include "sheets/classlistfile.h"

#include "console/classlist.h"
#include "platform/system.h"
#include "sheets/spreadsheet.h"

namespace sheets {

namespace {

constexpr std::string_view kZipMagic("PK\x03\x04", 4);
constexpr std::string_view kOleMagic("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
constexpr std::string_view kOdsMime = "application/vnd.oasis.opendocument.spreadsheet";

ClassListFile Refused(const std::string& path, const std::string& why) {
  ClassListFile file;
  file.problem = "Список класса из файла «" + path + "» не прочитан: " + why + ".";
  return file;
}

[[maybe_unused]] ClassListFile FromSheet(const std::string& path, SheetRead read) {
  if (!read.problem.empty()) return Refused(path, read.problem);
  ClassListFile file;
  file.table = std::move(read.table);
  return file;
}

}  // namespace

ListFormat FormatOf(std::string_view bytes) {
  if (bytes.substr(0, kOleMagic.size()) == kOleMagic) return ListFormat::Xls;
  if (bytes.substr(0, kZipMagic.size()) != kZipMagic) return ListFormat::Text;
  // An .ods starts with its stored "mimetype" entry; an .xlsx has xl/ parts.
  if (bytes.find(kOdsMime) != std::string_view::npos && bytes.find("content.xml") != std::string_view::npos)
    return ListFormat::Ods;
  if (bytes.find("xl/") != std::string_view::npos) return ListFormat::Xlsx;
  return ListFormat::OtherZip;
}

ClassListFile ReadClassListBytes(const std::string& path, std::string_view bytes) {
  switch (FormatOf(bytes)) {
    case ListFormat::Text: {
      ClassListFile file;
      file.table = console::ParseTextTable(console::DecodeListBytes(bytes));
      return file;
    }
    case ListFormat::OtherZip:
      return Refused(path, "это архив, но не таблица .xlsx или .ods");
#if VORMIK_SHEETS_ZIP
    case ListFormat::Xlsx:
    case ListFormat::Ods: {
      ZipArchive zip;
      if (!zip.Open(bytes)) return Refused(path, "архив таблицы испорчен");
      return FromSheet(path, FormatOf(bytes) == ListFormat::Ods ? ReadOds(zip) : ReadXlsx(zip));
    }
#else
    case ListFormat::Xlsx:
    case ListFormat::Ods:
      return Refused(path, "эта сборка не читает таблицы .xlsx и .ods; сохраните список "
                           "в CSV (разделитель «;») и загрузите его");
#endif
#if VORMIK_SHEETS_XLS
    case ListFormat::Xls:
      return FromSheet(path, ReadXls(path, bytes));
#else
    case ListFormat::Xls:
      return Refused(path, "эта сборка не читает таблицы .xls; сохраните список в CSV "
                           "(разделитель «;») или .xlsx и загрузите его");
#endif
  }
  return Refused(path, "неизвестный вид файла");
}

ClassListFile ReadClassListFile(const std::string& path) {
  std::string bytes;
  switch (platform::ReadFileLimited(path, bytes, kMaxListFileBytes)) {
    case platform::ReadStatus::Ok:
      return ReadClassListBytes(path, bytes);
    case platform::ReadStatus::Missing:
    case platform::ReadStatus::NotAFile:
      return Refused(path, "файл не найден или это не файл");
    case platform::ReadStatus::TooLarge:
      return Refused(path, "файл больше 4 МБ, это не список класса");
    case platform::ReadStatus::Unreadable:
      return Refused(path, "файл не удалось прочитать");
  }
  return Refused(path, "файл не удалось прочитать");
}

}  // namespace sheets
