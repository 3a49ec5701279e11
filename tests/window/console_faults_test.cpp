// Random clicks on the real window while the emulator plays random faults
// and every connection question is answered No: after each click the screen
// shows the model's display, and each register the copy holds equals the
// controller's unless a refused write may have reached it since the last
// acknowledged one. VORMIK_SOAK_SEED changes the seed.
#include <QTest>
#include <random>

#include "support/consolechecks.h"
#include "tests/support/privatetalk.h"

namespace {

constexpr int kClicks = 400;
constexpr int kSecondsAtMost = 45;

}  // namespace

class ConsoleFaultsTest : public QObject {
  Q_OBJECT

 private slots:
  void randomClicksUnderRandomFaults() {
    const uint32_t seed = qEnvironmentVariableIsSet("VORMIK_SOAK_SEED")
                              ? qEnvironmentVariableIntValue("VORMIK_SOAK_SEED")
                              : 20261207u;
    WindowOptions options = WithEmulator();
    options.emulatorOptions = {"--random-faults", std::to_string(seed)};
    WindowFixture fx(options);
    QVERIFY2(fx.Ok(), fx.Error().c_str());
    ConsoleWindow& form = fx.form();
    FakePrompter& prompter = fx.prompter();  // answers No

    std::mt19937 random(seed);
    auto pick = [&random](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    QAbstractButton* const teacherAndToolbar[] = {
        form.teacher->inputButton,     form.teacher->lineButton, form.teacher->inputToLineButton,
        form.allDesks->resetButton,     form.allDesks->allToLineButton,   form.allDesks->allInPairsButton,
        form.allDesks->allLedsOffButton};

    int inStep = kAllRegisters;  // no refused write since the last acknowledged one
    int compared[4] = {};
    int clicks = 0;
    QElapsedTimer elapsed;
    elapsed.start();
    for (; clicks < kClicks && elapsed.elapsed() < kSecondsAtMost * 1000; ++clicks) {
      const int questions = prompter.Count(FakePrompter::Kind::kQuestion);
      const size_t mark = fx.TraceMark();
      const int desk = pick(kDeskCount) + 1;
      const int kind = pick(20);
      QString what;
      if (kind < 12 && !fx.Desk(desk)->isHidden()) {
        DeskPanel* panel = fx.Desk(desk);
        QAbstractButton* const buttons[] = {panel->listen, panel->speak, panel->lineButton,
                                            panel->led};
        QAbstractButton* button = buttons[pick(4)];
        what = button->objectName();
        fx.ClickButton(button);
      } else if (kind < 17) {
        QAbstractButton* button = teacherAndToolbar[pick(std::size(teacherAndToolbar))];
        what = button->objectName();
        fx.ClickButton(button);
      } else if (kind < 19) {
        what = QStringLiteral("on%1").arg(desk);
        QCOMPARE(Play(fx, what), QString());
      } else {
        what = QStringLiteral("%1%2").arg(fx.Desk(desk)->isHidden() ? "show" : "hide").arg(desk);
        QCOMPARE(Play(fx, what), QString());
      }
      const QString step = QStringLiteral("click %1 (%2), seed %3").arg(clicks).arg(what).arg(seed);

      const QString screen = ScreenMismatch(form);
      QVERIFY2(screen.isEmpty(), qPrintable(step + ":\n" + screen));

      const bool refused = prompter.Count(FakePrompter::Kind::kQuestion) > questions;
      const auto registers = fx.emulator()->Registers();
      QVERIFY2(registers.has_value(), qPrintable(step + ": " + fx.emulator()->Error().c_str()));
      for (const auto& frame : fx.FramesSince(mark)) {
        const int written = RegisterOfCommand(frame.rx[2]);
        inStep = refused ? (inStep & ~written) : (inStep | written);
      }
      const QString copy = RegisterMismatch(fx.room().SwitchState, *registers, inStep);
      QVERIFY2(copy.isEmpty(), qPrintable(step + ": " + copy));
      for (int r = 0; r < 4; ++r) compared[r] += (inStep >> r) & 1;
      // A private talk never on the line: in the copy, and in the controller
      // wherever it holds what the copy says.
      QVERIFY2(testsupport::DeskSpokenToOnTheLine(fx.room().SwitchState) == 0, qPrintable(step));
      if ((inStep & kLineRegister) != 0 && (inStep & kRouteRegister) != 0) {
        QVERIFY2(testsupport::DeskSpokenToOnTheLine(registers->route, registers->line) == 0,
                 qPrintable(step));
      }
    }

    // Every question was the connection question; the run met faults and
    // compared every register most of the time.
    const int questions = prompter.Count(FakePrompter::Kind::kQuestion);
    QCOMPARE(prompter.Count(FakePrompter::Kind::kQuestion, QStringLiteral("Ошибка связи")),
             questions);
    qInfo("%d clicks in %lld ms, %d refused writes; registers compared LedA %d, Line %d, "
          "LedB %d, Route %d times",
          clicks, elapsed.elapsed(), questions, compared[0], compared[1], compared[2],
          compared[3]);
    QVERIFY(clicks >= 200);
    QVERIFY(questions >= 5);
    for (int count : compared) QVERIFY(count >= clicks / 2);
  }
};

QTEST_MAIN(ConsoleFaultsTest)
#include "console_faults_test.moc"
