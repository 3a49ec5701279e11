// Classroom files: loading the plan, open, save, save as, exit, and the
// standard classroom generator.
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>

#include "app/Unmane.h"
#include "config/classroomplan.h"
#include "config/inifile.h"
#include "config/settings.h"
#include "console/names.h"
#include "platform/system.h"

namespace {

const char kErrorCaption[] = "Ошибка";
const char kQuestionCaption[] = "Внимание!!!";
const char kStandardClassroomQuestion[] =
    "Сейчас контроллер обнулится и будет создана стандартная конфигурация кабинета. "
    "Продолжить?";

QString Text(const std::string& utf8) { return QString::fromStdString(utf8); }

bool NamesNoFile(const std::string& name) {
  return name.empty() || name == settings::kNoClassroomFile;
}

// A classroom file name without a folder is taken beside vormik.ini, never in
// the working directory.
std::string ResolveClassroomPath(const TForm1& form, const std::string& name) {
  if (NamesNoFile(name)) return name;
  const QString folder = QFileInfo(Text(form.environment().settingsPath)).absolutePath();
  return QDir(folder).filePath(Text(name)).toStdString();
}

std::string CurrentClassroomFile(ini::IniFile& settingsFile, const char* defaultValue) {
  return settingsFile.ReadString(settings::kInterface, settings::kClassRoomConfigurationFile,
                                 defaultValue);
}

void SetCaptionFor(TForm1& form, const std::string& classroomFile) {
  form.setWindowTitle("Vormik (" + Text(classroomFile) + ")");
}

void ApplyDeskLabels(TForm1& form, const ini::IniDocument& settingsDocument) {
  for (int n = 1; n <= kDeskCount; ++n) {
    form.GroupBox[n - 1]->setTitle(Text(classroom::ReadDeskLabel(settingsDocument, n)));
  }
}

void ShowWriteError(TForm1& form, const ini::WriteError& error) {
  form.prompter().ShowMessage(QString::fromUtf8(kErrorCaption), QString::fromUtf8(error.what()),
                              QMessageBox::Critical);
}

// True (warning shown) when vormik.ini could not give the path back unchanged:
// stored, it would come back damaged and name another file, or none.
bool RefusedAsUnstorable(TForm1& form, const QString& path) {
  const std::string utf8Path = path.toStdString();
  if (classroom::StorableInSettings(utf8Path)) return false;
  form.prompter().ShowMessage(QString::fromUtf8(classroom::kUnstorablePathCaption),
                              Text(classroom::UnstorablePathMessage(utf8Path)),
                              QMessageBox::Warning);
  return true;
}

// Stores a chosen file as the current classroom file; false (message shown)
// when vormik.ini cannot be written.
bool StoreClassroomFile(TForm1& form, ini::IniFile& settingsFile, const QString& path) {
  try {
    settingsFile.WriteString(settings::kInterface, settings::kClassRoomConfigurationFile,
                             path.toStdString());
    settingsFile.Flush();
  } catch (const ini::WriteError& error) {
    ShowWriteError(form, error);
    return false;
  }
  return true;
}

}  // namespace

void TForm1::LoadClassroom() {
  // Each file is read once; every value comes from the copy in memory.
  const ini::IniDocument settingsDocument = ini::IniDocument::Load(environment().settingsPath);
  ApplyDeskLabels(*this, settingsDocument);
  for (int k = 1; k <= kPairCount; ++k) {
    room().PairLinkCode[k - 1] = classroom::ReadPairLinkCode(settingsDocument, k);
  }

  const std::string classroomFile = settingsDocument.ReadString(
      settings::kInterface, settings::kClassRoomConfigurationFile, settings::kNoClassroomFile);
  const ini::IniDocument classroomDocument =
      NamesNoFile(classroomFile)
          ? ini::IniDocument()
          : ini::IniDocument::Load(ResolveClassroomPath(*this, classroomFile));
  const classroom::ClassroomPlan plan = classroom::ReadPlan(classroomDocument);
  for (int n = 1; n <= kDeskCount; ++n) {
    DeskPanel* panel = GroupBox[n - 1];
    const classroom::DeskPlan& desk = plan[n - 1];
    panel->move(desk.left, desk.top);
    panel->setVisible(desk.visible);
    console::SetNameText(panel->nameBox, Text(desk.studentName));
  }

  room().MoveDesks = settingsDocument.ReadInteger(settings::kInterface,
                                                  settings::kEnableToMoveDesks, 0);
  SetCaptionFor(*this, classroomFile);
}

