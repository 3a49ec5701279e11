// The lesson tools in the real window against the emulator: the journal's
// lines for a call, the call log, the heard gauges and their setting.
#include <QAction>
#include <QDateTime>
#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>
#include <QDir>
#include <QTableWidget>
#include <QtTest>
#include <cstdio>

#include "app/calllogdialog.h"
#include "app/heardgauge.h"
#include "app/lessonrecordpanel.h"
#include "console/lessonjournal.h"
#include "platform/system.h"
#include "support/windowfixture.h"
#include "tests/support/filetext.h"

namespace {

using testsupport::FileText;

std::string JournalPath(WindowFixture& fx) {
  const QDateTime now = QDateTime::currentDateTime();
  return fx.dir().File("lessons/" +
                       console::DateText({now.toMSecsSinceEpoch(), now.offsetFromUtc()}) + ".csv");
}

// The event column of the journal's lines about one desk, in their order.
QStringList DeskEvents(const std::string& journal, const QString& desk, const QString& name) {
  QStringList events;
  for (const QString& line : QString::fromStdString(journal).split(QStringLiteral("\r\n"))) {
    const QStringList fields = line.split(';');
    if (fields.size() == 4 && fields[1] == desk && fields[2] == name) events << fields[3];
  }
  return events;
}

WindowOptions PollingClassroom() {
  WindowOptions options;
  options.startEmulator = true;
  options.writeClassroom = true;
  options.readThreadStop = 0;  // the poll brings the students' calls
  return options;
}

QStringList Column(QTableWidget* table, int column) {
  QStringList cells;
  for (int r = 0; r < table->rowCount(); ++r) cells << table->item(r, column)->text();
  return cells;
}

}  // namespace

class LessonRecordTest : public QObject {
  Q_OBJECT
 public slots:
  void Opened(const QUrl& url) { opened_ << url.toString(); }

 private:
  QStringList opened_;

 private slots:
  void aCallAnsweredByAClickIsJournalled() {
    WindowFixture fx(PollingClassroom());
    QVERIFY2(fx.Ok(), fx.Error().c_str());
    QVERIFY(fx.emulator()->Send("led 5 on"));
    QTRY_VERIFY(fx.Desk(5)->marks().calling);
    const size_t mark = fx.TraceMark();
    fx.ClickButton(fx.Desk(5)->listen);
    // The journal sends nothing of its own: the listen frame alone.
    const auto frames = fx.FramesSince(mark);
    QCOMPARE(frames.size(), size_t(1));
    QCOMPARE(testsupport::HexText(frames[0].rx).substr(0, 14), std::string("55 30 84 00 14"));
    QVERIFY(fx.emulator()->Send("led 5 off"));
    QTRY_VERIFY(!fx.Desk(5)->marks().calling);

    // On disk already, while the console runs.
    const QStringList events = DeskEvents(FileText(JournalPath(fx)), "5", "Ученик 5");
    QStringList calls;
    for (const QString& e : events) {
      if (e.startsWith(QStringLiteral("вызов"))) calls << e.section(',', 0, 0);
    }
    QCOMPARE(calls, QStringList({"вызов", "вызов принят", "вызов завершён"}));
    QVERIFY(events.contains(QStringLiteral("прослушивание начато")));
    QVERIFY(fx.form().lessonRecord().problemLabel->isHidden());
  }

  void callLogListsWaitingCallsFirst() {
    WindowFixture fx(PollingClassroom());
    QVERIFY2(fx.Ok(), fx.Error().c_str());
    QVERIFY(fx.emulator()->Send("led 2 on"));
    QTRY_COMPARE(fx.form().model().calls().size(), size_t(1));
    QVERIFY(fx.emulator()->Send("led 7 on"));
    QTRY_COMPARE(fx.form().model().calls().size(), size_t(2));
    fx.ClickButton(fx.Desk(2)->listen);
    LessonRecordPanel& tools = fx.form().lessonRecord();
    tools.callLogAction->trigger();
    QVERIFY(tools.callLog() != nullptr && tools.callLog()->isVisible());
    QTableWidget* table = tools.callLog()->table();
    QCOMPARE(Column(table, 1), QStringList({"7", "2"}));
    QCOMPARE(Column(table, 2), QStringList({"Ученик 7", "Ученик 2"}));
    QVERIFY(table->item(0, 3)->text().startsWith(QStringLiteral("ждёт")));
    QCOMPARE(table->item(1, 4)->text(), QStringLiteral("идёт"));
    // The student puts the LED out: the log follows without being reopened.
    QVERIFY(fx.emulator()->Send("led 7 off"));
    QTRY_COMPARE(Column(table, 1), QStringList({"7", "2"}));
    QTRY_COMPARE(table->item(0, 3)->text(), QStringLiteral("не принят"));
  }

