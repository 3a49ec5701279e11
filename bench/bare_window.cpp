// The yardstick of the start-up benchmark: a bare Qt Widgets window of the
// console's size, shown as soon as the application exists.
#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QWidget window;
  window.setWindowTitle(QStringLiteral("bare"));
  window.resize(700, 546);
  window.show();
  return application.exec();
}
