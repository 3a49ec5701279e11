// The Win32 append-only file: records land at the end, shared with readers,
// the folder is made on the way, and a folder at the file's place is refused.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <utility>

#include "platform/appendfile.h"
#include "platform/system.h"
#include "tests/windows/wintest.h"

namespace {

using wintest::TempFolder;

TEST(Win32AppendFileTest, RecordsFollowEachOtherAndReadersSeeThemAtOnce) {
  TempFolder folder;
  const std::string path = folder.path() + "lessons\\journal.csv";
  {
    platform::AppendFile file;
    bool empty = false;
    ASSERT_EQ(file.Open(path, empty), platform::AppendOpenStatus::Ok);
    EXPECT_TRUE(empty);
    EXPECT_TRUE(file.Append("one\r\n"));
    std::string text;
    // Read while the writer still holds the file open.
    ASSERT_TRUE(platform::ReadWholeFile(path, text));
    EXPECT_EQ(text, "one\r\n");
  }
  platform::AppendFile again;
  bool empty = true;
  ASSERT_EQ(again.Open(path, empty), platform::AppendOpenStatus::Ok);
  EXPECT_FALSE(empty);
  EXPECT_TRUE(again.Append("two\r\n"));
  again.Close();
  std::string text;
  ASSERT_TRUE(platform::ReadWholeFile(path, text));
  EXPECT_EQ(text, "one\r\ntwo\r\n");
  DeleteFileA(path.c_str());
  RemoveDirectoryA((folder.path() + "lessons").c_str());
}

// A last record cut by a crash is seen, so the next one starts a line of its own.
TEST(Win32AppendFileTest, ACutLastRecordIsSeen) {
  TempFolder folder;
  const std::string path = folder.path() + "journal.csv";
  for (const auto& [text, cut] : {std::pair<const char*, bool>{"", false}, {"one\r\n", false},
                                  {"one\r\ntw", true}}) {
    ASSERT_TRUE(platform::ReplaceFileAtomically(path, text));
    platform::AppendFile file;
    bool empty = false;
    ASSERT_EQ(file.Open(path, empty), platform::AppendOpenStatus::Ok);
    EXPECT_EQ(file.EndsMidRecord('\n'), cut) << text;
    EXPECT_TRUE(file.Append("x\r\n"));
  }
  DeleteFileA(path.c_str());
}

// A second name of another file (a hard link) is not written through.
TEST(Win32AppendFileTest, AHardLinkIsRefused) {
  TempFolder folder;
  const std::string kept = folder.path() + "kept.txt";
  const std::string path = folder.path() + "journal.csv";
  ASSERT_TRUE(platform::ReplaceFileAtomically(kept, "the teacher's own"));
  ASSERT_TRUE(CreateHardLinkA(path.c_str(), kept.c_str(), nullptr));
  platform::AppendFile file;
  bool empty = false;
  EXPECT_EQ(file.Open(path, empty), platform::AppendOpenStatus::NotAFile);
  std::string text;
  ASSERT_TRUE(platform::ReadWholeFile(kept, text));
  EXPECT_EQ(text, "the teacher's own");
  DeleteFileA(path.c_str());
  DeleteFileA(kept.c_str());
}

TEST(Win32AppendFileTest, AFolderAtTheFilesPlaceIsRefused) {
  TempFolder folder;
  const std::string path = folder.path() + "taken";
  ASSERT_TRUE(CreateDirectoryA(path.c_str(), nullptr));
  platform::AppendFile file;
  bool empty = false;
  EXPECT_NE(file.Open(path, empty), platform::AppendOpenStatus::Ok);
  EXPECT_FALSE(file.isOpen());
  EXPECT_FALSE(file.Append("x"));
  RemoveDirectoryA(path.c_str());
}

}  // namespace
