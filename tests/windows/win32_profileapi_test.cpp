// The INI reader/writer against the system's own profile service
// (GetPrivateProfileStringA / WritePrivateProfileStringA) on files in the form
// the program writes: equal reads, byte-identical files after equal writes.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

#include "config/classroomplan.h"
#include "config/cp1251.h"
#include "config/inifile.h"
#include "config/settings.h"
#include "tests/windows/wintest.h"

namespace {

using wintest::TempFolder;

// Test texts are written in UTF-8 and handed to the system in Windows-1251.
std::string Cp(const std::string& utf8) { return cp1251::FromUtf8(utf8); }

std::string JoinCrLf(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) text += line + "\r\n";
  return text;
}

// The 35-line settings file the program writes at its first start.
std::string DefaultSettingsFile() {
  std::vector<std::string> lines = {
      "[Communication]",    "PortName=COM1",       "ReadThreadStop=0",
      "NotWaitCSFromMC=0",  "[Interface]",         "MainFormWidth=700",
      "MainFormHeight=500", "EnableToMoveDesks=0", "NumberOfVisibleDesk=16",
      "[NumDesk]"};
  for (int n = 1; n <= 16; ++n)
    lines.push_back("Desk" + std::to_string(n) + "=Стол " + std::to_string(n));
  lines.push_back("[Desk2DeskCommIF]");
  for (int k = 1; k <= 8; ++k)
    lines.push_back("dc" + std::to_string(2 * k - 1) + "_" + std::to_string(2 * k) + "=oo");
  return Cp(JoinCrLf(lines));
}

const char* const kStudents[16] = {
    "Иванов Пётр", "Сидорова Ёлка", "***",   "Smith John",   "Щукин Эдуард", "",
    "Юлия Ъ",      "Ян-Ли",         "Борис", "Вера",         "Гена",         "Дарья",
    "Женя",        "Зоя",           "Игорь", "Ксения Чащина"};

struct DeskEntry {
  int left, top, visible;
  std::string student;  // UTF-8
};

DeskEntry Desk(int n) {
  return {n % 2 ? 10 + 160 * (n / 2) : -5 - n, 20 + 90 * n, n % 5 ? 1 : 0, kStudents[n - 1]};
}

// A classroom file as the save command writes it: 16 sections of 4 keys.
std::string ClassroomFile() {
  std::vector<std::string> lines;
  for (int n = 1; n <= 16; ++n) {
    DeskEntry d = Desk(n);
    lines.push_back("[Desk" + std::to_string(n) + "]");
    lines.push_back("CoordinateLeft=" + std::to_string(d.left));
    lines.push_back("CoordinateTop=" + std::to_string(d.top));
    lines.push_back("Visible=" + std::to_string(d.visible));
    lines.push_back("StudentName=" + d.student);
  }
  return Cp(JoinCrLf(lines));
}

std::string SystemRead(const std::string& path, const std::string& section, const std::string& key,
                       const std::string& def) {
  std::vector<char> buffer(ini::kMaxValueLength + 1);
  DWORD n =
      GetPrivateProfileStringA(Cp(section).c_str(), Cp(key).c_str(), Cp(def).c_str(), buffer.data(),
                               static_cast<DWORD>(buffer.size()), path.c_str());
  return std::string(buffer.data(), n);
}

void ExpectSameBytes(const std::string& expected, const std::string& actual) {
  EXPECT_EQ(expected, actual) << "system's file:\n"
                              << wintest::Visible(expected) << "\nour file:\n"
                              << wintest::Visible(actual);
}

TEST(ProfileApiTest, TestTextsReachTheSystemInWindows1251) {
  // Everything below relies on this conversion and on Wine running with the
  // Russian ANSI code page, as the teachers' Windows does.
  EXPECT_EQ("\xD1\xF2\xEE\xEB", Cp("Стол"));
  EXPECT_EQ(1251u, GetACP());
}

