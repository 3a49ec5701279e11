// The practice class end to end in the window: the console on the simulated
// controller, its mark in the title and the strip, a click's frame in the
// simulated controller's trace, a student's call on the plan and answered,
// a pulled cable met by the console's own question, the guide followed with
// the keys, and nothing of it beside the real settings.
#include <QLabel>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <algorithm>
#include <memory>

#include "app/consolesession.h"
#include "app/consolewindow.h"
#include "app/lessonrecordpanel.h"
#include "app/practiceoffer.h"
#include "app/practicepart.h"
#include "app/practicestart.h"
#include "console/lessonjournal.h"
#include "console/linkstatetext.h"
#include "console/practicefolder.h"
#include "platform/system.h"
#include "support/fakeprompter.h"
#include "support/tabwalk.h"
#include "support/windowfixture.h"
#include "tests/support/locknames.h"
#include "tests/support/tempdir.h"

namespace {

// The window, its practice part and the session under it.
struct Practice {
  testsupport::TempDir dir;
  ClassroomState room;
  FakePrompter prompter;
  std::unique_ptr<PracticeSession> session;
  bool ready = false;  // the window shown and the simulated controller met
  std::unique_ptr<ConsoleSession> console;
  std::unique_ptr<ConsoleWindow> form;
  PracticePart* part = nullptr;
  std::vector<std::string> argumentsLeft;

  Practice() {
    AppEnvironment environment;
    environment.executablePath = dir.File("vormik");
    environment.settingsPath = dir.File("vormik.ini");
    environment.arguments = {"--practice", "--practice-students", "busy", "--practice-trace",
                             dir.File("trace.log")};
    session = TakePracticeStart(environment);
    if (!session) return;
    argumentsLeft = environment.arguments;
    environment.portLockName = testsupport::TestLockName("practice") + environment.portLockName;
    console = std::make_unique<ConsoleSession>(room, environment, prompter);
    form = std::make_unique<ConsoleWindow>(*console);
    part = new PracticePart(*form, *session, prompter);
    form->show();
    // The simulated controller is met behind the shown window; the tests start after it.
    ready = QTest::qWaitForWindowExposed(form.get()) &&
            QTest::qWaitFor([this] { return console->Started(); }, 30000);
  }
  ~Practice() {
    if (form) {
      room.ClassroomChanged = 0;
      form->close();
    }
  }
  bool TraceHas(const std::string& text) const {
    const std::vector<std::string> lines = session->line->TraceLines();
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& l) { return l.find(text) != std::string::npos; });
  }
  std::vector<console::Call> Calls() { return form->model().Display().calls; }
};

}  // namespace

class PracticeClassTest : public QObject {
  Q_OBJECT

 private slots:
  void takesItsOptionsOutOfTheCommandLine() {
    struct Case {
      std::vector<std::string> arguments;
      bool practice;
      std::vector<std::string> left;
      controllersim::Liveliness liveliness;
      bool problem;
    };
    using controllersim::Liveliness;
    const std::vector<Case> cases = {
        {{"a.cld"}, false, {"a.cld"}, Liveliness::Ordinary, false},
        {{"--practice", "a.cld"}, true, {"a.cld"}, Liveliness::Ordinary, false},
        {{"--practice-students=quiet", "--practice"}, true, {}, Liveliness::Quiet, false},
        {{"--practice-students=busy", "b.cld"}, true, {"b.cld"}, Liveliness::Busy, false},
        {{"--practice", "--practice-students", "busy"}, true, {}, Liveliness::Busy, false},
        {{"--practice", "--practice-students", "wild"}, true, {}, Liveliness::Ordinary, true},
    };
    for (const Case& c : cases) {
      testsupport::TempDir dir;
      AppEnvironment environment;
      environment.settingsPath = dir.File("vormik.ini");
      environment.arguments = c.arguments;
      const std::unique_ptr<PracticeSession> session = TakePracticeStart(environment);
      QCOMPARE(session != nullptr, c.practice);
      QCOMPARE(environment.arguments, c.left);
      QCOMPARE(environment.practice, c.practice);
      if (!session) {
        QCOMPARE(environment.settingsPath, dir.File("vormik.ini"));
        QVERIFY(!environment.serialPortFactory);
        continue;
      }
      QCOMPARE(environment.settingsPath, dir.File("practice/vormik.ini"));
      QCOMPARE(environment.portLockName, std::string(console::kPracticeLockName));
      QVERIFY(!environment.registerFileType);
      QVERIFY(environment.serialPortFactory() != nullptr);
      QVERIFY(session->liveliness == c.liveliness);
      QCOMPARE(!session->problem.isEmpty(), c.problem);
    }
  }

