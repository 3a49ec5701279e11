// The real message boxes and file dialogs behind Prompter.
#include "app/prompter.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>

namespace {

const QString kClassroomFilter = QStringLiteral("файлы описания кабинета (*.cld)");

QString FolderOf(const QString& fileName) {
  return fileName.isEmpty() ? QString() : QFileInfo(fileName).absolutePath();
}

}  // namespace

bool QtPrompter::AskYesNo(const QString& caption, const QString& text, QMessageBox::Icon icon) {
  QMessageBox box(icon, caption, text, QMessageBox::Yes | QMessageBox::No,
                  QApplication::activeWindow());
  return box.exec() == QMessageBox::Yes;
}

void QtPrompter::ShowMessage(const QString& caption, const QString& text, QMessageBox::Icon icon) {
  QMessageBox box(icon, caption, text, QMessageBox::Ok, QApplication::activeWindow());
  box.exec();
}

QString QtPrompter::ChooseFileToOpen(QWidget* parent) {
  QFileDialog dialog(parent);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilter(kClassroomFilter);
  if (!lastOpenName_.isEmpty()) dialog.setDirectory(FolderOf(lastOpenName_));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
  lastOpenName_ = dialog.selectedFiles().constFirst();
  return lastOpenName_;
}

QString QtPrompter::ChooseFileToSave(QWidget* parent, const QString& proposedName,
                                     const QString& initialFolder) {
  QFileDialog dialog(parent);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilter(kClassroomFilter);
  dialog.setDefaultSuffix(QStringLiteral("cld"));
  // Overwrite confirmation is on: DontConfirmOverwrite is left unset.
  if (!initialFolder.isEmpty()) {
    dialog.setDirectory(initialFolder);
  } else if (!lastSaveName_.isEmpty()) {
    dialog.setDirectory(FolderOf(lastSaveName_));
  }
  if (!proposedName.isEmpty()) dialog.selectFile(proposedName);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
  lastSaveName_ = dialog.selectedFiles().constFirst();
  return lastSaveName_;
}
