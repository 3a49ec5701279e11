// The PDF report of a scripted lesson, read back with poppler's tools: every
// shown desk's name is in its text, and the timeline page, rendered, shows
// the listening where the journal's lines put it.

#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

#include "app/lessonreportwriter.h"
#include "console/consolemodel.h"
#include "console/lessonjournal.h"
#include "console/lessonreport.h"
#include "platform/system.h"
#include "tests/console/scriptedcontroller.h"
#include "tests/support/tempdir.h"

namespace {

constexpr int64_t kStartMs = 1796638800000;  // 2026-12-07 10:20:00 UTC

QString Run(const QString& program, const QStringList& arguments) {
  QProcess process;
  process.start(program, arguments);
  if (!process.waitForFinished(60000) || process.exitCode() != 0) return {};
  return QString::fromUtf8(process.readAllStandardOutput());
}

bool Green(QRgb pixel) { return qGreen(pixel) > 120 && qRed(pixel) < 90 && qBlue(pixel) < 90; }

// Seconds since the lesson began of a journal time "HH:MM:SS" (UTC here).
int SecondsIntoLesson(const QString& clock) {
  const QTime t = QTime::fromString(clock, QStringLiteral("HH:mm:ss"));
  return QTime(10, 20).secsTo(t);
}

struct Interval {
  int desk;  // index
  int from, to;
};

// The listening intervals as the journal's lines tell them.
std::vector<Interval> ListeningFromJournal(const std::string& text) {
  std::vector<Interval> out;
  std::map<int, int> open;
  for (const QString& line : QString::fromStdString(text).split(QStringLiteral("\r\n"))) {
    const QStringList f = line.split(';');
    if (f.size() != 4 || f[1].isEmpty()) continue;
    const int desk = f[1].toInt() - 1;
    if (f[3] == QStringLiteral("прослушивание начато")) open[desk] = SecondsIntoLesson(f[0]);
    if (f[3].startsWith(QStringLiteral("прослушивание завершено"))) {
      out.push_back({desk, open[desk], SecondsIntoLesson(f[0])});
    }
  }
  return out;
}

}  // namespace

