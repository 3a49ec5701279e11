// The classroom plan of a .cld file (per desk: position, visibility, student
// name) and the desk rules shared by the loader and the standard classroom.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "config/desks.h"
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

// ------------------------------------------------------------ classroom files

// A classroom file as loaded: its document (kept for a save; it knows the
// file's encoding), the plan it gives, and how the load went. A file read
// whole but holding no [DeskN] section (a text of another program, random
// bytes) is no classroom file. When !ok() the caller keeps the plan it had
// and shows LoadFailureMessage. A file above ini::kMaxFileBytes is refused
// before it is read.
struct LoadedClassroom {
  ini::IniDocument document;
  ClassroomPlan plan;
  ini::LoadResult result;
  bool hasDeskSection = false;
  bool ok() const { return result.ok() && hasDeskSection; }
};
LoadedClassroom LoadClassroomFile(const std::string& path);

inline constexpr char kFileMessageCaption[] = "Vormik";
// Why a classroom file could not be loaded, in Russian; "" for Ok.
std::string LoadFailureMessage(const ini::LoadResult& result, std::string_view utf8Path);
// The same for a whole load, a file that is no classroom file included.
std::string LoadFailureMessage(const LoadedClassroom& loaded, std::string_view utf8Path);

// A student name holds at most this many characters: what a classroom file
// gives back (ini::kMaxValueLength, in Windows-1251 one byte each).
inline constexpr size_t kMaxStudentNameCharacters = ini::kMaxValueLength;
// A typed or pasted name as the file can keep it: NUL characters dropped (the
// file would end the name there), cut after kMaxStudentNameCharacters.
std::string FitStudentName(std::string_view utf8Name);

// A desk whose student name the file cannot hold exactly: it would be saved
// with '?' in place of the character.
struct UnstorableName {
  int deskNumber;         // 1..16
  std::string name;       // the whole name, UTF-8
  std::string character;  // the first character that cannot be stored
};
// The first such desk for a save into `target` (Windows-1251 holds fewer
// characters than a UTF-8 or UTF-16 file).
std::optional<UnstorableName> FindUnstorableName(const ClassroomPlan& plan,
                                                 const ini::IniDocument& target);
std::string UnstorableNameMessage(const UnstorableName& name);
// For the name box: why a typed or pasted character is refused.
std::string RefusedNameCharacterMessage(std::string_view character);

enum class SaveStatus {
  Ok,
  UnstorableName,      // nothing written: see `name`
  ExistingUnreadable,  // the file is there but could not be read: never replaced
  WriteFailed,         // the replace or the flush failed; the old file stands
  Refused,             // the entry is not to be trusted: see `refusal`; nothing written
};
struct SaveResult {
  SaveStatus status = SaveStatus::Ok;
  platform::ReplaceStatus refusal = platform::ReplaceStatus::Ok;  // for Refused
  ini::LoadResult existing;            // how the file on disk was read
  std::optional<UnstorableName> name;  // for UnstorableName
  ini::Encoding encoding = ini::Encoding::Windows1251;  // the file's encoding
  bool ok() const { return status == SaveStatus::Ok; }
};
// Writes the plan into the file at `path`: other sections and keys stay, the
// encoding and byte order mark stay (a new file is Windows-1251), the file is
// replaced in one step and flushed to disk. Checks every name first, so a
// name is never silently damaged. A file replaced since this process loaded
// or saved it, and a link or file another user planted, are Refused.
SaveResult SaveClassroomFile(const std::string& path, const ClassroomPlan& plan);
// Writes back a document read from the classroom file at `path` (the
// arrangements): the same checks as a plan's save, and the new file is then
// the one known as loaded, so the next save of the plan is not refused.
// Throws ini::WriteRefused or ini::WriteError.
void WriteClassroomDocument(const std::string& path, const ini::IniDocument& document);
// Russian for a refused save; a failed write keeps the described
// "Unable to write to <file>" (ini::WriteError). "" for Ok.
std::string SaveFailureMessage(const SaveResult& result, std::string_view utf8Path);

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

// Where a desk panel of `panel` size stored at `stored` is shown on a plan of
// `area` size: a panel more than half outside the plan (across or down)
// could not be reached, so it is brought wholly inside; one that only
// overhangs an edge stays where it was put. An empty area keeps every place.
struct Size {
  int width;
  int height;
};
Position ReachablePosition(Position stored, Size panel, Size area);

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
