// Settings file location, first-run text and the rule that an existing file is kept.
#include "config/settings.h"
#include "tests/support/tempdir.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include "config/cp1251.h"
#include "config/inifile.h"
#include "platform/system.h"

namespace {

using testsupport::TempDir;

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// The first-run file as a user would type it, in UTF-8 with CR LF.
const char kDefaultUtf8[] =
    "[Communication]\r\nPortName=COM1\r\nReadThreadStop=0\r\nNotWaitCSFromMC=0\r\n"
    "[Interface]\r\nMainFormWidth=700\r\nMainFormHeight=500\r\nEnableToMoveDesks=0\r\n"
    "NumberOfVisibleDesk=16\r\n"
    "[NumDesk]\r\nDesk1=Стол 1\r\nDesk2=Стол 2\r\nDesk3=Стол 3\r\nDesk4=Стол 4\r\n"
    "Desk5=Стол 5\r\nDesk6=Стол 6\r\nDesk7=Стол 7\r\nDesk8=Стол 8\r\nDesk9=Стол 9\r\n"
    "Desk10=Стол 10\r\nDesk11=Стол 11\r\nDesk12=Стол 12\r\nDesk13=Стол 13\r\n"
    "Desk14=Стол 14\r\nDesk15=Стол 15\r\nDesk16=Стол 16\r\n"
    "[Desk2DeskCommIF]\r\ndc1_2=oo\r\ndc3_4=oo\r\ndc5_6=oo\r\ndc7_8=oo\r\ndc9_10=oo\r\n"
    "dc11_12=oo\r\ndc13_14=oo\r\ndc15_16=oo\r\n";

TEST(Settings, DefaultTextIsThe35LinesInWindows1251) {
  const std::string text = settings::DefaultSettingsText();
  EXPECT_EQ(text, cp1251::FromUtf8(kDefaultUtf8));
  // Independent of the converter: "Стол" spelt in Windows-1251 bytes.
  EXPECT_NE(text.find("\r\nDesk1=\xD1\xF2\xEE\xEB 1\r\nDesk2="), std::string::npos);
  size_t lines = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n') {
      ++lines;
      EXPECT_TRUE(i > 0 && text[i - 1] == '\r') << "bare LF at " << i;
    }
  }
  EXPECT_EQ(lines, 35u);
  EXPECT_EQ(text.substr(text.size() - 12), "dc15_16=oo\r\n");
}

// What the first start reads back from the file it has just written.
TEST(Settings, DefaultTextReadsAsTheDefaults) {
  using namespace settings;
  const auto doc = ini::IniDocument::Parse(DefaultSettingsText());
  EXPECT_EQ(doc.ReadString(kCommunication, kPortName, ""), "COM1");
  EXPECT_EQ(doc.ReadString(kInterface, kMainFormWidth, "") + "x" +
                doc.ReadString(kInterface, kMainFormHeight, ""),
            "700x500");
  EXPECT_EQ(doc.ReadInteger(kInterface, kNumberOfVisibleDesk, -1), 16);
  EXPECT_EQ(doc.ReadString(kInterface, kClassRoomConfigurationFile, kNoClassroomFile), "***");
  EXPECT_EQ(doc.ReadString(kNumDesk, DeskKey(16), ""), "Стол 16");
  EXPECT_EQ(doc.ReadString(kDesk2DeskCommIF, PairCodeKey(8), ""), "oo");
}

TEST(Settings, KeyNames) {
  const struct {
    int number;
    const char* desk;
    const char* pair;
  } rows[] = {{1, "Desk1", "dc1_2"},  {2, "Desk2", "dc3_4"},   {4, "Desk4", "dc7_8"},
              {5, "Desk5", "dc9_10"}, {7, "Desk7", "dc13_14"}, {8, "Desk8", "dc15_16"}};
  for (const auto& row : rows) {
    EXPECT_EQ(settings::DeskKey(row.number), row.desk);
    EXPECT_EQ(settings::PairCodeKey(row.number), row.pair);
  }
  EXPECT_EQ(settings::DeskKey(16), "Desk16");
}

TEST(Settings, PathIsBesideTheExecutable) {
  const struct {
    const char* exe;
    const char* ini;
  } rows[] = {
      {"/opt/vormik/bin/vormik", "/opt/vormik/bin/vormik.ini"},
      {"/vormik", "/vormik.ini"},
      {"/a.b/c d/vormik.exe", "/a.b/c d/vormik.ini"},
      {"vormik", "vormik.ini"},
#ifdef _WIN32
      {"C:\\Program Files\\Vormik\\vormik.exe", "C:\\Program Files\\Vormik\\vormik.ini"},
      {"C:/Vormik\\bin/vormik.exe", "C:/Vormik\\bin/vormik.ini"},
#endif
  };
  for (const auto& row : rows) EXPECT_EQ(settings::SettingsPathFor(row.exe), row.ini);
}

TEST(Settings, SettingsPathFollowsTheRunningProgramNotTheWorkingFolder) {
  const std::string exe = platform::ExecutablePath();
  ASSERT_FALSE(exe.empty());
  EXPECT_EQ(exe.front(), '/');
  const std::string name = "/settings_posix_test";
  ASSERT_GT(exe.size(), name.size());
  EXPECT_EQ(exe.substr(exe.size() - name.size()), name);
  EXPECT_TRUE(platform::FileExists(exe));
  const std::string expected = exe.substr(0, exe.size() - name.size() + 1) + "vormik.ini";
  EXPECT_EQ(settings::SettingsPath(), expected);

  TempDir dir;
  char old[4096];
  ASSERT_NE(getcwd(old, sizeof old), nullptr);
  ASSERT_EQ(chdir(dir.File("").c_str()), 0);
  const std::string fromElsewhere = settings::SettingsPath();
  ASSERT_EQ(chdir(old), 0);
  EXPECT_EQ(fromElsewhere, expected);
}

TEST(Settings, DefaultFileIsWrittenOnlyWhenMissing) {
  TempDir dir;
  const std::string path = dir.File("vormik.ini");
  ASSERT_TRUE(settings::WriteDefaultSettingsIfMissing(path));
  EXPECT_EQ(ReadBytes(path), settings::DefaultSettingsText());

  // Existing files are the user's, whatever they hold.
  for (const std::string& content :
       {std::string(), std::string("[Interface]\r\nMainFormWidth=900")}) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
    EXPECT_TRUE(settings::WriteDefaultSettingsIfMissing(path));
    EXPECT_EQ(ReadBytes(path), content);
  }
}

TEST(Settings, DefaultFileThatCannotBeCreatedReportsFalse) {
  TempDir dir;
  const std::string plain = dir.File("plain");
  std::ofstream(plain) << "x";
  const std::string folder = dir.File("vormik.ini");
  mkdir(folder.c_str(), 0755);
  for (const std::string& path : {dir.File("missing/vormik.ini"), plain + "/vormik.ini", folder}) {
    EXPECT_FALSE(settings::WriteDefaultSettingsIfMissing(path)) << path;
  }
  EXPECT_FALSE(platform::FileExists(dir.File("missing/vormik.ini")));
  struct stat st;
  EXPECT_TRUE(stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode));
}

}  // namespace
