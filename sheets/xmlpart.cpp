// One XML part of a zip streamed through a handler.
#include "sheets/spreadsheet.h"
#include "sheets/xmlreader.h"

namespace sheets {

// Streams one part of the zip through a handler; "" or the Russian reason.
std::string ParsePart(const ZipArchive& zip, const std::string& part, XmlHandler& handler) {
  XmlReader reader(handler);
  const ZipStatus status = zip.Read(part, kMaxSheetXmlBytes, [&](std::string_view piece) {
    return reader.Feed(piece);
  });
  if (!reader.problem().empty()) return reader.problem() + " в " + part;
  switch (status) {
    case ZipStatus::Ok:
      return reader.Finish() ? std::string() : reader.problem() + " в " + part;
    case ZipStatus::Stopped:
      return {};
    case ZipStatus::Missing:
      return "нет части " + part;
    case ZipStatus::TooLarge:
      return "лист слишком большой для списка класса";
    case ZipStatus::Broken:
      return "архив испорчен";
  }
  return {};
}

}  // namespace sheets
