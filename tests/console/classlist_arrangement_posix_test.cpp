// Class lists and arrangements through real files: the list decoded the same
// from every encoding, its preview and import; an arrangement saved into the
// classroom file, read back and applied, and the file without arrangements
// left byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "config/arrangementfile.h"
#include "config/classroomplan.h"
#include "config/cp1251.h"
#include "config/inifile.h"
#include "config/settings.h"
#include "config/utf8.h"
#include "console/arrangements.h"
#include "console/classlist.h"
#include "console/classtable.h"
#include "console/consolemodel.h"
#include "link/frame.h"
#include "platform/system.h"
#include "scriptedcontroller.h"
#include "tests/support/tempdir.h"

using namespace console;

namespace {

constexpr uint8_t kRoute = frame::kRoutePairs;
constexpr uint8_t kLine = frame::kLine;

std::vector<std::string> TwentyNames() {
  std::vector<std::string> names;
  const char* first[] = {"Анна", "Борис", "Вера", "Глеб", "Дарья"};
  const char* last[] = {"Иванова", "Петров", "Сидорова", "Ёлкин"};
  for (int i = 0; i < 20; ++i) {
    names.push_back(std::string(last[i % 4]) + " " + first[i % 5] + " " + std::to_string(i + 1));
  }
  return names;
}

// The first column's names of a text list, as a plain list reads.
std::vector<std::string> FirstColumn(std::string_view text) {
  std::vector<std::string> names;
  for (const auto& row : ParseTextTable(text).rows) {
    if (!row.empty() && !row[0].empty()) names.push_back(row[0]);
  }
  return names;
}

std::string Joined(const std::vector<std::string>& lines, const std::string& end) {
  std::string text;
  for (const std::string& line : lines) text += line + end;
  return text;
}

TEST(ClassList, TwentyNamesReadTheSameFromEveryEncoding) {
  const std::vector<std::string> names = TwentyNames();
  // The desks can take 16; a header could stand first: 17 rows are kept, all counted.
  const std::vector<std::string> kept(names.begin(), names.begin() + kMaxTableRows);
  const std::string utf8 = Joined(names, "\n");
  const std::string cases[] = {
      utf8,
      "\xEF\xBB\xBF" + utf8,
      Joined(names, "\r\n"),
      cp1251::FromUtf8(Joined(names, "\r\n")),
      cp1251::FromUtf8(utf8),
  };
  for (const std::string& bytes : cases) {
    EXPECT_EQ(FirstColumn(DecodeListBytes(bytes)), kept);
    EXPECT_EQ(ParseTextTable(DecodeListBytes(bytes)).totalRows, names.size());
  }
}

// Whatever the file holds, the list keeps what sixteen desks can take: half a
// million names are counted, not stored, and a name as long as the file is
// kept only to a length the preview can show.
TEST(ClassList, AHugeListCostsNoMoreThanAFullClass) {
  struct Row {
    const char* what;
    std::string text;
    size_t rows;
    size_t totalRows;
    size_t longestCell;  // bytes
  };
  std::string manyNames;
  for (int i = 0; i < 500000; ++i) manyNames += "A\n";
  const std::string oneLongName = std::string(100000, ' ') + std::string(1000000, 'x');
  std::string longCyrillic;
  for (int i = 0; i < 300; ++i) longCyrillic += "Ж";
  const Row rows[] = {
      {"500,000 one-letter names", manyNames, kMaxTableRows, 500000, 1},
      {"one name of a million letters after spaces", oneLongName, 1, 1, kMaxCellBytes},
      // 128 two-byte letters: cut between whole letters.
      {"a long Cyrillic name", longCyrillic + ";5\n", 1, 1, kMaxCellBytes},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const ClassTable table = ParseTextTable(row.text);
    EXPECT_EQ(table.rows.size(), row.rows);
    EXPECT_LE(table.rows.capacity(), kMaxTableRows);
    EXPECT_EQ(table.totalRows, row.totalRows);
    size_t longest = 0;
    for (const auto& cells : table.rows) {
      for (const std::string& cell : cells) {
        EXPECT_EQ(utf8::FirstInvalid(cell), std::string_view::npos) << "a letter was cut in half";
        longest = std::max(longest, cell.size());
      }
    }
    EXPECT_EQ(longest, row.longestCell);
  }
}

TEST(ClassList, FirstColumnOfCsv) {
  const std::pair<std::string, std::vector<std::string>> cases[] = {
      {"Иванов;5;А\r\nПетров;6\r\n", {"Иванов", "Петров"}},
      {"Иванов,5\nПетров,6\n", {"Иванов", "Петров"}},
      // With ';' in the file, a comma belongs to the name.
      {"Иванов, Пётр;5\n", {"Иванов, Пётр"}},
      {"\"Сидоров; Иван\",7\n\"О\"\"Нил\",8\n", {"Сидоров; Иван", "О\"Нил"}},
      {"  Анна  \n\n\r\n;пусто\nБорис", {"Анна", "Борис"}},
      {"\"Две\nстроки\";1\n", {"Две строки"}},
      {"", {}},
      // An unclosed quote runs to the end of the file; it does not lose the name.
      {"\"Анна;1\nБорис", {"Анна;1 Борис"}},
      // Control characters are no part of a name; a tab is a space.
      {std::string("Ан\0на\t\x01Ива;1\n", 20), {"Анна Ива"}},
      // The apostrophe the export puts before a formula-like name goes again.
      {"'=Анна;1\n'Борис\n", {"=Анна", "'Борис"}},
  };
  for (const auto& [text, names] : cases) EXPECT_EQ(FirstColumn(text), names) << text;
}

TEST(ClassList, PreviewCutsRefusesAndRunsOutOfDesks) {
  DeskPlan plan{};
  // Visible, in plan order: desks 2, 1, 4 (desk 3 hidden).
  plan[1] = {"2", "old", 10, 0, true};
  plan[0] = {"1", "old", 200, 0, true};
  plan[3] = {"4", "old", 10, 100, true};
  const std::string longName(45, 'x');
  const std::vector<ImportRow> rows = PlanNameImport({"Анна", longName, "Zoe 中", "Лишний"}, plan);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0].desk, 1);
  EXPECT_EQ(rows[0].fate, NameFate::Kept);
  EXPECT_EQ(rows[1].desk, 0);
  EXPECT_EQ(rows[1].fate, NameFate::Cut);
  EXPECT_EQ(rows[1].stored, std::string(kMaxImportedNameCharacters, 'x'));
  EXPECT_EQ(rows[2].desk, 3);
  EXPECT_EQ(rows[2].fate, NameFate::Refused);
  EXPECT_EQ(rows[2].character, "中");
  EXPECT_EQ(rows[3].fate, NameFate::NoDesk);
}

