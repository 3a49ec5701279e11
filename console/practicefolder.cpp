// The practice class's own folder, settings and classroom.
#include "console/practicefolder.h"

#include "config/classroomplan.h"
#include "config/inifile.h"
#include "config/settings.h"
#include "platform/system.h"

namespace console {

namespace {

// The places the window was designed with, so the plan looks as it does
// with a new classroom.
constexpr int kColumns[] = {8, 176, 376, 544};
constexpr int kRowStep = 104;

constexpr const char* kStudentNames[kDeskCount] = {
    "Анна Иванова",    "Борис Петров",    "Вера Смирнова",   "Глеб Кузнецов",
    "Дарья Попова",    "Егор Васильев",   "Жанна Соколова",  "Захар Михайлов",
    "Ирина Новикова",  "Кирилл Фёдоров",  "Лиля Морозова",   "Максим Волков",
    "Нина Алексеева",  "Олег Лебедев",    "Полина Семёнова", "Роман Егоров",
};

classroom::ClassroomPlan PracticePlan() {
  classroom::ClassroomPlan plan;
  for (int d = 0; d < kDeskCount; ++d) {
    plan[d].left = kColumns[d % 4];
    plan[d].top = (d / 4) * kRowStep;
    plan[d].visible = true;
    plan[d].studentName = kStudentNames[d];
  }
  return plan;
}

}  // namespace

std::string PracticeSettingsPath(const std::string& settingsPath) {
  return platform::DirectoryOf(settingsPath) + kPracticeFolder + "/" + settings::kFileName;
}

std::string PracticeTitle(const std::string& title) {
  return std::string(kPracticeName) + " — " + title;
}

std::string PreparePracticeFolder(const std::string& practiceSettingsPath) {
  const std::string folder = platform::DirectoryOf(practiceSettingsPath);
  if (!platform::PathExists(folder) && !platform::MakeFolder(folder)) {
    return "Не удалось создать папку учебного класса " + folder;
  }
  const std::string classroomPath = folder + kPracticeClassroomFile;
  try {
    if (!platform::FileExists(practiceSettingsPath)) {
      ini::IniFile file(practiceSettingsPath);
      file.WriteString(settings::kCommunication, settings::kPortName,
                       kPracticePortName);
      file.WriteString(settings::kInterface, settings::kClassRoomConfigurationFile, classroomPath);
      file.Flush();
    }
  } catch (const std::exception& error) {
    return "Не удалось записать настройки учебного класса: " + std::string(error.what());
  }
  if (!platform::FileExists(classroomPath)) {
    const classroom::SaveResult saved = classroom::SaveClassroomFile(classroomPath, PracticePlan());
    if (!saved.ok()) {
      return "Не удалось записать кабинет учебного класса: " +
             classroom::SaveFailureMessage(saved, classroomPath);
    }
  }
  return "";
}

}  // namespace console
