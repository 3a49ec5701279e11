// The console model's questions, messages and file choices answered through
// the window's Prompter (real dialogs, or scripted ones in tests).
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

#include "app/prompter.h"
#include "console/consoleuser.h"

class PrompterUser : public console::ConsoleUser {
 public:
  PrompterUser(Prompter& prompter, QWidget* parent) : prompter_(prompter), parent_(parent) {}
  // The file dialogs open over this widget (the window, once there is one).
  void SetParent(QWidget* parent) { parent_ = parent; }

  bool AskYesNo(const std::string& caption, const std::string& text,
                console::MessageKind kind) override {
    return prompter_.AskYesNo(Text(caption), Text(text), Icon(kind));
  }
  console::Answer AskYesNoCancel(const std::string& caption, const std::string& text,
                                 console::MessageKind kind) override {
    switch (prompter_.AskYesNoCancel(Text(caption), Text(text), Icon(kind))) {
      case QMessageBox::Yes:
        return console::Answer::Yes;
      case QMessageBox::No:
        return console::Answer::No;
      default:
        return console::Answer::Cancel;
    }
  }
  void ShowMessage(const std::string& caption, const std::string& text,
                   console::MessageKind kind) override {
    prompter_.ShowMessage(Text(caption), Text(text), Icon(kind));
  }
  std::string ChooseFileToOpen() override {
    return prompter_.ChooseFileToOpen(parent_).toStdString();
  }
  std::string ChooseFileToSave(const std::string& proposedName,
                               const std::string& initialFolder) override {
    return prompter_.ChooseFileToSave(parent_, Text(proposedName), Text(initialFolder))
        .toStdString();
  }

  static QMessageBox::Icon Icon(console::MessageKind kind) {
    switch (kind) {
      case console::MessageKind::Question:
        return QMessageBox::Question;
      case console::MessageKind::Warning:
        return QMessageBox::Warning;
      case console::MessageKind::Critical:
        return QMessageBox::Critical;
      case console::MessageKind::Information:
        break;
    }
    return QMessageBox::Information;
  }

 private:
  static QString Text(const std::string& utf8) { return QString::fromStdString(utf8); }

  Prompter& prompter_;
  QPointer<QWidget> parent_;
};
