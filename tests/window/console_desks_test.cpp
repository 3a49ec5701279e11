// Desk operations on the real window against the emulator: names, listening,
// speaking, LEDs, pairs and the line, and a controller that falls silent.
#include <QTest>
#include <string>

#include "app/colours.h"
#include "support/consolechecks.h"

namespace {

// The emulator answers the writes before the `nth` one (counted from now) and
// falls silent from it on, so a path fails half-way at a known request.
bool SilenceFromWrite(WindowFixture& fx, size_t nth) {
  return fx.emulator()->Send("fault silent-after " + std::to_string(nth - 1));
}

}  // namespace

class ConsoleDesksTest : public QObject {
  Q_OBJECT

 private slots:
  void nameEditingConfirmsOrDiscards() {
    WindowFixture fx;  // no controller needed: names never talk to it
    QVERIFY2(fx.Ok(), fx.Error().c_str());
    QLineEdit* one = fx.Desk(1)->nameBox;
    QLineEdit* two = fx.Desk(2)->nameBox;
    one->setText("Иванов");
    two->setText("Петров");

    QTest::mouseDClick(one, Qt::LeftButton);
    QVERIFY(!one->isReadOnly());
    QCOMPARE(one->palette().color(QPalette::Base), colours::kWindow);
    QTest::keyClicks(one, "abc");
    // Enter on a box in display mode opens it without closing the first one.
    QTest::keyClick(two, Qt::Key_Return);
    QVERIFY(!one->isReadOnly() && !two->isReadOnly());
    QTest::keyClicks(two, "xy");
    fx.form().FormClick();
    QCOMPARE(one->text(), QString("Иванов"));  // the whole edit, not one keystroke
    QCOMPARE(two->text(), QString("Петров"));
    QVERIFY(one->isReadOnly() && two->isReadOnly());
    QCOMPARE(fx.room().ClassroomChanged, 0);

    QTest::mouseDClick(one, Qt::LeftButton);
    one->end(false);
    QTest::keyClicks(one, "ov");
    QTest::keyClick(one, Qt::Key_Return);
    QVERIFY(one->isReadOnly());
    QCOMPARE(one->text(), QString("Ивановov"));
    QCOMPARE(one->palette().color(QPalette::Base), fx.Desk(1)->colour());
    QCOMPARE(fx.room().ClassroomChanged, 1);
    // A confirmed name survives the next action's end of editing.
    fx.ClickButton(fx.Desk(5)->led);
    QCOMPARE(one->text(), QString("Ивановov"));
  }

  void listeningMovesFromDeskToDesk() {
    WindowFixture fx(WithEmulator());
    QVERIFY2(fx.Ok(), fx.Error().c_str());
    fx.ClickButton(fx.Desk(7)->listen);
    size_t mark = fx.TraceMark();
    fx.ClickButton(fx.Desk(3)->listen);
    QCOMPARE(Writes(fx, mark), QString("84 00 12"));
    QVERIFY(fx.Desk(3)->listen->isChecked());
    QVERIFY(!fx.Desk(7)->listen->isChecked());
    QCOMPARE(fx.Desk(3)->colour(), colours::kHighlight);
    QCOMPARE(fx.Desk(7)->colour(), colours::kInfoBackground);
  }

  void speakingTakesADeskOffTheLineAndBack() {
    WindowFixture fx(WithEmulator());
    QVERIFY2(fx.Ok(), fx.Error().c_str());
    fx.ClickButton(fx.form().SpeedButton50);
    fx.ClickButton(fx.Desk(6)->lineButton);
    QCOMPARE(fx.Desk(6)->lineButton->text(), kOn);

    size_t mark = fx.TraceMark();
    fx.ClickButton(fx.Desk(6)->speak);
    QCOMPARE(Writes(fx, mark), QString("82 00 00 | 84 00 55"));
    QVERIFY(fx.Desk(6)->listen->isChecked());
    QVERIFY(!fx.form().SpeedButton50->isChecked());

    mark = fx.TraceMark();
    fx.ClickButton(fx.Desk(6)->speak);
    QCOMPARE(Writes(fx, mark), QString("84 00 15 | 82 00 20"));
    fx.ClickButton(fx.Desk(6)->speak);

    // Listening elsewhere puts the spoken-to desk back on the line.
    mark = fx.TraceMark();
    fx.ClickButton(fx.Desk(1)->listen);
    QCOMPARE(Writes(fx, mark), QString("84 00 10 | 82 00 20"));
    QVERIFY(!fx.Desk(6)->listen->isChecked() && !fx.Desk(6)->speak->isChecked());
  }