  void runsOnTheSimulatedControllerAndSaysSoEverywhere() {
    Practice p;
    QVERIFY(p.session != nullptr && p.ready);
    QVERIFY(p.argumentsLeft.empty());
    QVERIFY(QTest::qWaitForWindowExposed(p.form.get()));
    QVERIFY2(p.form->windowTitle().startsWith(QStringLiteral("Учебный класс — ")),
             qPrintable(p.form->windowTitle()));
    QCOMPARE(p.part->badge->text(), QStringLiteral("Учебный класс"));
    // The mark sits in the status strip, and the class's entries are in the menu bar too.
    QVERIFY(p.form->status->isAncestorOf(p.part->badge));
    QVERIFY(p.form->menuBar->actions().contains(p.part->menu->menuAction()));
    QVERIFY(p.part->busyAction->isChecked());
    // The practice classroom: sixteen named students.
    const console::ConsoleDisplay shown = p.form->model().Display();
    QCOMPARE(std::count_if(shown.desks.begin(), shown.desks.end(),
                           [](const console::DeskDisplay& d) { return d.visible; }),
             16);
    QCOMPARE(QString::fromStdString(shown.desks[0].name), QStringLiteral("Анна Иванова"));
    // The start's reset, then a click: its frame in the simulated trace.
    QTest::mouseClick(p.form->plan->desk(2)->listen, Qt::LeftButton);
    QVERIFY(p.TraceHas("RX 55 30 84 00 12 1C TX"));
    std::string file;
    QVERIFY(platform::ReadWholeFile(p.dir.File("trace.log"), file));
    QVERIFY(file.find("RX 55 30 84 00 12 1C TX") != std::string::npos);
    QCOMPARE(p.prompter.Count(FakePrompter::Kind::kQuestion), 0);
    // The exchange shown in the class's own window too.
    p.part->traceAction->trigger();
    QVERIFY(p.part->traceView() != nullptr);
    QVERIFY(p.part->traceView()->toPlainText().contains(QStringLiteral("RX 55 30 84 00 12 1C TX")));
    // The journal is the practice class's, in its own folder.
    QCOMPARE(p.form->lessonRecord().journal().path().substr(0, p.dir.File("practice").size()),
             p.dir.File("practice"));
    QVERIFY(p.form->lessonRecord().journal().path().find("учебный класс") != std::string::npos);
    QVERIFY(!platform::PathExists(p.dir.File("vormik.ini")));
    QVERIFY(!platform::PathExists(p.dir.File("lessons")));
  }

  void aStudentsCallShowsOnThePlanAndIsAnsweredAsInALesson() {
    Practice p;
    QVERIFY(p.session != nullptr && p.ready);
    p.part->students().CallNow(0);
    p.part->Tick(0);
    const uint16_t lit = p.session->line->LitMask();
    QVERIFY(lit != 0);
    // The poll brings the call to the plan.
    QVERIFY(QTest::qWaitFor([&] { return !p.Calls().empty(); }, 3000));
    const int desk = p.Calls().front().desk;
    QCOMPARE(lit, static_cast<uint16_t>(1u << desk));
    // F7 answers the oldest call: the console listens to the desk, and the
    // student, heard for a moment, puts the call out.
    QTest::keyClick(p.form.get(), Qt::Key_F7);
    QVERIFY(p.form->model().Display().desks[desk].listenDown);
    p.part->Tick(100);
    QVERIFY(p.session->line->LitMask() & (1u << desk));
    p.part->Tick(100 + controllersim::kAnsweredAfterMs);
    QCOMPARE(p.session->line->LitMask() & (1u << desk), 0u);
    QCOMPARE(p.part->students().Calling() & (1u << desk), 0);
    QVERIFY(QTest::qWaitFor([&] { return p.Calls().empty(); }, 3000));
  }

  void aPulledCableIsMetByTheConsolesOwnQuestion() {
    Practice p;
    QVERIFY(p.session != nullptr && p.ready);
    p.part->pullCableAction->trigger();
    QVERIFY(p.part->badge->text().contains(QStringLiteral("кабель выдернут")));
    QVERIFY(!p.part->pullCableAction->isEnabled());
    QTest::mouseClick(p.form->plan->desk(4)->speak, Qt::LeftButton);
    QCOMPARE(p.prompter.Count(FakePrompter::Kind::kQuestion, QStringLiteral("Ошибка связи")), 1);
    QVERIFY(!p.form->model().Display().desks[4].speakDown);
    p.part->plugCableAction->trigger();
    QCOMPARE(p.part->badge->text(), QStringLiteral("Учебный класс"));
    QTest::mouseClick(p.form->plan->desk(4)->speak, Qt::LeftButton);
    QVERIFY(p.form->model().Display().desks[4].speakDown);
    QCOMPARE(p.prompter.Count(FakePrompter::Kind::kQuestion), 1);
  }

