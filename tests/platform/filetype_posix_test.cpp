// Registration of the classroom file type in a temporary freedesktop data folder.
#include "platform/filetype.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
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
    // The registration starts the cache tools and does not wait for them: the
    // real ones would still be writing into the folder as it is removed.
    bin = root + "/bin";
    ASSERT_EQ(mkdir(bin.c_str(), 0755), 0);
    for (const char* tool : {"update-mime-database", "update-desktop-database"}) {
      WriteTool(tool, "exit 0\n");
    }
    const char* path = getenv("PATH");
    savedPath = path ? path : "";
    setenv("PATH", (bin + ":" + savedPath).c_str(), 1);
  }
  void WriteTool(const std::string& tool, const std::string& body) {
    const std::string script = bin + "/" + tool;
    std::ofstream(script) << "#!/bin/sh\n" << body;
    ASSERT_EQ(chmod(script.c_str(), 0755), 0);
  }
  void TearDown() override {
    setenv("PATH", savedPath.c_str(), 1);
    if (hadXdg)
      setenv("XDG_DATA_HOME", savedXdg.c_str(), 1);
    else
      unsetenv("XDG_DATA_HOME");
    setenv("HOME", savedHome.c_str(), 1);
    ASSERT_EQ(system(("rm -rf '" + root + "'").c_str()), 0);
  }
  std::string root, savedXdg, savedHome, bin, savedPath;
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

struct Stamp {
  ino_t inode;
  timespec modified;
  bool operator==(const Stamp& o) const {
    return inode == o.inode && modified.tv_sec == o.modified.tv_sec &&
           modified.tv_nsec == o.modified.tv_nsec;
  }
};

Stamp StampOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
  return {st.st_ino, st.st_mtim};
}

bool WaitForFile(const std::string& path) {
  // A bound only against a hang; the tools normally answer at once.
  for (int i = 0; i < 1000; ++i) {
    if (access(path.c_str(), F_OK) == 0) return true;
    const timespec pause{0, 20 * 1000000L};
    nanosleep(&pause, nullptr);
  }
  return false;
}

// Stand-ins for the two cache tools: each notes its argument, then waits
// until the test lets it go. A registration that waited for them would see
// them killed or would never return.
class FileTypeToolsTest : public FileTypeTest {
 protected:
  void SetUp() override {
    FileTypeTest::SetUp();
    for (const char* tool : {"update-mime-database", "update-desktop-database"}) {
      WriteTool(tool, "echo \"$1\" >> '" + root + "/" + tool + ".started'\n" +
                          "while [ ! -e '" + root + "/go' ]; do sleep 0.05; done\n" +
                          "echo \"$1\" >> '" + root + "/" + tool + ".done'\n");
    }
  }
  // Lets every stand-in end before the folder goes, so none writes into it
  // while it is removed and none waits for ever.
  void TearDown() override {
    close(open((root + "/go").c_str(), O_CREAT | O_WRONLY, 0600));
    for (const char* tool : {"update-mime-database", "update-desktop-database"}) {
      const std::string started = Started(tool);
      Ended(tool, static_cast<size_t>(std::count(started.begin(), started.end(), '\n')));
    }
    FileTypeTest::TearDown();
  }
  std::string Started(const char* tool) { return ReadText(root + "/" + tool + ".started"); }
  // Waits (bounded only against a hang) until the tool has ended `runs` times.
  bool Ended(const char* tool, size_t runs) {
    const timespec pause{0, 20 * 1000000L};
    for (int i = 0; i < 1000; ++i) {
      const std::string done = ReadText(root + "/" + tool + ".done");
      if (static_cast<size_t>(std::count(done.begin(), done.end(), '\n')) >= runs) return true;
      nanosleep(&pause, nullptr);
    }
    return false;
  }
};

TEST_F(FileTypeToolsTest, UnchangedRegistrationWritesNothingAndChangedOneRunsTheTools) {
  const std::string package = root + "/mime/packages/vormik-classroom.xml";
  const std::string entry = root + "/applications/vormik.desktop";
  ASSERT_TRUE(platform::RegisterFileType("/opt/lab/vormik"));
  // The tools were started and are still running: nobody waited for them.
  ASSERT_TRUE(WaitForFile(root + "/update-mime-database.started"));
  ASSERT_TRUE(WaitForFile(root + "/update-desktop-database.started"));
  EXPECT_EQ(Started("update-mime-database"), root + "/mime\n");
  EXPECT_EQ(Started("update-desktop-database"), root + "/applications\n");
  close(open((root + "/go").c_str(), O_CREAT | O_WRONLY, 0600));
  ASSERT_TRUE(Ended("update-mime-database", 1));
  ASSERT_TRUE(Ended("update-desktop-database", 1));
  const Stamp packageBefore = StampOf(package);
  const Stamp entryBefore = StampOf(entry);

  // mtime alone could miss a rewrite within the clock's granularity; the
  // inode changes with every rename.
  const timespec pause{0, 20 * 1000000L};
  nanosleep(&pause, nullptr);
  ASSERT_TRUE(platform::RegisterFileType("/opt/lab/vormik"));
  EXPECT_TRUE(StampOf(package) == packageBefore);
  EXPECT_TRUE(StampOf(entry) == entryBefore);

  // Another path changes only the desktop entry.
  ASSERT_TRUE(platform::RegisterFileType("/opt/moved/vormik"));
  EXPECT_TRUE(StampOf(package) == packageBefore);
  EXPECT_FALSE(StampOf(entry) == entryBefore);
  EXPECT_EQ(LineStarting(ReadText(entry), "Exec="), R"(Exec="/opt/moved/vormik" %f)");
  // Only the desktop tool runs again; the unchanged registration ran none.
  ASSERT_TRUE(Ended("update-desktop-database", 2));
  EXPECT_EQ(Started("update-desktop-database"),
            root + "/applications\n" + root + "/applications\n");
  EXPECT_EQ(Started("update-mime-database"), root + "/mime\n");

  // A damaged file is put right, and its cache refreshed.
  std::ofstream(package) << "broken";
  ASSERT_TRUE(platform::RegisterFileType("/opt/moved/vormik"));
  EXPECT_NE(ReadText(package).find("<glob pattern=\"*.cld\"/>"), std::string::npos);
  EXPECT_TRUE(Ended("update-mime-database", 2));
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
