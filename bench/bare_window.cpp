// The yardstick of the start-up benchmark: a bare Qt Widgets window of the
// console's size, shown as soon as the application exists. With --text it
// holds one line of text, measured before the window is shown as any laid-out
// caption is: what a window pays for having text at all (the font
// configuration, the font database, the first shaping), which the bare window
// never does.
#include <QApplication>
#include <QLabel>
#include <QWidget>
#include <cstring>

int main(int argc, char** argv) {
  const bool withText = argc > 1 && std::strcmp(argv[1], "--text") == 0;
  QApplication application(argc, argv);
  QWidget window;
  window.setWindowTitle(QStringLiteral("bare"));
  window.resize(700, 546);
  if (withText) {
    auto* caption = new QLabel(QStringLiteral("Стол 1"), &window);
    caption->adjustSize();
  }
  window.show();
  return application.exec();
}
