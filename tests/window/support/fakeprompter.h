// A Prompter that answers from scripts and records every question, message
// and file dialog, so window tests run without a person.
#pragma once

#include <QString>
#include <deque>
#include <functional>
#include <vector>

#include "app/prompter.h"

// Usage:
//   FakePrompter prompter;
//   prompter.yesNoAnswers = {true, false};   // first question Yes, second No
//   prompter.saveNames = {dir + "/a.cld"};   // the save dialog picks this; "" = cancel
//   ... drive the window ...
//   QCOMPARE(prompter.Count(FakePrompter::Kind::kQuestion, "Внимание!!!"), 1);
class FakePrompter : public Prompter {
 public:
  enum class Kind { kQuestion, kMessage, kOpenDialog, kSaveDialog };
  struct Record {
    Kind kind;
    QString caption;  // the save dialog: the proposed name
    QString text;     // the save dialog: the initial folder
    QMessageBox::Icon icon = QMessageBox::NoIcon;
  };

  // Answers to AskYesNo in turn; when empty, defaultAnswer (No, so that a
  // connection question never loops forever).
  std::deque<bool> yesNoAnswers;
  bool defaultAnswer = false;
  // Answers to Yes/No/Cancel questions in turn; when empty, the next Yes/No
  // answer (true is Yes), so scripts written for two buttons still hold.
  std::deque<QMessageBox::StandardButton> threeWayAnswers;
  // Names the dialogs return in turn; when empty they return "" (cancel).
  std::deque<QString> openNames;
  std::deque<QString> saveNames;

  std::vector<Record> records;
  // When above 0, each question and message stays up this long as a real
  // modal box (its own event loop, as a teacher reading it) before the
  // scripted answer is given.
  int modalMs = 0;
  // When set, the save dialog stays up as a real modal dialog while this runs
  // inside it (as a teacher takes time to choose the name), then gives its answer.
  std::function<void()> whileSaveDialogOpen;

  bool AskYesNo(const QString& caption, const QString& text, QMessageBox::Icon icon) override;
  QMessageBox::StandardButton AskYesNoCancel(const QString& caption, const QString& text,
                                             QMessageBox::Icon icon) override;
  void ShowMessage(const QString& caption, const QString& text, QMessageBox::Icon icon) override;
  QString ChooseFileToOpen(QWidget* parent) override;
  QString ChooseFileToSave(QWidget* parent, const QString& proposedName,
                           const QString& initialFolder) override;

  // How many records of a kind there are, with that caption when one is given.
  int Count(Kind kind, const QString& caption = QString()) const;
  // All record texts of a kind, one per line (for failure messages).
  QString Texts(Kind kind) const;

 private:
  void StayModal(const QString& text);
};