TEST(ProfileApiTest, FixtureIsTheFileTheProgramWritesAtFirstStart) {
  TempFolder folder;
  const std::string path = folder.File("vormik.ini");
  ASSERT_TRUE(settings::WriteDefaultSettingsIfMissing(path));
  ExpectSameBytes(DefaultSettingsFile(), wintest::ReadBytes(path));
}

// ---- Reads --------------------------------------------------------------

struct ReadQuery {
  std::string section, key, def;
};

struct ReadFixture {
  const char* name;
  std::string (*text)();
  std::vector<ReadQuery> queries;
};

std::vector<ReadQuery> SettingsQueries() {
  std::vector<ReadQuery> q = {
      {"Communication", "PortName", "COM1"},
      {"Communication", "ReadThreadStop", "0"},
      {"Communication", "NotWaitCSFromMC", "5"},
      {"Interface", "MainFormWidth", "1"},
      {"Interface", "MainFormHeight", "1"},
      {"Interface", "EnableToMoveDesks", "1"},
      {"Interface", "NumberOfVisibleDesk", "0"},
      {"Interface", "ClassRoomConfigurationFile", "***"},  // not in the default file
      {"interface", "mainformwidth", "?"},                 // letter case of names
      {"INTERFACE", "MAINFORMHEIGHT", "?"},
      {"communication", "portNAME", ""},
      {"Desk2DeskCommIF", "DC15_16", "xx"},
      {"NoSuchSection", "PortName", "Нет раздела"},
      {"Communication", "NoSuchKey", ""},
      {"NumDesk", "Desk17", "17"},
      {"NumDesk", "Desk", "-"},  // a prefix of existing keys is not a key
      {"Num", "Desk1", "-"},
      {"Interface", "PortName", "wrong section"},
  };
  for (int n = 1; n <= 16; ++n)
    q.push_back({"NumDesk", "Desk" + std::to_string(n), std::to_string(n)});
  for (int k = 1; k <= 8; ++k)
    q.push_back(
        {"Desk2DeskCommIF", "dc" + std::to_string(2 * k - 1) + "_" + std::to_string(2 * k), "oo"});
  return q;
}

std::vector<ReadQuery> ClassroomQueries() {
  std::vector<ReadQuery> q;
  for (int n = 0; n <= 17; ++n) {  // Desk0 and Desk17 are missing sections
    std::string s = "Desk" + std::to_string(n);
    for (const char* key : {"CoordinateLeft", "CoordinateTop", "Visible", "StudentName", "Other"})
      q.push_back({s, key, "***"});
  }
  q.push_back({"desk16", "studentname", "***"});
  q.push_back({"DESK3", "COORDINATELEFT", "0"});
  return q;
}

std::string NoFile() { return {}; }

void PrintTo(const ReadFixture& fixture, std::ostream* out) { *out << fixture.name; }

class ProfileReadTest : public ::testing::TestWithParam<ReadFixture> {};

TEST_P(ProfileReadTest, ReadsEqualTheSystemsReads) {
  const ReadFixture& fixture = GetParam();
  TempFolder folder;
  const std::string path = folder.File("file.ini");
  const std::string text = fixture.text();
  if (!text.empty()) wintest::WriteBytes(path, text);

  ini::IniFile file(path);
  const ini::IniDocument document = ini::IniDocument::Load(path);
  for (const ReadQuery& q : fixture.queries) {
    SCOPED_TRACE("[" + q.section + "] " + q.key);
    const std::string expected = SystemRead(path, q.section, q.key, q.def);
    EXPECT_EQ(expected, Cp(file.ReadString(q.section, q.key, q.def)));
    EXPECT_EQ(expected, Cp(document.ReadString(q.section, q.key, q.def)));
  }
  // Reading must not create or touch the file.
  EXPECT_EQ(text, wintest::ReadBytes(path));
}

