// TFmWait: the small modal "please wait" dialog shown while the port is busy.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QString>
#include <QTimer>

class TFmWait : public QDialog {
  Q_OBJECT
 public:
  // The plain dialog: "Идет обработка команды..." and OK.
  explicit TFmWait(QWidget* parent = nullptr);
  // Says what it waits for (PortBusyText) and offers "Отмена".
  TFmWait(const QString& reason, QWidget* parent);

  QLabel* Label1 = nullptr;
  QPushButton* Button1 = nullptr;
  QPushButton* CancelButton = nullptr;  // only with a reason
  QTimer* Timer1 = nullptr;

  // The timer's tick: the dialog closes itself.
  void Timer1Timer();
  // True when the teacher ended the wait ("Отмена", Esc or the close button)
  // rather than the timer or OK.
  bool Cancelled() const { return cancelled_; }

  void reject() override;

 private:
  void Build();

  bool cancelled_ = false;
  bool closingByTimer_ = false;
};
