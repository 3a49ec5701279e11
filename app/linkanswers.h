// The console's answers to the link and the poll: the connection questions
// and the wait dialogs through the prompter, and the poll's indicator reports
// carried over to the interface thread. Nothing here decides about the link.
#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>
#include <string>

#include "app/prompter.h"
#include "link/pollthread.h"
#include "link/transmit.h"

class WaitDialog;

class LinkQuestions : public LinkUi {
 public:
  explicit LinkQuestions(Prompter& prompter) : prompter_(prompter) {}

  // Where the wait dialogs open (the window, once there is one).
  void SetDialogParent(QWidget* parent) { parent_ = parent; }
  // While a close waits for an operation, every question ends as "No".
  void SetClosing(bool closing) { closing_ = closing; }
  // Ends the wait dialog showing now, as "Отмена" does.
  void CancelWait();
  // Called before the failure question: the link state is drawn first.
  std::function<void()> beforeFailureQuestion;

  bool AskRetryConnection() override;
  bool AskRetryAfterFailure(const LinkFailure& failure) override;
  void ShowWaitDialog() override;
  bool ShowCancellableWait(const std::string& reason) override;

 private:
  Prompter& prompter_;
  QPointer<QWidget> parent_;
  WaitDialog* currentWait_ = nullptr;
  bool closing_ = false;
};

// The poll's reports, run on the thread of `context`.
class IndicatorPost : public IndicatorHandover {
 public:
  using Update = std::function<void(uint8_t statusHigh, uint8_t statusLow)>;
  IndicatorPost(QObject* context, Update update) : context_(context), update_(std::move(update)) {}

  void RunIndicatorUpdate(uint8_t statusHigh, uint8_t statusLow) override;
  void PostToInterface(std::function<void()> run) override;

 private:
  QObject* context_;
  Update update_;
};
