// Scripted answers for the window's questions and dialogs.
#include "support/fakeprompter.h"

#include <QDialog>
#include <QTimer>

void FakePrompter::StayModal(const QString& text) {
  if (modalMs <= 0) return;
  QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Vormik"), text, QMessageBox::Ok);
  box.setTextFormat(Qt::PlainText);
  QTimer::singleShot(modalMs, &box, &QDialog::accept);
  box.exec();
}

bool FakePrompter::AskYesNo(const QString& caption, const QString& text, QMessageBox::Icon icon) {
  records.push_back({Kind::kQuestion, caption, text, icon});
  StayModal(text);
  if (yesNoAnswers.empty()) return defaultAnswer;
  const bool answer = yesNoAnswers.front();
  yesNoAnswers.pop_front();
  return answer;
}

QMessageBox::StandardButton FakePrompter::AskYesNoCancel(const QString& caption,
                                                         const QString& text,
                                                         QMessageBox::Icon icon) {
  if (threeWayAnswers.empty()) {
    return AskYesNo(caption, text, icon) ? QMessageBox::Yes : QMessageBox::No;
  }
  records.push_back({Kind::kQuestion, caption, text, icon});
  const QMessageBox::StandardButton answer = threeWayAnswers.front();
  threeWayAnswers.pop_front();
  return answer;
}

void FakePrompter::ShowMessage(const QString& caption, const QString& text,
                               QMessageBox::Icon icon) {
  records.push_back({Kind::kMessage, caption, text, icon});
  StayModal(text);
}

QString FakePrompter::ChooseFileToOpen(QWidget*) {
  records.push_back({Kind::kOpenDialog, QString(), QString(), QMessageBox::NoIcon});
  if (openNames.empty()) return QString();
  QString name = openNames.front();
  openNames.pop_front();
  return name;
}

QString FakePrompter::ChooseFileToSave(QWidget*, const QString& proposedName,
                                       const QString& initialFolder) {
  records.push_back({Kind::kSaveDialog, proposedName, initialFolder, QMessageBox::NoIcon});
  if (whileSaveDialogOpen) {
    QDialog dialog;
    dialog.setWindowTitle(QStringLiteral("Сохранить как"));
    dialog.setModal(true);
    QTimer::singleShot(0, &dialog, [this, &dialog] {
      whileSaveDialogOpen();
      dialog.accept();
    });
    dialog.exec();
  }
  if (saveNames.empty()) return QString();
  QString name = saveNames.front();
  saveNames.pop_front();
  return name;
}

int FakePrompter::Count(Kind kind, const QString& caption) const {
  int count = 0;
  for (const Record& r : records) {
    if (r.kind == kind && (caption.isNull() || r.caption == caption)) ++count;
  }
  return count;
}

QString FakePrompter::Texts(Kind kind) const {
  QString all;
  for (const Record& r : records) {
    if (r.kind == kind) all += r.caption + QStringLiteral(": ") + r.text + QLatin1Char('\n');
  }
  return all;
}
