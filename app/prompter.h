// Every question, message and file dialog of the window goes through here, so
// that tests can answer them without a person.
#pragma once

#include <QMessageBox>
#include <QString>
#include <functional>

class Prompter {
 public:
  virtual ~Prompter() = default;
  // Yes/No question; true for Yes.
  virtual bool AskYesNo(const QString& caption, const QString& text, QMessageBox::Icon icon) = 0;
  // "Да", "Нет", "Отмена": Yes, No or Cancel (also for Escape and the
  // question's close button).
  virtual QMessageBox::StandardButton AskYesNoCancel(const QString& caption, const QString& text,
                                                     QMessageBox::Icon icon) = 0;
  // A message with a single OK button.
  virtual void ShowMessage(const QString& caption, const QString& text,
                           QMessageBox::Icon icon) = 0;
  // A message about a file just written, with "Открыть" beside "Закрыть";
  // true for "Открыть". A Yes/No question where no such box is at hand.
  virtual bool OfferToOpen(const QString& caption, const QString& text) {
    return AskYesNo(caption, text, QMessageBox::Information);
  }
  // The open dialog (filter "файлы описания кабинета (*.cld)"); "" when cancelled.
  virtual QString ChooseFileToOpen(QWidget* parent) = 0;
  // The save dialog: proposes a name, starts in a folder, appends .cld to a
  // name without extension, asks before overwriting; "" when cancelled.
  virtual QString ChooseFileToSave(QWidget* parent, const QString& proposedName,
                                   const QString& initialFolder) = 0;
};

// The real dialogs. Each dialog keeps the folder of its last use.
class QtPrompter : public Prompter {
 public:
  // Runs before each dialog opens (the program's icon, set late at start-up).
  std::function<void()> beforeDialog;

  bool AskYesNo(const QString& caption, const QString& text, QMessageBox::Icon icon) override;
  QMessageBox::StandardButton AskYesNoCancel(const QString& caption, const QString& text,
                                             QMessageBox::Icon icon) override;
  void ShowMessage(const QString& caption, const QString& text, QMessageBox::Icon icon) override;
  bool OfferToOpen(const QString& caption, const QString& text) override;
  QString ChooseFileToOpen(QWidget* parent) override;
  QString ChooseFileToSave(QWidget* parent, const QString& proposedName,
                           const QString& initialFolder) override;

 private:
  void BeforeDialog() const {
    if (beforeDialog) beforeDialog();
  }

  QString lastOpenName_;
  QString lastSaveName_;
};
