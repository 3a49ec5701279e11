// TFmWait: the small modal "please wait" dialog shown while the port is busy.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

class TFmWait : public QDialog {
  Q_OBJECT
 public:
  explicit TFmWait(QWidget* parent = nullptr);

  QLabel* Label1 = nullptr;
  QPushButton* Button1 = nullptr;
  QTimer* Timer1 = nullptr;

  // The timer's tick: the dialog closes itself.
  void Timer1Timer();
};
