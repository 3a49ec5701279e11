// Location, first-run contents and key names of the settings file vormik.ini.
#include "config/settings.h"

#include "config/cp1251.h"
#include "platform/system.h"

namespace settings {

std::string SettingsPathFor(const std::string& executablePath) {
  return platform::DirectoryOf(executablePath) + kFileName;
}

std::string SettingsPath() { return SettingsPathFor(platform::ExecutablePath()); }

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
