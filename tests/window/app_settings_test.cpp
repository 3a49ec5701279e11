// The settings dialog and the controller search against real emulators:
// "Проверить" on another port, a saved port that moves the link, the strip's
// offer to search, and the technician's --find-controller and --list-ports.
#include <QProcess>
#include <QTest>

#include "support/consolechecks.h"
#include "tests/support/filetext.h"

namespace {

using testsupport::FileText;

#ifdef Q_OS_WIN
constexpr char kListSeparator[] = ";";  // as PATH lists on each system
constexpr char kLineEnd[] = "\r\n";     // a Windows console program's text output
#else
constexpr char kListSeparator[] = ":";
constexpr char kLineEnd[] = "\n";
#endif

QString Hex(const std::vector<testsupport::TraceLine>& frames) {
  QStringList out;
  for (const auto& f : frames)
    out << QString::asprintf("%02X %02X %02X", f.rx[2], f.rx[3], f.rx[4]);
  return out.join(QStringLiteral(" | "));
}

// Extra candidates for this process and the children it starts.
struct ExtraPorts {
  explicit ExtraPorts(const std::string& value) { qputenv("VORMIK_EXTRA_PORTS", value.c_str()); }
  ~ExtraPorts() { qunsetenv("VORMIK_EXTRA_PORTS"); }
};

}  // namespace

class AppSettingsTest : public QObject {
  Q_OBJECT

 private slots:
  void checkOnAnotherPortLeavesTheLinkAlone() {
    WindowFixture fx(WithEmulator());
    QVERIFY2(fx.Ok(), fx.Error().c_str());
    testsupport::EmulatorProcess other;
    QVERIFY2(other.Started(), other.Error().c_str());
    const size_t mark = fx.TraceMark();
    auto dialog = fx.form().CreateSettingsDialog();
    dialog->portBox->setEditText(QString::fromStdString(other.linkPath()));
    QTest::mouseClick(dialog->checkButton, Qt::LeftButton);
    QCOMPARE(dialog->checkResult->text(),
             QString::fromStdString("Контроллер ответил на порту " + other.linkPath() + "."));
    QCOMPARE(Hex(testsupport::FramesOnly(other.WaitForTrace(1))), QStringLiteral("81 00 00"));
    QVERIFY(other.Trace().front().Answered());
    QCOMPARE(Writes(fx, mark), QString());
    QCOMPARE(fx.form().controllerPort().portName(), fx.emulator()->linkPath());

    // The link's own port is probed through the link, and the probe's LedA
    // write of zero is followed by the copy's lit LEDs.
    QCOMPARE(Play(fx, "on2"), QString());
    const size_t linkMark = fx.TraceMark();
    dialog->portBox->setEditText(QString::fromStdString(fx.emulator()->linkPath()));
    dialog->CheckChosenPort();
    QCOMPARE(dialog->lastOutcome(), std::optional<ProbeOutcome>(ProbeOutcome::kAnswered));
    QCOMPARE(Writes(fx, linkMark), QStringLiteral("81 00 00 | 81 00 02"));
    QCOMPARE(fx.emulator()->Registers()->ledA, uint16_t(0x0002));

    // A port where nothing answers says so.
    dialog->portBox->setEditText(QString::fromStdString(other.linkPath()));
    other.Send("fault silent on");
    dialog->CheckChosenPort();
    QCOMPARE(dialog->lastOutcome(), std::optional<ProbeOutcome>(ProbeOutcome::kNoAnswer));
    QCOMPARE(dialog->checkResult->text(),
             QString::fromStdString("Контроллер не ответил на порту " + other.linkPath() + "."));
  }

