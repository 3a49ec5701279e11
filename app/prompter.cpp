// The real message boxes and file dialogs behind Prompter.
#include "app/prompter.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>

namespace {

const QString kClassroomFilter = QStringLiteral("файлы описания кабинета (*.cld)");

QString FolderOf(const QString& fileName) {
  return fileName.isEmpty() ? QString() : QFileInfo(fileName).absolutePath();
}

// Qt's own (non-native) dialog reads a name holding '"' as a list of quoted
// names and has no escape for the quote, so `class "5A".cld` would save to
// 5A.cld. A save takes one name: the name box's text, as it stands, is it.
class SaveDialog : public QFileDialog {
 public:
  using QFileDialog::QFileDialog;

  // The file this dialog accepted itself; empty when Qt did.
  QString chosen;

 protected:
  void accept() override {
    auto* nameBox = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    if (nameBox == nullptr || !nameBox->text().contains(u'"')) {
      QFileDialog::accept();
      return;
    }
    QString path = directory().absoluteFilePath(nameBox->text());
    // The suffix rule of Qt's own save.
    if (!defaultSuffix().isEmpty() && !path.endsWith(u'.') && QFileInfo(path).suffix().isEmpty()) {
      path += u'.' + defaultSuffix();
    }
    const QFileInfo info(path);
    if (info.isDir()) {
      setDirectory(path);
      nameBox->clear();
      return;
    }
    if (info.exists() && !testOption(DontConfirmOverwrite)) {
      // Qt's own question, in Qt's own translation.
      const QString question =
          QCoreApplication::translate("QFileDialog",
                                      "%1 already exists.\nDo you want to replace it?")
              .arg(info.fileName());
      QMessageBox box(QMessageBox::Warning, windowTitle(), question,
                      QMessageBox::Yes | QMessageBox::No, this);
      box.setTextFormat(Qt::PlainText);
      box.setDefaultButton(QMessageBox::No);
      if (box.exec() != QMessageBox::Yes) return;
    }
    chosen = path;
    QDialog::accept();
  }
};

}  // namespace

bool QtPrompter::AskYesNo(const QString& caption, const QString& text, QMessageBox::Icon icon) {
  BeforeDialog();
  QMessageBox box(icon, caption, text, QMessageBox::Yes | QMessageBox::No,
                  QApplication::activeWindow());
  // Paths and names in the text are shown as they are, never as markup.
  box.setTextFormat(Qt::PlainText);
  return box.exec() == QMessageBox::Yes;
}

bool QtPrompter::OfferToOpen(const QString& caption, const QString& text) {
  BeforeDialog();
  QMessageBox box(QMessageBox::Information, caption, text, QMessageBox::NoButton,
                  QApplication::activeWindow());
  box.setTextFormat(Qt::PlainText);
  QPushButton* open = box.addButton(QStringLiteral("Открыть"), QMessageBox::AcceptRole);
  box.addButton(QStringLiteral("Закрыть"), QMessageBox::RejectRole);
  box.setDefaultButton(open);
  box.exec();
  return box.clickedButton() == open;
}

QMessageBox::StandardButton QtPrompter::AskYesNoCancel(const QString& caption, const QString& text,
                                                       QMessageBox::Icon icon) {
  BeforeDialog();
  QMessageBox box(icon, caption, text, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                  QApplication::activeWindow());
  box.setTextFormat(Qt::PlainText);
  // Russian whether or not Qt's own translation is installed.
  box.button(QMessageBox::Yes)->setText(QStringLiteral("Да"));
  box.button(QMessageBox::No)->setText(QStringLiteral("Нет"));
  box.button(QMessageBox::Cancel)->setText(QStringLiteral("Отмена"));
  box.setEscapeButton(QMessageBox::Cancel);
  const int pressed = box.exec();
  if (pressed == QMessageBox::Yes || pressed == QMessageBox::No) {
    return static_cast<QMessageBox::StandardButton>(pressed);
  }
  return QMessageBox::Cancel;
}

void QtPrompter::ShowMessage(const QString& caption, const QString& text, QMessageBox::Icon icon) {
  BeforeDialog();
  QMessageBox box(icon, caption, text, QMessageBox::Ok, QApplication::activeWindow());
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

QString QtPrompter::ChooseFileToOpen(QWidget* parent) {
  BeforeDialog();
  QFileDialog dialog(parent);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilter(kClassroomFilter);
  if (!lastOpenName_.isEmpty()) dialog.setDirectory(FolderOf(lastOpenName_));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
  lastOpenName_ = dialog.selectedFiles().constFirst();
  // The model keeps and stores the system's own form ("C:\\..." on Windows).
  return QDir::toNativeSeparators(lastOpenName_);
}

QString QtPrompter::ChooseFileToSave(QWidget* parent, const QString& proposedName,
                                     const QString& initialFolder) {
  BeforeDialog();
  SaveDialog dialog(parent);
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
  if (dialog.exec() != QDialog::Accepted) return QString();
  const QString chosen =
      dialog.chosen.isEmpty() ? dialog.selectedFiles().value(0) : dialog.chosen;
  if (chosen.isEmpty()) return QString();
  lastSaveName_ = chosen;
  return QDir::toNativeSeparators(lastSaveName_);
}