  void partingAPairPutsTheSpokenDeskBackOnTheLine() {
    WindowFixture fx(WithEmulator());
    QVERIFY2(fx.Ok(), fx.Error().c_str());
    fx.ClickButton(fx.form().SpeedButton50);
    fx.ClickButton(fx.Desk(6)->lineButton);
    fx.ClickButton(fx.Desk(6)->speak);  // takes desk 6 off the line, the line button up
    fx.ClickButton(fx.Desk(9)->lineButton);
    QCOMPARE(fx.Desk(9)->lineButton->text(), kPair);
    QVERIFY(fx.Desk(6)->speak->isChecked());

    const size_t mark = fx.TraceMark();
    fx.ClickButton(fx.Desk(9)->lineButton);
    QCOMPARE(Writes(fx, mark), QString("84 00 55 | 82 00 00 | 82 00 00 | 82 00 20"));
    QCOMPARE(int(fx.room().SwitchState.LineLow), 0x20);
    QCOMPARE(fx.Desk(6)->lineButton->text(), kOn);
    QVERIFY(!fx.Desk(6)->speak->isChecked() && !fx.Desk(6)->listen->isChecked());
    QCOMPARE(fx.Desk(9)->lineButton->text(), kOff);
  }

  void joinedPartnerFollowsTheListenedDesk() {
    WindowFixture fx(WithEmulator());
    QVERIFY2(fx.Ok(), fx.Error().c_str());
    fx.ClickButton(fx.Desk(1)->lineButton);  // no line source: joins 1-2
    QCOMPARE(fx.room().PairJoined[0], 1);
    fx.ClickButton(fx.Desk(1)->listen);
    QVERIFY(fx.Desk(2)->listen->isChecked());
    for (int n : {1, 2}) {
      QCOMPARE(fx.Desk(n)->colour(), colours::kHighlight);
      QCOMPARE(fx.Desk(n)->nameBox->palette().color(QPalette::Base), colours::kHighlight);
    }
    QCOMPARE(fx.Desk(3)->colour(), colours::kInfoBackground);

    size_t mark = fx.TraceMark();
    fx.ClickButton(fx.Desk(1)->listen);
    QCOMPARE(Writes(fx, mark), QString("84 01 00"));
    for (int n = 1; n <= 16; ++n) {
      QVERIFY(!fx.Desk(n)->listen->isChecked() && !fx.Desk(n)->speak->isChecked());
      QCOMPARE(fx.Desk(n)->colour(), colours::kInfoBackground);
    }
  }

  void ledButtonSwitchesOffOnly() {
    WindowFixture fx(WithEmulator());
    QVERIFY2(fx.Ok(), fx.Error().c_str());
    size_t mark = fx.TraceMark();
    fx.ClickButton(fx.Desk(9)->led);
    QCOMPARE(Writes(fx, mark), QString());
    fx.form().SelectedDesk = fx.Desk(9);
    fx.form().LedPowerOn1Click();
    QCOMPARE(fx.Desk(9)->led->tag(), 1);
    // Switching on a lit LED again must not toggle it off in the controller.
    mark = fx.TraceMark();
    fx.form().LedPowerOn1Click();
    QCOMPARE(Writes(fx, mark), QString());
    QCOMPARE(fx.Desk(9)->led->tag(), 1);
    QCOMPARE(int(fx.room().SwitchState.LedBHigh), 0x01);
    mark = fx.TraceMark();
    fx.ClickButton(fx.Desk(9)->led);
    QCOMPARE(Writes(fx, mark), QString("83 00 00 | 81 00 00"));
    QCOMPARE(fx.Desk(9)->led->tag(), 0);
    mark = fx.TraceMark();
    fx.form().LedPowerOff1Click();
    QCOMPARE(Writes(fx, mark), QString());
    QCOMPARE(int(fx.room().SwitchState.LedAHigh), 0x00);
  }

  void lineButtonCycles_data() {
    QTest::addColumn<bool>("lineSource");
    QTest::addColumn<QStringList>("captions");  // desk 3 after each click
    QTest::addColumn<QStringList>("writes");
    QTest::newRow("with line") << true << QStringList{kOn, kPair, kOff}
                               << QStringList{"84 00 40 | 82 00 04",
                                              "84 02 40 | 82 00 00 | 82 00 00",
                                              "84 00 40 | 82 00 00 | 82 00 00"};
    QTest::newRow("without line") << false << QStringList{kPair, kOff}
                                  << QStringList{"84 02 00 | 82 00 00 | 82 00 00",
                                                 "84 00 00 | 82 00 00 | 82 00 00"};
  }
  void lineButtonCycles() {
    QFETCH(bool, lineSource);
    QFETCH(QStringList, captions);
    QFETCH(QStringList, writes);
    WindowFixture fx(WithEmulator());
    QVERIFY2(fx.Ok(), fx.Error().c_str());
    if (lineSource) fx.ClickButton(fx.form().SpeedButton50);
    for (int i = 0; i < captions.size(); ++i) {
      size_t mark = fx.TraceMark();
      fx.ClickButton(fx.Desk(3)->lineButton);
      QCOMPARE(Writes(fx, mark), writes[i]);
      QCOMPARE(fx.Desk(3)->lineButton->text(), captions[i]);
      QCOMPARE(fx.room().PairJoined[1], captions[i] == kPair ? 1 : 0);
      if (captions[i] != kOn) QCOMPARE(fx.Desk(4)->lineButton->text(), captions[i]);
    }
  }

