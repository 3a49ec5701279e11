// The lesson report and the plan page where writing fails in Linux's own
// ways: a full disk (a tmpfs of its own) and another user's link in a lessons
// folder everyone may write. Both take root and Linux, so they stay here.
#include <sys/stat.h>
#include <unistd.h>

#include <QtTest>

#include "app/lessonreportwriter.h"
#include "console/lessonreport.h"
#include "platform/system.h"
#include "tests/support/filetext.h"
#include "tests/support/fulldisk.h"
#include "tests/support/otheruser.h"
#include "tests/support/tempdir.h"

namespace {

using testsupport::FileText;

constexpr int64_t kStartMs = 1796638800000;  // 2026-12-07 10:20:00 UTC

}  // namespace

class LessonReportLinkTest : public QObject {
  Q_OBJECT
 private slots:
  // On a full disk neither PDF claims to be saved, and neither leaves an
  // empty or cut file: an older plan of the same name stays whole.
  void fullDiskLeavesNoEmptyOrCutPdf() {
    testsupport::FullDisk disk;
    if (!disk.reason().empty()) QSKIP(disk.reason().c_str());
    console::LessonRecord record;
    record.Begin({}, {kStartMs, 0});
    std::array<console::DeskPlanEntry, kDeskCount> plan;
    for (int d = 0; d < kDeskCount; ++d) {
      plan[d].studentName = "Ученик " + std::to_string(d + 1);
      plan[d].visible = true;
    }
    const std::string olderPlan = disk.File("plan.pdf");
    QVERIFY(platform::ReplaceFileAtomically(olderPlan, "%PDF-1.4 older"));
    disk.Fill();
    QString error;
    QVERIFY(!WritePlanPage(QString::fromStdString(olderPlan), plan, {kStartMs, 0}, error));
    QVERIFY2(error.contains(QStringLiteral("не сохранён")), qPrintable(error));
    QCOMPARE(FileText(olderPlan), std::string("%PDF-1.4 older"));
    const std::string report = disk.File("report.pdf");
    QVERIFY(!WriteLessonReport(QString::fromStdString(report), record, plan, "",
                               {kStartMs + 60000, 0}, error));
    QVERIFY2(error.contains(QStringLiteral("диск заполнен")), qPrintable(error));
    QVERIFY(!platform::PathExists(report));
  }

  // A link another user planted at the report's name in a lessons folder
  // everyone may write: the teacher's own file it points at stays as it was.
  void reportNeverWrittenThroughAnotherUsersLink() {
    testsupport::OtherUser other;
    if (!other.Ok()) QSKIP(other.Reason().c_str());
    testsupport::TempDir home;
    testsupport::TempDir lessons;
    const std::string victim = home.File("victim.txt");
    QVERIFY(platform::ReplaceFileAtomically(victim, "the teacher's own\n"));
    QCOMPARE(::chmod(home.path().c_str(), 0755), 0);
    QCOMPARE(::chmod(lessons.path().c_str(), 0777), 0);
    const std::string report = lessons.File("report.pdf");
    QCOMPARE(other.RunAs([&] { return ::symlink(victim.c_str(), report.c_str()) == 0 ? 0 : 1; }), 0);
    console::LessonRecord record;
    record.Begin({}, {kStartMs, 0});
    std::array<console::DeskPlanEntry, kDeskCount> plan;
    QString error;
    QVERIFY(!WriteLessonReport(QString::fromStdString(report), record, plan, "", {kStartMs + 60000, 0},
                               error));
    QVERIFY2(error.contains(QStringLiteral("символическая ссылка")), qPrintable(error));
    QVERIFY(!WritePlanPage(QString::fromStdString(report), plan, {kStartMs, 0}, error));
    QCOMPARE(FileText(victim), std::string("the teacher's own\n"));
  }
};

QTEST_MAIN(LessonReportLinkTest)
#include "lesson_report_posix_test.moc"
