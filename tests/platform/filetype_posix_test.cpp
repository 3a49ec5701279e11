// Registration of the classroom file type in a temporary freedesktop data folder.
#include "platform/filetype.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "platform/linux/desktopexec.h"

namespace {

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string LineStarting(const std::string& text, const std::string& prefix) {
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind(prefix, 0) == 0) return line;
  }
  return "";
}

std::set<std::string> FileNames(const std::string& dir) {
  std::set<std::string> names;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d)) {
      if (e->d_name[0] != '.') names.insert(e->d_name);
    }
    closedir(d);
  }
  return names;
}

class FileTypeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/vormik-filetype-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root = pattern;
    const char* xdg = getenv("XDG_DATA_HOME");
    const char* home = getenv("HOME");
    savedXdg = xdg ? xdg : "";
    savedHome = home ? home : "";
    hadXdg = xdg != nullptr;
    setenv("XDG_DATA_HOME", root.c_str(), 1);
  }
  void TearDown() override {
    if (hadXdg)
      setenv("XDG_DATA_HOME", savedXdg.c_str(), 1);
    else
      unsetenv("XDG_DATA_HOME");
    setenv("HOME", savedHome.c_str(), 1);
    ASSERT_EQ(system(("rm -rf '" + root + "'").c_str()), 0);
  }
  std::string root, savedXdg, savedHome;
  bool hadXdg = false;
};

TEST(DesktopExec, QuotesEveryAwkwardCharacter) {
  const struct {
    const char* path;
    const char* exec;
  } kCases[] = {
      {"/usr/bin/vormik", R"("/usr/bin/vormik")"},
      {"/opt/My Lab/vormik", R"("/opt/My Lab/vormik")"},
      {"/a\"b", R"("/a\\"b")"},
      {"/a$HOME", R"("/a\\$HOME")"},
      {"/a`id`", R"("/a\\`id\\`")"},
      {"/a\\b", R"("/a\\\\b")"},
      {"/100%f", R"("/100%%f")"},
      {"/a'b;c&d|e", R"("/a'b;c&d|e")"},
      {"/a\nb", R"("/a\nb")"},
  };
  for (const auto& c : kCases) EXPECT_EQ(platform::DesktopExecQuote(c.path), c.exec) << c.path;
}

TEST_F(FileTypeTest, WritesPackageAndEntryAndRewritesThemForANewPath) {
  ASSERT_TRUE(platform::RegisterFileType("/opt/My Lab/vor$mik"));
  const std::string xml = ReadText(root + "/mime/packages/vormik-classroom.xml");
  EXPECT_NE(xml.find("type=\"application/x-vormik-classroom\""), std::string::npos);
  EXPECT_NE(xml.find("<glob pattern=\"*.cld\"/>"), std::string::npos);
  EXPECT_NE(xml.find("<comment>Vormik classroom</comment>"), std::string::npos);
  EXPECT_NE(xml.find(u8"<comment xml:lang=\"ru\">Описание кабинета</comment>"), std::string::npos);

  const std::string entryPath = root + "/applications/vormik.desktop";
  std::string entry = ReadText(entryPath);
  EXPECT_EQ(LineStarting(entry, "[Desktop Entry]"), "[Desktop Entry]");
  EXPECT_EQ(LineStarting(entry, "Exec="), R"(Exec="/opt/My Lab/vor\\$mik" %f)");
  EXPECT_EQ(LineStarting(entry, "MimeType="), "MimeType=application/x-vormik-classroom;");
  EXPECT_EQ(LineStarting(entry, "Type="), "Type=Application");

  ASSERT_TRUE(platform::RegisterFileType("/srv/moved/vormik"));
  entry = ReadText(entryPath);
  EXPECT_EQ(LineStarting(entry, "Exec="), R"(Exec="/srv/moved/vormik" %f)");
  // No temporary files left beside the two written ones.
  EXPECT_EQ(FileNames(root + "/applications").count("vormik.desktop"), 1u);
  for (const auto& name : FileNames(root + "/applications")) {
    EXPECT_EQ(name.find("vormik.desktop."), std::string::npos) << name;
  }
  for (const auto& name : FileNames(root + "/mime/packages")) {
    EXPECT_EQ(name, "vormik-classroom.xml");
  }
}

TEST_F(FileTypeTest, RelativeDataHomeFallsBackToHome) {
  setenv("XDG_DATA_HOME", "relative/share", 1);
  setenv("HOME", root.c_str(), 1);
  ASSERT_TRUE(platform::RegisterFileType("/usr/bin/vormik"));
  EXPECT_NE(ReadText(root + "/.local/share/applications/vormik.desktop")
                .find("Exec=\"/usr/bin/vormik\" %f"),
            std::string::npos);
}

TEST_F(FileTypeTest, FailuresReturnFalse) {
  const std::string file = root + "/plain";
  close(open(file.c_str(), O_CREAT | O_WRONLY, 0600));
  setenv("XDG_DATA_HOME", (file + "/share").c_str(), 1);
  EXPECT_FALSE(platform::RegisterFileType("/usr/bin/vormik"));

  setenv("XDG_DATA_HOME", root.c_str(), 1);
  EXPECT_FALSE(platform::RegisterFileType(""));
  EXPECT_FALSE(platform::RegisterFileType("vormik"));  // relative: the desktop cannot start it
  EXPECT_FALSE(platform::RegisterFileType("/usr/bin/vor\xFFmik"));  // not UTF-8
  EXPECT_TRUE(FileNames(root + "/applications").empty());
}

}  // namespace
