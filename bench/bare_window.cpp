// The yardsticks of the start-up benchmark, each a Qt Widgets window of the
// console's size shown as soon as it is built:
//   (none)     the bare window, the measure of the ratio;
//   --text     the same holding one line of text, measured before it is shown
//              as any laid-out caption is: what a window pays for having text
//              at all (the font configuration, the font database, the first
//              shaping), which the bare window never does;
//   --widgets  only the controls the console shows at start, built plainly:
//              16 desk panels of stock widgets, a menu bar with its five
//              titles, the bottom buttons and two lines of status.
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QToolButton>
#include <QWidget>
#include <cstring>

namespace {

void AddText(QWidget& window) {
  auto* caption = new QLabel(QStringLiteral("Стол 1"), &window);
  caption->adjustSize();
}

void AddConsoleControls(QWidget& window) {
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPixelSize(11);
  window.setFont(font);
  auto* bar = new QMenuBar(&window);
  for (const char* title : {"&Файл", "&Столы", "&Урок", "&Настройки", "Спр&авка"}) {
    bar->addMenu(QString::fromUtf8(title));
  }
  bar->setGeometry(0, 0, 700, bar->sizeHint().height());
  QFont bold = font;
  bold.setBold(true);
  for (int desk = 0; desk < 16; ++desk) {
    auto* panel = new QGroupBox(QString::number(desk + 1), &window);
    panel->setFont(bold);
    panel->setGeometry(10 + (desk % 4) * 170, 40 + (desk / 4) * 106, 141, 73);
    auto* name = new QLineEdit(panel);
    name->setGeometry(6, 20, 110, 24);
    name->setReadOnly(true);
    name->setFrame(false);
    for (int b = 0; b < 3; ++b) (new QToolButton(panel))->setGeometry(92 + b * 25, 49, 23, 22);
    (new QPushButton(QStringLiteral("Откл."), panel))->setGeometry(5, 49, 56, 22);
  }
  for (int b = 0; b < 13; ++b) {
    auto* button = new QToolButton(&window);
    button->setText(QStringLiteral("Вход"));
    button->setGeometry(10 + b * 50, 470, 45, 24);
  }
  (new QLabel(QStringLiteral("Учитель"), &window))->adjustSize();
  auto* status = new QLabel(QStringLiteral("Порт COM1: подключение к контроллеру…"), &window);
  status->setGeometry(10, 500, 600, 18);
}

}  // namespace

int main(int argc, char** argv) {
  const char* mode = argc > 1 ? argv[1] : "";
  QApplication application(argc, argv);
  QWidget window;
  window.setWindowTitle(QStringLiteral("bare"));
  window.resize(700, 546);
  if (std::strcmp(mode, "--text") == 0) AddText(window);
  if (std::strcmp(mode, "--widgets") == 0) AddConsoleControls(window);
  window.show();
  return application.exec();
}