  void lineButtonOddCases() {
    WindowFixture fx(WithEmulator());
    QVERIFY2(fx.Ok(), fx.Error().c_str());
    // Partner hidden: the desk can only leave the line.
    fx.Desk(8)->hide();
    size_t mark = fx.TraceMark();
    fx.ClickButton(fx.Desk(7)->lineButton);
    QCOMPARE(Writes(fx, mark), QString("82 00 00"));
    QCOMPARE(fx.Desk(7)->lineButton->text(), kOff);

    // Parting 9-10 releases every button but leaves desk 13 routed to the teacher.
    fx.ClickButton(fx.Desk(9)->lineButton);
    fx.ClickButton(fx.Desk(13)->listen);
    mark = fx.TraceMark();
    fx.ClickButton(fx.Desk(10)->lineButton);
    QCOMPARE(Writes(fx, mark), QString("84 00 1C | 82 00 00 | 82 00 00"));
    QVERIFY(!fx.Desk(13)->listen->isChecked());
    QCOMPARE(fx.Desk(13)->colour(), colours::kInfoBackground);
    QCOMPARE(fx.room().SwitchState.Route, uint8_t(0x1C));

    // A caption of none of the three texts: nothing sent, only the redraw.
    fx.Desk(4)->lineButton->setText("???");
    fx.room().SwitchState.LineLow = 0x08;  // desk 4 on the line in the copy
    mark = fx.TraceMark();
    fx.ClickButton(fx.Desk(4)->lineButton);
    QCOMPARE(Writes(fx, mark), QString());
    QCOMPARE(fx.Desk(4)->lineButton->text(), QString("???"));
    QCOMPARE(fx.form().Surface().pixelColor(543, 30), colours::kLink);
  }

  void silentControllerHalfWayThroughAJoin() {
    WindowFixture fx(WithEmulator());
    QVERIFY2(fx.Ok(), fx.Error().c_str());
    QVERIFY(SilenceFromWrite(fx, 3));
    fx.ClickButton(fx.Desk(3)->lineButton);
    // PairJoin and the desk's LineDisconnect stay done; the partner's was not answered.
    QCOMPARE(fx.room().SwitchState.Pairs, uint8_t(0x02));
    QCOMPARE(fx.prompter().Count(FakePrompter::Kind::kQuestion), 1);
    QCOMPARE(fx.Desk(3)->lineButton->text(), kOff);
    QCOMPARE(fx.Desk(4)->lineButton->text(), kOff);
    QCOMPARE(fx.room().PairJoined[1], 0);
  }

  void silentControllerAfterListening() {
    WindowFixture fx(WithEmulator());
    QVERIFY2(fx.Ok(), fx.Error().c_str());
    fx.ClickButton(fx.form().SpeedButton50);
    fx.ClickButton(fx.Desk(6)->lineButton);
    fx.ClickButton(fx.Desk(6)->speak);
    QVERIFY(SilenceFromWrite(fx, 2));
    fx.ClickButton(fx.Desk(1)->listen);
    // ListenDesk was answered; the ignored LineConnect of desk 6 was not.
    QCOMPARE(fx.room().SwitchState.Route, uint8_t(0x10));
    QCOMPARE(fx.room().SwitchState.LineLow, uint8_t(0x00));
    QVERIFY(fx.Desk(1)->listen->isChecked());
    QVERIFY(!fx.Desk(6)->speak->isChecked());
    QCOMPARE(fx.Desk(1)->colour(), colours::kHighlight);

    // Silent from the first write: the speak button goes back up, nothing committed.
    fx.ClickButton(fx.Desk(1)->speak);
    QVERIFY(!fx.Desk(1)->speak->isChecked());
    QCOMPARE(fx.room().SwitchState.Route, uint8_t(0x10));
  }
};

QTEST_MAIN(ConsoleDesksTest)
#include "console_desks_test.moc"
