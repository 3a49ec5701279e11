// Classroom files as the console model handles them: loading the plan, open,
// save, save as, the standard classroom and the save question at closing.
#include <string>

#include "config/classroomplan.h"
#include "config/inifile.h"
#include "config/settings.h"
#include "config/settingsload.h"
#include "console/consolemodel.h"
#include "platform/system.h"

namespace console {

namespace {

constexpr char kErrorCaption[] = "Ошибка";
constexpr char kQuestionCaption[] = "Внимание!!!";
constexpr char kStandardClassroomQuestion[] =
    "Сейчас контроллер обнулится и будет создана стандартная конфигурация кабинета. "
    "Продолжить?";
constexpr char kSaveQuestion[] = "Сохранить конфигурацию кабинета?";

bool NamesNoFile(const std::string& name) {
  return name.empty() || name == settings::kNoClassroomFile;
}

bool IsAbsolutePath(const std::string& path) {
  if (path.empty()) return false;
  if (path[0] == '/' || path[0] == '\\') return true;
#ifdef _WIN32
  // "C:\..." or "C:/...".
  if (path.size() >= 3 && path[1] == ':' && (path[2] == '\\' || path[2] == '/')) return true;
#endif
  return false;
}

std::string WithoutTrailingSeparator(std::string folder) {
  while (folder.size() > 1 && (folder.back() == '/' || folder.back() == '\\')) folder.pop_back();
  return folder;
}

std::string CurrentClassroomFile(ini::IniFile& settingsFile, const char* defaultValue) {
  return settingsFile.ReadString(settings::kInterface, settings::kClassRoomConfigurationFile,
                                 defaultValue);
}

}  // namespace

// A classroom file name without a folder is taken beside vormik.ini, never in
// the working directory.
std::string ConsoleModel::ResolveClassroomPath(const std::string& name) const {
  if (NamesNoFile(name) || IsAbsolutePath(name)) return name;
  return platform::DirectoryOf(paths_.settingsPath) + name;
}

void ConsoleModel::ShowWriteError(const std::string& what) {
  user_.ShowMessage(kErrorCaption, what, MessageKind::Critical);
}

// True (warning shown) when the path must not become the current classroom
// file: vormik.ini could not give it back unchanged (it would name another
// file, or none), or the file could never be loaded (too large, a folder) and
// would fail every later start.
bool ConsoleModel::RefusedAsUnstorable(const std::string& path) {
  const ini::LoadResult check = ini::CheckFile(path);
  if (check.status == ini::LoadStatus::TooLarge || check.status == ini::LoadStatus::NotAFile) {
    user_.ShowMessage(classroom::kFileMessageCaption, classroom::LoadFailureMessage(check, path),
                      MessageKind::Warning);
    return true;
  }
  if (classroom::StorableInSettings(path)) return false;
  user_.ShowMessage(classroom::kUnstorablePathCaption, classroom::UnstorablePathMessage(path),
                    MessageKind::Warning);
  return true;
}

// Stores a chosen file as the current classroom file; false (message shown)
// when vormik.ini cannot be written.
bool ConsoleModel::StoreClassroomFile(const std::string& path) {
  try {
    ini::IniFile settingsFile(paths_.settingsPath);
    settingsFile.WriteString(settings::kInterface, settings::kClassRoomConfigurationFile, path);
    settingsFile.Flush();
  } catch (const ini::WriteError& error) {
    ShowWriteError(error.what());
    return false;
  }
  return true;
}

void ConsoleModel::LoadClassroom() {
  // Each file is read once; every value comes from the copy in memory.
  const settings::LoadedSettings loadedSettings = settings::LoadSettings(paths_.settingsPath);
  const ini::IniDocument& settingsDocument = loadedSettings.document;
  for (int n = 1; n <= kDeskCount; ++n) {
    plan_[n - 1].label = classroom::ReadDeskLabel(settingsDocument, n);
  }
  for (int k = 1; k <= kPairCount; ++k) {
    room_.PairLinkCode[k - 1] = classroom::ReadPairLinkCode(settingsDocument, k);
  }
  room_.MoveDesks =
      settingsDocument.ReadInteger(settings::kInterface, settings::kEnableToMoveDesks, 0);
  const std::string classroomFile = settingsDocument.ReadString(
      settings::kInterface, settings::kClassRoomConfigurationFile, settings::kNoClassroomFile);

  classroom::ClassroomPlan plan = classroom::ReadPlan(ini::IniDocument());
  if (!NamesNoFile(classroomFile)) {
    const std::string path = ResolveClassroomPath(classroomFile);
    classroom::LoadedClassroom loaded = classroom::LoadClassroomFile(path);
    // A missing file is an empty plan; a file that cannot be read (too large,
    // a folder, no access) leaves the plan the console has.
    if (!loaded.result.ok() && loaded.result.status != ini::LoadStatus::Missing) {
      user_.ShowMessage(classroom::kFileMessageCaption,
                        classroom::LoadFailureMessage(loaded.result, path), MessageKind::Warning);
      classroomFile_ = classroomFile;
      return;
    }
    plan = std::move(loaded.plan);
  }
  for (int d = 0; d < kDeskCount; ++d) {
    plan_[d].left = plan[d].left;
    plan_[d].top = plan[d].top;
    plan_[d].visible = plan[d].visible;
    plan_[d].studentName = plan[d].studentName;
    // A box still being edited now edits the loaded name.
    editedNames_[d] = plan[d].studentName;
  }
  classroomFile_ = classroomFile;
}

void ConsoleModel::SaveClassroom() {
  ini::IniFile settingsFile(paths_.settingsPath);
  const std::string classroomFile = CurrentClassroomFile(settingsFile, settings::kNoClassroomFile);
  // "***" (and an empty name) stand for no file: nothing may be created under them.
  if (NamesNoFile(classroomFile)) throw ini::WriteError(classroomFile);
  const std::string path = ResolveClassroomPath(classroomFile);

  const ConsoleDisplay shown = Display();
  classroom::ClassroomPlan plan;
  for (int d = 0; d < kDeskCount; ++d) {
    plan[d].left = plan_[d].left;
    plan[d].top = plan_[d].top;
    plan[d].visible = plan_[d].visible;
    // The text as it stands, also while the name is still being edited.
    plan[d].studentName = shown.desks[d].name;
  }
  // Sections and keys of others and the file's encoding survive; the file is
  // replaced in one step, so an interrupted save leaves the old plan or the
  // new one. A file that is there but cannot be read is never replaced, and a
  // name the file cannot hold is never written damaged.
  const classroom::SaveResult saved = classroom::SaveClassroomFile(path, plan);
  switch (saved.status) {
    case classroom::SaveStatus::Ok:
      room_.ClassroomChanged = 0;
      return;
    case classroom::SaveStatus::UnstorableName:
    case classroom::SaveStatus::ExistingUnreadable:
    case classroom::SaveStatus::Refused:
      throw SaveRefused(classroom::SaveFailureMessage(saved, path));
    case classroom::SaveStatus::WriteFailed:
      break;
  }
  // The message names the file as the settings name it.
  throw ini::WriteError(classroomFile);
}

void ConsoleModel::SaveClassroomShowingErrors() {
  try {
    SaveClassroom();
  } catch (const std::runtime_error& error) {
    ShowWriteError(error.what());
  }
}

bool ConsoleModel::SaveClassroomAs() {
  std::string proposed;
  {
    ini::IniFile settingsFile(paths_.settingsPath);
    proposed = CurrentClassroomFile(settingsFile, "");
  }
  const std::string folder =
      WithoutTrailingSeparator(platform::DirectoryOf(paths_.executablePath));
  const std::string chosen = user_.ChooseFileToSave(proposed, folder);
  if (!chosen.empty() && (RefusedAsUnstorable(chosen) || !StoreClassroomFile(chosen))) {
    return false;
  }
  try {
    SaveClassroom();
  } catch (const std::runtime_error& error) {
    ShowWriteError(error.what());
    return false;
  }
  ini::IniFile afterSave(paths_.settingsPath);
  classroomFile_ = CurrentClassroomFile(afterSave, settings::kNoClassroomFile);
  return true;
}

void ConsoleModel::OpenClassroom() {
  const std::string chosen = user_.ChooseFileToOpen();
  // A refused name is treated as a cancel.
  if (!chosen.empty() && !RefusedAsUnstorable(chosen) && !StoreClassroomFile(chosen)) return;
  // Also after a cancel: puts back the plan of the current file.
  LoadClassroom();
}

bool ConsoleModel::OpenClassroomFile(const std::string& path) {
  if (RefusedAsUnstorable(path) || !StoreClassroomFile(path)) return false;
  LoadClassroom();
  return true;
}

void ConsoleModel::CreateStandardClassroom() {
  const ini::IniDocument settingsDocument = ini::IniDocument::Load(paths_.settingsPath);
  const int visibleDesks = settingsDocument.ReadInteger(
      settings::kInterface, settings::kNumberOfVisibleDesk, settings::kDefaultNumberOfVisibleDesk);
  if (!user_.AskYesNo(kQuestionCaption, kStandardClassroomQuestion, MessageKind::Question)) return;
  // A silent controller does not stop the plan; only the reset is skipped.
  if (probe_ && probe_()) ResetAll();

  for (int n = 1; n <= kDeskCount; ++n) {
    DeskPlanEntry& desk = plan_[n - 1];
    desk.label = classroom::ReadDeskLabel(settingsDocument, n);
    const classroom::Position position = classroom::StandardLayout(n);
    desk.left = position.left;
    desk.top = position.top;
    desk.visible = n <= visibleDesks;
    desk.studentName = classroom::StandardStudentName(n);
    editedNames_[n - 1] = desk.studentName;
  }
  room_.ClassroomChanged = 1;
}

bool ConsoleModel::ConfirmClose() {
  if (room_.ClassroomChanged == 0) return true;
  if (!user_.AskYesNo(kQuestionCaption, kSaveQuestion, MessageKind::Question)) return true;
  // A failed save has shown its message; the window stays so nothing is lost.
  return SaveClassroomAs();
}

}  // namespace console
