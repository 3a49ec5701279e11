// Recognising a file type and menu entry that an installed package has put in place.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <string>

#include "platform/filetype.h"
#include "tests/support/tempdir.h"

namespace {

// <folder>/bin and <folder>/share with the chosen installed files; entryIsFolder
// puts a folder where the desktop entry would be.
void MakeShare(const std::string& folder, bool desktopEntry, bool mimePackage,
               bool entryIsFolder = false) {
  for (const char* sub : {"", "/bin", "/share", "/share/applications", "/share/mime",
                          "/share/mime/packages"}) {
    mkdir((folder + sub).c_str(), 0755);
  }
  const std::string entry = folder + "/share/applications/vormik.desktop";
  if (entryIsFolder) mkdir(entry.c_str(), 0755);
  if (desktopEntry && !entryIsFolder) std::ofstream(entry) << "[Desktop Entry]\n";
  if (mimePackage) std::ofstream(folder + "/share/mime/packages/vormik.xml") << "<mime-info/>\n";
}

TEST(InstalledRegistration, ExecutablesPrefix) {
  testsupport::TempDir dir;
  const std::string root = dir.path();
  MakeShare(root + "/full", true, true);
  MakeShare(root + "/entry-only", true, false);
  MakeShare(root + "/mime-only", false, true);
  MakeShare(root + "/folder-entry", false, true, true);
  const struct {
    std::string exe;
    bool installed;
  } rows[] = {
      {root + "/full/bin/vormik", true},
      {root + "/entry-only/bin/vormik", false},
      {root + "/mime-only/bin/vormik", false},
      {root + "/folder-entry/bin/vormik", false},
      // Not in <prefix>/bin: a build folder or a portable copy.
      {root + "/full/vormik", false},
      {root + "/full/share/vormik", false},
      {"vormik", false},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(platform::InstalledInPrefix(row.exe), row.installed) << row.exe;
    // An empty XDG list would mean the system's folders: name one that is not there.
    EXPECT_EQ(platform::InstalledRegistrationPresent(row.exe, "/nonexistent"), row.installed)
        << row.exe;
  }
}

TEST(InstalledRegistration, XdgDataFolders) {
  testsupport::TempDir dir;
  const std::string root = dir.path();
  MakeShare(root + "/sys", true, true);
  MakeShare(root + "/half", true, false);
  const std::string portable = root + "/build/bin/vormik";
  const std::string sys = root + "/sys/share";
  const struct {
    std::string dirs;
    bool present;
  } rows[] = {
      {sys, true},
      {sys + "/", true},
      {"/nonexistent:" + root + "/half/share:" + sys, true},
      {root + "/half/share", false},
      // Relative entries are invalid for XDG and are skipped.
      {"sys/share:" + root + "/half/share", false},
      {"::", false},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(platform::InstalledRegistrationPresent(portable, row.dirs.c_str()), row.present)
        << row.dirs;
  }
}

}  // namespace
