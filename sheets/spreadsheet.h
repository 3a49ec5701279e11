// Class lists from the office's spreadsheets: the first sheet of an .xlsx or
// .ods file (a zip of XML) and of an older .xls file (freexl), as a small
// class table. Only what the desks can use is kept; the rest is counted.
#pragma once

#include <string>
#include <string_view>

#include "console/classtable.h"
#include "sheets/ziparchive.h"

namespace sheets {

// The XML of a sheet may inflate to this much; a class list is far smaller,
// and a zip bomb stops here.
inline constexpr size_t kMaxSheetXmlBytes = 8 * 1024 * 1024;
// An .xls sheet whose declared size is more cells than this is refused
// before freexl would reserve room for them all.
inline constexpr uint64_t kMaxXlsCells = 64 * 1024;

struct SheetRead {
  console::ClassTable table;
  std::string problem;  // Russian; "" when read
};

SheetRead ReadXlsx(const ZipArchive& zip);
SheetRead ReadOds(const ZipArchive& zip);
// The .xls file at `path`, whose bytes are `bytes`.
SheetRead ReadXls(const std::string& path, std::string_view bytes);
// The largest sheet size in cells the .xls bytes declare (their DIMENSIONS records).
uint64_t DeclaredXlsCells(std::string_view bytes);

}  // namespace sheets

namespace sheets {
class XmlHandler;
// Streams the part of the zip through the handler, at most
// kMaxSheetXmlBytes; "" or the Russian reason it could not be read.
std::string ParsePart(const ZipArchive& zip, const std::string& part, XmlHandler& handler);
}  // namespace sheets
