// The real program as a teacher starts it: Qt's own options are refused like
// any unknown one, a second start hands its file (named relative to where it
// was run) to the running console or only raises it, and a full /dev/shm does
// not stop the console.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QtTest>

#include "config/settings.h"
#include "platform/system.h"
#include "tests/support/emulatorprocess.h"
#include "tests/support/tempdir.h"

namespace {

constexpr int kQuickMs = 15000;  // generous: the machine is shared

// A portable copy of the program in its own folder (its vormik.ini beside it),
// with a private runtime folder and home, so nothing of the user's is touched.
class ConsoleCopy {
 public:
  explicit ConsoleCopy(const std::string& portName) {
    program_ = QString::fromStdString(dir_.File("vormik"));
    ok_ = QFile::copy(QStringLiteral(VORMIK_CONSOLE_PATH), program_);
    QDir().mkpath(QString::fromStdString(dir_.File("runtime")));
    QFile::setPermissions(QString::fromStdString(dir_.File("runtime")),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    const std::string ini = "[Communication]\r\nPortName=" + portName +
                            "\r\nReadThreadStop=1\r\n[Interface]\r\nMainFormWidth=700\r\n";
    ok_ = ok_ && platform::ReplaceFileAtomically(dir_.File("vormik.ini"), ini);
  }
  bool ok() const { return ok_; }
  QString program() const { return program_; }
  std::string File(const std::string& name) const { return dir_.File(name); }

  void Prepare(QProcess& process, const QStringList& arguments, const QString& folder = {}) const {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("XDG_RUNTIME_DIR", QString::fromStdString(dir_.File("runtime")));
    environment.insert("HOME", QString::fromStdString(dir_.path()));
    environment.insert("XDG_DATA_HOME", QString::fromStdString(dir_.File("data")));
    environment.insert("XDG_CONFIG_HOME", QString::fromStdString(dir_.File("config")));
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(folder.isEmpty() ? QString::fromStdString(dir_.path()) : folder);
    process.setProgram(program_);
    process.setArguments(arguments);
  }
  bool ChannelOpen() const {
    return !QDir(QString::fromStdString(dir_.File("runtime")))
                .entryList({"vormik-*.sock"}, QDir::System | QDir::Files)
                .isEmpty();
  }

 private:
  testsupport::TempDir dir_;
  QString program_;
  bool ok_ = false;
};

std::string Settings(const ConsoleCopy& copy) {
  std::string bytes;
  platform::ReadWholeFile(copy.File("vormik.ini"), bytes);
  return bytes;
}

void Stop(QProcess& process) {
  process.kill();
  process.waitForFinished(kQuickMs);
}

}  // namespace

class CommandLineTest : public QObject {
  Q_OBJECT

