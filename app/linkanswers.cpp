// The link's questions and waits, and the poll's hand-over to the interface.
#include "app/linkanswers.h"

#include <QMetaObject>
#include <QThread>

#include "app/waitdialog.h"
#include "link/linkstatus.h"

void LinkQuestions::CancelWait() {
  if (currentWait_ != nullptr) currentWait_->reject();
}

bool LinkQuestions::AskRetryConnection() {
  if (closing_) return false;
  return prompter_.AskYesNo(QStringLiteral("Ошибка связи"),
                            QStringLiteral("Проверьте соединение с COM портом! Повторить попытку?"),
                            QMessageBox::Critical);
}

bool LinkQuestions::AskRetryAfterFailure(const LinkFailure& failure) {
  if (closing_) return false;
  if (beforeFailureQuestion) beforeFailureQuestion();
  // The described question, and a second line that says what failed.
  return prompter_.AskYesNo(QStringLiteral("Ошибка связи"),
                            QStringLiteral("Проверьте соединение с COM портом! Повторить попытку?\n") +
                                QString::fromStdString(LinkFailureText(failure)),
                            QMessageBox::Critical);
}

void LinkQuestions::ShowWaitDialog() {
  WaitDialog dialog(parent_);
  dialog.exec();
}

bool LinkQuestions::ShowCancellableWait(const std::string& reason) {
  if (closing_) return false;
  WaitDialog dialog(QString::fromStdString(reason), parent_);
  currentWait_ = &dialog;
  dialog.exec();
  currentWait_ = nullptr;
  return !dialog.Cancelled() && !closing_;
}

void IndicatorPost::PostToInterface(std::function<void()> run) {
  // Queued, not blocking: a frame asking for the port takes it from a poll
  // whose update has not begun.
  QMetaObject::invokeMethod(context_, std::move(run), Qt::QueuedConnection);
}

void IndicatorPost::RunIndicatorUpdate(uint8_t statusHigh, uint8_t statusLow) {
  // Waiting for the own thread would never end.
  if (QThread::currentThread() == context_->thread()) {
    update_(statusHigh, statusLow);
    return;
  }
  QMetaObject::invokeMethod(
      context_, [this, statusHigh, statusLow] { update_(statusHigh, statusLow); },
      Qt::BlockingQueuedConnection);
}