class Files : public ::testing::Test {
 protected:
  Files()
      : model(room, controller, [] { return true; }, user,
              {dir.File("vormik.ini"), dir.File("vormik")}) {
    ini::IniDocument settingsDocument = ini::IniDocument::Parse(settings::DefaultSettingsText());
    settingsDocument.WriteString(settings::kInterface, settings::kClassRoomConfigurationFile,
                                 "room.cld");
    settingsDocument.Save(dir.File("vormik.ini"));
    // Only a classroom file becomes the current one: start from one on disk.
    classroom::ClassroomPlan plan;
    for (int d = 0; d < kDeskCount; ++d) {
      plan[d].left = 150 * (d % 4);
      plan[d].top = 100 * (d / 4);
      plan[d].visible = true;
    }
    if (!classroom::SaveClassroomFile(dir.File("room.cld"), plan).ok()) throw std::runtime_error("room.cld");
    model.LoadClassroom();
    model.SaveClassroom();
  }
  std::string Bytes(const std::string& path) const {
    std::string bytes;
    platform::ReadWholeFile(path, bytes);
    return bytes;
  }
  std::vector<SentWrite> SentSince(size_t mark) const {
    return {controller.sent.begin() + static_cast<long>(mark), controller.sent.end()};
  }

  testsupport::TempDir dir;
  ClassroomState room;
  ScriptedController controller;
  ScriptedUser user;
  ConsoleModel model;
};

TEST_F(Files, ImportedNamesGoIntoThePlanAndMarkItChanged) {
  ASSERT_FALSE(model.classroomChanged());
  const std::vector<ImportRow> rows = PlanNameImport(TwentyNames(), model.plan());
  EXPECT_EQ(ImportNames(model, rows), 16);
  EXPECT_TRUE(model.classroomChanged());
  EXPECT_EQ(model.plan()[0].studentName, TwentyNames()[0]);
  EXPECT_EQ(model.plan()[15].studentName, TwentyNames()[15]);
  // The export reads back as the same names, in the same order.
  const std::string csv = ExportNamesCsv(model.plan());
  EXPECT_EQ(csv.substr(0, 3), "\xEF\xBB\xBF");
  const std::vector<std::string> back = FirstColumn(DecodeListBytes(csv));
  const std::vector<std::string> all = TwentyNames();
  EXPECT_EQ(back, std::vector<std::string>(all.begin(), all.begin() + 16));
}

