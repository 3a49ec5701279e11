// The classroom plan through INI text, desk labels, the standard classroom,
// link attachment points, and saves that survive being killed.
#include "config/classroomplan.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "config/cp1251.h"
#include "config/inifile.h"
#include "view/linkgeometry.h"

namespace {

using classroom::ClassroomPlan;
using classroom::DeskPlan;

// The document a classroom file with this UTF-8 text would give.
ini::IniDocument FromText(const std::string& utf8Text) {
  return ini::IniDocument::Parse(cp1251::FromUtf8(utf8Text));
}

std::vector<std::string> Lines(const std::string& cp1251Text) {
  std::vector<std::string> lines;
  std::string line;
  std::istringstream in(cp1251::ToUtf8(cp1251Text));
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

ClassroomPlan SamplePlan() {
  ClassroomPlan plan;
  for (int i = 0; i < kDeskCount; ++i) {
    plan[i].left = 10 * i - 30;  // negative positions are kept as they are
    plan[i].top = 1000 - 7 * i;
    plan[i].visible = i % 3 != 0;
    plan[i].studentName = "Иванов " + std::to_string(i + 1);
  }
  plan[4].studentName = "";
  plan[9].studentName = "Ёлкина Юлия-Щ";
  return plan;
}

class TempFolder {
 public:
  TempFolder() {
    char pattern[] = "/tmp/vormik-plan-XXXXXX";
    const char* made = mkdtemp(pattern);
    path_ = made != nullptr ? made : "";
  }
  ~TempFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  std::string File(const std::string& name) const { return path_ + "/" + name; }
  bool ok() const { return !path_.empty(); }

 private:
  std::string path_;
};

TEST(ClassroomPlan, RoundTripThroughFileText) {
  const ClassroomPlan written = SamplePlan();
  ini::IniDocument document;
  classroom::WritePlan(written, document);
  const ClassroomPlan read = classroom::ReadPlan(ini::IniDocument::Parse(document.Serialize()));
  for (int i = 0; i < kDeskCount; ++i) EXPECT_EQ(read[i], written[i]) << "desk " << i + 1;
}

TEST(ClassroomPlan, NewFileHoldsSixteenSectionsOfFourKeysInOrder) {
  const ClassroomPlan plan = SamplePlan();
  ini::IniDocument document;
  classroom::WritePlan(plan, document);
  const std::vector<std::string> lines = Lines(document.Serialize());
  ASSERT_EQ(lines.size(), 16u * 5u);
  for (int n = 1; n <= kDeskCount; ++n) {
    const DeskPlan& desk = plan[n - 1];
    const size_t at = (n - 1) * 5;
    EXPECT_EQ(lines[at], "[Desk" + std::to_string(n) + "]");
    EXPECT_EQ(lines[at + 1], "CoordinateLeft=" + std::to_string(desk.left));
    EXPECT_EQ(lines[at + 2], "CoordinateTop=" + std::to_string(desk.top));
    EXPECT_EQ(lines[at + 3], std::string("Visible=") + (desk.visible ? "1" : "0"));
    EXPECT_EQ(lines[at + 4], "StudentName=" + desk.studentName);
  }
}

TEST(ClassroomPlan, SavingKeepsOtherSectionsAndKeysAndAppendsMissingOnes) {
  ini::IniDocument document = FromText(
      "[Notes]\r\nRoom=214\r\n[Desk2]\r\nStudentName=Old\r\nColour=red\r\n[Desk1]\r\n"
      "Visible=0\r\n");
  classroom::WritePlan(SamplePlan(), document);
  const std::vector<std::string> lines = Lines(document.Serialize());
  EXPECT_EQ(document.ReadString("Notes", "Room", ""), "214");
  EXPECT_EQ(document.ReadString("Desk2", "Colour", ""), "red");
  EXPECT_EQ(document.ReadString("Desk2", "StudentName", ""), "Иванов 2");
  // The foreign section stays first; Desk2's existing key is replaced where it stands.
  ASSERT_GE(lines.size(), 5u);
  EXPECT_EQ(lines[0], "[Notes]");
  EXPECT_EQ(lines[2], "[Desk2]");
  EXPECT_EQ(lines[3], "StudentName=Иванов 2");
  EXPECT_EQ(lines[4], "Colour=red");
  EXPECT_EQ(classroom::ReadPlan(document)[1], SamplePlan()[1]);
  EXPECT_EQ(classroom::ReadPlan(document)[0], SamplePlan()[0]);
}

TEST(ClassroomPlan, MissingFileOrSectionGivesHiddenDeskAtOriginNamedStars) {
  const DeskPlan expected{0, 0, false, "***"};
  TempFolder folder;
  ASSERT_TRUE(folder.ok());
  const ClassroomPlan fromMissingFile =
      classroom::ReadPlan(ini::IniDocument::Load(folder.File("missing.cld")));
  const ClassroomPlan onlyDesk3 = classroom::ReadPlan(FromText(
      "[Desk3]\r\nCoordinateLeft=376\r\nCoordinateTop=-5\r\nVisible=1\r\nStudentName=Петров\r\n"));
  for (int i = 0; i < kDeskCount; ++i) {
    EXPECT_EQ(fromMissingFile[i], expected) << "desk " << i + 1;
    if (i != 2) {
      EXPECT_EQ(onlyDesk3[i], expected) << "desk " << i + 1;
    }
  }
  EXPECT_EQ(onlyDesk3[2], (DeskPlan{376, -5, true, "Петров"}));
}

TEST(ClassroomPlan, ValuesAreReadByTheIntegerRule) {
  struct Row {
    const char* value;
    int position;  // as CoordinateLeft and CoordinateTop
    bool visible;  // as Visible
  };
  const Row rows[] = {
      {"-1", -1, true}, {"0", 0, false},   {"", 0, false},     {"yes", 0, false},
      {"1", 1, true},   {"0x20", 32, true}, {"0X1f", 31, true}, {"12abc", 0, false},
      {"2000000", 2000000, true},
  };
  for (const Row& row : rows) {
    const std::string v = row.value;
    const DeskPlan desk = classroom::ReadPlan(FromText(
        "[Desk5]\r\nCoordinateLeft=" + v + "\r\nCoordinateTop=" + v + "\r\nVisible=" + v +
        "\r\nStudentName=\r\n"))[4];
    EXPECT_EQ(desk.left, row.position) << "value '" << v << "'";
    EXPECT_EQ(desk.top, row.position) << "value '" << v << "'";
    EXPECT_EQ(desk.visible, row.visible) << "value '" << v << "'";
    EXPECT_EQ(desk.studentName, "") << "a present empty name stays empty";
  }
}

TEST(DeskLabels, CutAtFifteenCharactersNotBytes) {
  struct Row {
    std::string value;
    std::string shown;
  };
  const Row rows[] = {
      {"12345678901234567890", "123456789012345"},
      {"Стол номер двадцать", "Стол номер двад"},  // 19 characters, 36 bytes
      {"ЁЁЁЁЁЁЁЁЁЁЁЁЁЁЁЁ", "ЁЁЁЁЁЁЁЁЁЁЁЁЁЁЁ"},
      {"Стол 3", "Стол 3"},
      {"123456789012345", "123456789012345"},
      {"", ""},
      {"Desk-Парта-7-ok!", "Desk-Парта-7-ok"},
  };
  for (const Row& row : rows) EXPECT_EQ(classroom::CutLabel(row.value), row.shown) << row.value;
}

TEST(DeskLabels, ReadFromSettingsWithTheDeskNumberAsDefault) {
  const ini::IniDocument settings = FromText(
      "[NumDesk]\r\nDesk1=Стол 1\r\nDesk3=Очень длинное название стола\r\nDesk16=\r\n"
      "[Desk2DeskCommIF]\r\ndc3_4=cb\r\ndc15_16=dab\r\n");
  EXPECT_EQ(classroom::ReadDeskLabel(settings, 1), "Стол 1");
  EXPECT_EQ(classroom::ReadDeskLabel(settings, 3), "Очень длинное н");
  EXPECT_EQ(classroom::ReadDeskLabel(settings, 7), "7");
  EXPECT_EQ(classroom::ReadDeskLabel(settings, 16), "");
  EXPECT_EQ(classroom::ReadPairLinkCode(settings, 1), "oo");
  EXPECT_EQ(classroom::ReadPairLinkCode(settings, 2), "cb");
  EXPECT_EQ(classroom::ReadPairLinkCode(settings, 8), "dab");
}

TEST(StandardClassroom, FourRowsOfFour) {
  const int columns[4] = {10, 180, 375, 545};
  const int rows[4] = {18, 124, 230, 336};
  for (int n = 1; n <= kDeskCount; ++n) {
    const classroom::Position at = classroom::StandardLayout(n);
    EXPECT_EQ(at.left, columns[(n - 1) % 4]) << "desk " << n;
    EXPECT_EQ(at.top, rows[(n - 1) / 4]) << "desk " << n;
  }
  EXPECT_EQ(classroom::StandardStudentName(1), "Ученик 1");
  EXPECT_EQ(classroom::StandardStudentName(16), "Ученик 16");
  // Out of range desk numbers never index past the table.
  EXPECT_EQ(classroom::StandardLayout(0), (classroom::Position{0, 0}));
  EXPECT_EQ(classroom::StandardLayout(17), (classroom::Position{0, 0}));
}

TEST(LinkGeometry, AttachmentPointsOfAStoredPanel) {
  const linkgeometry::PanelRect desk1{8, 0, 145, 75};
  struct Row {
    char letter;
    int x, y;
  };
  const Row rows[] = {{'o', 80, 37}, {'a', 8, 0}, {'b', 153, 0}, {'c', 153, 75}, {'d', 8, 75}};
  for (const Row& row : rows) {
    const auto point = linkgeometry::AttachmentPoint(row.letter, desk1);
    ASSERT_TRUE(point.has_value()) << row.letter;
    EXPECT_EQ(*point, (linkgeometry::Point{row.x, row.y})) << row.letter;
  }
  for (char unknown : {'O', 'A', 'x', ' ', '\0'}) {
    EXPECT_FALSE(linkgeometry::AttachmentPoint(unknown, desk1).has_value()) << int(unknown);
  }
  // Halves truncate toward zero also for a panel left of the window.
  const auto centre = linkgeometry::AttachmentPoint('o', {-101, -51, 145, 75});
  ASSERT_TRUE(centre.has_value());
  EXPECT_EQ(*centre, (linkgeometry::Point{-29, -14}));
}

TEST(LinkGeometry, PairLineEnds) {
  const linkgeometry::PanelRect desk1{8, 0, 145, 75};
  const linkgeometry::PanelRect desk2{176, 0, 145, 75};
  struct Row {
    const char* code;
    linkgeometry::Point start, end;
  };
  const Row rows[] = {
      {"oo", {80, 37}, {248, 37}},   {"cd", {153, 75}, {176, 75}},
      {"cb", {153, 75}, {321, 0}},   {"da", {8, 75}, {176, 0}},
      {"dab", {8, 75}, {176, 0}},    {"oO", {80, 37}, {80, 37}},
      {"xo", {80, 37}, {248, 37}},   {"c", {153, 75}, {153, 75}},
      {"", {80, 37}, {80, 37}},
      // Letter by letter in UTF-8; Cyrillic а, с, о stand for the Latin
      // letters, their upper case does not (nor does the Latin upper case).
      {"оo", {80, 37}, {248, 37}},   {"сa", {153, 75}, {176, 0}},
      {"dа", {8, 75}, {176, 0}},     {"Аb", {80, 37}, {321, 0}},
      {"жb", {80, 37}, {321, 0}},    {"\xFF\xD0" "b", {80, 37}, {80, 37}},
      {"\xD0" "b", {80, 37}, {321, 0}},
  };
  for (const Row& row : rows) {
    const linkgeometry::LinkEnds ends = linkgeometry::PairLinkEnds(row.code, desk1, desk2);
    EXPECT_EQ(ends.start, row.start) << row.code;
    EXPECT_EQ(ends.end, row.end) << row.code;
    EXPECT_EQ(ends.HasLength(), !(row.start == row.end)) << row.code;
  }
}

// A save killed at any moment leaves the old plan or the new one whole.
// Each path is stored as the settings store it and read back: the check must
// agree with what actually comes back, in both directions.
TEST(ClassroomPathInSettings, StorableExactlyWhenItReadsBackUnchanged) {
  const std::string longest = "/" + std::string(ini::kMaxValueLength - 5, 'x') + ".cld";
  const struct {
    std::string path;
    bool storable;
  } rows[] = {
      {"/home/teacher/a.cld", true},
      {"/home/учитель/Кабинет «5».cld", true},
      {"/srv/what?/a*b|c<d>.cld", true},
      {" /lead and trail/ ", true},
      {"\"/quoted\"", true},
      {longest, true},
      {longest + "x", false},
      {"/home/josé/a.cld", false},
      {"/home/教室/a.cld", false},
      {"/a\nb.cld", false},
      {"/a\rb.cld", false},
      {std::string("/a\0b.cld", 8), false},
  };
  for (const auto& row : rows) {
    ini::IniDocument settings = ini::IniDocument::Parse("[Interface]\r\n");
    settings.WriteString("Interface", "ClassRoomConfigurationFile", row.path);
    const ini::IniDocument reread = ini::IniDocument::Parse(settings.Serialize());
    const bool readsBack =
        reread.ReadString("Interface", "ClassRoomConfigurationFile", "***") == row.path;
    EXPECT_EQ(readsBack, row.storable) << row.path;
    EXPECT_EQ(classroom::StorableInSettings(row.path), row.storable) << row.path;
  }
}

TEST(ClassroomPathInSettings, MessageNamesThePathAndTheReason) {
  const std::string accented = "/home/josé/a.cld";
  EXPECT_EQ(classroom::UnstorablePathMessage(accented),
            "Имя файла содержит символы, которые нельзя сохранить в vormik.ini: "
            "/home/josé/a.cld. Выберите файл в другой папке или переименуйте его.");
  const std::string tooLong = "/" + std::string(ini::kMaxValueLength, 'x');
  const std::string message = classroom::UnstorablePathMessage(tooLong);
  EXPECT_EQ(message.rfind("Имя файла слишком длинное", 0), 0u) << message;
  EXPECT_NE(message.find(tooLong), std::string::npos);
}

TEST(ClassroomPlanSave, KilledSaverLeavesOneWholePlan) {
  TempFolder folder;
  ASSERT_TRUE(folder.ok());
  const std::string path = folder.File("room.cld");
  ClassroomPlan planA = SamplePlan();
  ClassroomPlan planB = SamplePlan();
  for (int i = 0; i < kDeskCount; ++i) {
    // Long names make each save big enough to be caught half-way.
    planA[i].studentName = std::string(1500, 'a' + i % 26);
    planB[i].studentName = std::string(1400, 'Z' - i % 26);
    planB[i].left = planA[i].left + 1;
  }
  {
    ini::IniDocument first;
    classroom::WritePlan(planA, first);
    first.Save(path);
  }

  std::mt19937 random(20261207);
  std::uniform_int_distribution<int> pauseUs(0, 30000);
  int sawA = 0, sawB = 0;
  for (int round = 0; round < 50; ++round) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      try {
        for (unsigned i = 0;; ++i) {
          ini::IniDocument document = ini::IniDocument::Load(path);
          classroom::WritePlan(i % 2 == 0 ? planB : planA, document);
          document.Save(path);
        }
      } catch (...) {
      }
      _exit(3);
    }
    usleep(pauseUs(random));
    kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the saver stopped by itself (a save failed) in round "
                                     << round;

    const ClassroomPlan read = classroom::ReadPlan(ini::IniDocument::Load(path));
    const bool isA = read == planA;
    const bool isB = read == planB;
    ASSERT_TRUE(isA || isB) << "torn file after round " << round;
    sawA += isA;
    sawB += isB;
  }
  // The saver got through whole saves at least sometimes, so the kills
  // landed among saves and not only before the first one.
  EXPECT_GT(sawB, 0);
}

}  // namespace