INSTANTIATE_TEST_SUITE_P(
    ProgramFiles, ProfileReadTest,
    ::testing::Values(ReadFixture{"DefaultSettings", DefaultSettingsFile, SettingsQueries()},
                      ReadFixture{"Classroom", ClassroomFile, ClassroomQueries()},
                      ReadFixture{"MissingFile", NoFile, SettingsQueries()}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ProfileApiTest, LongestValueReadsWholeAndLongerIsCutAlike) {
  TempFolder folder;
  const std::string path = folder.File("long.ini");
  const std::string exact(ini::kMaxValueLength, 'a');
  const std::string longer = std::string(ini::kMaxValueLength, 'b') + "tail";
  wintest::WriteBytes(path, "[S]\r\nexact=" + exact + "\r\nlonger=" + longer + "\r\n");
  ini::IniFile file(path);
  EXPECT_EQ(exact, file.ReadString("S", "exact", ""));
  EXPECT_EQ(SystemRead(path, "S", "exact", ""), file.ReadString("S", "exact", ""));
  EXPECT_EQ(SystemRead(path, "S", "longer", ""), file.ReadString("S", "longer", ""));
}

// ---- Writes -------------------------------------------------------------

struct Write {
  std::string section, key, value;  // UTF-8
};

struct WriteScenario {
  const char* name;
  std::string (*initial)();  // empty text: no file at the start
  std::vector<Write> writes;
};

std::vector<Write> SaveWholeClassroom(int shift) {
  std::vector<Write> w;
  for (int n = 1; n <= 16; ++n) {
    DeskEntry d = Desk(n);
    std::string s = "Desk" + std::to_string(n);
    w.push_back({s, "CoordinateLeft", std::to_string(d.left + shift)});
    w.push_back({s, "CoordinateTop", std::to_string(d.top - shift)});
    w.push_back({s, "Visible", std::to_string(shift % 2 ? 1 - d.visible : d.visible)});
    // (No blank at either end of a value: there the two writers differ on
    // purpose, see the difference tests.)
    w.push_back({s, "StudentName", shift ? d.student + "#" + std::to_string(shift) : d.student});
  }
  return w;
}

std::vector<WriteScenario> WriteScenarios() {
  return {
      {"ReplaceValue", DefaultSettingsFile, {{"Communication", "PortName", "COM3"}}},
      {"ReplaceWithLongerAndShorter",
       DefaultSettingsFile,
       {{"NumDesk", "Desk7", "Стол номер семь у окна"}, {"NumDesk", "Desk8", ""}}},
      {"AppendKeyToMiddleSection",
       DefaultSettingsFile,
       {{"Interface", "ClassRoomConfigurationFile", "C:\\Кабинеты\\7А класс.cld"}}},
      {"AppendKeyToLastSection", DefaultSettingsFile, {{"Desk2DeskCommIF", "dc17_18", "cb"}}},
      {"AppendSection",
       DefaultSettingsFile,
       {{"Extra", "Key", "значение"}, {"Extra", "Key2", "2"}}},
      {"NamesInOtherLetterCase",
       DefaultSettingsFile,
       {{"INTERFACE", "mainformwidth", "800"}, {"interface", "CLASSROOMCONFIGURATIONFILE", "***"}}},
      {"SameValueAgain", DefaultSettingsFile, {{"Interface", "MainFormHeight", "500"}}},
      {"OpenThenSaveAs",
       DefaultSettingsFile,
       {{"Interface", "ClassRoomConfigurationFile", "C:\\a.cld"},
        {"Interface", "ClassRoomConfigurationFile", "D:\\Новая папка\\b.cld"}}},
      {"NewClassroomFile", NoFile, SaveWholeClassroom(0)},
      {"SaveOverClassroomFile", ClassroomFile, SaveWholeClassroom(3)},
      {"SaveSameClassroomAgain", ClassroomFile, SaveWholeClassroom(0)},
      {"NewSettingsFile", NoFile, {{"Interface", "ClassRoomConfigurationFile", "C:\\x.cld"}}},
  };
}

void PrintTo(const WriteScenario& scenario, std::ostream* out) { *out << scenario.name; }

class ProfileWriteTest : public ::testing::TestWithParam<WriteScenario> {};

TEST_P(ProfileWriteTest, FileIsByteIdenticalToTheSystemsFile) {
  const WriteScenario& scenario = GetParam();
  TempFolder folder;
  const std::string systemPath = folder.File("system.ini");
  const std::string ourPath = folder.File("ours.ini");
  const std::string ourPathOneByOne = folder.File("ours-one-by-one.ini");
  const std::string initial = scenario.initial();
  if (!initial.empty()) {
    for (const auto& p : {systemPath, ourPath, ourPathOneByOne}) wintest::WriteBytes(p, initial);
  }

  for (const Write& w : scenario.writes) {
    ASSERT_TRUE(WritePrivateProfileStringA(Cp(w.section).c_str(), Cp(w.key).c_str(),
                                           Cp(w.value).c_str(), systemPath.c_str()));
  }
  WritePrivateProfileStringA(nullptr, nullptr, nullptr, systemPath.c_str());  // flush

  // One object for the whole command, as the save command uses it ...
  {
    ini::IniFile file(ourPath);
    for (const Write& w : scenario.writes) file.WriteString(w.section, w.key, w.value);
    file.Flush();
  }
  // ... and a fresh object for each write: every write must reach the file.
  for (const Write& w : scenario.writes)
    ini::IniFile(ourPathOneByOne).WriteString(w.section, w.key, w.value);

  const std::string expected = wintest::ReadBytes(systemPath);
  ExpectSameBytes(expected, wintest::ReadBytes(ourPath));
  ExpectSameBytes(expected, wintest::ReadBytes(ourPathOneByOne));

  // The written values read back through both readers.
  ini::IniFile reread(ourPath);
  for (const Write& w : scenario.writes) {
    SCOPED_TRACE("[" + w.section + "] " + w.key);
    EXPECT_EQ(SystemRead(systemPath, w.section, w.key, "-"),
              Cp(reread.ReadString(w.section, w.key, "-")));
  }
}

INSTANTIATE_TEST_SUITE_P(ProgramFiles, ProfileWriteTest, ::testing::ValuesIn(WriteScenarios()),
                         [](const auto& info) { return std::string(info.param.name); });

// The save command's own writer (the whole plan into a document, then one
// replace of the file) against the same 64 writes through the system.
struct SaveCase {
  const char* name;
  std::string initial;  // empty: no file yet
};

TEST(ProfileApiTest, SavedClassroomPlanIsTheFileTheSystemWrites) {
  classroom::ClassroomPlan plan;
  for (int n = 1; n <= 16; ++n) {
    const DeskEntry d = Desk(n);
    plan[n - 1] = {d.left * 3, -d.top, n % 3 != 0, d.student + (n % 4 ? "" : " (староста)")};
  }
  const SaveCase cases[] = {
      {"new file", ""},
      {"over an older plan", ClassroomFile()},
      {"with a foreign section and key",
       Cp("[Заметки]\r\nКабинет=214\r\n[Desk3]\r\nComment=у окна\r\nVisible=0\r\n")},
  };
  for (const SaveCase& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder folder;
    const std::string systemPath = folder.File("system.cld");
    const std::string ourPath = folder.File("ours.cld");
    if (!c.initial.empty()) {
      wintest::WriteBytes(systemPath, c.initial);
      wintest::WriteBytes(ourPath, c.initial);
    }
    for (int n = 1; n <= 16; ++n) {
      const classroom::DeskPlan& desk = plan[n - 1];
      const std::string section = classroom::DeskSection(n);
      const std::pair<const char*, std::string> writes[] = {
          {classroom::kCoordinateLeft, std::to_string(desk.left)},
          {classroom::kCoordinateTop, std::to_string(desk.top)},
          {classroom::kVisible, desk.visible ? "1" : "0"},
          {classroom::kStudentName, Cp(desk.studentName)},
      };
      for (const auto& [key, value] : writes)
        WritePrivateProfileStringA(section.c_str(), key, value.c_str(), systemPath.c_str());
    }
    ini::IniDocument document = ini::IniDocument::Load(ourPath);
    classroom::WritePlan(plan, document);
    document.Save(ourPath);

    ExpectSameBytes(wintest::ReadBytes(systemPath), wintest::ReadBytes(ourPath));
    EXPECT_TRUE(plan == classroom::ReadPlan(ini::IniDocument::Load(systemPath)))
        << "the plan does not read back from the system's file";
  }
}

TEST(ProfileApiTest, WriteIntegerWritesWhatTheSystemWritesForTheDecimalText) {
  TempFolder folder;
  const std::string systemPath = folder.File("system.ini");
  const std::string ourPath = folder.File("ours.ini");
  wintest::WriteBytes(systemPath, ClassroomFile());
  wintest::WriteBytes(ourPath, ClassroomFile());
  ini::IniFile file(ourPath);
  const int values[] = {0, -1, 2147483647, -2147483647 - 1, 145, -32768};
  int n = 1;
  for (int v : values) {
    const std::string section = "Desk" + std::to_string(n++);
    WritePrivateProfileStringA(section.c_str(), "CoordinateLeft", std::to_string(v).c_str(),
                               systemPath.c_str());
    file.WriteInteger(section, "CoordinateLeft", v);
    EXPECT_EQ(v, file.ReadInteger(section, "CoordinateLeft", 12345));
  }
  WritePrivateProfileStringA("New", "Visible", "1", systemPath.c_str());
  file.WriteInteger("New", "Visible", 1);
  file.Flush();
  ExpectSameBytes(wintest::ReadBytes(systemPath), wintest::ReadBytes(ourPath));
}

TEST(ProfileApiTest, FailedWriteRaisesTheNamedErrorWhereTheSystemFails) {
  TempFolder folder;
  const std::string path = folder.File("no such folder\\file.ini");
  EXPECT_FALSE(WritePrivateProfileStringA("S", "k", "v", path.c_str()));
  ini::IniFile file(path);
  try {
    file.WriteString("S", "k", "v");
    FAIL() << "no error raised";
  } catch (const ini::WriteError& error) {
    EXPECT_EQ("Unable to write to " + path, std::string(error.what()));
  }
}

// ---- Where the Overview's reader/writer and the system's service differ ----
// The reader follows the Overview; the system's answer is printed for the
// record.

struct IntegerCase {
  const char* text;
  int expected;  // by the Overview's rule, default 77
};

TEST(ProfileApiDifferenceTest, ReadIntegerFollowsTheHexAndDefaultRule) {
  const IntegerCase cases[] = {
      {"42", 42},
      {"-7", -7},
      {"0x1F", 31},
      {"0X1f", 31},
      {"0x", 77},
      {"12abc", 77},
      {"abc", 77},
      {"", 77},
      {"0", 0},
      {"2147483647", 2147483647},
      {"0x7FFFFFFF", 2147483647},
      {"99999999999", 77},
  };
  TempFolder folder;
  const std::string path = folder.File("int.ini");
  std::string text = "[S]\r\n";
  for (size_t i = 0; i < std::size(cases); ++i)
    text += "k" + std::to_string(i) + "=" + cases[i].text + "\r\n";
  wintest::WriteBytes(path, text);
  ini::IniFile file(path);
  for (size_t i = 0; i < std::size(cases); ++i) {
    const std::string key = "k" + std::to_string(i);
    EXPECT_EQ(cases[i].expected, file.ReadInteger("S", key, 77))
        << "value \"" << cases[i].text << "\"";
    const int system = static_cast<int>(GetPrivateProfileIntA("S", key.c_str(), 77, path.c_str()));
    if (system != cases[i].expected)
      std::printf("  difference: \"%s\" reads %d, GetPrivateProfileIntA gives %d\n", cases[i].text,
                  cases[i].expected, system);
  }
}

TEST(ProfileApiDifferenceTest, CyrillicNamesCompareWithoutLetterCase) {
  TempFolder folder;
  const std::string path = folder.File("names.ini");
  wintest::WriteBytes(path, Cp("[Раздел Ё]\r\nКлюч=значение\r\n"));
  ini::IniFile file(path);
  EXPECT_EQ("значение", file.ReadString("раздел ё", "КЛЮЧ", "-"));
  const std::string system = SystemRead(path, "раздел ё", "КЛЮЧ", "-");
  if (system != Cp("значение"))
    std::printf("  difference: Cyrillic names in other letter case: the system reads \"%s\"\n",
                system.c_str());

  // A write with the other letter case replaces the value instead of adding a section.
  file.WriteString("РАЗДЕЛ ё", "ключ", "новое");
  EXPECT_EQ(Cp("[Раздел Ё]\r\nКлюч=новое\r\n"), wintest::ReadBytes(path));
}

struct ValueCase {
  const char* name;
  std::string value;  // UTF-8
};

TEST(ProfileApiDifferenceTest, ValuesWithBlanksOrQuotesReadBackAsWritten) {
  // A student name may begin or end with a blank or be typed in quotes; the
  // system's service trims and unquotes such values, so the writer quotes them
  // and both readers give back the value as typed.
  const ValueCase cases[] = {
      {"LeadingBlank", " Иванов"},  {"TrailingBlank", "Иванов "}, {"OnlyBlanks", "   "},
      {"Quoted", "\"Иванов\""},     {"SingleQuoted", "'Ира'"},    {"TabInside", "a\tb"},
      {"QuoteInside", "О\"Брайен"},
  };
  TempFolder folder;
  const std::string ours = folder.File("ours.ini");
  const std::string system = folder.File("system.ini");
  for (const ValueCase& c : cases) {
    SCOPED_TRACE(c.name);
    ini::IniFile(ours).WriteString("Desk1", c.name, c.value);
    EXPECT_EQ(c.value, ini::IniFile(ours).ReadString("Desk1", c.name, "-"));
    EXPECT_EQ(Cp(c.value), SystemRead(ours, "Desk1", c.name, "-"));

    WritePrivateProfileStringA("Desk1", c.name, Cp(c.value).c_str(), system.c_str());
    const std::string systemRoundTrip = SystemRead(system, "Desk1", c.name, "-");
    if (systemRoundTrip != Cp(c.value))
      std::printf("  difference: %s: the system writes and reads back \"%s\"\n", c.name,
                  cp1251::ToUtf8(systemRoundTrip).c_str());
  }
}

struct HandEditCase {
  const char* name;
  std::string before;  // UTF-8; the write changes [S] B to "new"
  std::string after;
};

TEST(ProfileApiDifferenceTest, HandEditedFileChangesOnlyTheWrittenValue) {
  // Spaces around "=", comments, blank lines, LF line ends: none of it is the
  // program's own form, and a write must leave all of it as it was.
  const HandEditCase cases[] = {
      {"SpacesCommentsBlankLines", "[S]\r\nA = 1\r\nB=old\r\n\r\n; заметка\r\n[T]\r\nC=3\r\n",
       "[S]\r\nA = 1\r\nB=new\r\n\r\n; заметка\r\n[T]\r\nC=3\r\n"},
      {"LfLineEnds", "[S]\nA=1\nB=old\n[T]\nC=3\n", "[S]\nA=1\nB=new\n[T]\nC=3\n"},
      {"SpacedSectionName", "[ S ]\r\nB=old\r\n[T]\r\n", "[ S ]\r\nB=new\r\n[T]\r\n"},
  };
  for (const HandEditCase& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder folder;
    const std::string ours = folder.File("ours.ini");
    const std::string system = folder.File("system.ini");
    wintest::WriteBytes(ours, Cp(c.before));
    wintest::WriteBytes(system, Cp(c.before));
    ini::IniFile(ours).WriteString("S", "B", "new");
    EXPECT_EQ(Cp(c.after), wintest::ReadBytes(ours));
    WritePrivateProfileStringA("S", "B", "new", system.c_str());
    const std::string systemBytes = wintest::ReadBytes(system);
    if (systemBytes != Cp(c.after))
      std::printf("  difference: %s: the system leaves\n%s\n", c.name,
                  wintest::Visible(systemBytes).c_str());
  }
}

}  // namespace
