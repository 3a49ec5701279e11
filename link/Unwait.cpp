// TFmWait: closes itself after a second; its modal loop keeps the interface
// thread dispatching while the port is busy.
#include "link/Unwait.h"

#include <QGuiApplication>
#include <QScreen>

#include "app/colours.h"
#include "link/timing.h"

TFmWait::TFmWait(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("FmWait"));
  setWindowTitle(QStringLiteral("Ожидание..."));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
  setModal(true);
  setFixedSize(187, 64);
  QFont font;
  font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("DejaVu Sans")});
  font.setPixelSize(11);
  setFont(font);
  QPalette background = palette();
  background.setColor(QPalette::Window, colours::kButtonFace);
  setPalette(background);

  Label1 = new QLabel(QStringLiteral("Идет обработка команды..."), this);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->move(24, 8);
  Label1->adjustSize();

  Button1 = new QPushButton(QStringLiteral("OK"), this);
  Button1->setObjectName(QStringLiteral("Button1"));
  Button1->setGeometry(56, 32, 75, 25);
  connect(Button1, &QPushButton::clicked, this, &QDialog::accept);

  Timer1 = new QTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  Timer1->setInterval(timing::kWaitDialogMs);
  Timer1->setSingleShot(true);
  connect(Timer1, &QTimer::timeout, this, &TFmWait::Timer1Timer);
  Timer1->start();

  // Centred on the screen, not over the window.
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
}

void TFmWait::Timer1Timer() { reject(); }
