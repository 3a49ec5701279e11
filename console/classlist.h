// Class lists: students' names read from a text or CSV file into the visible
// desks in plan order, and the plan's names written out as CSV.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "console/classtable.h"
#include "console/consolemodel.h"
#include "console/deskorder.h"

namespace console {

// The longest name a name box takes from a list; longer ones are cut.
inline constexpr size_t kMaxImportedNameCharacters = 40;

// A list file's bytes as UTF-8 text: UTF-8 with or without a byte order mark
// when the bytes are valid UTF-8, else Windows-1251 (a Cyrillic Windows-1251
// text is almost never valid UTF-8).
std::string DecodeListBytes(std::string_view bytes);

enum class NameFate {
  Kept,     // goes in as it is
  Cut,      // goes in cut to kMaxImportedNameCharacters
  Refused,  // a character a classroom file cannot hold: the desk keeps its name
  NoDesk,   // more names than visible desks
};

struct ImportRow {
  int desk = -1;       // desk index, -1 for NoDesk
  std::string name;    // as in the list
  std::string stored;  // what the desk gets (Kept, Cut)
  NameFate fate = NameFate::Kept;
  std::string character;  // Refused: the first character that cannot be held
};

// Which desk gets which name, in plan order.
std::vector<ImportRow> PlanNameImport(const std::vector<std::string>& names, const DeskPlan& plan);

// The names the choice takes from the table, placed as PlanNameImport does.
std::vector<ImportRow> PlanTableImport(const ClassTable& table, const TableChoice& choice,
                                       const DeskPlan& plan);

// The class's own name: the classroom file's name without its folder and
// extension ("5А" of ".../5А.cld"); "класс" while there is no file.
std::string ClassNameOf(const std::string& classroomFilePath);

// Puts the Kept and Cut names into their desks as a confirmed edit would;
// the plan is marked changed when any name went in. Returns how many did.
int ImportNames(ConsoleModel& model, const std::vector<ImportRow>& rows);

// The names of the visible desks in plan order as CSV: UTF-8 with a byte
// order mark, ";" between name and desk label, CR LF, quoted where needed.
std::string ExportNamesCsv(const DeskPlan& plan);

// "Сохранится как есть" and the like, for the preview's last column.
std::string FateText(const ImportRow& row);

}  // namespace console
