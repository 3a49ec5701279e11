// Writing and reading back the fields of the console's CSV files.
#include "console/csvfield.h"

namespace console {

bool StartsLikeFormula(const std::string& text) {
  return !text.empty() && std::string("=+-@").find(text.front()) != std::string::npos;
}

std::string CsvField(const std::string& text) {
  const std::string shown = StartsLikeFormula(text) ? "'" + text : text;
  const bool edgeSpace = !shown.empty() && (shown.front() == ' ' || shown.back() == ' ');
  if (shown.find_first_of(";\"\r\n") == std::string::npos && !edgeSpace) return shown;
  std::string quoted = "\"";
  for (char c : shown) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

std::string FromCsvField(const std::string& field) {
  if (field.size() > 1 && field.front() == '\'' && StartsLikeFormula(field.substr(1)))
    return field.substr(1);
  return field;
}

}  // namespace console