TEST_F(Files, ArrangementSavedReloadedAndAppliedSendsThePerDeskFrames) {
  const std::string path = model.ClassroomFilePath();
  const std::string withoutArrangements = Bytes(path);
  // Desks 3-4 joined, then the teacher's line and desks 6 and 9 on it.
  model.JoinPair(2);
  model.ToggleLine();
  model.PutOnLine(5);
  model.PutOnLine(8);
  const classroom::Arrangement taken = CaptureArrangement(model, "Пары и линия");
  EXPECT_EQ(taken.pairs, 0x02);
  EXPECT_EQ(taken.line, 0x0120);
  ASSERT_EQ(classroom::SaveArrangementToFile(path, taken), "");
  // Saving the plan afterwards keeps the arrangement; the desk lines are as before.
  const std::string withArrangement = Bytes(path);
  EXPECT_EQ(withArrangement.substr(0, withoutArrangements.size()), withoutArrangements);
  model.SaveClassroom();
  EXPECT_EQ(Bytes(path), withArrangement);

  const std::vector<classroom::Arrangement> read =
      classroom::ReadArrangements(ini::IniDocument::Load(path));
  ASSERT_EQ(read.size(), 1u);
  EXPECT_EQ(read[0], taken);

  model.ResetAll();
  model.ToggleLine();
  const size_t mark = controller.sent.size();
  const ArrangementOutcome outcome = ApplyArrangement(model, read[0]);
  EXPECT_TRUE(outcome.complete) << outcome.text;
  const std::vector<SentWrite> expected = {
      // join 3-4: both desks off the line, then the pair
      {kLine, 0x00, 0x00},
      {kLine, 0x00, 0x00},
      {kRoute, 0x02, 0x40},
      // desk 6 on the line (the teacher's line is on): break its pair, connect
      {kRoute, 0x02, 0x40},
      {kLine, 0x00, 0x20},
      // desk 9
      {kRoute, 0x02, 0x40},
      {kLine, 0x01, 0x20}};
  EXPECT_EQ(SentSince(mark), expected);
  EXPECT_EQ(CaptureArrangement(model, "Пары и линия"), taken);

  // Save as: the arrangement goes with the plan into the new file.
  user.saveName = dir.File("copy.cld");
  ASSERT_TRUE(model.SaveClassroomAs());
  EXPECT_EQ(classroom::ReadArrangements(ini::IniDocument::Load(dir.File("copy.cld"))), read);
}

TEST_F(Files, ApplyingTakesOffTheLineWhatTheArrangementDoesNotPutThere) {
  model.ToggleLine();
  model.PutOnLine(6);
  model.PutOnLine(9);
  const size_t mark = controller.sent.size();
  const ArrangementOutcome outcome = ApplyArrangement(model, {"Только 10", 0, 0x0200});
  EXPECT_TRUE(outcome.complete) << outcome.text;
  const std::vector<SentWrite> expected = {{kLine, 0x02, 0x00}};  // desk 7 leaves, 10 stays
  EXPECT_EQ(SentSince(mark), expected);
  EXPECT_EQ(CaptureArrangement(model, "x").line, 0x0200);
}

TEST_F(Files, ApplyingStopsAtTheFirstRefusal) {
  classroom::Arrangement a{"Две пары", 0x05, 0};
  const size_t mark = controller.sent.size();
  controller.failing.insert(mark + 3);  // the second join's pair write
  const ArrangementOutcome outcome = ApplyArrangement(model, a);
  EXPECT_FALSE(outcome.complete);
  EXPECT_NE(outcome.text.find("Стол 5"), std::string::npos);
  EXPECT_EQ(SentSince(mark).size(), 4u);  // nothing after the refusal
  EXPECT_EQ(model.Display().desks[0].line, LineCaption::Pair);
  EXPECT_EQ(model.Display().desks[4].line, LineCaption::Off);
}

TEST_F(Files, ArrangementNamesAndPlacesAreChecked) {
  const std::string path = model.ClassroomFilePath();
  const std::pair<std::string, bool> names[] = {
      {"Понедельник", true},  {"", false},
      {"  ", false},          {"中文", false},
      {"две\nстроки", false}, {std::string(41, 'a'), false}};
  for (const auto& [name, ok] : names) {
    EXPECT_EQ(classroom::SaveArrangementToFile(path, {name, 1, 0}).empty(), ok) << name;
  }
  // The same name replaces its arrangement; a missing file is refused.
  EXPECT_EQ(classroom::SaveArrangementToFile(path, {"Понедельник", 3, 7}), "");
  const auto read = classroom::ReadArrangements(ini::IniDocument::Load(path));
  ASSERT_EQ(read.size(), 1u);
  EXPECT_EQ(read[0].pairs, 3);
  EXPECT_EQ(read[0].line, 7);
  EXPECT_FALSE(classroom::SaveArrangementToFile(dir.File("none.cld"), {"x", 1, 0}).empty());
  EXPECT_FALSE(platform::FileExists(dir.File("none.cld")));
}

}  // namespace
