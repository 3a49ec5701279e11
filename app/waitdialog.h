// The small modal "please wait" dialog shown while the port is busy.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QString>
#include <QTimer>

class WaitDialog : public QDialog {
  Q_OBJECT
 public:
  // The plain dialog: "Идет обработка команды..." and OK.
  explicit WaitDialog(QWidget* parent = nullptr);
  // Says what it waits for (PortBusyText) and offers "Отмена".
  WaitDialog(const QString& reason, QWidget* parent);

  QLabel* message = nullptr;
  QPushButton* okButton = nullptr;
  QPushButton* cancelButton = nullptr;  // only with a reason
  QTimer* closeTimer = nullptr;

  // The timer's tick: the dialog closes itself.
  void CloseByTimer();
  // True when the teacher ended the wait ("Отмена", Esc or the close button)
  // rather than the timer or OK.
  bool Cancelled() const { return cancelled_; }

  void reject() override;

 private:
  void Build();

  bool cancelled_ = false;
  bool closingByTimer_ = false;
};
