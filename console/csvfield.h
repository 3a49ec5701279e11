// Fields of the CSV files the console writes for a spreadsheet (the lesson's
// journal, the class list).
#pragma once

#include <string>

namespace console {

// A spreadsheet runs a cell that starts with one of "=+-@" as a formula; a
// student's name must never do so.
bool StartsLikeFormula(const std::string& text);

// One field: a text that starts like a formula gets a leading apostrophe
// (spreadsheets show the rest as text); quoted, with its quotes doubled, when
// it holds ';', '"', a line end, or a space at either edge.
std::string CsvField(const std::string& text);

// A field read back: the apostrophe CsvField put before a formula-like text
// is taken away again.
std::string FromCsvField(const std::string& field);

}  // namespace console
