// An installed Windows program (the uninstaller beside it) keeps its settings
// under %APPDATA%; an unpacked zip keeps them beside itself.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>

#include "config/settings.h"
#include "platform/filetype.h"
#include "tests/windows/wintest.h"

namespace {

using wintest::TempFolder;

enum class Beside { kNothing, kUninstaller, kUninstallerFolder, kOtherExe };

void Lay(const TempFolder& folder, Beside beside) {
  switch (beside) {
    case Beside::kNothing:
      break;
    case Beside::kUninstaller:
      wintest::WriteBytes(folder.File(platform::kWindowsUninstallerName), "MZ");
      break;
    case Beside::kUninstallerFolder:
      CreateDirectoryA(folder.File(platform::kWindowsUninstallerName).c_str(), nullptr);
      break;
    case Beside::kOtherExe:
      wintest::WriteBytes(folder.File("uninstall.exe"), "MZ");
      break;
  }
}

TEST(Win32InstalledTest, TheUninstallerBesideTheProgramMarksAnInstall) {
  const struct {
    const char* name;
    Beside beside;
    bool forwardSlashes;
    bool installed;
  } rows[] = {
      {"unpacked zip", Beside::kNothing, false, false},
      {"installer's folder", Beside::kUninstaller, false, true},
      {"installer's folder, forward slashes", Beside::kUninstaller, true, true},
      {"a folder of that name", Beside::kUninstallerFolder, false, false},
      {"someone else's uninstaller", Beside::kOtherExe, false, false},
  };
  for (const auto& row : rows) {
    TempFolder folder;
    Lay(folder, row.beside);
    std::string exe = folder.File("vormik.exe");
    if (row.forwardSlashes) {
      for (char& c : exe) {
        if (c == '\\') c = '/';
      }
    }
    EXPECT_EQ(row.installed, platform::InstalledInPrefix(exe)) << row.name;
    RemoveDirectoryA(folder.File(platform::kWindowsUninstallerName).c_str());
  }
  EXPECT_FALSE(platform::InstalledInPrefix("vormik.exe")) << "no folder at all";
}

TEST(Win32InstalledTest, SettingsGoUnderAppDataOnlyForTheInstalledProgram) {
  TempFolder appData;
  const std::string savedAppData = std::getenv("APPDATA") != nullptr ? std::getenv("APPDATA") : "";
  const std::string appDataFolder = appData.path().substr(0, appData.path().size() - 1);
  SetEnvironmentVariableA("APPDATA", appDataFolder.c_str());
  _putenv_s("APPDATA", appDataFolder.c_str());

  TempFolder portable;
  EXPECT_EQ(portable.File("vormik.ini"),
            settings::SettingsPathOfProgram(portable.File("vormik.exe")));

  TempFolder installed;
  Lay(installed, Beside::kUninstaller);
  EXPECT_EQ(appData.File("vormik\\vormik.ini"),
            settings::SettingsPathOfProgram(installed.File("vormik.exe")));
  // The first start finds its folder made.
  const DWORD attributes = GetFileAttributesA(appData.File("vormik").c_str());
  EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY));
  RemoveDirectoryA(appData.File("vormik").c_str());

  _putenv_s("APPDATA", savedAppData.c_str());
}

}  // namespace
