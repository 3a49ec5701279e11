// Starting a window test on configured offscreen screens.
#include "support/screenmain.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

int RunOnScreens(int argc, char** argv, QObject& test, std::initializer_list<TestScreen> screens,
                 double scaleFactor) {
  QJsonArray list;
  int n = 0;
  for (const TestScreen& s : screens) {
    list.append(QJsonObject{{"name", QStringLiteral("Screen%1").arg(++n)},
                            {"x", s.x},
                            {"y", s.y},
                            {"width", s.width},
                            {"height", s.height},
                            {"logicalDpi", 96},
                            {"logicalBaseDpi", 96},
                            {"dpr", 1}});
  }
  const QString path = QDir::temp().filePath(
      QStringLiteral("vormik-screens-%1.json").arg(QCoreApplication::applicationPid()));
  {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return 1;
    file.write(QJsonDocument(QJsonObject{{"screens", list}}).toJson());
  }
  qputenv("QT_QPA_PLATFORM", QByteArray("offscreen:configfile=") + QFile::encodeName(path));
  if (scaleFactor > 0) qputenv("QT_SCALE_FACTOR", QByteArray::number(scaleFactor));
  int result = 0;
  {
    QApplication app(argc, argv);
    QTEST_SET_MAIN_SOURCE_PATH
    result = QTest::qExec(&test, argc, argv);
  }
  QFile::remove(path);
  return result;
}
