// Reading vormik.ini with the size limit, and the message for a file that could not be read.
#include "config/settingsload.h"

#include "config/settings.h"

namespace settings {

LoadedSettings LoadSettings(const std::string& settingsPath) {
  LoadedSettings loaded;
  loaded.result = ini::IniDocument::TryLoad(settingsPath, loaded.document);
  return loaded;
}

bool SettingsReadable(const ini::LoadResult& result) {
  return result.ok() || result.status == ini::LoadStatus::Missing;
}

std::string SettingsLoadMessage(const ini::LoadResult& result, std::string_view utf8Path) {
  const std::string file = "«" + std::string(utf8Path) + "»";
  const char kDefaults[] =
      ". Порт контроллера не открыт: исправьте или удалите файл настроек и запустите "
      "программу снова.";
  switch (result.status) {
    case ini::LoadStatus::Ok:
    case ini::LoadStatus::Missing:
      return {};
    case ini::LoadStatus::NotAFile:
      return file + " — не файл настроек, а папка или устройство" + kDefaults;
    case ini::LoadStatus::TooLarge:
      return "Файл настроек " + file + " слишком большой (" + ini::SizeText(result.fileSize) +
             ", допустимо не больше " + ini::SizeText(ini::kMaxFileBytes) + ")" + kDefaults;
    case ini::LoadStatus::Unreadable:
      break;
  }
  return "Файл настроек " + file + " не удалось прочитать" + kDefaults;
}

int ReadRoundSeconds(const ini::IniDocument& settings) {
  const int seconds = settings.ReadInteger(kLesson, kRoundSeconds, kDefaultRoundSeconds);
  if (seconds < kMinRoundSeconds || seconds > kMaxRoundSeconds) return kDefaultRoundSeconds;
  return seconds;
}

}  // namespace settings