  void heardGaugesFollowTheListeningAndTheSetting() {
    WindowOptions options;
    options.startEmulator = true;
    options.writeClassroom = true;
    WindowFixture fx(options);
    QVERIFY2(fx.Ok(), fx.Error().c_str());
    LessonRecordPanel& tools = fx.form().lessonRecord();
    QVERIFY(fx.Desk(3)->heard->isHidden());
    const std::string before = FileText(fx.settingsPath());

    tools.showHeardAction->trigger();
    QVERIFY(fx.Desk(3)->heard->isVisible());
    // Nobody heard yet: no desk is red.
    QVERIFY(!fx.Desk(3)->heard->gauge().neverHeard);
    // The rest of the settings file stays as it was, byte for byte.
    const std::string after = FileText(fx.settingsPath());
    QCOMPARE(after.substr(0, before.size()), before);
    QVERIFY(after.find("[Lesson]\r\nShowHeardTime=1") != std::string::npos);

    fx.ClickButton(fx.Desk(3)->listen);
    // Once someone is heard, the desks nobody heard stand out.
    QTRY_COMPARE_WITH_TIMEOUT(fx.Desk(3)->heard->gauge().permille, 1000, 5000);
    QVERIFY(!fx.Desk(3)->heard->gauge().neverHeard);
    QVERIFY(fx.Desk(1)->heard->gauge().neverHeard);

    // A new lesson counts from its start: nobody heard, nobody red.
    fx.ClickButton(fx.Desk(3)->listen);
    tools.newLessonAction->trigger();
    QVERIFY(!fx.Desk(3)->heard->gauge().neverHeard);
    QCOMPARE(fx.Desk(3)->heard->gauge().permille, 0);
    QVERIFY(!tools.journal().record().HadDeskEvents());

    // Off again, and a new start reads the setting.
    tools.showHeardAction->trigger();
    QVERIFY(fx.Desk(3)->heard->isHidden());
    QVERIFY(FileText(fx.settingsPath()).find("ShowHeardTime=0") != std::string::npos);
  }

  void closingOffersTheReportAfterALesson() {
    WindowOptions options;
    options.startEmulator = true;
    options.writeClassroom = true;
    WindowFixture fx(options);
    QVERIFY2(fx.Ok(), fx.Error().c_str());
    fx.ClickButton(fx.Desk(4)->listen);
    // Save it, then "Открыть": the system's viewer is asked for the file.
    fx.prompter().yesNoAnswers = {true, true};
    QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "Opened");
    QVERIFY(fx.Close());
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    QCOMPARE(fx.prompter().Count(FakePrompter::Kind::kQuestion, "Отчёт об уроке"), 2);
    QCOMPARE(fx.prompter().Count(FakePrompter::Kind::kMessage, "Отчёт об уроке"), 0);
    const QString saved = fx.prompter().records.back().text.section('\n', 1);
    QVERIFY2(platform::FileExists(saved.toStdString()), qPrintable(saved));
    // Named by the class, its classroom file's name.
    QVERIFY2(QFileInfo(saved).fileName().startsWith(QStringLiteral("classroom 20")), qPrintable(saved));
    QCOMPARE(opened_, QStringList({QUrl::fromLocalFile(saved).toString()}));
    QVERIFY(FileText(JournalPath(fx)).find(";;;консоль закрыта\r\n") != std::string::npos);
  }

  void aJournalThatCannotBeWrittenIsShownOnce() {
    WindowFixture fx;
    QVERIFY2(fx.Ok(), fx.Error().c_str());
    LessonRecordPanel& tools = fx.form().lessonRecord();
    QVERIFY(fx.Close());
    // Between two runs something took the file's place.
    const std::string journal = JournalPath(fx);
    QCOMPARE(::rename(journal.c_str(), (journal + ".old").c_str()), 0);
    QVERIFY(QDir().mkdir(QString::fromStdString(journal)));
    tools.journal().RoundStarted();
    QVERIFY(!tools.problemLabel->isHidden());
    const QString shown = tools.problemLabel->text();
    QVERIFY2(shown.contains(QString::fromStdString(journal)), qPrintable(shown));
    QCOMPARE(tools.problemLabel->textFormat(), Qt::PlainText);
    tools.journal().RoundStopped();
    QCOMPARE(tools.problemLabel->text(), shown);
    QCOMPARE(fx.prompter().Count(FakePrompter::Kind::kMessage), 0);
  }

  void closingWithoutALessonAsksNothing() {
    WindowFixture fx;
    QVERIFY2(fx.Ok(), fx.Error().c_str());
    QVERIFY(fx.Close());
    QCOMPARE(fx.prompter().Count(FakePrompter::Kind::kQuestion), 0);
  }
};

QTEST_MAIN(LessonRecordTest)
#include "lesson_record_test.moc"
