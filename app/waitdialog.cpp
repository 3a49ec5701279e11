// The wait dialog closes itself after a second; its modal loop keeps the interface
// thread dispatching while the port is busy. The teacher may cancel the wait.
#include "app/waitdialog.h"

#include <QGuiApplication>
#include <QScreen>

#include "app/classicfont.h"
#include "view/colours.h"
#include "link/timing.h"

WaitDialog::WaitDialog(QWidget* parent) : QDialog(parent) {
  Build();
  setFixedSize(187, 64);
  message = new QLabel(QStringLiteral("Идет обработка команды..."), this);
  message->setObjectName(QStringLiteral("Label1"));
  message->move(24, 8);
  message->adjustSize();
  okButton->setGeometry(56, 32, 75, 25);
  // Centred on the screen, not over the window.
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
}

WaitDialog::WaitDialog(const QString& reason, QWidget* parent) : QDialog(parent) {
  Build();
  setFixedSize(300, 84);
  message = new QLabel(reason, this);
  message->setTextFormat(Qt::PlainText);  // the reason may name a port or a file
  message->setObjectName(QStringLiteral("Label1"));
  message->setWordWrap(true);
  message->setGeometry(12, 8, 276, 34);
  okButton->setGeometry(62, 50, 75, 25);
  cancelButton = new QPushButton(QStringLiteral("Отмена"), this);
  cancelButton->setObjectName(QStringLiteral("CancelButton"));
  cancelButton->setGeometry(162, 50, 75, 25);
  connect(cancelButton, &QPushButton::clicked, this, &WaitDialog::reject);
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
}

void WaitDialog::Build() {
  setObjectName(QStringLiteral("FmWait"));
  setWindowTitle(QStringLiteral("Ожидание..."));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
  setModal(true);
  setFont(ClassicFont());
  QPalette background = palette();
  background.setColor(QPalette::Window, colours::kButtonFace);
  setPalette(background);

  okButton = new QPushButton(QStringLiteral("OK"), this);
  okButton->setObjectName(QStringLiteral("Button1"));
  connect(okButton, &QPushButton::clicked, this, &QDialog::accept);

  closeTimer = new QTimer(this);
  closeTimer->setObjectName(QStringLiteral("Timer1"));
  closeTimer->setInterval(timing::kWaitDialogMs);
  closeTimer->setSingleShot(true);
  connect(closeTimer, &QTimer::timeout, this, &WaitDialog::CloseByTimer);
  closeTimer->start();
}

void WaitDialog::CloseByTimer() {
  closingByTimer_ = true;
  reject();
  closingByTimer_ = false;
}

void WaitDialog::reject() {
  if (!closingByTimer_) cancelled_ = true;
  QDialog::reject();
}
