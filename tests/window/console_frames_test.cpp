// Clicks on the real window against the emulator: the frames each click
// sends, and after each step the screen showing the model's display and the
// register copy equal to the controller's.
#include <QTest>

#include "support/consolechecks.h"

class ConsoleFramesTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<WindowFixture> fx_;

 private slots:
  void initTestCase() {
    fx_ = std::make_unique<WindowFixture>(WithEmulator());
    QVERIFY2(fx_->Ok(), fx_->Error().c_str());
  }
  void cleanupTestCase() { fx_.reset(); }

  // Steps separated by ";", each "clicks" or "clicks = the writes they send"
  // (words of Play(), writes as Writes() prints them). Every row starts from
  // a reset controller with all desks shown.
  void clicksSendTheirFrames_data() {
    QTest::addColumn<QString>("steps");
    QTest::newRow("listening moves from desk to desk") << "l7; l3 = 84 00 12";
    QTest::newRow("speaking takes a desk off the line and back, and the teacher's line")
        << "ln b6; s6 = 82 00 00 | 84 00 55; s6 = 84 00 75 | 82 00 20; s6;"
           "l1 = 84 00 70 | 82 00 20";
    QTest::newRow("parting a pair keeps the spoken desk off the line")
        << "ln b6 s6 b9; b9 = 84 00 55 | 82 00 00 | 82 00 00";
    QTest::newRow("parting leaves the teacher's route") << "b9 l13; b10 = 84 00 1C | 82 00 00 | 82 00 00";
    QTest::newRow("joined partner follows the listened desk") << "b1 l1; l1 = 84 01 00";
    QTest::newRow("LED button switches off only")
        << "e9 = ; on9; on9 = ; e9 = 83 00 00 | 81 00 00; off9 = ";
    QTest::newRow("line button with the line on")
        << "ln; b3 = 84 00 40 | 82 00 04; b3 = 82 00 00 | 82 00 00 | 84 02 40;"
           "b3 = 84 00 40 | 82 00 00 | 82 00 00";
    QTest::newRow("line button without the line")
        << "b3 = 82 00 00 | 82 00 00 | 84 02 00; b3 = 84 00 00 | 82 00 00 | 82 00 00";
    QTest::newRow("hidden partner: the desk can only leave the line") << "hide8; b7 = 82 00 00";
    QTest::newRow("teacher's line with no listened desk")
        << "ln ln il = 84 00 40 | 84 00 00 | 82 00 00 | 84 00 80";
    QTest::newRow("listened desk of pair 1-2") << "b1 l1; ln = 84 01 71";
    QTest::newRow("pair 15-16: desk 16 comes first in control order") << "b15 l15; ln = 84 80 7E";
    QTest::newRow("line puts the spoken desk back once the talk has ended")
        << "ln b7 s7; ln = 84 00 76 | 82 00 40";
    QTest::newRow("line off takes only the line desks off")
        << "ln b2 b9 b3 b3; ln = 84 02 00 | 82 00 00";
    QTest::newRow("input puts the spoken desk back once answered")
        << "ln b7 b2 s7; in = 84 00 60 | 82 00 42; in s7 silent; in = 84 00 60 | 84 00 60";
    QTest::newRow("all in pairs skips a pair with a hidden desk")
        << "hide3 in; pairs = 82 00 00 | 84 FD 20";
    QTest::newRow("all in pairs, then a pair shown again joins afresh")
        << "b5 ln b4 hide3 hide6; pairs = 82 00 00 | 84 F9 40; show6;"
           "ln b5 = 84 F9 00 | 82 00 00 | 82 00 00 | 82 00 00 | 84 FD 00";
    QTest::newRow("all to line needs a line source")
        << "allline = ; on2 ln hide5; allline = 84 00 40 | 82 FF FF";
    QTest::newRow("reset") << "b1 ln l2 on3; reset = 81 00 00 | 82 00 00 | 83 00 00 | 84 00 00";
    QTest::newRow("all LEDs off, refused then sent")
        << "l2 on2 silent ledsoff nofaults; ledsoff = 81 00 00 | 83 00 00";
  }
  void clicksSendTheirFrames() {
    QFETCH(QString, steps);
    WindowFixture& fx = *fx_;
    QCOMPARE(Play(fx, "nofaults show3 show5 show6 show8 reset"), QString());
    bool faultPlayed = false;
    for (const QString& step : steps.split(QLatin1Char(';'))) {
      const QStringList parts = step.split(QLatin1Char('='));
      const size_t mark = fx.TraceMark();
      QCOMPARE(Play(fx, parts[0]), QString());
      if (parts.size() > 1) QCOMPARE(Writes(fx, mark), parts[1].trimmed());
      QCOMPARE(ScreenMismatch(fx.form()), QString());
      // A refused write may still have reached the controller.
      faultPlayed = faultPlayed || parts[0].contains(QStringLiteral("silent"));
      if (faultPlayed) continue;
      const auto registers = fx.emulator()->Registers();
      QVERIFY(registers.has_value());
      QCOMPARE(RegisterMismatch(fx.room().SwitchState, *registers), QString());
    }
  }
};

QTEST_MAIN(ConsoleFramesTest)
#include "console_frames_test.moc"
