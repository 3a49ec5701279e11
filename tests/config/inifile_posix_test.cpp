// INI files on disk: writes in place, file replacement, folders and hostile input.
#include "config/inifile.h"

#include <dirent.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "config/cp1251.h"
#include "platform/system.h"
#include "tests/config/messyini.h"
#include "tests/support/tempdir.h"

namespace {

using initests::kMessy;
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
