// The controller brought back: the emulator stopped and started again on the
// same pseudo-terminal path (a controller that lost its power, or an adapter
// pulled and plugged back in) gets the console's register copy within two
// seconds, and the status strip says so.
#include <QElapsedTimer>
#include <QLabel>
#include <QTest>

#include "support/consolechecks.h"

class ControllerReturnTest : public QObject {
  Q_OBJECT

 private slots:
  void aRestartedControllerGetsTheLessonBack() {
    WindowOptions options = WithEmulator();
    options.readThreadStop = 0;  // the poll finds the controller gone and back
    WindowFixture fx(options);
    QVERIFY2(fx.Ok(), fx.Error().c_str());
    // A lesson under way: line on, desks 3 and 12 on it, pair 5-6 joined,
    // desk 9's LED lit, the teacher listening to desk 12.
    QCOMPARE(Play(fx, "ln b3 b12 b5 b5 on9 l12"), QString());
    const std::string path = fx.emulator()->linkPath();
    const auto before = fx.emulator()->Registers();
    QVERIFY(before.has_value());
    QCOMPARE(RegisterMismatch(fx.room().SwitchState, *before), QString());

    fx.emulator()->Stop();
    // The console finds the controller gone before it comes back.
    QVERIFY2(
        QTest::qWaitFor(
            [&] {
              return !fx.form().status->linkLabel->text().contains(QStringLiteral("контроллер отвечает"));
            },
            5000),
        qPrintable(fx.form().status->linkLabel->text()));
    testsupport::EmulatorProcess again({"--link", path});
    QVERIFY2(again.Started(), again.Error().c_str());
    QElapsedTimer since;
    since.start();
    QString mismatch = QStringLiteral("never compared");
    while (since.elapsed() < 2000 && !mismatch.isEmpty()) {
      QTest::qWait(100);
      const auto now = again.Registers();
      if (now) mismatch = RegisterMismatch(fx.room().SwitchState, *now);
    }
    qInfo("restored after %lld ms: %s", since.elapsed(), qPrintable(fx.form().status->linkLabel->text()));
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
    QVERIFY(fx.room().SwitchState.Pairs == 0x04);
    QVERIFY(fx.room().SwitchState.LedBHigh == 0x01);
    QVERIFY(QTest::qWaitFor(
        [&] {
          return fx.form().status->linkLabel->text().contains(
              QStringLiteral("контроллер отвечает, состояние класса восстановлено"));
        },
        2000));
    QCOMPARE(ScreenMismatch(fx.form()), QString());
  }
};

QTEST_MAIN(ControllerReturnTest)
#include "controller_return_test.moc"
