// The real console killed with SIGKILL in the middle of a lesson (calls
// lighting and going out on the emulator): its journal holds whole lines only.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QtTest>
#include <fstream>

#include "platform/system.h"
#include "tests/support/emulatorprocess.h"
#include "tests/support/eventually.h"
#include "tests/support/tempdir.h"

namespace {

// The journal of the console in `folder`, "" while it has none.
std::string JournalText(const QString& folder) {
  const QStringList journals = QDir(folder + "/lessons").entryList({"*.csv"}, QDir::Files);
  std::string text;
  if (!journals.isEmpty())
    platform::ReadWholeFile((folder + "/lessons/" + journals.front()).toStdString(), text);
  return text;
}

}  // namespace

class LessonCrashTest : public QObject {
  Q_OBJECT
 private slots:
  void killedConsoleLeavesWholeLines() {
    testsupport::EmulatorProcess emu;
    QVERIFY2(emu.Started(), emu.Error().c_str());
    testsupport::TempDir dir;
    const QString folder = QString::fromStdString(dir.path());
    // A portable copy: its settings and journal beside it, in this folder.
    const QString program = folder + "/vormik";
    QVERIFY(QFile::copy(QCoreApplication::applicationDirPath() + "/vormik", program));
    QVERIFY(QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    std::ofstream(dir.File("vormik.ini"))
        << "[Communication]\r\nPortName=" << emu.linkPath() << "\r\nReadThreadStop=0\r\n";

    QProcess console;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    // The file type it registers goes into this folder, not the user's.
    env.insert("HOME", folder);
    env.insert("XDG_DATA_HOME", folder + "/share");
    env.insert("XDG_CONFIG_HOME", folder + "/config");
    console.setProcessEnvironment(env);
    console.start(program, {});
    QVERIFY(console.waitForStarted(10000));
    QVERIFY2(testsupport::Eventually(
                 [&] { return JournalText(folder).find("консоль запущена") != std::string::npos; },
                 20000),
             "the console wrote no journal");

    // Calls light and go out while the poll reports them, then the console dies.
    for (int round = 0;
         round < 40 && JournalText(folder).find("вызов завершён") == std::string::npos; ++round) {
      const char* state = round % 2 ? " off" : " on";
      for (int desk = 1; desk <= 16; ++desk)
        QVERIFY(emu.Send("led " + std::to_string(desk) + state));
      QTest::qWait(300);
    }
    for (int desk = 1; desk <= 16; ++desk) QVERIFY(emu.Send("led " + std::to_string(desk) + " on"));
    console.kill();
    QVERIFY(console.waitForFinished(10000));
    QCOMPARE(console.exitStatus(), QProcess::CrashExit);

    const std::string text = JournalText(folder);
    QCOMPARE(text.substr(0, 3), std::string("\xEF\xBB\xBF"));
    QCOMPARE(text.substr(text.size() - 2), std::string("\r\n"));
    const QStringList all = QString::fromStdString(text.substr(3)).split("\r\n");
    QCOMPARE(all.front(), QStringLiteral("Время;Стол;Ученик;Событие"));
    // Calls lit or ended by one poll report are one row for all their desks.
    int lit = 0, ended = 0;
    for (int i = 1; i + 1 < all.size(); ++i) {
      const QStringList fields = all[i].split(';');
      QVERIFY2(fields.size() == 4, qPrintable(all[i]));
      QVERIFY2(QTime::fromString(fields[0], "HH:mm:ss").isValid(), qPrintable(all[i]));
      if (fields[3].contains(QStringLiteral("вызов завершён"))) ++ended;
      else if (fields[3].contains(QStringLiteral("вызов"))) ++lit;
    }
    QVERIFY2(lit >= 1 && ended >= 1, qPrintable(QString::fromStdString(text)));
    QVERIFY(all.back().isEmpty());  // after the last CR LF
  }
};

QTEST_MAIN(LessonCrashTest)
#include "lesson_crash_posix_test.moc"
