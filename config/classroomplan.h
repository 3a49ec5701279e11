// The classroom plan of a .cld file (per desk: position, visibility, student
// name) and the desk rules shared by the loader and the standard classroom.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "config/classroomdescription.h"
#include "config/inifile.h"

namespace classroom {

inline constexpr char kCoordinateLeft[] = "CoordinateLeft";
inline constexpr char kCoordinateTop[] = "CoordinateTop";
inline constexpr char kVisible[] = "Visible";
inline constexpr char kStudentName[] = "StudentName";
inline constexpr char kDefaultStudentName[] = "***";
inline constexpr char kDefaultPairLinkCode[] = "oo";

// Desk labels show at most this many characters.
inline constexpr size_t kMaxLabelCharacters = 15;

// One desk as a classroom file records it. The defaults are what a missing
// section gives: hidden at (0, 0), named "***".
struct DeskPlan {
  int left = 0;
  int top = 0;
  bool visible = false;
  std::string studentName = kDefaultStudentName;  // UTF-8

  bool operator==(const DeskPlan& other) const {
    return left == other.left && top == other.top && visible == other.visible &&
           studentName == other.studentName;
  }
  bool operator!=(const DeskPlan& other) const { return !(*this == other); }
};

// Desks by index: desks[0] is desk 1, section "Desk1".
using ClassroomPlan = std::array<DeskPlan, kDeskCount>;

// Section of desk n (1..16) in a classroom file: "Desk" followed by n.
std::string DeskSection(int deskNumber);

// Every key missing from the document takes its default; a non-integer
// position reads as 0 and any non-zero Visible shows the desk.
ClassroomPlan ReadPlan(const ini::IniDocument& document);

// The 64 writes, Desk1..Desk16, each CoordinateLeft, CoordinateTop, Visible
// (1 or 0), StudentName. Other sections and keys of the document stay.
void WritePlan(const ClassroomPlan& plan, ini::IniDocument& document);

// The first 15 characters (not bytes) of a UTF-8 label; the whole text when shorter.
std::string CutLabel(std::string_view utf8Label);

// The label of desk n from the settings' [NumDesk], cut; default the number.
std::string ReadDeskLabel(const ini::IniDocument& settings, int deskNumber);

// The link code of pair k (1..8) from the settings' [Desk2DeskCommIF], default "oo".
std::string ReadPairLinkCode(const ini::IniDocument& settings, int pairNumber);

// Top-left corner of desk n (1..16) in the standard classroom: four rows of
// four, rows 106 apart from 18, columns at 10, 180, 375, 545.
struct Position {
  int left;
  int top;
  bool operator==(const Position& other) const {
    return left == other.left && top == other.top;
  }
};
Position StandardLayout(int deskNumber);

// "Ученик 1" .. "Ученик 16" (UTF-8).
std::string StandardStudentName(int deskNumber);

// A classroom file path is kept only in vormik.ini, whose text is
// Windows-1251 and whose values are read back at most 2047 characters long.
// A path that would not read back unchanged would silently name another file,
// so it is refused with UnstorablePathMessage instead of being stored.
bool StorableInSettings(std::string_view utf8Path);
inline constexpr char kUnstorablePathCaption[] = "Vormik";
std::string UnstorablePathMessage(std::string_view utf8Path);

}  // namespace classroom
