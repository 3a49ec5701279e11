// The teacher panel and the all-desks toolbar on the real window against the emulator.
#include <QTest>

#include "app/colours.h"
#include "support/consolechecks.h"

class ConsolePanelTest : public QObject {
  Q_OBJECT

 private slots:
  void noListenedDeskLeavesTheDeskOut() {
    WindowFixture fx(WithEmulator());
    QVERIFY2(fx.Ok(), fx.Error().c_str());
    TForm1& form = fx.form();
    size_t mark = fx.TraceMark();
    fx.ClickButton(form.SpeedButton50);
    fx.ClickButton(form.SpeedButton50);
    fx.ClickButton(form.SpeedButton51);
    QCOMPARE(Writes(fx, mark), QString("84 00 40 | 84 00 00 | 82 00 00 | 84 00 80"));
  }

  void listenedDeskIsTheLastInControlOrder_data() {
    QTest::addColumn<int>("joinDesk");    // line button clicked first (0: none)
    QTest::addColumn<int>("listenDesk");  // listen button clicked
    QTest::addColumn<int>("alsoDown");    // listen button put down from code (0: none)
    QTest::addColumn<QString>("lineOn");
    QTest::newRow("pair 1-2") << 1 << 1 << 0 << "84 01 71";
    QTest::newRow("pair 15-16: desk 16 comes first") << 15 << 15 << 0 << "84 80 7E";
    QTest::newRow("desks 15 and 5: desk 5 comes last") << 0 << 15 << 5 << "84 00 74";
  }
  void listenedDeskIsTheLastInControlOrder() {
    QFETCH(int, joinDesk);
    QFETCH(int, listenDesk);
    QFETCH(int, alsoDown);
    QFETCH(QString, lineOn);
    WindowFixture fx(WithEmulator());
    QVERIFY2(fx.Ok(), fx.Error().c_str());
    if (joinDesk != 0) fx.ClickButton(fx.Desk(joinDesk)->lineButton);
    fx.ClickButton(fx.Desk(listenDesk)->listen);
    if (alsoDown != 0) fx.Desk(alsoDown)->listen->setChecked(true);
    const size_t mark = fx.TraceMark();
    fx.ClickButton(fx.form().SpeedButton50);
    QCOMPARE(Writes(fx, mark), lineOn);
  }

  void lineReconnectsTheSpokenDesk() {
    WindowFixture fx(WithEmulator());
    QVERIFY2(fx.Ok(), fx.Error().c_str());
    TForm1& form = fx.form();
    fx.ClickButton(form.SpeedButton50);
    fx.ClickButton(fx.Desk(7)->lineButton);
    fx.ClickButton(fx.Desk(7)->speak);
    QVERIFY(!form.SpeedButton50->isChecked());
    const size_t mark = fx.TraceMark();
    fx.ClickButton(form.SpeedButton50);
    QCOMPARE(Writes(fx, mark), QString("82 00 40 | 84 00 76"));
    QVERIFY(!fx.Desk(7)->speak->isChecked());
    QVERIFY(form.SpeedButton50->isChecked());
  }

  void inputToLineReplacesTheLine() {
    WindowFixture fx(WithEmulator());
    QVERIFY2(fx.Ok(), fx.Error().c_str());
    TForm1& form = fx.form();
    fx.ClickButton(form.SpeedButton50);
    fx.ClickButton(form.SpeedButton51);
    QVERIFY(!form.SpeedButton50->isChecked() && form.SpeedButton51->isChecked());

    fx.ClickButton(form.SpeedButton51);
    fx.ClickButton(form.SpeedButton50);
    QVERIFY(fx.emulator()->Send("fault silent on"));
    fx.ClickButton(form.SpeedButton51);
    QVERIFY(form.SpeedButton50->isChecked() && !form.SpeedButton51->isChecked());
    QCOMPARE(fx.room().SwitchState.Route, uint8_t(0x40));
    QCOMPARE(fx.prompter().Count(FakePrompter::Kind::kQuestion), 1);
  }

  void lineOffTakesOnlyLineDesksOff() {
    WindowFixture fx(WithEmulator());
    QVERIFY2(fx.Ok(), fx.Error().c_str());
    TForm1& form = fx.form();
    fx.ClickButton(form.SpeedButton50);
    for (int desk : {2, 9, 3, 3}) fx.ClickButton(fx.Desk(desk)->lineButton);
    QCOMPARE(fx.Desk(3)->lineButton->text(), kPair);
    QVERIFY(BlueAt(fx, 175, 30));  // desk 2's frame
    const size_t mark = fx.TraceMark();
    fx.ClickButton(form.SpeedButton50);
    QCOMPARE(Writes(fx, mark), QString("84 02 00 | 82 00 00"));
    QCOMPARE(fx.Desk(2)->lineButton->text(), kOff);
    QCOMPARE(fx.Desk(9)->lineButton->text(), kOff);
    QCOMPARE(fx.Desk(3)->lineButton->text(), kPair);
    QVERIFY(!BlueAt(fx, 175, 30));
  }

