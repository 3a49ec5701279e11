// Saved arrangements of a class (joined pairs, desks on the line) as a
// classroom file keeps them: sections "Arrangement1", "Arrangement2", ...
// beside the desk sections, which the plan reader never looks at.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "config/inifile.h"

namespace classroom {

inline constexpr char kArrangementName[] = "Name";
inline constexpr char kArrangementPairs[] = "Pairs";  // bit k: pair k+1 joined
inline constexpr char kArrangementLine[] = "Line";    // bit i: desk i+1 on the line
inline constexpr int kMaxArrangements = 50;
inline constexpr size_t kMaxArrangementNameCharacters = 40;

struct Arrangement {
  std::string name;  // UTF-8
  uint8_t pairs = 0;
  uint16_t line = 0;
  bool operator==(const Arrangement& o) const {
    return name == o.name && pairs == o.pairs && line == o.line;
  }
};

// "Arrangement" followed by n (1..).
std::string ArrangementSection(int number);

// Arrangement1, Arrangement2, ... up to the first section without a name.
std::vector<Arrangement> ReadArrangements(const ini::IniDocument& document);

// Replaces the arrangement of the same name, or adds it after the last one.
// False (nothing changed) when all places are taken.
bool WriteArrangement(const Arrangement& arrangement, ini::IniDocument& document);

// Why a name cannot be saved ("" when it can): empty, too long, a line break,
// or a character the file cannot hold.
std::string ArrangementNameProblem(std::string_view utf8Name, const ini::IniDocument& target);

// Writes the arrangement into the classroom file at `path`, leaving every
// other line as it is. "" when saved, else the Russian reason. The file must
// exist: an arrangement without its classroom's desks would be no plan.
std::string SaveArrangementToFile(const std::string& path, const Arrangement& arrangement);

// Save-as: the arrangements of the classroom file at `from` go with its plan
// into the file at `to` (one of the same name there is replaced). "" when
// done or when there was nothing to carry, else the Russian reason.
std::string CarryArrangements(const std::string& from, const std::string& to);

}  // namespace classroom
