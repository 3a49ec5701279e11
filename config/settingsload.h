// Reading vormik.ini for the console: defaults when the file cannot be read,
// and the one message that says why.
#pragma once

#include <string>
#include <string_view>

#include "config/inifile.h"

namespace settings {

// The settings as the console reads them. A file that is missing, too large
// (refused before it is read, above ini::kMaxFileBytes) or unreadable gives
// the defaults, and `result` says which. ini::IniFile::loadResult() tells the
// same for reads made through an IniFile.
struct LoadedSettings {
  ini::IniDocument document;
  ini::LoadResult result;
};
LoadedSettings LoadSettings(const std::string& settingsPath);

// False when the file is there but could not be read (a folder, a FIFO or a
// device, too large, no access): its port is unknown, and a guessed default
// port could be another machine's controller, so none is opened.
bool SettingsReadable(const ini::LoadResult& result);

// Russian, to show once: why the settings file was not read and that the
// controller's port stays closed. "" when it was read, and when it is only
// missing (the first start writes it).
std::string SettingsLoadMessage(const ini::LoadResult& result, std::string_view utf8Path);

// [Lesson] RoundSeconds: how long the monitoring round listens to each desk.
// Missing, not a number, or outside 3..600 gives the default, 20.
int ReadRoundSeconds(const ini::IniDocument& settings);

}  // namespace settings
