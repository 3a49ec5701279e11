// Location, first-run contents and key names of the settings file vormik.ini.
#include "config/settings.h"

#ifndef _WIN32
#include <pwd.h>
#include <unistd.h>
#endif

#include <cstdlib>

#include "config/cp1251.h"
#include "platform/filetype.h"
#include "platform/system.h"

namespace settings {

namespace {

#ifdef _WIN32
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

// Every missing folder on the way to the file.
void MakeFoldersFor(const std::string& filePath) {
  const std::string folder = platform::DirectoryOf(filePath);
  for (size_t pos = 1; pos < folder.size(); ++pos) {
    if (folder[pos] == '/' || folder[pos] == kSeparator) platform::MakeFolder(folder.substr(0, pos));
  }
}

}  // namespace

std::string SettingsPathFor(const std::string& executablePath) {
  return platform::DirectoryOf(executablePath) + kFileName;
}

std::string SettingsPath() { return SettingsPathFor(platform::ExecutablePath()); }

std::string UserConfigFolder(const char* xdgConfigHome, const char* home) {
#ifdef _WIN32
  (void)xdgConfigHome;
  // %APPDATA% stands in the home argument's place.
  return home != nullptr ? home : "";
#else
  // Relative values are invalid for XDG variables and are ignored.
  if (xdgConfigHome != nullptr && xdgConfigHome[0] == '/') return xdgConfigHome;
  if (home != nullptr && home[0] == '/') return std::string(home) + "/.config";
  return "";
#endif
}

std::string ChooseSettingsPath(const std::string& executablePath, bool folderWritable,
                               bool installed, const std::string& userConfigFolder) {
  if ((folderWritable && !installed) || userConfigFolder.empty()) {
    return SettingsPathFor(executablePath);
  }
  std::string folder = userConfigFolder;
  if (folder.back() != '/' && folder.back() != kSeparator) folder += kSeparator;
  return folder + "vormik" + kSeparator + kFileName;
}

std::string SettingsPathOfProgram(const std::string& executablePath) {
#ifdef _WIN32
  std::string appData;
  const std::string userFolder =
      UserConfigFolder(nullptr, platform::EnvironmentValue("APPDATA", appData) ? appData.c_str()
                                                                               : nullptr);
#else
  const char* home = std::getenv("HOME");
  if (home == nullptr || home[0] == '\0') {
    // Started without a login environment: the account's home still counts.
    const passwd* account = getpwuid(geteuid());
    if (account != nullptr) home = account->pw_dir;
  }
  const std::string userFolder = UserConfigFolder(std::getenv("XDG_CONFIG_HOME"), home);
#endif
  const std::string path =
      ChooseSettingsPath(executablePath, platform::FolderWritable(platform::DirectoryOf(executablePath)),
                         platform::InstalledInPrefix(executablePath), userFolder);
  // The first start writes its file there; the user's folder may not exist yet.
  if (path != SettingsPathFor(executablePath)) MakeFoldersFor(path);
  return path;
}

std::string DefaultSettingsText() {
  std::string text;
  const auto line = [&text](const std::string& utf8) { text += cp1251::FromUtf8(utf8) + "\r\n"; };
  line(std::string("[") + kCommunication + "]");
  line(std::string(kPortName) + "=" + kDefaultPortName);
  line(std::string(kReadThreadStop) + "=0");
  line(std::string(kNotWaitCSFromMC) + "=0");
  line(std::string("[") + kInterface + "]");
  line(std::string(kMainFormWidth) + "=" + kDefaultWidth);
  line(std::string(kMainFormHeight) + "=" + kDefaultHeight);
  line(std::string(kEnableToMoveDesks) + "=0");
  line(std::string(kNumberOfVisibleDesk) + "=" + std::to_string(kDefaultNumberOfVisibleDesk));
  line(std::string("[") + kNumDesk + "]");
  for (int n = 1; n <= 16; ++n) line(DeskKey(n) + "=Стол " + std::to_string(n));
  line(std::string("[") + kDesk2DeskCommIF + "]");
  for (int k = 1; k <= 8; ++k) line(PairCodeKey(k) + "=oo");
  return text;
}

bool WriteDefaultSettingsIfMissing(const std::string& settingsPath) {
  // Any existing file counts, even an empty or damaged one: it is the user's.
  if (platform::FileExists(settingsPath)) return true;
  return platform::ReplaceFileAtomically(settingsPath, DefaultSettingsText());
}

std::string DeskKey(int deskNumber) { return "Desk" + std::to_string(deskNumber); }

std::string PairCodeKey(int pairNumber) {
  return "dc" + std::to_string(2 * pairNumber - 1) + "_" + std::to_string(2 * pairNumber);
}

}  // namespace settings