  void inputReleasesEveryDesk() {
    WindowFixture fx(WithEmulator());
    QVERIFY2(fx.Ok(), fx.Error().c_str());
    fx.ClickButton(fx.Desk(6)->speak);
    fx.Desk(4)->listen->setChecked(true);
    fx.ClickButton(fx.form().SpeedButton49);
    QVERIFY(fx.form().SpeedButton49->isChecked());
    for (int desk : {4, 6}) {
      QVERIFY(!fx.Desk(desk)->listen->isChecked() && !fx.Desk(desk)->speak->isChecked());
    }
    QCOMPARE(fx.Desk(6)->colour(), colours::kInfoBackground);
  }

  void inputPutsTheSpokenDeskBackOnTheLine() {
    WindowFixture fx(WithEmulator());
    QVERIFY2(fx.Ok(), fx.Error().c_str());
    TForm1& form = fx.form();
    fx.ClickButton(form.SpeedButton50);
    fx.ClickButton(fx.Desk(7)->lineButton);
    fx.ClickButton(fx.Desk(2)->lineButton);
    fx.ClickButton(fx.Desk(7)->speak);
    QCOMPARE(int(fx.room().SwitchState.LineLow), 0x02);  // desk 7 taken off the line
    const size_t mark = fx.TraceMark();
    fx.ClickButton(form.SpeedButton49);
    // InputOn first; only once it is answered does desk 7 go back on the line.
    QCOMPARE(Writes(fx, mark), QString("84 00 20 | 82 00 42"));
    QCOMPARE(int(fx.room().SwitchState.LineLow), 0x42);
    QCOMPARE(fx.Desk(7)->lineButton->text(), kOn);
    QVERIFY(!fx.Desk(7)->speak->isChecked() && !fx.Desk(7)->listen->isChecked());

    // A refused InputOn sends nothing more: the desk stays spoken to, off the line.
    fx.ClickButton(form.SpeedButton49);
    fx.ClickButton(fx.Desk(7)->speak);
    QCOMPARE(int(fx.room().SwitchState.LineLow), 0x02);
    QVERIFY(fx.emulator()->Send("fault silent on"));
    const size_t refused = fx.TraceMark();
    fx.ClickButton(form.SpeedButton49);
    QCOMPARE(Writes(fx, refused), QString("84 00 20 | 84 00 20"));
    QCOMPARE(int(fx.room().SwitchState.LineLow), 0x02);
    QVERIFY(fx.Desk(7)->speak->isChecked());
    QVERIFY(!form.SpeedButton49->isChecked());
  }

  void allInPairsSkipsAPairWithAHiddenDesk() {
    WindowFixture fx(WithEmulator());
    QVERIFY2(fx.Ok(), fx.Error().c_str());
    fx.Desk(3)->hide();
    fx.ClickButton(fx.form().SpeedButton49);
    const size_t mark = fx.TraceMark();
    fx.ClickButton(fx.form().ToolButton6);
    QCOMPARE(Writes(fx, mark), QString("82 00 00 | 84 FD 20"));
    for (int desk = 1; desk <= 16; ++desk) {
      const bool pairShown = desk != 3 && desk != 4;
      QCOMPARE(fx.Desk(desk)->lineButton->text(), pairShown ? kPair : kOff);
      QCOMPARE(fx.room().PairJoined[(desk - 1) / 2], pairShown ? 1 : 0);
    }
    QVERIFY(fx.form().SpeedButton49->isChecked());
  }

  void allInPairsLeavesNoCaptionTheControllerContradicts() {
    WindowFixture fx(WithEmulator());
    QVERIFY2(fx.Ok(), fx.Error().c_str());
    TForm1& form = fx.form();
    fx.ClickButton(fx.Desk(5)->lineButton);  // no line source: joins 5-6
    QCOMPARE(fx.room().PairJoined[2], 1);
    fx.ClickButton(form.SpeedButton50);
    fx.ClickButton(fx.Desk(4)->lineButton);  // desk 4 on the line
    QCOMPARE(fx.Desk(4)->lineButton->text(), kOn);
    fx.Desk(3)->hide();
    fx.Desk(6)->hide();
    const size_t mark = fx.TraceMark();
    fx.ClickButton(form.ToolButton6);
    QCOMPARE(Writes(fx, mark), QString("82 00 00 | 84 F9 40"));
    for (int desk = 1; desk <= 16; ++desk) {
      const bool pairShown = desk < 3 || desk > 6;
      QCOMPARE(fx.Desk(desk)->lineButton->text(), pairShown ? kPair : kOff);
      QCOMPARE(fx.room().PairJoined[(desk - 1) / 2], pairShown ? 1 : 0);
    }
    QVERIFY(!BlueAt(fx, 543, 30));  // desk 4's frame is gone
    QVERIFY(form.SpeedButton50->isChecked());

    // Desk 6 shown again: pair 5-6 is not joined, so a line click joins it
    // afresh instead of parting it.
    fx.Desk(6)->show();
    const size_t again = fx.TraceMark();
    fx.ClickButton(form.SpeedButton50);
    fx.ClickButton(fx.Desk(5)->lineButton);
    QCOMPARE(Writes(fx, again), QString("84 F9 00 | 82 00 00 | 84 FD 00 | 82 00 00 | 82 00 00"));
    QCOMPARE(fx.Desk(5)->lineButton->text(), kPair);
    QCOMPARE(fx.room().PairJoined[2], 1);
  }

