// INI reading rules, in-place writes, file replacement and hostile input.
#include "config/inifile.h"

#include <dirent.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "config/cp1251.h"
#include "platform/system.h"
#include "tests/support/tempdir.h"

namespace {

using testsupport::TempDir;

// The names in a folder, without "." and "..".
std::vector<std::string> Entries(const TempDir& dir) {
  std::vector<std::string> names;
  if (DIR* d = opendir(dir.path().c_str())) {
    while (dirent* e = readdir(d)) {
      const std::string n = e->d_name;
      if (n != "." && n != "..") names.push_back(n);
    }
    closedir(d);
  }
  return names;
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string Cp(const std::string& utf8) { return cp1251::FromUtf8(utf8); }

// ---------------------------------------------------------------- reading

struct ReadRow {
  const char* what;
  std::string text;  // Windows-1251
  const char* section;
  const char* key;
  std::string expected;  // UTF-8; "<default>" when the default must come back
};

TEST(IniRead, ReadingRules) {
  const ReadRow rows[] = {
      {"plain", "[S]\r\nk=v\r\n", "S", "k", "v"},
      {"blanks around everything", "  [ S ]\t \r\n \t k \t=  v w \t\r\n", "S", "k", "v w"},
      {"LF line ends", "[A]\nx=1\n[S]\nk=v\n", "S", "k", "v"},
      {"lone CR line ends", "[A]\rx=1\r[S]\rk=v\r", "S", "k", "v"},
      {"no line end at the end", "[S]\r\nk=v", "S", "k", "v"},
      {"empty value is not missing", "[S]\r\nk=\r\n", "S", "k", ""},
      {"blank value is not missing", "[S]\r\nk=   \r\n", "S", "k", ""},
      {"value holds '='", "[S]\r\nk=a=b\r\n", "S", "k", "a=b"},
      {"key with inner blank", "[S]\r\nmy key = v\r\n", "S", "MY KEY", "v"},
      {"double quotes removed", "[S]\r\nk=\"  v  \"\r\n", "S", "k", "  v  "},
      {"single quotes removed", "[S]\r\nk='v'\r\n", "S", "k", "v"},
      {"only one pair removed", "[S]\r\nk=\"\"v\"\"\r\n", "S", "k", "\"v\""},
      {"unmatched quotes stay", "[S]\r\nk=\"v'\r\n", "S", "k", "\"v'"},
      {"lone quote stays", "[S]\r\nk=\"\r\n", "S", "k", "\""},
      {"quoted empty", "[S]\r\nk=''\r\n", "S", "k", ""},
      {"first duplicate key wins", "[S]\r\nk=1\r\nK=2\r\n", "S", "k", "1"},
      {"first duplicate section wins", "[S]\r\na=1\r\n[s]\r\nk=2\r\n", "S", "k", "<default>"},
      {"first section still found", "[S]\r\nk=1\r\n[S]\r\nk=2\r\n", "s", "K", "1"},
      {"line without '=' is no key", "[S]\r\nk\r\n", "S", "k", "<default>"},
      {"comment is no key", "[S]\r\n;k=1\r\n", "S", ";k", "<default>"},
      {"indented comment", "[S]\r\n  ;k=1\r\nk=2\r\n", "S", "k", "2"},
      {"key before any section", "k=1\r\n[S]\r\n", "S", "k", "<default>"},
      {"missing section", "[S]\r\nk=1\r\n", "T", "k", "<default>"},
      {"missing key", "[S]\r\nk=1\r\n", "S", "j", "<default>"},
      {"empty key asked", "[S]\r\n=1\r\n", "S", "", "<default>"},
      {"unclosed bracket is no section", "[T\r\nk=1\r\n", "T", "k", "<default>"},
      {"unclosed bracket keeps section", "[S]\r\n[T\r\nk=1\r\n", "S", "k", "1"},
      {"last ']' closes the name", "[a]b]\r\nk=1\r\n", "a]b", "k", "1"},
      {"text after ']'", "[S] trailing\r\nk=1\r\n", "S", "k", "1"},
      {"asked names are trimmed", "[S]\r\nk=1\r\n", " S ", "\tk ", "1"},
      {"Cyrillic names, any case", Cp("[Класс Ёж]\r\nСтол=Иванов Ё.\r\n"), "кЛАСС ёЖ", "СТОЛ",
       "Иванов Ё."},
      {"Ukrainian letters fold", Cp("[Ґанок]\r\nЇжак=1\r\n"), "ґАНОК", "їЖАК", "1"},
      {"Ё is not Е", Cp("[Ёж]\r\nk=1\r\n"), "Еж", "k", "<default>"},
      {"NUL ends the value", std::string("[S]\r\nk=ab\0cd\r\n", 14), "S", "k", "ab"},
      {"NUL in a name", std::string("[S]\r\nk\0=1\r\nk=2\r\n", 16), "S", "k", "2"},
  };
  for (const auto& row : rows) {
    const auto doc = ini::IniDocument::Parse(row.text);
    EXPECT_EQ(doc.ReadString(row.section, row.key, "<default>"), row.expected) << row.what;
  }
}

TEST(IniRead, LongValuesAreCutTo2047Characters) {
  const std::string value(3000, 'x');
  const auto doc = ini::IniDocument::Parse("[S]\r\nk=" + value + "\r\nq=\"" + value + "\"\r\n" +
                                           "c=" + std::string(2047, '\xE9') + "\r\n");
  EXPECT_EQ(doc.ReadString("S", "k", ""), std::string(2047, 'x'));
  EXPECT_EQ(doc.ReadString("S", "q", ""), std::string(2047, 'x'));  // unquoted first, then cut
  EXPECT_EQ(doc.ReadString("S", "c", ""), cp1251::ToUtf8(std::string(2047, '\xE9')));
}

TEST(IniRead, IntegerRules) {
  constexpr int kDefault = -777;
  const struct {
    const char* value;
    int expected;
  } rows[] = {
      // clang-format off
      {"42", 42}, {"-1", -1}, {"+7", 7}, {"007", 7},
      {"0", 0}, {" 5 ", 5}, {"'12'", 12}, {"0x20", 32},
      {"0X1f", 31}, {"0x7FFFFFFF", INT_MAX}, {"0xFFFFFFFF", -1}, {"0x80000000", INT_MIN},
      {"0x100000000", kDefault}, {"0x", kDefault}, {"0xg", kDefault}, {"-0x10", kDefault},
      {"2147483647", INT_MAX}, {"-2147483648", INT_MIN},
      {"2147483648", kDefault}, {"-2147483649", kDefault},
      {"99999999999999999999999", kDefault}, {"12abc", kDefault}, {"", kDefault}, {"yes", kDefault},
      {"1.5", kDefault}, {"- 5", kDefault}, {"+", kDefault}, {"1 2", kDefault},
      {"$20", kDefault},
      // clang-format on
  };
  for (const auto& row : rows) {
    const auto doc = ini::IniDocument::Parse(std::string("[S]\r\nk=") + row.value + "\r\n");
    EXPECT_EQ(doc.ReadInteger("S", "k", kDefault), row.expected) << row.value;
  }
  EXPECT_EQ(ini::IniDocument::Parse("[S]\r\n").ReadInteger("S", "k", 16), 16);

  int v = 0;
  EXPECT_TRUE(ini::ParseInteger(" \t700\t", v));
  EXPECT_EQ(v, 700);
  v = 3;
  EXPECT_FALSE(ini::ParseInteger("70O", v));
  EXPECT_EQ(v, 3) << "a failed parse leaves the value alone";
}

// ---------------------------------------------------------------- writing

// A file with everything a write must leave alone: odd spacing, comments,
// LF and CR LF mixed, an unknown section, a duplicate key and section.
const std::string kMessy =
    "; classroom of room 12\n"
    "  [Desk1]  \r\n"
    "CoordinateLeft =  10  \r\n"
    "  coordinatetop=20\n"
    "junk line\r\n"
    "Visible=1\r\n"
    "Visible=0\r\n"
    "\r\n"
    "\r\n"
    "[Extra]\r\n"
    "Who=me\r\n"
    "[DESK1]\r\n"
    "StudentName=hidden\r\n";

TEST(IniWrite, ReplacesOnlyTheValueBytes) {
  auto doc = ini::IniDocument::Parse(kMessy);
  doc.WriteInteger("desk1", "COORDINATELEFT", -15);
  doc.WriteString("Desk1", "Visible", "1");  // the first of the two
  std::string expected = kMessy;
  expected.replace(expected.find("10  \r\n"), 2, "-15");
  EXPECT_EQ(doc.Serialize(), expected);
  EXPECT_EQ(doc.ReadInteger("Desk1", "CoordinateLeft", 0), -15);
}

TEST(IniWrite, AppendsKeyAfterLastKeyLineOfFirstSection) {
  auto doc = ini::IniDocument::Parse(kMessy);
  doc.WriteString("Desk1", "StudentName", "Петров");
  std::string expected = kMessy;
  expected.insert(expected.find("Visible=0\r\n") + 11, Cp("StudentName=Петров\r\n"));
  EXPECT_EQ(doc.Serialize(), expected);
  EXPECT_EQ(doc.ReadString("DESK1", "studentname", ""), "Петров");
}

TEST(IniWrite, AppendsKeyToSectionWithoutKeysAndSectionAtTheEnd) {
  auto doc = ini::IniDocument::Parse("[A]\n; note\n[B]\nb=1");
  doc.WriteString("a", "x", "1");
  doc.WriteString("B", "y", "2");  // the last line had no line end
  doc.WriteString("Новый", "z", "3");
  EXPECT_EQ(doc.Serialize(), Cp("[A]\nx=1\r\n; note\n[B]\nb=1\r\ny=2\r\n[Новый]\r\nz=3\r\n"));
}

TEST(IniWrite, NewSectionAfterLastLineWithoutLineEnd) {
  auto doc = ini::IniDocument::Parse("[A]\r\n;end");
  doc.WriteString("B", "k", "v");
  EXPECT_EQ(doc.Serialize(), "[A]\r\n;end\r\n[B]\r\nk=v\r\n");
}

TEST(IniWrite, KeyGoesToFirstOfDuplicateSections) {
  auto doc = ini::IniDocument::Parse("[S]\r\na=1\r\n[T]\r\n[s]\r\nk=old\r\n");
  doc.WriteString("S", "k", "new");
  EXPECT_EQ(doc.Serialize(), "[S]\r\na=1\r\nk=new\r\n[T]\r\n[s]\r\nk=old\r\n");
  EXPECT_EQ(doc.ReadString("S", "k", ""), "new");
}

TEST(IniWrite, SavingAWholeClassroomIntoAnEmptyDocument) {
  ini::IniDocument doc;
  std::string expected;
  for (int n = 1; n <= 16; ++n) {
    const std::string section = "Desk" + std::to_string(n);
    doc.WriteInteger(section, "CoordinateLeft", n * 10);
    doc.WriteInteger(section, "CoordinateTop", -n);
    doc.WriteInteger(section, "Visible", n % 2);
    doc.WriteString(section, "StudentName", "Ученик " + std::to_string(n));
    expected += "[" + section + "]\r\nCoordinateLeft=" + std::to_string(n * 10) +
                "\r\nCoordinateTop=" + std::to_string(-n) + "\r\nVisible=" + std::to_string(n % 2) +
                "\r\nStudentName=" + Cp("Ученик ") + std::to_string(n) + "\r\n";
  }
  EXPECT_EQ(doc.Serialize(), expected);
  // Written again in the same order: nothing moves.
  for (int n = 1; n <= 16; ++n) doc.WriteInteger("Desk" + std::to_string(n), "Visible", n % 2);
  EXPECT_EQ(doc.Serialize(), expected);
}

TEST(IniWrite, ValuesReadBackAsWritten) {
  const std::string values[] = {" padded ", "\tx",   "'q'", "\"x\"",         "\"",
                                "'a\"",     "a=b;c", "",    "Ёжик в тумане", std::string(100, 'z')};
  for (const auto& value : values) {
    ini::IniDocument doc;
    doc.WriteString("S", "k", value);
    EXPECT_EQ(doc.ReadString("S", "k", "<default>"), value) << doc.Serialize();
  }
  ini::IniDocument doc;
  doc.WriteString("S", "k", " a ");
  EXPECT_EQ(doc.Serialize(), "[S]\r\nk=\" a \"\r\n");
}

TEST(IniWrite, LineBreaksInAValueCannotStartNewLines) {
  ini::IniDocument doc;
  doc.WriteString("S", "k", "a\r\n[T]\nx=1");
  EXPECT_EQ(doc.ReadString("S", "k", ""), "a  [T] x=1");
  EXPECT_EQ(doc.ReadString("T", "x", "none"), "none");
  doc.WriteString("S", "n", std::string("cut\0here", 8));
  EXPECT_EQ(doc.ReadString("S", "n", ""), "cut");
}

TEST(IniWrite, NamesThatCannotBeStoredAreRefusedWithoutChange) {
  const struct {
    const char* section;
    const char* key;
  } rows[] = {{"", "k"},   {"  ", "k"}, {"S", ""},     {"S", " \t"}, {"S", "a=b"},
              {"S", ";k"}, {"S", "[k"}, {"a\nb", "k"}, {"S", "k\r"}};
  for (const auto& row : rows) {
    auto doc = ini::IniDocument::Parse(kMessy);
    EXPECT_THROW(doc.WriteString(row.section, row.key, "v"), std::invalid_argument)
        << row.section << "/" << row.key;
    EXPECT_EQ(doc.Serialize(), kMessy);
  }
}

// Writes keep the index up to date in place; after any sequence of them the
// document must behave exactly like the same text parsed afresh.
TEST(IniWrite, RandomWritesMatchAFreshParse) {
  const std::string starts[] = {"", kMessy, "[a]\nk=1", "x=0\r[B]\r[b]\rk=2\r[C", "[A]\n\n"};
  const char* sections[] = {"a", "A", "b", "Desk1", "extra", "Ёж", "ёж", "new"};
  const char* keys[] = {"k", "K", "Visible", "who", "StudentName", "ключ"};
  const char* values[] = {"", "1", "a longer value", " pad ", "'q'", "Ё"};
  std::mt19937 random(7);
  for (const auto& start : starts) {
    auto doc = ini::IniDocument::Parse(start);
    for (int step = 0; step < 200; ++step) {
      const char* section = sections[random() % std::size(sections)];
      const char* key = keys[random() % std::size(keys)];
      const std::string value = values[random() % std::size(values)] + std::to_string(step);
      auto fresh = ini::IniDocument::Parse(doc.Serialize());
      doc.WriteString(section, key, value);
      fresh.WriteString(section, key, value);
      ASSERT_EQ(doc.Serialize(), fresh.Serialize()) << start << " step " << step;
      const auto reparsed = ini::IniDocument::Parse(doc.Serialize());
      for (const char* s : sections) {
        for (const char* k : keys) {
          ASSERT_EQ(doc.ReadString(s, k, "-"), reparsed.ReadString(s, k, "-"))
              << start << " step " << step << " " << s << "/" << k;
        }
      }
    }
  }
}

// ---------------------------------------------------------------- files

TEST(IniFileTest, WritesReachTheFileAndKeepEverythingElse) {
  TempDir dir;
  const std::string path = dir.File("room.cld");
  WriteBytes(path, kMessy);
  chmod(path.c_str(), 0640);
  ini::IniFile file(path);
  file.WriteInteger("Desk1", "CoordinateTop", 99);
  std::string expected = kMessy;
  expected.replace(expected.find("coordinatetop=20") + 14, 2, "99");
  EXPECT_EQ(ReadBytes(path), expected);
  struct stat st;
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u) << "permission bits kept";
  EXPECT_EQ(Entries(dir), std::vector<std::string>{"room.cld"}) << "no temporary file left";
  EXPECT_NO_THROW(file.Flush());
}

TEST(IniFileTest, CreatesAMissingFile) {
  TempDir dir;
  const std::string path = dir.File("new.cld");
  ini::IniFile file(path);
  EXPECT_EQ(file.ReadString("Desk1", "StudentName", "***"), "***");
  file.WriteString("Desk1", "StudentName", "Аня");
  EXPECT_EQ(ReadBytes(path), Cp("[Desk1]\r\nStudentName=Аня\r\n"));
  EXPECT_EQ(file.ReadString("Desk1", "StudentName", "***"), "Аня");
  EXPECT_EQ(ini::IniFile(path).ReadString("desk1", "studentNAME", "***"), "Аня");
}

TEST(IniFileTest, ReadsSeeFirstLoadWritesSeeTheFileAsItIsNow) {
  TempDir dir;
  const std::string path = dir.File("vormik.ini");
  WriteBytes(path, "[Interface]\r\nMainFormWidth=700\r\n");
  ini::IniFile file(path);
  EXPECT_EQ(file.ReadString("Interface", "MainFormWidth", ""), "700");
  WriteBytes(path, "[Interface]\r\nMainFormWidth=800\r\n");  // someone else changes it
  EXPECT_EQ(file.ReadString("Interface", "MainFormWidth", ""), "700");
  file.WriteString("Interface", "ClassRoomConfigurationFile", "/home/t/a.cld");
  EXPECT_EQ(ReadBytes(path),
            "[Interface]\r\nMainFormWidth=800\r\nClassRoomConfigurationFile=/home/t/a.cld\r\n");
  EXPECT_EQ(file.ReadString("Interface", "MainFormWidth", ""), "800");
}

TEST(IniFileTest, WriteThroughASymbolicLinkChangesItsTarget) {
  TempDir dir;
  const std::string target = dir.File("real.ini");
  const std::string link = dir.File("link.ini");
  WriteBytes(target, "[S]\r\nk=1\r\n");
  ASSERT_EQ(symlink("real.ini", link.c_str()), 0);
  ini::IniFile(link).WriteInteger("S", "k", 2);
  struct stat st;
  ASSERT_EQ(lstat(link.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(ReadBytes(target), "[S]\r\nk=2\r\n");
  EXPECT_NO_THROW(ini::IniFile(link).Flush());
}

// Each row names a path that cannot be written; the message names it and
// whatever was there stays as it was.
TEST(IniFileTest, FailedWritesRaiseWriteErrorAndChangeNothing) {
  TempDir dir;
  const std::string plain = dir.File("plain.txt");
  WriteBytes(plain, "not a folder");
  const std::string readOnly = dir.File("readonly.cld");
  WriteBytes(readOnly, kMessy);
  chmod(readOnly.c_str(), 0444);
  const std::string folder = dir.File("folder.cld");
  mkdir(folder.c_str(), 0755);
  const std::string fifo = dir.File("fifo.cld");
  mkfifo(fifo.c_str(), 0644);

  const std::string paths[] = {
      dir.File("missing/room.cld"), plain + "/room.cld", readOnly, folder, fifo, "***", ""};
  for (const auto& path : paths) {
    ini::IniFile file(path);
    try {
      file.WriteInteger("Desk1", "Visible", 1);
      ADD_FAILURE() << "no error for " << path;
    } catch (const ini::WriteError& e) {
      EXPECT_EQ(std::string(e.what()), "Unable to write to " + path);
      EXPECT_EQ(e.fileName(), path);
    }
  }
  EXPECT_EQ(ReadBytes(readOnly), kMessy);
  EXPECT_EQ(ReadBytes(plain), "not a folder");
  struct stat st;
  EXPECT_TRUE(stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode));
  EXPECT_TRUE(stat(fifo.c_str(), &st) == 0 && S_ISFIFO(st.st_mode));
  EXPECT_FALSE(platform::FileExists("***"));
  EXPECT_EQ(Entries(dir).size(), 4u) << "no temporary file left";
}

// Only the placeholder "***" (and the empty name) is refused; every name the
// operating system takes is a file like any other.
TEST(IniFileTest, NamesWithWindowsForbiddenCharactersAreOrdinaryFiles) {
  TempDir dir;
  for (const char* name : {"a*b.cld", "what?.ini", "say \"hi\".cld", "<x>|y.cld", "**", "****"}) {
    const std::string path = dir.File(name);
    ini::IniFile file(path);
    ASSERT_NO_THROW(file.WriteString("Desk1", "StudentName", "Аня")) << name;
    EXPECT_NO_THROW(file.Flush()) << name;
    EXPECT_EQ(ReadBytes(path), "[Desk1]\r\nStudentName=" + Cp("Аня") + "\r\n") << name;
    EXPECT_EQ(ini::IniFile(path).ReadString("Desk1", "StudentName", "d"), "Аня") << name;
  }
}

TEST(IniFileTest, RefusedNameRaisesWriteErrorWithoutTouchingTheFile) {
  TempDir dir;
  const std::string path = dir.File("a.ini");
  WriteBytes(path, kMessy);
  ini::IniFile file(path);
  EXPECT_THROW(file.WriteString("", "k", "v"), ini::WriteError);
  EXPECT_THROW(file.WriteString("S", "", "v"), ini::WriteError);
  EXPECT_EQ(ReadBytes(path), kMessy);
}

TEST(IniFileTest, MissingOrUnreadableFileReadsAsDefaults) {
  TempDir dir;
  mkdir(dir.File("sub").c_str(), 0755);
  for (const std::string& path : {dir.File("none.ini"), dir.File("sub"), std::string("***")}) {
    ini::IniFile file(path);
    EXPECT_EQ(file.ReadString("S", "k", "d"), "d") << path;
    EXPECT_EQ(file.ReadInteger("S", "k", 5), 5) << path;
    EXPECT_NO_THROW(file.Flush());
  }
}

// ---------------------------------------------------------------- folders the user may not write

constexpr uid_t kUser = 65534;  // an ordinary user (nobody)

// Root writes anywhere, so the write runs in a forked child that has become
// user and group 65534. 0: written and flushed; 1: WriteError; other: the
// child failed otherwise.
int WriteAsUser(const std::string& path, int value) {
  const pid_t child = fork();
  if (child == 0) {
    if (setgroups(0, nullptr) != 0 || setgid(kUser) != 0 || setuid(kUser) != 0) _exit(2);
    try {
      ini::IniFile file(path);
      file.WriteInteger("Desk1", "Visible", value);
      file.Flush();
      _exit(0);
    } catch (const ini::WriteError&) {
      _exit(1);
    } catch (...) {
      _exit(3);
    }
  }
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

struct FolderRow {
  const char* what;
  mode_t folderMode;  // the folder belongs to root
  uid_t fileOwner;
  mode_t fileMode;
  bool written;
  bool sameInode;  // rewritten where it stands rather than replaced
};

// A program folder locked by an administrator with a vormik.ini the users may
// write: a save is never made in place (a full disk or a crash would leave the
// file cut), so it is refused and the old file stays byte for byte; in a
// shared folder only the user's own file is replaced, always as a new file.
TEST(IniFileTest, WritableFileInAFolderTheUserCannotWrite) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to give the file and folder to another user";
  const FolderRow rows[] = {
      {"locked folder, user's file", 0755, kUser, 0640, false, true},
      {"locked folder, file anyone may write", 0755, 0, 0666, false, true},
      {"locked folder, file the user may not write", 0755, 0, 0644, false, true},
      {"sticky folder, root's file anyone may write", 01777, 0, 0666, false, true},
      {"open folder, user's file", 0777, kUser, 0600, true, false},
  };
  // Longer before than after: a rewrite in place would have to cut the tail.
  const std::string before = "[Desk1]\r\nVisible=1234567890\r\n[Keep]\r\nx=1\r\n";
  const std::string after = "[Desk1]\r\nVisible=7\r\n[Keep]\r\nx=1\r\n";
  TempDir dir;
  ASSERT_EQ(chmod(dir.File("").c_str(), 0755), 0);
  int number = 0;
  for (const FolderRow& row : rows) {
    SCOPED_TRACE(row.what);
    const std::string folder = dir.File("f" + std::to_string(number++));
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    const std::string path = folder + "/vormik.ini";
    WriteBytes(path, before);
    ASSERT_EQ(chown(path.c_str(), row.fileOwner, row.fileOwner), 0);
    ASSERT_EQ(chmod(path.c_str(), row.fileMode), 0);
    ASSERT_EQ(chmod(folder.c_str(), row.folderMode), 0);
    struct stat old;
    ASSERT_EQ(stat(path.c_str(), &old), 0);

    EXPECT_EQ(WriteAsUser(path, 7), row.written ? 0 : 1);

    EXPECT_EQ(ReadBytes(path), row.written ? after : before);
    struct stat now;
    ASSERT_EQ(stat(path.c_str(), &now), 0);
    EXPECT_EQ(now.st_ino == old.st_ino, row.sameInode);
    EXPECT_EQ(now.st_mode & 07777, row.fileMode);
    EXPECT_EQ(now.st_uid, row.fileOwner);
    int entries = 0;
    if (DIR* d = opendir(folder.c_str())) {
      while (dirent* e = readdir(d)) entries += e->d_name[0] != '.';
      closedir(d);
    }
    EXPECT_EQ(entries, 1) << "no temporary file left";
  }
  // Nothing is created in a locked folder.
  const std::string locked = dir.File("locked");
  ASSERT_EQ(mkdir(locked.c_str(), 0755), 0);
  EXPECT_EQ(WriteAsUser(locked + "/vormik.ini", 1), 1);
  EXPECT_FALSE(platform::FileExists(locked + "/vormik.ini"));
}

// ---------------------------------------------------------------- hostile input

TEST(IniHostile, BinaryTextIsReadSafelyAndKeptByteForByte) {
  std::mt19937 random(12345);
  std::string bytes(2 << 20, '\0');
  for (auto& b : bytes) {
    // Mostly noise, with the characters that matter to the parser thick in it.
    const unsigned r = random() % 64;
    b = r < 4 ? "[]=\n"[r] : r < 6 ? '\0' : static_cast<char>(random());
  }
  auto doc = ini::IniDocument::Parse(bytes);
  EXPECT_EQ(doc.Serialize(), bytes);
  for (int i = 0; i < 100; ++i) doc.ReadString(std::string(1, 'a' + i % 26), "k", "d");
  doc.WriteString("VormikSection", "k", "v");
  EXPECT_EQ(doc.Serialize().compare(0, bytes.size(), bytes), 0);
  EXPECT_EQ(doc.ReadString("VormikSection", "k", ""), "v");
}

TEST(IniHostile, HugeLinesManySectionsAndLinesWithoutEquals) {
  std::string text =
      "[Long]\r\nk=" + std::string(1000000, 'L') + "\r\n" + std::string(1000000, 'x') + "\r\n";
  for (int i = 0; i < 100000; ++i) text += "junk line " + std::to_string(i) + "\r\n";
  for (int i = 0; i < 100000; ++i) {
    text += "[S" + std::to_string(i) + "]\r\nk=" + std::to_string(i) + "\r\n";
  }
  TempDir dir;
  const std::string path = dir.File("big.ini");
  WriteBytes(path, text);
  const auto doc = ini::IniDocument::Load(path);
  EXPECT_EQ(doc.ReadString("Long", "k", ""), std::string(2047, 'L'));
  EXPECT_EQ(doc.ReadInteger("s99999", "K", -1), 99999);
  EXPECT_EQ(doc.ReadInteger("S0", "k", -1), 0);
  EXPECT_EQ(doc.ReadInteger("S100000", "k", -1), -1);

  ini::IniFile file(path);
  file.WriteInteger("S50000", "k", 7);
  std::string expected = text;
  expected.replace(expected.find("[S50000]\r\nk=50000") + 12, 5, "7");
  EXPECT_EQ(ReadBytes(path), expected);
}

TEST(IniHostile, ManyKeysInOneSection) {
  std::string text = "[S]\n";
  for (int i = 0; i < 100000; ++i)
    text += "Key" + std::to_string(i) + "=" + std::to_string(i) + "\n";
  const auto doc = ini::IniDocument::Parse(text);
  long long sum = 0;
  for (int i = 0; i < 100000; ++i) sum += doc.ReadInteger("S", "key" + std::to_string(i), 0);
  EXPECT_EQ(sum, 99999LL * 100000 / 2);
}

}  // namespace