 private slots:
  void qtOptionsAreRefused_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("-platform") << QStringList{"-platform", "offscreen"};
    QTest::newRow("-platform bogus") << QStringList{"-platform", "bogus"};
    QTest::newRow("-stylesheet /dev/zero") << QStringList{"-stylesheet", "/dev/zero"};
    QTest::newRow("-style") << QStringList{"-style", "fusion"};
    QTest::newRow("-reverse") << QStringList{"-reverse"};
    QTest::newRow("-session") << QStringList{"-session", "x"};
    QTest::newRow("-display") << QStringList{"-display", ":0"};
    QTest::newRow("-qwindowtitle") << QStringList{"-qwindowtitle", "x"};
    QTest::newRow("--platform=") << QStringList{"--platform=offscreen"};
    QTest::newRow("after a file") << QStringList{"room.cld", "-platform", "offscreen"};
  }
  void qtOptionsAreRefused() {
    QFETCH(QStringList, arguments);
    ConsoleCopy copy("/nonexistent/tty");
    QVERIFY(copy.ok());
    QProcess process;
    copy.Prepare(process, arguments);
    process.start();
    QVERIFY(process.waitForFinished(kQuickMs));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 2);
    const QString error = QString::fromLocal8Bit(process.readAllStandardError());
    QVERIFY2(error.contains(QStringLiteral("неизвестный параметр")), qPrintable(error));
    QVERIFY(!copy.ChannelOpen());
  }

  void secondStartsGoToTheRunningConsole() {
    ConsoleCopy copy("/nonexistent/tty");
    QVERIFY(copy.ok());
    QProcess running;
    copy.Prepare(running, {});
    running.start();
    QTRY_VERIFY_WITH_TIMEOUT(copy.ChannelOpen(), kQuickMs);

    // A relative name means the folder the second start was run in.
    testsupport::TempDir elsewhere;
    QVERIFY(
        platform::ReplaceFileAtomically(elsewhere.File("room.cld"), "[Desk1]\r\nVisible=1\r\n"));
    QProcess second;
    copy.Prepare(second, {"room.cld"}, QString::fromStdString(elsewhere.path()));
    second.start();
    QVERIFY(second.waitForFinished(kQuickMs));
    QCOMPARE(second.exitCode(), 0);
    const std::string stored = "ClassRoomConfigurationFile=" + elsewhere.File("room.cld");
    QTRY_VERIFY_WITH_TIMEOUT(Settings(copy).find(stored) != std::string::npos, kQuickMs);

    // Without a file: the running console is raised, no second one starts.
    QProcess plain;
    copy.Prepare(plain, {});
    plain.start();
    QVERIFY(plain.waitForFinished(kQuickMs));
    QCOMPARE(plain.exitCode(), 0);
    QCOMPARE(running.state(), QProcess::Running);
    Stop(running);
  }

  // A first start puts the file type in the user's folders once its window
  // is up and the controller has been met (here: none answers).
  void aFirstStartRegistersTheFileTypeBehindTheWindow() {
    ConsoleCopy copy("/nonexistent/tty");
    QVERIFY(copy.ok());
    QProcess running;
    copy.Prepare(running, {});
    // No package's registration anywhere to defer to.
    QProcessEnvironment environment = running.processEnvironment();
    environment.insert("XDG_DATA_DIRS", QString::fromStdString(copy.File("nowhere")));
    running.setProcessEnvironment(environment);
    running.start();
    const QString data = QString::fromStdString(copy.File("data"));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(data + "/applications/vormik.desktop"), kQuickMs);
    QVERIFY(QFile::exists(data + "/mime/packages/vormik-classroom.xml"));
    QCOMPARE(running.state(), QProcess::Running);
    Stop(running);
  }

  void aFullDevShmDoesNotStopTheConsole() {
    testsupport::EmulatorProcess emulator;
    QVERIFY2(emulator.Started(), emulator.Error().c_str());
    ConsoleCopy copy(emulator.linkPath());
    QVERIFY(copy.ok());
    QProcess console;
    copy.Prepare(console, {});
    // Its own mount namespace with a tiny /dev/shm, filled before the start.
    console.setProgram("unshare");
    console.setArguments(
        {"-m", "sh", "-c",
         "mount --make-rprivate / && mount -t tmpfs -o size=16k tmpfs /dev/shm || exit 77; "
         "cat /dev/zero > /dev/shm/filler 2>/dev/null; echo full; exec \"$0\"",
         copy.program()});
    console.start();
    QVERIFY(console.waitForStarted(kQuickMs));
    console.waitForReadyRead(kQuickMs);
    if (!console.readAllStandardOutput().contains("full")) {
      console.waitForFinished(kQuickMs);
      QSKIP("a mount namespace with its own /dev/shm needs root (unshare -m, mount)");
    }
    // The lock object it tried to prepare, seen in the console's own /dev/shm.
    const QDir shm(QStringLiteral("/proc/%1/root/dev/shm").arg(console.processId()));
    QTRY_VERIFY_WITH_TIMEOUT(!shm.entryList({"vormik-*.lock"}, QDir::Files).isEmpty(), kQuickMs);
    QTest::qWait(1000);
    QCOMPARE(console.state(), QProcess::Running);
    Stop(console);
  }
};

QTEST_MAIN(CommandLineTest)
#include "app_commandline_posix_test.moc"
