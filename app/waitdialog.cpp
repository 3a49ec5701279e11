// TFmWait: closes itself after a second; its modal loop keeps the interface
// thread dispatching while the port is busy. The teacher may cancel the wait.
#include "link/Unwait.h"

#include <QGuiApplication>
#include <QScreen>

#include "view/colours.h"
#include "link/timing.h"

TFmWait::TFmWait(QWidget* parent) : QDialog(parent) {
  Build();
  setFixedSize(187, 64);
  Label1 = new QLabel(QStringLiteral("Идет обработка команды..."), this);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->move(24, 8);
  Label1->adjustSize();
  Button1->setGeometry(56, 32, 75, 25);
  // Centred on the screen, not over the window.
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
}

TFmWait::TFmWait(const QString& reason, QWidget* parent) : QDialog(parent) {
  Build();
  setFixedSize(300, 84);
  Label1 = new QLabel(reason, this);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->setWordWrap(true);
  Label1->setGeometry(12, 8, 276, 34);
  Button1->setGeometry(62, 50, 75, 25);
  CancelButton = new QPushButton(QStringLiteral("Отмена"), this);
  CancelButton->setObjectName(QStringLiteral("CancelButton"));
  CancelButton->setGeometry(162, 50, 75, 25);
  connect(CancelButton, &QPushButton::clicked, this, &TFmWait::reject);
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
}

void TFmWait::Build() {
  setObjectName(QStringLiteral("FmWait"));
  setWindowTitle(QStringLiteral("Ожидание..."));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
  setModal(true);
  QFont font;
  font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("DejaVu Sans")});
  font.setPixelSize(11);
  setFont(font);
  QPalette background = palette();
  background.setColor(QPalette::Window, colours::kButtonFace);
  setPalette(background);

  Button1 = new QPushButton(QStringLiteral("OK"), this);
  Button1->setObjectName(QStringLiteral("Button1"));
  connect(Button1, &QPushButton::clicked, this, &QDialog::accept);

  Timer1 = new QTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  Timer1->setInterval(timing::kWaitDialogMs);
  Timer1->setSingleShot(true);
  connect(Timer1, &QTimer::timeout, this, &TFmWait::Timer1Timer);
  Timer1->start();
}

void TFmWait::Timer1Timer() {
  closingByTimer_ = true;
  reject();
  closingByTimer_ = false;
}

void TFmWait::reject() {
  if (!closingByTimer_) cancelled_ = true;
  QDialog::reject();
}
