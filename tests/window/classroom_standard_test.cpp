// The standard classroom button against the emulator: the question, the
// reset it sends, and the plan that save as then writes.
#include <QTest>

#include "config/inifile.h"
#include "support/consolechecks.h"

using Kind = FakePrompter::Kind;

class ClassroomStandardTest : public QObject {
  Q_OBJECT

 private slots:
  void answerNoChangesNothingAndSendsNothing();
  void yesResetsControllerAndSaveAsWritesThePlan();
};

void ClassroomStandardTest::answerNoChangesNothingAndSendsNothing() {
  WindowFixture fx(WithEmulator());
  QVERIFY2(fx.Ok(), fx.Error().c_str());
  fx.ShowDesk(4, false);
  const size_t mark = fx.TraceMark();
  fx.prompter().yesNoAnswers = {false};

  fx.ClickButton(fx.form().allDesks->standardClassroomButton);

  QCOMPARE(fx.prompter().Count(Kind::kQuestion, QStringLiteral("Внимание!!!")), 1);
  QCOMPARE(fx.prompter().records.back().text,
           QStringLiteral("Сейчас контроллер обнулится и будет создана стандартная конфигурация "
                          "кабинета. Продолжить?"));
  QCOMPARE(fx.prompter().records.back().icon, QMessageBox::Question);
  QTest::qWait(300);  // anything sent would reach the trace by now
  QCOMPARE(fx.FramesSince(mark).size(), size_t(0));
  for (int n = 1; n <= 16; ++n) {
    QCOMPARE(fx.Desk(n)->pos(), WindowFixture::StoredPosition(n));
    QCOMPARE(fx.Desk(n)->isHidden(), n == 4);
    QCOMPARE(fx.Desk(n)->nameBox->text(), QStringLiteral("Ученик %1").arg(n));
  }
  QCOMPARE(fx.room().ClassroomChanged, 0);
}

void ClassroomStandardTest::yesResetsControllerAndSaveAsWritesThePlan() {
  WindowOptions options = WithEmulator();
  options.extraSettings = {{"Interface", "NumberOfVisibleDesk", "6"}};
  WindowFixture fx(options);
  QVERIFY2(fx.Ok(), fx.Error().c_str());
  ConsoleWindow& form = fx.form();
  QCOMPARE(Play(fx, "b3"), QString());  // pair 3-4 joined
  const size_t mark = fx.TraceMark();
  fx.prompter().yesNoAnswers = {true};

  fx.ClickButton(form.allDesks->standardClassroomButton);

  // The probe, then the reset's four writes; the joined pair is parted.
  QCOMPARE(Writes(fx, mark), QString("81 00 00 | 81 00 00 | 82 00 00 | 83 00 00 | 84 00 00"));
  QCOMPARE(fx.room().SwitchState.Pairs, uint8_t(0));
  QCOMPARE(fx.prompter().Count(Kind::kQuestion), 1);
  QCOMPARE(ScreenMismatch(form), QString());

  const QString target = QString::fromStdString(fx.dir().File("standard.cld"));
  fx.prompter().saveNames = {target};
  fx.ClickButton(form.allDesks->saveAsButton);
  const ini::IniDocument saved = ini::IniDocument::Load(target.toStdString());
  const int columns[4] = {10, 180, 375, 545};
  for (int n = 1; n <= 16; ++n) {
    const std::string section = "Desk" + std::to_string(n);
    QCOMPARE(saved.ReadInteger(section, "CoordinateLeft", -1), columns[(n - 1) % 4]);
    QCOMPARE(saved.ReadInteger(section, "CoordinateTop", -1), 18 + 106 * ((n - 1) / 4));
    QCOMPARE(saved.ReadInteger(section, "Visible", -1), n <= 6 ? 1 : 0);
    QCOMPARE(saved.ReadString(section, "StudentName", ""), "Ученик " + std::to_string(n));
  }
  QCOMPARE(fx.room().ClassroomChanged, 0);
}

QTEST_MAIN(ClassroomStandardTest)
#include "classroom_standard_test.moc"
