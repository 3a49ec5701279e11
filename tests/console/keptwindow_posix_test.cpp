// The window's size and place kept in vormik.ini: read back as written,
// written only when changed, and every other byte of the file kept.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <sstream>

#include "config/inifile.h"
#include "console/windowplacement.h"
#include "tests/support/tempdir.h"

namespace {

std::string Bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream all;
  all << in.rdbuf();
  return all.str();
}

void Write(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

const char kSettings[] =
    "; the teacher's own note\r\n[Communication]\r\nPortName=COM3\r\n"
    "[Interface]\r\nMainFormWidth=700\r\nMainFormHeight = 500\r\nCallSound=1\r\n\r\n[NumDesk]\r\n1=1\r\n";

TEST(KeptWindow, TheLeftWindowIsWrittenOnlyWhenChangedAndReadBack) {
  testsupport::TempDir dir;
  const std::string path = dir.File("vormik.ini");
  Write(path, kSettings);
  const console::KeptWindow read = console::ReadKeptWindow(ini::IniDocument::Load(path));
  EXPECT_FALSE(read.frame.has_value());
  EXPECT_FALSE(read.maximized);

  // Unchanged: not a byte written.
  EXPECT_EQ(console::SaveKeptWindow(path, console::ChangeToKeep(read, read)), "");
  EXPECT_EQ(Bytes(path), kSettings);

  const console::KeptWindow left{console::PlanRect{-20, 40, 1400, 1000}, true};
  EXPECT_EQ(console::SaveKeptWindow(path, console::ChangeToKeep(read, left)), "");
  const std::string written = Bytes(path);
  EXPECT_EQ(written,
            "; the teacher's own note\r\n[Communication]\r\nPortName=COM3\r\n"
            "[Interface]\r\nMainFormWidth=700\r\nMainFormHeight = 500\r\nCallSound=1\r\n"
            "WindowLeft=-20\r\nWindowTop=40\r\nWindowWidth=1400\r\nWindowHeight=1000\r\n"
            "WindowMaximized=1\r\n\r\n[NumDesk]\r\n1=1\r\n");
  const console::KeptWindow again = console::ReadKeptWindow(ini::IniDocument::Load(path));
  ASSERT_TRUE(again.frame.has_value());
  EXPECT_EQ(*again.frame, *left.frame);
  EXPECT_TRUE(again.maximized);

  // Only the maximized state changed: only its line does.
  EXPECT_EQ(console::SaveKeptWindow(path, console::ChangeToKeep(again, {left.frame, false})), "");
  std::string expected = written;
  expected.replace(expected.find("WindowMaximized=1"), 17, "WindowMaximized=0");
  EXPECT_EQ(Bytes(path), expected);
}

TEST(KeptWindow, AKeptSizeThatIsNoSizeIsNotUsed) {
  const struct {
    const char* interface;
    bool frame;
  } rows[] = {
      {"WindowLeft=1\nWindowTop=2\nWindowWidth=800\nWindowHeight=600\n", true},
      {"WindowLeft=1\nWindowTop=2\nWindowWidth=800\n", false},
      {"WindowLeft=1\nWindowTop=2\nWindowWidth=0\nWindowHeight=600\n", false},
      {"WindowLeft=x\nWindowTop=2\nWindowWidth=800\nWindowHeight=600\n", false},
      {"WindowLeft=1\nWindowTop=2\nWindowWidth=99999999999\nWindowHeight=600\n", false},
  };
  for (const auto& row : rows) {
    const console::KeptWindow kept = console::ReadKeptWindow(
        ini::IniDocument::Parse(std::string("[Interface]\n") + row.interface));
    EXPECT_EQ(kept.frame.has_value(), row.frame) << row.interface;
  }
}

TEST(KeptWindow, AnUnreadableSettingsFileIsNotReplaced) {
  testsupport::TempDir dir;
  const std::string folder = dir.File("vormik.ini");
  ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
  const std::string problem =
      console::SaveKeptWindow(folder, {console::PlanRect{0, 0, 800, 600}, std::nullopt});
  EXPECT_NE(problem.find("размер окна не сохранён"), std::string::npos) << problem;
}

}  // namespace
