// A zip written by the tests with zlib, the library the reader inflates
// with: the spreadsheets they read, and hostile archives made on purpose.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace testzip {

inline void Put16(std::string& out, uint32_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>((v >> 8) & 0xFF);
}
inline void Put32(std::string& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

inline std::string Deflated(const std::string& data) {
  z_stream s{};
  deflateInit2(&s, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 9, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&s, data.size()), '\0');
  s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  s.avail_in = static_cast<uInt>(data.size());
  s.next_out = reinterpret_cast<Bytef*>(out.data());
  s.avail_out = static_cast<uInt>(out.size());
  deflate(&s, Z_FINISH);
  out.resize(s.total_out);
  deflateEnd(&s);
  return out;
}

struct Entry {
  std::string name, data;
  bool deflate = true;
  uint16_t flags = 0;
};

inline std::string Zip(const std::vector<Entry>& entries) {
  std::string out, directory;
  for (const Entry& e : entries) {
    const std::string packed = e.deflate ? Deflated(e.data) : e.data;
    const uint32_t crc = static_cast<uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(e.data.data()), static_cast<uInt>(e.data.size())));
    const uint32_t offset = static_cast<uint32_t>(out.size());
    const uint16_t method = e.deflate ? 8 : 0;
    Put32(out, 0x04034b50);
    Put16(out, 20);
    Put16(out, e.flags);
    Put16(out, method);
    Put32(out, 0);
    Put32(out, crc);
    Put32(out, static_cast<uint32_t>(packed.size()));
    Put32(out, static_cast<uint32_t>(e.data.size()));
    Put16(out, static_cast<uint32_t>(e.name.size()));
    Put16(out, 0);
    out += e.name + packed;
    Put32(directory, 0x02014b50);
    Put16(directory, 20);
    Put16(directory, 20);
    Put16(directory, e.flags);
    Put16(directory, method);
    Put32(directory, 0);
    Put32(directory, crc);
    Put32(directory, static_cast<uint32_t>(packed.size()));
    Put32(directory, static_cast<uint32_t>(e.data.size()));
    Put16(directory, static_cast<uint32_t>(e.name.size()));
    Put16(directory, 0);
    Put16(directory, 0);
    Put16(directory, 0);
    Put16(directory, 0);
    Put32(directory, 0);
    Put32(directory, offset);
    directory += e.name;
  }
  const uint32_t directoryAt = static_cast<uint32_t>(out.size());
  out += directory;
  Put32(out, 0x06054b50);
  Put16(out, 0);
  Put16(out, 0);
  Put16(out, static_cast<uint32_t>(entries.size()));
  Put16(out, static_cast<uint32_t>(entries.size()));
  Put32(out, static_cast<uint32_t>(directory.size()));
  Put32(out, directoryAt);
  Put16(out, 0);
  return out;
}

// An .xlsx of one sheet: the rows' cells as given, text cells through the
// shared strings when `shared`, else inline; cells that are all digits as numbers.
inline std::string Xlsx(const std::vector<std::vector<std::string>>& rows, bool shared = true) {
  std::string sheet =
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
      "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>";
  std::string strings;
  int count = 0;
  for (size_t r = 0; r < rows.size(); ++r) {
    sheet += "<row r=\"" + std::to_string(r + 1) + "\">";
    for (size_t c = 0; c < rows[r].size(); ++c) {
      const std::string& v = rows[r][c];
      if (v.empty()) continue;
      const std::string ref = std::string(1, static_cast<char>('A' + c)) + std::to_string(r + 1);
      if (v.find_first_not_of("0123456789") == std::string::npos) {
        sheet += "<c r=\"" + ref + "\"><v>" + v + "</v></c>";
      } else if (shared) {
        sheet += "<c r=\"" + ref + "\" t=\"s\"><v>" + std::to_string(count++) + "</v></c>";
        strings += "<si><t>" + v + "</t></si>";
      } else {
        sheet += "<c r=\"" + ref + "\" t=\"inlineStr\"><is><t>" + v + "</t></is></c>";
      }
    }
    sheet += "</row>";
  }
  sheet += "</sheetData></worksheet>";
  return Zip({
      {"[Content_Types].xml", "<Types/>"},
      {"xl/workbook.xml",
       "<workbook xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
       "<sheets><sheet name=\"5А\" sheetId=\"1\" r:id=\"rId7\"/></sheets></workbook>"},
      {"xl/_rels/workbook.xml.rels",
       "<Relationships><Relationship Id=\"rId7\" Target=\"worksheets/list.xml\"/></Relationships>"},
      {"xl/worksheets/list.xml", sheet},
      {"xl/sharedStrings.xml", "<sst>" + strings + "</sst>"},
  });
}

// An .ods whose content.xml body (inside office:spreadsheet) is given.
inline std::string Ods(const std::string& tables) {
  return Zip({
      {"mimetype", "application/vnd.oasis.opendocument.spreadsheet", false},
      {"content.xml",
       "<?xml version=\"1.0\" encoding=\"UTF-8\"?><office:document-content "
       "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
       "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
       "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\"><office:body>"
       "<office:spreadsheet>" +
           tables + "</office:spreadsheet></office:body></office:document-content>"},
  });
}

}  // namespace testzip
