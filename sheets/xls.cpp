// The first sheet of an older .xls file through freexl, after a look at the
// sizes the file declares: freexl reserves room for every declared cell.
#include <freexl.h>

#include <cstdio>

#include "sheets/spreadsheet.h"

namespace sheets {

namespace {

constexpr uint32_t kMaxBiffColumns = 256;

uint32_t Le(std::string_view b, size_t at, int bytes) {
  uint32_t value = 0;
  for (int i = bytes - 1; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(b[at + i]);
  return value;
}

std::string CellString(const FreeXL_CellValue& value) {
  char number[64];
  switch (value.type) {
    case FREEXL_CELL_INT:
      std::snprintf(number, sizeof number, "%d", value.value.int_value);
      return number;
    case FREEXL_CELL_DOUBLE:
      std::snprintf(number, sizeof number, "%.15g", value.value.double_value);
      return number;
    case FREEXL_CELL_TEXT:
    case FREEXL_CELL_SST_TEXT:
    case FREEXL_CELL_DATE:
    case FREEXL_CELL_DATETIME:
    case FREEXL_CELL_TIME:
      return value.value.text_value != nullptr ? value.value.text_value : "";
    default:
      return {};
  }
}

}  // namespace

uint64_t DeclaredXlsCells(std::string_view bytes) {
  // The DIMENSIONS record: type 0x0200, 14 bytes in BIFF8 (32-bit rows),
  // 10 bytes in the older BIFF (16-bit rows); the last row and column + 1.
  // Every place of the bytes is looked at, as the record may lie anywhere in
  // the container's sectors; one split across two sectors that are not
  // neighbours escapes this, and freexl's own 256 MB ceiling holds then.
  uint64_t most = 0;
  for (size_t at = 0; at + 4 <= bytes.size(); ++at) {
    if (Le(bytes, at, 2) != 0x0200) continue;
    const uint32_t length = Le(bytes, at + 2, 2);
    uint64_t rows = 0, columns = 0;
    if (length == 14 && at + 18 <= bytes.size()) {
      rows = Le(bytes, at + 8, 4);
      columns = Le(bytes, at + 14, 2);
    } else if (length == 10 && at + 14 <= bytes.size() && Le(bytes, at + 12, 2) == 0 &&
               Le(bytes, at + 10, 2) <= kMaxBiffColumns) {
      // The older form is short enough to turn up inside other records: only
      // one whose reserved word is zero and whose columns fit a sheet counts.
      rows = Le(bytes, at + 6, 2);
      columns = Le(bytes, at + 10, 2);
    }
    most = std::max(most, rows * columns);
  }
  return most;
}

SheetRead ReadXls(const std::string& path, std::string_view bytes) {
  SheetRead read;
  if (DeclaredXlsCells(bytes) > kMaxXlsCells) {
    read.problem = "лист слишком большой для списка класса";
    return read;
  }
  const void* handle = nullptr;
  if (freexl_open(path.c_str(), &handle) != FREEXL_OK) {
    if (handle != nullptr) freexl_close(handle);
    read.problem = "файл Excel испорчен или защищён паролем";
    return read;
  }
  unsigned int rows = 0;
  unsigned short columns = 0;
  if (freexl_select_active_worksheet(handle, 0) != FREEXL_OK ||
      freexl_worksheet_dimensions(handle, &rows, &columns) != FREEXL_OK) {
    freexl_close(handle);
    read.problem = "в файле Excel нет листа";
    return read;
  }
  const unsigned short kept =
      static_cast<unsigned short>(std::min<size_t>(columns, console::kMaxTableColumns));
  for (unsigned int r = 0; r < rows; ++r) {
    std::vector<std::string> cells;
    for (unsigned short c = 0; c < kept; ++c) {
      FreeXL_CellValue value;
      cells.push_back(freexl_get_cell_value(handle, r, c, &value) == FREEXL_OK ? CellString(value)
                                                                              : std::string());
    }
    read.table.AddRow(std::move(cells));
  }
  freexl_close(handle);
  return read;
}

}  // namespace sheets