class LessonReportTest : public QObject {
  Q_OBJECT
 private slots:
  void reportShowsNamesAndListeningWhereTheJournalPutsIt() {
    const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    const QString pdftoppm = QStandardPaths::findExecutable(QStringLiteral("pdftoppm"));
    if (pdftotext.isEmpty() || pdftoppm.isEmpty()) {
      QSKIP("poppler-utils is not installed (bash scripts/install-deps.sh --tests)");
    }
    testsupport::TempDir dir;
    ClassroomState room;
    ScriptedController controller;
    ScriptedUser user;
    console::ConsoleModel model(room, controller, [] { return true; }, user,
                                {dir.File("vormik.ini"), ""});
    console::Moment now{kStartMs, 0};
    console::LessonJournal journal(
        model, [&] { return now; }, dir.path() + "/");
    const char* names[] = {"Анна Петрова", "Борис Ким", "Вера Льюис", "Глеб Орлов",
                           "Дина Юсупова", "Егор Чанг", "Жанна Ли",   "Захар Мамедов",
                           "Ирина Белова", "Кирилл Ан"};
    // Ten desks shown (1-8, 11, 12), two rows of the standard layout left out.
    const int shown[] = {0, 1, 2, 3, 4, 5, 6, 7, 10, 11};
    for (int i = 0; i < 10; ++i) {
      const int d = shown[i];
      model.PlaceDesk(d, 170 * (d % 4), 100 * (d / 4), true);
      model.BeginNameEditing(d);
      model.TypeName(d, names[i]);
      model.PressEnterInName(d);
    }
    auto at = [&](int seconds) { now.ms = kStartMs + seconds * 1000LL; };
    journal.ConsoleStarted();
    at(60);
    model.ListenTo(1);
    at(180);
    model.ListenTo(10);
    at(300);
    model.StopListening(10);
    at(420);
    model.ListenTo(4);
    at(600);
    model.StopListening(4);
    journal.ConsoleClosed();

    const QString pdf = QString::fromStdString(dir.File("report.pdf"));
    QString error;
    QVERIFY2(WriteLessonReport(pdf, journal.record(), model.plan(), "5А", now, error),
             qPrintable(error));

    const QString text = Run(pdftotext, {pdf, QStringLiteral("-")});
    QVERIFY(!text.isEmpty());
    for (const char* name : names) QVERIFY2(text.contains(QString::fromUtf8(name)), name);
    // Each page: the class and the date in its title, its number at its foot.
    const char* parts[] = {"план кабинета", "ход урока", "итоги по столам"};
    QStringList pages;
    for (int p = 1; p <= 3; ++p) {
      const QString n = QString::number(p);
      pages << Run(pdftotext, {QStringLiteral("-f"), n, QStringLiteral("-l"), n, pdf,
                               QStringLiteral("-")});
      const QString title = QStringLiteral("5А, урок 07.12.2026, 10:20–10:30: ") +
                            QString::fromUtf8(parts[p - 1]);
      QVERIFY2(pages.back().contains(title), qPrintable(pages.back()));
      QVERIFY2(pages.back().contains(QStringLiteral("стр. %1 из 3").arg(p)),
               qPrintable(pages.back()));
    }
    // The time axis runs from the first desk event (10:21) to the last (10:30):
    // 10:20 is the title's only, every minute after it a tick.
    QCOMPARE(pages[1].count(QStringLiteral("10:20")), 1);
    for (int minute = 21; minute <= 29; ++minute)
      QCOMPARE(pages[1].count(QStringLiteral("10:%1").arg(minute)), 1);
    QCOMPARE(pages[1].count(QStringLiteral("10:30")), 2);

    const QString png = QString::fromStdString(dir.File("page"));
    Run(pdftoppm, {QStringLiteral("-f"), QStringLiteral("2"), QStringLiteral("-l"),
                   QStringLiteral("2"), QStringLiteral("-r"), QStringLiteral("72"),
                   QStringLiteral("-png"), QStringLiteral("-singlefile"), pdf, png});
    const QImage page(png + QStringLiteral(".png"));
    QVERIFY(!page.isNull());
    QCOMPARE(page.width(), static_cast<int>(console::kReportPageWidth));

    const std::vector<Interval> heard = ListeningFromJournal(FileText(journal.path()));
    QCOMPARE(heard.size(), size_t(3));
    // The chart's time scale: the nine minutes from the first listening to
    // the last event across its width.
    const console::TimelineLayout layout = console::LayOutTimeline(
        journal.record(), model.plan(), now.ms, console::kReportTimelineChart);
    QCOMPARE(layout.fromMs, kStartMs + 60000);
    QCOMPARE(layout.toMs, kStartMs + 600000);
    const console::Box chart = console::kReportTimelineChart;
    auto xOf = [&](int seconds) { return chart.x + chart.w * (seconds - 60) / 540.0; };
    for (const Interval& listened : heard) {
      const auto row =
          std::find_if(layout.rows.begin(), layout.rows.end(),
                       [&](const console::TimelineRow& r) { return r.desk == listened.desk; });
      QVERIFY(row != layout.rows.end());
      // The listen lane is the first of the row's six, below a tenth of padding.
      const int y = static_cast<int>(row->box.y + row->box.h * 0.1 + row->box.h * 0.8 / 12);
      for (int s = 60; s <= 600; s += 10) {
        const int x = static_cast<int>(xOf(s));
        const bool inside = s > listened.from + 2 && s < listened.to - 2;
        const bool outside = s < listened.from - 2 || s > listened.to + 2;
        if (inside)
          QVERIFY2(Green(page.pixel(x, y)),
                   qPrintable(QStringLiteral("desk %1 at %2 s").arg(listened.desk + 1).arg(s)));
        if (outside)
          QVERIFY2(!Green(page.pixel(x, y)),
                   qPrintable(QStringLiteral("desk %1 at %2 s").arg(listened.desk + 1).arg(s)));
      }
    }
  }

  void planPageHoldsEveryShownName() {
    const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (pdftotext.isEmpty())
      QSKIP("poppler-utils is not installed (bash scripts/install-deps.sh --tests)");
    testsupport::TempDir dir;
    std::array<console::DeskPlanEntry, kDeskCount> plan;
    for (int d = 0; d < kDeskCount; ++d) {
      plan[d].label = std::to_string(d + 1);
      plan[d].studentName = "Ученик " + std::to_string(d + 1) + (d % 2 ? " <b>&amp;" : "");
      plan[d].left = 170 * (d % 4);
      plan[d].top = 100 * (d / 4);
      plan[d].visible = d != 6;
    }
    const QString pdf = QString::fromStdString(dir.File("plan.pdf"));
    QString error;
    QVERIFY2(WritePlanPage(pdf, plan, {kStartMs, 0}, error), qPrintable(error));
    // A long name wraps in its box: compared with its line breaks as spaces.
    const QString text = Run(pdftotext, {pdf, QStringLiteral("-")}).simplified();
    for (int d = 0; d < kDeskCount; ++d) {
      const QString name = QString::fromStdString(plan[d].studentName);
      QVERIFY2(text.contains(name) == (d != 6), qPrintable(name + QStringLiteral(" in ") + text));
    }
  }

  void unwritableReportSaysWhy() {
    testsupport::TempDir dir;
    console::LessonRecord record;
    record.Begin({}, {kStartMs, 0});
    std::array<console::DeskPlanEntry, kDeskCount> plan;
    QString error;
    QVERIFY(!WriteLessonReport(QString::fromStdString(dir.File("missing/report.pdf")), record, plan,
                               "", {kStartMs + 60000, 0}, error));
    QVERIFY(error.contains(QStringLiteral("missing/report.pdf")));
  }

 private:
  static std::string FileText(const std::string& path) {
    std::string text;
    platform::ReadWholeFile(path, text);
    return text;
  }
};

QTEST_MAIN(LessonReportTest)
#include "lesson_report_test.moc"
