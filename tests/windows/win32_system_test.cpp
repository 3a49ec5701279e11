// The Win32 small system services: where the executable is, and replacing a
// file in one step without leaving anything behind.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "config/settings.h"
#include "platform/appendfile.h"
#include "platform/safereplace.h"
#include "platform/system.h"
#include "tests/windows/wintest.h"

namespace {

using wintest::TempFolder;

int FilesIn(const std::string& folder) {
  int count = 0;
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((folder + "*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return 0;
  do {
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) ++count;
  } while (FindNextFileA(find, &data));
  FindClose(find);
  return count;
}

TEST(Win32SystemTest, ExecutablePathIsThisProgramNotTheWorkingFolder) {
  char module[MAX_PATH];
  const DWORD n = GetModuleFileNameA(nullptr, module, MAX_PATH);
  TempFolder elsewhere;
  SetCurrentDirectoryA(elsewhere.path().c_str());

  const std::string path = platform::ExecutablePath();
  EXPECT_EQ(std::string(module, n), path);
  EXPECT_TRUE(platform::FileExists(path));
  const std::string folder = platform::DirectoryOf(path);
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ('\\', folder.back());
  EXPECT_EQ("win32_system_test.exe", path.substr(folder.size()));
  EXPECT_FALSE(platform::FileExists(folder)) << "a folder is not a file";
  EXPECT_EQ(folder + "vormik.ini", settings::SettingsPath());
}

struct ReplaceCase {
  const char* name;
  const char* before;  // nullptr: no file yet
  std::string after;
};

TEST(Win32SystemTest, ReplaceFileAtomicallyLeavesExactlyTheNewBytes) {
  const ReplaceCase cases[] = {
      {"new file", nullptr, "[S]\r\nk=v\r\n"},
      {"longer", "short", std::string(100000, 'x') + "\r\n"},
      {"shorter", "a much longer old content\r\n", "new"},
      {"emptied", "old", ""},
      {"binary", "old", std::string("\0\xFF\r\n\x1A", 5)},
  };
  for (const ReplaceCase& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder folder;
    const std::string path = folder.File("vormik.ini");
    if (c.before) wintest::WriteBytes(path, c.before);
    ASSERT_TRUE(platform::ReplaceFileAtomically(path, c.after));
    EXPECT_EQ(c.after, wintest::ReadBytes(path));
    std::string read;
    EXPECT_TRUE(platform::ReadWholeFile(path, read));
    EXPECT_EQ(c.after, read);
    EXPECT_EQ(1, FilesIn(folder.path())) << "a temporary file was left behind";
    EXPECT_TRUE(platform::FlushFileToDisk(path));
  }
}

// The file read is the file replaced: one put in its place since stays.
TEST(Win32SystemTest, ReplaceRefusesAFileReplacedSinceItWasRead) {
  TempFolder folder;
  const std::string path = folder.File("room.cld");
  wintest::WriteBytes(path, "read");
  const platform::FileIdentity read = platform::IdentityOf(path);
  ASSERT_TRUE(read.known);
  EXPECT_EQ(platform::SafeReplaceFile(path, "saved", &read), platform::ReplaceStatus::Ok);
  EXPECT_EQ(platform::SafeReplaceFile(path, "again", &read), platform::ReplaceStatus::Changed);
  EXPECT_EQ("saved", wintest::ReadBytes(path));
}

TEST(Win32SystemTest, ReplaceFailsWithoutDamageWhereItCannotWrite) {
  TempFolder folder;
  const std::string readOnly = folder.File("readonly.ini");
  wintest::WriteBytes(readOnly, "keep");
  SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_FALSE(platform::ReplaceFileAtomically(readOnly, "lost"));
  SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ("keep", wintest::ReadBytes(readOnly));

  EXPECT_FALSE(platform::ReplaceFileAtomically(folder.File("missing\\x.ini"), "x"));
  EXPECT_FALSE(platform::ReplaceFileAtomically(folder.path(), "x")) << "a folder";
  EXPECT_EQ(1, FilesIn(folder.path()));

  std::string untouched = "unchanged";
  EXPECT_FALSE(platform::ReadWholeFile(folder.File("missing.ini"), untouched));
  EXPECT_EQ("unchanged", untouched);
  EXPECT_FALSE(platform::FileExists(folder.File("missing.ini")));
}

// Another user's file is replaced only where nobody else may write the folder:
// in a shared one it could have been put there to be written over. The files
// are laid out on the Linux side (the test's fixture), so the owners and
// access lists are the ones Wine makes of real owners and modes.
TEST(Win32SystemTest, ReplaceRefusesAnotherUsersFileInAFolderOthersMayWrite) {
  const char* root = std::getenv("VORMIK_TEST_NEIGHBOUR_FILES");
  if (root == nullptr) GTEST_SKIP() << "run by ctest, which lays out the neighbour's files";
  std::string base = root;
  std::replace(base.begin(), base.end(), '/', '\\');
  if (!wintest::Exists(base + "\\shared\\neighbour.cld")) {
    GTEST_SKIP() << "another user's file needs root to be made (chown)";
  }
  struct Case {
    const char* file;
    platform::ReplaceStatus status;
    const char* after;
  } const cases[] = {
      {"\\shared\\neighbour.cld", platform::ReplaceStatus::ForeignEntry, "neighbour"},
      {"\\shared\\own.cld", platform::ReplaceStatus::Ok, "saved"},
      {"\\shared\\new.cld", platform::ReplaceStatus::Ok, "saved"},
      {"\\private\\neighbour.cld", platform::ReplaceStatus::Ok, "saved"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const std::string path = base + c.file;
    EXPECT_EQ(c.status, platform::CheckReplaceable(path));
    EXPECT_EQ(c.status, platform::SafeReplaceFile(path, "saved"));
    EXPECT_EQ(c.after, wintest::ReadBytes(path));
  }
  EXPECT_EQ(3, FilesIn(base + "\\shared\\")) << "no temporary file left behind";
}

// Names are UTF-8 in the program and must reach Windows as the same letters: a
// teacher's profile folder and classroom files are named in Cyrillic, which the
// ANSI calls would read as other letters (and 教 not at all).
TEST(Win32SystemTest, FileServicesTakeUtf8NamesAsTheirLetters) {
  TempFolder folder;
  const std::wstring wideFolder = std::wstring(folder.path().begin(), folder.path().end()) +
                                  L"\u0423\u0447\u0438\u0442\u0435\u043B\u044C \u6559";
  ASSERT_TRUE(CreateDirectoryW(wideFolder.c_str(), nullptr));
  const std::string utf8Folder = folder.path() + "Учитель 教";
  const std::string file = utf8Folder + "\\5А класс.cld";
  const std::wstring wideFile = wideFolder + L"\\5\u0410 \u043A\u043B\u0430\u0441\u0441.cld";

  EXPECT_TRUE(platform::FolderWritable(utf8Folder + "\\"));
  ASSERT_EQ(platform::SafeReplaceFile(file, "saved"), platform::ReplaceStatus::Ok);
  EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(wideFile.c_str()))
      << "the file has another name on the disk";
  EXPECT_TRUE(platform::FileExists(file));
  std::string read;
  EXPECT_TRUE(platform::ReadWholeFile(file, read));
  EXPECT_EQ("saved", read);
  EXPECT_TRUE(platform::IdentityOf(file).known);

  const std::string journal = utf8Folder + "\\журнал\\урок.csv";
  platform::AppendFile append;
  bool empty = false;
  ASSERT_EQ(platform::AppendOpenStatus::Ok, append.Open(journal, empty));
  EXPECT_TRUE(append.Append("строка\r\n"));
  append.Close();
  EXPECT_TRUE(platform::FileExists(journal));

  ASSERT_TRUE(platform::MakeFolder(utf8Folder + "\\настройки"));
  EXPECT_NE(INVALID_FILE_ATTRIBUTES,
            GetFileAttributesW((wideFolder + L"\\\u043D\u0430\u0441\u0442\u0440\u043E\u0439\u043A\u0438").c_str()));
  RemoveDirectoryW((wideFolder + L"\\\u043D\u0430\u0441\u0442\u0440\u043E\u0439\u043A\u0438").c_str());
  DeleteFileW(wideFile.c_str());
  DeleteFileW((wideFolder + L"\\\u0436\u0443\u0440\u043D\u0430\u043B\\\u0443\u0440\u043E\u043A.csv").c_str());
  RemoveDirectoryW((wideFolder + L"\\\u0436\u0443\u0440\u043D\u0430\u043B").c_str());
  RemoveDirectoryW(wideFolder.c_str());
}

TEST(Win32SystemTest, EnvironmentValuesComeAsUtf8) {
  ASSERT_TRUE(SetEnvironmentVariableW(L"VORMIK_TEST_VALUE", L"C:\\Users\\\u0423\u0447\u0438\u0442\u0435\u043B\u044C"));
  std::string value;
  ASSERT_TRUE(platform::EnvironmentValue("VORMIK_TEST_VALUE", value));
  EXPECT_EQ("C:\\Users\\Учитель", value);
  SetEnvironmentVariableW(L"VORMIK_TEST_VALUE", nullptr);
  EXPECT_FALSE(platform::EnvironmentValue("VORMIK_TEST_VALUE", value));
}

}  // namespace
