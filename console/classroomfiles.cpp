// Classroom files as the console model handles them: loading the plan, open,
// save, save as, the standard classroom and the save question before a plan
// is replaced or the console closes.
#include <string>

#include "config/arrangementfile.h"
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

void ConsoleModel::ApplyLoadedPlan(const classroom::ClassroomPlan& plan) {
  bool broughtInside = false;
  for (int d = 0; d < kDeskCount; ++d) {
    classroom::Position place{plan[d].left, plan[d].top};
    // Only a shown desk needs reaching; a hidden one keeps its stored place.
    if (plan[d].visible) {
      place = classroom::ReachablePosition(place, {kDeskPanelWidth, kDeskPanelHeight},
                                           {planWidth_, planHeight_});
    }
    broughtInside = broughtInside || !(place == classroom::Position{plan[d].left, plan[d].top});
    plan_[d].left = place.left;
    plan_[d].top = place.top;
    plan_[d].visible = plan[d].visible;
    plan_[d].studentName = plan[d].studentName;
    // A box still being edited now edits the loaded name.
    editedNames_[d] = plan[d].studentName;
  }
  // The plan on screen now differs from the file, which stays as it is until saved.
  if (broughtInside) room_.ClassroomChanged = 1;
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

  if (NamesNoFile(classroomFile)) {
    ApplyLoadedPlan(classroom::ReadPlan(ini::IniDocument()));
    classroomFile_ = classroomFile;
    return;
  }
  const std::string path = ResolveClassroomPath(classroomFile);
  const classroom::LoadedClassroom loaded = classroom::LoadClassroomFile(path);
  // A file that is missing, cannot be read or is no classroom file never
  // becomes the current one: the plan and the current file stay.
  if (!loaded.ok()) {
    user_.ShowMessage(classroom::kFileMessageCaption, classroom::LoadFailureMessage(loaded, path),
                      MessageKind::Warning);
    return;
  }
  ApplyLoadedPlan(loaded.plan);
  classroomFile_ = classroomFile;
}

// Writes the plan into `path`; `shownName` is the file as messages name it.
void ConsoleModel::SavePlanInto(const std::string& path, const std::string& shownName) {
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
  throw ini::WriteError(shownName);
}

void ConsoleModel::SaveClassroom() {
  // Without a current file nothing may be created under a placeholder name.
  if (!HasClassroomFile()) throw ini::WriteError(settings::kNoClassroomFile);
  SavePlanInto(ResolveClassroomPath(classroomFile_), classroomFile_);
}

void ConsoleModel::SaveClassroomShowingErrors() {
  try {
    SaveClassroom();
  } catch (const std::runtime_error& error) {
    ShowWriteError(error.what());
  }
}

bool ConsoleModel::SaveCurrentClassroom() {
  EndNameEditing();
  if (!HasClassroomFile()) return SaveClassroomAs();
  try {
    SaveClassroom();
  } catch (const std::runtime_error& error) {
    ShowWriteError(error.what());
    return false;
  }
  return true;
}

bool ConsoleModel::SaveClassroomAs() {
  EndNameEditing();
  const std::string folder =
      WithoutTrailingSeparator(platform::DirectoryOf(paths_.executablePath));
  const std::string chosen =
      user_.ChooseFileToSave(HasClassroomFile() ? classroomFile_ : std::string(), folder);
  // A cancel writes nothing anywhere.
  if (chosen.empty() || RefusedAsUnstorable(chosen)) return false;
  try {
    SavePlanInto(chosen, chosen);
  } catch (const std::runtime_error& error) {
    ShowWriteError(error.what());
    return false;
  }
  // The class's arrangements belong with its plan.
  if (HasClassroomFile()) {
    const std::string previous = ResolveClassroomPath(classroomFile_);
    if (previous != chosen) {
      const std::string problem = classroom::CarryArrangements(previous, chosen);
      if (!problem.empty()) ShowWriteError(problem);
    }
  }
  // The plan is in the file: it is the current one, also when vormik.ini
  // could not record it for the next start (that message is shown).
  classroomFile_ = chosen;
  StoreClassroomFile(chosen);
  return true;
}

// "Да" saves (a failed or cancelled save keeps everything), "Нет" goes on
// without saving, "Отмена" (Escape, the question's close button) stops.
bool ConsoleModel::OfferToSaveChanges() {
  EndNameEditing();
  if (room_.ClassroomChanged == 0) return true;
  switch (user_.AskYesNoCancel(kQuestionCaption, kSaveQuestion, MessageKind::Question)) {
    case Answer::Yes:
      return SaveCurrentClassroom();
    case Answer::No:
      return true;
    case Answer::Cancel:
      break;
  }
  return false;
}

void ConsoleModel::OpenClassroom() {
  if (!OfferToSaveChanges()) return;
  const std::string chosen = user_.ChooseFileToOpen();
  // A cancel changes nothing.
  if (!chosen.empty()) OpenClassroomFile(chosen);
}

bool ConsoleModel::OpenClassroomFile(const std::string& path) {
  if (RefusedAsUnstorable(path)) return false;
  const classroom::LoadedClassroom loaded = classroom::LoadClassroomFile(path);
  if (!loaded.ok()) {
    user_.ShowMessage(classroom::kFileMessageCaption, classroom::LoadFailureMessage(loaded, path),
                      MessageKind::Warning);
    return false;
  }
  if (!StoreClassroomFile(path)) return false;
  // The plan on screen is the file's: nothing is left to save.
  room_.ClassroomChanged = 0;
  ApplyLoadedPlan(loaded.plan);
  classroomFile_ = path;
  return true;
}

void ConsoleModel::CreateStandardClassroom() {
  if (!OfferToSaveChanges()) return;
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
  // A new plan: its first save asks for a name, so no class's file is
  // overwritten with the standard names.
  classroomFile_.clear();
  room_.ClassroomChanged = 1;
}

bool ConsoleModel::ConfirmClose() { return OfferToSaveChanges(); }

}  // namespace console