void TForm1::SaveClassroom() {
  ini::IniFile settingsFile(environment().settingsPath);
  const std::string classroomFile = CurrentClassroomFile(settingsFile, settings::kNoClassroomFile);
  // "***" (and an empty name) stand for no file: nothing may be created under them.
  if (NamesNoFile(classroomFile)) throw ini::WriteError(classroomFile);
  const std::string path = ResolveClassroomPath(*this, classroomFile);

  classroom::ClassroomPlan plan;
  for (int n = 1; n <= kDeskCount; ++n) {
    const DeskPanel* panel = GroupBox[n - 1];
    classroom::DeskPlan& desk = plan[n - 1];
    desk.left = panel->x();
    desk.top = panel->y();
    desk.visible = !panel->isHidden();
    // The text as it stands, also while the name is still being edited.
    desk.studentName = panel->nameBox ? panel->nameBox->text().toStdString() : std::string();
  }

  // Sections and keys of others survive; the file is replaced in one step,
  // so an interrupted save leaves the old plan or the new one, never a mix.
  // A file that is there but cannot be read is never replaced: it would be lost.
  std::string existing;
  if (platform::FileExists(path) && !platform::ReadWholeFile(path, existing)) {
    throw ini::WriteError(classroomFile);
  }
  ini::IniDocument document = ini::IniDocument::Parse(existing);
  classroom::WritePlan(plan, document);
  try {
    document.Save(path);
  } catch (const ini::WriteError&) {
    // The message names the file as the settings name it.
    throw ini::WriteError(classroomFile);
  }
  if (!platform::FlushFileToDisk(path)) throw ini::WriteError(classroomFile);
  room().ClassroomChanged = 0;
}

void TForm1::ToolButton14Click() {
  ini::IniFile settingsFile(environment().settingsPath);
  const QString chosen = prompter().ChooseFileToOpen(this);
  // A refused name is treated as a cancel.
  if (!chosen.isEmpty() && !RefusedAsUnstorable(*this, chosen) &&
      !StoreClassroomFile(*this, settingsFile, chosen)) {
    return;
  }
  // Also after a cancel: puts back the plan of the current file.
  LoadClassroom();
}

void TForm1::ToolButton10Click() {
  try {
    SaveClassroom();
  } catch (const ini::WriteError& error) {
    ShowWriteError(*this, error);
  }
}

bool TForm1::ToolButton17Click() {
  ini::IniFile settingsFile(environment().settingsPath);
  const QString proposed = Text(CurrentClassroomFile(settingsFile, ""));
  const QString folder = QFileInfo(Text(environment().executablePath)).absolutePath();
  const QString chosen = prompter().ChooseFileToSave(this, proposed, folder);
  if (!chosen.isEmpty() &&
      (RefusedAsUnstorable(*this, chosen) || !StoreClassroomFile(*this, settingsFile, chosen))) {
    return false;
  }
  try {
    SaveClassroom();
  } catch (const ini::WriteError& error) {
    ShowWriteError(*this, error);
    return false;
  }
  ini::IniFile afterSave(environment().settingsPath);
  SetCaptionFor(*this, CurrentClassroomFile(afterSave, settings::kNoClassroomFile));
  RedrawLinks();
  return true;
}

void TForm1::ToolButton16Click() { close(); }

void TForm1::ToolButton12Click() {
  const ini::IniDocument settingsDocument = ini::IniDocument::Load(environment().settingsPath);
  const int visibleDesks = settingsDocument.ReadInteger(
      settings::kInterface, settings::kNumberOfVisibleDesk, settings::kDefaultNumberOfVisibleDesk);
  if (!prompter().AskYesNo(QString::fromUtf8(kQuestionCaption),
                           QString::fromUtf8(kStandardClassroomQuestion),
                           QMessageBox::Question)) {
    return;
  }
  // A silent controller does not stop the plan; only the reset is skipped.
  if (controllerLink().ProbeController()) ToolButton2Click();

  ApplyDeskLabels(*this, settingsDocument);
  for (int n = 1; n <= kDeskCount; ++n) {
    DeskPanel* panel = GroupBox[n - 1];
    const classroom::Position position = classroom::StandardLayout(n);
    panel->move(position.left, position.top);
    panel->hide();
    console::SetNameText(panel->nameBox, Text(classroom::StandardStudentName(n)));
  }
  room().ClassroomChanged = 1;

  for (int i = 1; i <= visibleDesks && i <= kDeskCount; ++i) {
    const QString name = "GroupBox" + QString::number(i);
    DeskPanel* found = nullptr;
    for (QWidget* control : Controls()) {
      auto* desk = qobject_cast<DeskPanel*>(control);
      if (desk != nullptr && desk->objectName() == name) found = desk;
    }
    // Panels are named after their desk; the index is the fallback.
    if (found == nullptr) found = GroupBox[i - 1];
    found->show();
  }
}
