// Both settings layouts on real folders, as the normal user a teacher is.
// Root can write into any folder, so these run only without root rights;
// scripts/package-check.sh runs them as a throw-away user.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include "config/settings.h"
#include "platform/system.h"
#include "tests/support/tempdir.h"

namespace {

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void Touch(const std::string& path) { std::ofstream(path) << "x\n"; }

TEST(SettingsLocationAsUser, PortableBesideTheProgramInstalledInTheUserFolder) {
  if (geteuid() == 0) {
    GTEST_SKIP() << "root may write into any folder; run as a normal user "
                    "(scripts/package-check.sh does)";
  }
  testsupport::TempDir dir;
  const std::string root = dir.path();
  ASSERT_FALSE(root.empty());
  const std::string config = root + "/home/.config";  // not there yet: the first start makes it
  const char* saved = getenv("XDG_CONFIG_HOME");
  const std::string savedValue = saved ? saved : "";
  setenv("XDG_CONFIG_HOME", config.c_str(), 1);

  const struct {
    const char* name;
    mode_t binMode;
    bool installed;
    bool besideExpected;
  } rows[] = {
      {"portable", 0755, false, true},
      {"read-only", 0555, false, false},
      {"installed", 0755, true, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string prefix = root + "/" + row.name;
    const std::string bin = prefix + "/bin";
    ASSERT_EQ(mkdir(prefix.c_str(), 0755), 0);
    ASSERT_EQ(mkdir(bin.c_str(), 0755), 0);
    if (row.installed) {
      for (const char* folder : {"/share", "/share/applications", "/share/mime",
                                 "/share/mime/packages"}) {
        ASSERT_EQ(mkdir((prefix + folder).c_str(), 0755), 0);
      }
      Touch(prefix + "/share/applications/vormik.desktop");
      Touch(prefix + "/share/mime/packages/vormik.xml");
    }
    Touch(bin + "/vormik");
    ASSERT_EQ(chmod(bin.c_str(), row.binMode), 0);

    const std::string beside = bin + "/vormik.ini";
    const std::string inUserFolder = config + "/vormik/vormik.ini";
    const std::string path = settings::SettingsPathOfProgram(bin + "/vormik");
    EXPECT_EQ(path, row.besideExpected ? beside : inUserFolder);
    unlink(inUserFolder.c_str());
    ASSERT_TRUE(settings::WriteDefaultSettingsIfMissing(path));
    EXPECT_EQ(ReadBytes(path), settings::DefaultSettingsText());
    EXPECT_EQ(platform::FileExists(beside), row.besideExpected);
    chmod(bin.c_str(), 0755);  // so the folder can be removed
  }
  if (saved)
    setenv("XDG_CONFIG_HOME", savedValue.c_str(), 1);
  else
    unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
