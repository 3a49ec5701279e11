// The lessons folder and the safe write of the files put in it.
#include "console/lessonfiles.h"

#include "platform/appendfile.h"
#include "platform/safereplace.h"

namespace console {

std::string LessonsFolder(const std::string& settingsFolder, std::string& problem) {
  const std::string folder = settingsFolder + "lessons";
  problem.clear();
  if (!platform::CreateOwnFolder(folder)) {
    problem = "Папка «" + folder +
              "» не создана, или это не папка пользователя (ссылка, файл или папка другого "
              "пользователя); в неё ничего не записано.";
    return {};
  }
  return folder + "/";
}

std::string WriteLessonFile(const std::string& path, const std::string& bytes) {
  const platform::ReplaceStatus status = platform::SafeReplaceFile(path, bytes);
  switch (status) {
    case platform::ReplaceStatus::Ok:
      return {};
    case platform::ReplaceStatus::Failed:
      return "Файл «" + path +
             "» не сохранён: запись не удалась (диск заполнен, нет доступа или на его месте "
             "не файл).";
    default:
      return platform::RefusalText(status, path);
  }
}

}  // namespace console