  void allToLineNeedsALineSource() {
    WindowFixture fx(WithEmulator());
    QVERIFY2(fx.Ok(), fx.Error().c_str());
    size_t mark = fx.TraceMark();
    fx.ClickButton(fx.form().ToolButton4);
    QCOMPARE(Writes(fx, mark), QString());
    QCOMPARE(fx.prompter().Count(FakePrompter::Kind::kMessage, "Внимание!!!"), 1);
    QVERIFY(fx.prompter().Texts(FakePrompter::Kind::kMessage).contains("Подключите сигнал на линию!"));

    fx.form().SelectedDesk = fx.Desk(2);
    fx.form().LedPowerOn1Click();
    fx.ClickButton(fx.form().SpeedButton50);
    fx.Desk(5)->hide();
    mark = fx.TraceMark();
    fx.ClickButton(fx.form().ToolButton4);
    QCOMPARE(Writes(fx, mark), QString("84 00 40 | 82 FF FF"));
    for (int desk = 1; desk <= 16; ++desk) QCOMPARE(fx.Desk(desk)->lineButton->text(), kOn);
    QVERIFY(BlueAt(fx, 175, 130));   // desk 6 framed
    QVERIFY(!BlueAt(fx, 6, 130));    // hidden desk 5 not
    QVERIFY(fx.form().SpeedButton50->isChecked());
    QCOMPARE(fx.Desk(2)->led->tag(), 1);  // the LED registers were not touched
  }

  void resetBringsTheInitialState() {
    WindowFixture fx(WithEmulator());
    QVERIFY2(fx.Ok(), fx.Error().c_str());
    TForm1& form = fx.form();
    fx.ClickButton(fx.Desk(1)->lineButton);
    fx.ClickButton(form.SpeedButton50);
    fx.ClickButton(fx.Desk(2)->listen);
    form.SelectedDesk = fx.Desk(3);
    form.LedPowerOn1Click();
    const size_t mark = fx.TraceMark();
    fx.ClickButton(form.ToolButton2);
    QCOMPARE(Writes(fx, mark), QString("81 00 00 | 82 00 00 | 83 00 00 | 84 00 00"));
    for (GlyphButton* b : {form.SpeedButton49, form.SpeedButton50, form.SpeedButton51}) {
      QVERIFY(!b->isChecked());
    }
    for (int desk = 1; desk <= 16; ++desk) {
      QCOMPARE(fx.Desk(desk)->led->tag(), 0);
      QVERIFY(!fx.Desk(desk)->listen->isChecked());
      QCOMPARE(fx.Desk(desk)->lineButton->text(), kOff);
      QCOMPARE(fx.Desk(desk)->colour(), colours::kInfoBackground);
    }
    QCOMPARE(fx.room().PairJoined[0], 0);
  }

  void allLedsOffKeepsTheListenedDesk() {
    WindowFixture fx(WithEmulator());
    QVERIFY2(fx.Ok(), fx.Error().c_str());
    TForm1& form = fx.form();
    fx.ClickButton(fx.Desk(2)->listen);
    form.LedPowerOn1Click();  // the listen click selected desk 2
    QVERIFY(fx.emulator()->Send("fault silent on"));
    fx.ClickButton(form.ToolButton8);
    QCOMPARE(fx.Desk(2)->led->tag(), 1);  // a refused command changes nothing

    QVERIFY(fx.emulator()->Send("fault all off"));
    const size_t mark = fx.TraceMark();
    fx.ClickButton(form.ToolButton8);
    QCOMPARE(Writes(fx, mark), QString("81 00 00 | 83 00 00"));
    QCOMPARE(fx.Desk(2)->led->tag(), 0);
    QVERIFY(fx.Desk(2)->listen->isChecked());
    QCOMPARE(fx.Desk(2)->colour(), colours::kHighlight);
  }
};

QTEST_MAIN(ConsolePanelTest)
#include "console_panel_test.moc"
