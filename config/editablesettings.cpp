// Reading the teacher's settings from vormik.ini and writing back only what changed.
#include "config/editablesettings.h"

#include "config/settingsload.h"

namespace settings {

bool EditableSettings::operator==(const EditableSettings& other) const {
  return portName == other.portName && polling == other.polling &&
         skipAcknowledgements == other.skipAcknowledgements && movableDesks == other.movableDesks &&
         callSound == other.callSound && roundSeconds == other.roundSeconds;
}

EditableSettings ReadEditableSettings(const ini::IniDocument& document) {
  EditableSettings read;
  read.portName = document.ReadString(kCommunication, kPortName, kDefaultPortName);
  read.polling = document.ReadInteger(kCommunication, kReadThreadStop, 0) == 0;
  read.skipAcknowledgements = document.ReadInteger(kCommunication, kNotWaitCSFromMC, 0) != 0;
  read.movableDesks = document.ReadInteger(kInterface, kEnableToMoveDesks, 0) != 0;
  read.callSound = document.ReadInteger(kInterface, kCallSound, 0) != 0;
  read.roundSeconds = ReadRoundSeconds(document);
  return read;
}

void WriteChangedSettings(ini::IniDocument& document, const EditableSettings& before,
                          const EditableSettings& after) {
  if (after.portName != before.portName) {
    document.WriteString(kCommunication, kPortName, after.portName);
  }
  auto flag = [&document](const char* section, const char* key, bool was, bool is) {
    if (was != is) document.WriteInteger(section, key, is ? 1 : 0);
  };
  // ReadThreadStop says the opposite of "polling".
  flag(kCommunication, kReadThreadStop, !before.polling, !after.polling);
  flag(kCommunication, kNotWaitCSFromMC, before.skipAcknowledgements, after.skipAcknowledgements);
  flag(kInterface, kEnableToMoveDesks, before.movableDesks, after.movableDesks);
  flag(kInterface, kCallSound, before.callSound, after.callSound);
  if (after.roundSeconds != before.roundSeconds) {
    document.WriteInteger(kLesson, kRoundSeconds, after.roundSeconds);
  }
}

std::string PortNameProblem(const std::string& portName, const ini::IniDocument& document) {
  if (portName.find_first_not_of(" \t") == std::string::npos) return "Не указан порт контроллера.";
  if (portName.find_first_of("\r\n") != std::string::npos) {
    return "Имя порта не может содержать перевод строки.";
  }
  if (portName.size() > ini::kMaxValueLength) return "Имя порта слишком длинное.";
  if (!document.CanHold(portName)) {
    return "Имя порта содержит символы, которые нельзя сохранить в файле настроек.";
  }
  return {};
}

std::string SaveChangedSettings(const std::string& settingsPath, const EditableSettings& before,
                                const EditableSettings& after) {
  // The file read is the file replaced: another one put in its place since is refused.
  const platform::FileIdentity read = platform::IdentityOf(settingsPath);
  ini::IniDocument document;
  const ini::LoadResult loaded = ini::IniDocument::TryLoad(settingsPath, document);
  const std::string file = "«" + settingsPath + "»";
  if (!loaded.ok() && loaded.status != ini::LoadStatus::Missing) {
    return "Файл настроек " + file + " не удалось прочитать; настройки не сохранены.";
  }
  if (after.portName != before.portName) {
    const std::string problem = PortNameProblem(after.portName, document);
    if (!problem.empty()) return problem;
  }
  try {
    WriteChangedSettings(document, before, after);
    document.Save(settingsPath, &read);
  } catch (const ini::WriteRefused& refused) {
    return platform::RefusalText(refused.reason(), settingsPath) + " Настройки не сохранены.";
  } catch (const ini::WriteError&) {
    return "Не удалось записать файл настроек " + file + "; настройки не сохранены.";
  } catch (const std::exception&) {
    return "Настройки не сохранены: файл " + file + " не принял значение.";
  }
  return {};
}

}  // namespace settings