  void savedPortMovesTheLinkWithTheRegisterCopy() {
    WindowOptions options = WithEmulator();
    options.readThreadStop = 0;  // the poll must move too
    WindowFixture fx(options);
    QVERIFY2(fx.Ok(), fx.Error().c_str());
    fx.ClickButton(fx.Desk(3)->listen);
    testsupport::EmulatorProcess other;
    QVERIFY2(other.Started(), other.Error().c_str());
    const std::string before = FileText(fx.settingsPath());

    // A student at desk 2 calls on the controller the link moves to.
    QVERIFY(other.Send("led 2 on"));
    auto dialog = fx.form().CreateSettingsDialog();
    dialog->portBox->setEditText(QString::fromStdString(other.linkPath()));
    QTest::mouseClick(dialog->saveButton, Qt::LeftButton);
    QCOMPARE(dialog->result(), int(QDialog::Accepted));

    QCOMPARE(fx.form().controllerPort().portName(), other.linkPath());
    const std::string after = FileText(fx.settingsPath());
    QVERIFY(after.find("PortName=" + other.linkPath() + "\r\n") != std::string::npos);
    QCOMPARE(after.size() - before.size(),
             other.linkPath().size() - fx.emulator()->linkPath().size());
    // The probe, then the copy with the call read first: LedA, Line, LedB, route with pairs.
    QCOMPARE(Hex(testsupport::FramesOnly(other.WaitForTrace(5, 3000, true))),
             QStringLiteral("81 00 00 | 81 00 02 | 82 00 00 | 83 00 02 | 84 00 12"));
    QTRY_VERIFY(fx.Desk(2)->marks().calling);
    const size_t oldMark = fx.TraceMark();
    fx.ClickButton(fx.Desk(5)->listen);
    QCOMPARE(Hex(testsupport::FramesOnly(other.WaitForTrace(6, 3000, true))).section(" | ", 5),
             QStringLiteral("84 00 14"));
    QTRY_VERIFY_WITH_TIMEOUT(!testsupport::PollsOnly(other.Trace()).empty(), 5000);
    QCOMPARE(fx.FramesSince(oldMark).size(), size_t(0));
    QCOMPARE(fx.PollsSince(oldMark).size(), size_t(0));
    QCOMPARE(fx.prompter().Count(FakePrompter::Kind::kQuestion), 0);
  }

  void stripOffersTheSearchAndMovesToThePortFound() {
    testsupport::EmulatorProcess controller;
    QVERIFY2(controller.Started(), controller.Error().c_str());
    ExtraPorts extra(controller.linkPath());
    WindowOptions options;  // a port that does not exist
    WindowFixture fx(options);
    QVERIFY2(fx.Ok(), fx.Error().c_str());
    QTRY_VERIFY(!fx.form().status->searchOffer->isHidden());
    fx.prompter().yesNoAnswers = {true};
    QTest::mouseClick(fx.form().status->searchOffer, Qt::LeftButton);
    QCOMPARE(fx.prompter().Count(FakePrompter::Kind::kQuestion, QStringLiteral("Найти контроллер")),
             1);
    QCOMPARE(fx.form().controllerPort().portName(), controller.linkPath());
    QVERIFY(FileText(fx.settingsPath()).find("PortName=" + controller.linkPath()) !=
            std::string::npos);
    QTRY_VERIFY(fx.form().status->searchOffer->isHidden());
  }

  void findControllerCommandPrintsThePortThatAnswered() {
    testsupport::EmulatorProcess controller;
    QVERIFY2(controller.Started(), controller.Error().c_str());
    testsupport::EmulatorProcess silent({"--silent"});
    QVERIFY2(silent.Started(), silent.Error().c_str());
    struct Row {
      std::string extra;
      int exitCode;
      std::string out;
    } rows[] = {
        {silent.linkPath() + kListSeparator + controller.linkPath(), 0,
         controller.linkPath() + kLineEnd},
        {silent.linkPath(), 1, ""},
    };
    for (const Row& r : rows) {
      QProcess vormik;
      QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
      env.insert(QStringLiteral("VORMIK_EXTRA_PORTS"), QString::fromStdString(r.extra));
      env.remove(QStringLiteral("DISPLAY"));
      env.remove(QStringLiteral("QT_QPA_PLATFORM"));
      vormik.setProcessEnvironment(env);
      vormik.start(QStringLiteral(VORMIK_APP_PATH), {QStringLiteral("--find-controller")});
      QVERIFY(vormik.waitForFinished(30000));
      QCOMPARE(vormik.exitCode(), r.exitCode);
      QCOMPARE(QString::fromUtf8(vormik.readAllStandardOutput()), QString::fromStdString(r.out));
      QVERIFY(QString::fromUtf8(vormik.readAllStandardError())
                  .contains(QString::fromStdString("не ответил на порту " + silent.linkPath())));
    }
  }

  void listPortsCommandNamesEachPortWithItsDescription() {
    QProcess vormik;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VORMIK_EXTRA_PORTS"), QStringLiteral("/tmp/vormik-no-such-port"));
    env.remove(QStringLiteral("DISPLAY"));
    vormik.setProcessEnvironment(env);
    vormik.start(QStringLiteral(VORMIK_APP_PATH), {QStringLiteral("--list-ports")});
    QVERIFY(vormik.waitForFinished(30000));
    QCOMPARE(vormik.exitCode(), 0);
    const QStringList lines =
        QString::fromUtf8(vormik.readAllStandardOutput()).split(kLineEnd, Qt::SkipEmptyParts);
    QVERIFY(!lines.isEmpty());
    QCOMPARE(lines.last(), QStringLiteral("/tmp/vormik-no-such-port\tуказан в VORMIK_EXTRA_PORTS"));
    for (const QString& line : lines) QCOMPARE(line.count('\t'), 1);
  }
};

QTEST_MAIN(AppSettingsTest)
#include "app_settings_test.moc"