  void aPowerLossIsRecoveredByTheConsolesOwnRegisterCopy() {
    Practice p;
    QVERIFY(p.session != nullptr && p.ready);
    QTest::mouseClick(p.form->plan->desk(2)->listen, Qt::LeftButton);
    QVERIFY(p.session->line->RegistersText().find("Route=12") != std::string::npos);
    p.part->powerLossAction->trigger();
    QVERIFY(p.part->badge->text().contains(QStringLiteral("нет питания")));
    QVERIFY(p.session->line->RegistersText().find("Route=00") != std::string::npos);
    // Back after its time, the controller gets the lesson from the console.
    const int limitMs = static_cast<int>(controllersim::kPowerLossUs / 1000) + 4000;
    QVERIFY2(QTest::qWaitFor(
                 [&] {
                   return p.session->line->RegistersText().find("Route=12") != std::string::npos;
                 },
                 limitMs),
             p.session->line->RegistersText().c_str());
    QCOMPARE(p.prompter.Count(FakePrompter::Kind::kQuestion), 0);
  }

  void itsReportSaysPracticeAndStaysInItsFolder() {
    const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (pdftotext.isEmpty()) {
      QSKIP("poppler-utils is not installed (bash scripts/install-deps.sh --tests)");
    }
    Practice p;
    QVERIFY(p.session != nullptr && p.ready);
    QTest::mouseClick(p.form->plan->desk(2)->listen, Qt::LeftButton);
    const QString pdf = p.form->lessonRecord().SaveReport();
    QVERIFY(pdf.startsWith(QString::fromStdString(p.dir.File("practice/lessons/"))));
    QProcess text;
    text.start(pdftotext, {pdf, QStringLiteral("-")});
    QVERIFY(text.waitForFinished(60000));
    const QString report = QString::fromUtf8(text.readAllStandardOutput());
    QVERIFY2(report.contains(QStringLiteral("Учебный класс — Урок")), qPrintable(report.left(200)));
    QVERIFY(!platform::PathExists(p.dir.File("lessons")));
  }

  void isOfferedWhileNoControllerAnswersAndNotInsideItself() {
    WindowOptions options;  // a port with no device: nothing answers
    WindowFixture fx(options);
    QVERIFY2(fx.Ok(), fx.Error().c_str());
    auto* offer = new PracticeOffer(fx.form(), fx.prompter());
    QVERIFY(!fx.form().status->searchOffer->isHidden());
    QVERIFY(!offer->button->isHidden());
    // Taken from the keyboard too, as the search offer beside it is.
    fx.form().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&fx.form()));
    const QStringList missed = ButtonsTabMisses(fx.form(), fx.form().status->searchOffer);
    QVERIFY2(missed.isEmpty(), qPrintable(missed.join(QStringLiteral(", "))));
    // The offer follows the link state as the search offer does.
    for (const LinkState state : {LinkState::kAnswering, LinkState::kDeviceMissing,
                                  LinkState::kPollingOff, LinkState::kNotAnswering}) {
      LinkStatusSnapshot link;
      link.state = state;
      fx.form().status->DrawLinkState(link);
      QCOMPARE(offer->button->isHidden(), fx.form().status->searchOffer->isHidden());
      QCOMPARE(offer->button->isHidden(), !console::OffersControllerSearch(link));
    }
    QVERIFY(!fx.form().CreateSettingsDialog()->practiceButton->isHidden());
    Practice p;
    QVERIFY(p.session != nullptr && p.ready);
    // The practice class's own menu button is on the keyboard's way round too.
    p.form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(p.form.get()));
    const QStringList missedInPractice = ButtonsTabMisses(*p.form, p.form->plan);
    QVERIFY2(missedInPractice.isEmpty(), qPrintable(missedInPractice.join(QStringLiteral(", "))));
    const auto practiceSettings = p.form->CreateSettingsDialog();
    QVERIFY(practiceSettings->practiceButton->isHidden());
    QCOMPARE(practiceSettings->portDescription->text(),
             QStringLiteral("учебный контроллер внутри программы"));
  }

  void theGuideFollowsTheModelWhateverDidIt() {
    Practice p;
    QVERIFY(p.session != nullptr && p.ready);
    QVERIFY(QTest::qWaitForWindowExposed(p.form.get()));
    p.part->guideAction->trigger();
    QVERIFY(p.part->guidePanel() != nullptr);
    QVERIFY(p.part->guidePanel()->titleLabel->text().startsWith(QStringLiteral("Шаг 1 из 6")));
    // With the keys: a desk selected by an arrow, Space listens to it.
    QTest::keyClick(p.form.get(), Qt::Key_Right);
    QTest::keyClick(p.form.get(), Qt::Key_Space);
    p.part->Tick(10);
    QVERIFY2(p.part->guidePanel()->titleLabel->text().startsWith(QStringLiteral("Шаг 2 из 6")),
             qPrintable(p.part->guidePanel()->titleLabel->text()));
    // With the desk menu's operation, as the model runs it.
    p.form->Apply([](console::ConsoleModel& m) { m.SpeakTo(5); });
    p.part->Tick(20);
    QCOMPARE(p.part->guide().step(), console::GuideStep::Pair);
  }
};

QTEST_MAIN(PracticeClassTest)
#include "practice_class_test.moc"
