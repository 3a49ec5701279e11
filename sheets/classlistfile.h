// A class list file of any kind the office gives: text or CSV (UTF-8 or
// Windows-1251), .xlsx, .ods or .xls, told apart by their first bytes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "console/classtable.h"

namespace sheets {

// A class list is a page or two of names; a spreadsheet with a logo stays
// far below this.
inline constexpr uint64_t kMaxListFileBytes = 4 * 1024 * 1024;

enum class ListFormat { Text, Xlsx, Ods, Xls, OtherZip };

ListFormat FormatOf(std::string_view bytes);

struct ClassListFile {
  console::ClassTable table;
  std::string problem;  // the whole Russian message; "" when read
};

ClassListFile ReadClassListFile(const std::string& path);
// The file's bytes already read (`path` names it in messages, and freexl
// reads an .xls from it).
ClassListFile ReadClassListBytes(const std::string& path, std::string_view bytes);

}  // namespace sheets
