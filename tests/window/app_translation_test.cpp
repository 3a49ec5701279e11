// Qt's own dialog texts in Russian once the translation is installed as at start.
#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

#include "app/translation.h"

class AppTranslationTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QVERIFY2(InstallQtRussianTranslation(*QCoreApplication::instance()),
             "Qt's Russian translation not found (Debian: qt6-translations-l10n)");
  }

  void messageBoxButtons_data() {
    QTest::addColumn<int>("button");
    QTest::addColumn<QString>("text");
    QTest::newRow("yes") << int(QMessageBox::Yes) << QStringLiteral("Да");
    QTest::newRow("no") << int(QMessageBox::No) << QStringLiteral("Нет");
    QTest::newRow("open") << int(QMessageBox::Open) << QStringLiteral("Открыть");
    QTest::newRow("cancel") << int(QMessageBox::Cancel) << QStringLiteral("Отмена");
  }
  void messageBoxButtons() {
    QFETCH(int, button);
    QFETCH(QString, text);
    QMessageBox box;
    box.setStandardButtons(QMessageBox::StandardButton(button));
    QAbstractButton* shown = box.button(QMessageBox::StandardButton(button));
    QVERIFY(shown != nullptr);
    QCOMPARE(shown->text().remove(QLatin1Char('&')), text);
  }

  void fileDialogLabels() {
    QCOMPARE(QCoreApplication::translate("QFileDialog", "Look in:"), QStringLiteral("Перейти к:"));
  }
};

QTEST_MAIN(AppTranslationTest)
#include "app_translation_test.moc"
