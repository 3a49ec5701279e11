// The practice class's own folder: its settings, its named classroom, and a
// journal that never lands among a real lesson's.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "config/classroomplan.h"
#include "config/inifile.h"
#include "config/settings.h"
#include "console/consolemodel.h"
#include "console/lessonjournal.h"
#include "console/practicefolder.h"
#include "platform/system.h"
#include "scriptedcontroller.h"
#include "tests/support/tempdir.h"

using namespace console;

namespace {

constexpr int64_t kStartMs = 1796638800000;  // 2026-12-07 10:20:00 UTC

TEST(PracticeFolder, LiesInAFolderOfItsOwnBesideTheSettings) {
  EXPECT_EQ(PracticeSettingsPath("/opt/lab/vormik.ini"), "/opt/lab/practice/vormik.ini");
  EXPECT_EQ(PracticeTitle("Vormik - класс 5"), "Учебный класс — Vormik - класс 5");
}

TEST(PracticeFolder, IsMadeWithItsPortAndSixteenNamedStudentsAndKeepsTheTeachersChanges) {
  testsupport::TempDir dir;
  const std::string settingsPath = PracticeSettingsPath(dir.File("vormik.ini"));
  ASSERT_EQ(PreparePracticeFolder(settingsPath), "");
  ini::IniFile settingsFile(settingsPath);
  EXPECT_EQ(settingsFile.ReadString(settings::kCommunication, settings::kPortName, ""),
            kPracticePortName);
  const std::string classroomPath =
      settingsFile.ReadString(settings::kInterface, settings::kClassRoomConfigurationFile, "");
  EXPECT_EQ(classroomPath, dir.File("practice/учебный класс.cld"));
  classroom::LoadedClassroom loaded = classroom::LoadClassroomFile(classroomPath);
  ASSERT_TRUE(loaded.ok());
  for (int d = 0; d < kDeskCount; ++d) {
    EXPECT_TRUE(loaded.plan[d].visible) << d;
    EXPECT_NE(loaded.plan[d].studentName, classroom::kDefaultStudentName) << d;
  }
  // A teacher renamed a student and hid a desk: a second start keeps it.
  loaded.plan[0].studentName = "Своё имя";
  loaded.plan[15].visible = false;
  ASSERT_TRUE(classroom::SaveClassroomFile(classroomPath, loaded.plan).ok());
  ASSERT_EQ(PreparePracticeFolder(settingsPath), "");
  const classroom::LoadedClassroom again = classroom::LoadClassroomFile(classroomPath);
  EXPECT_EQ(again.plan[0].studentName, "Своё имя");
  EXPECT_FALSE(again.plan[15].visible);
  // Nothing of practice beside the real settings.
  EXPECT_FALSE(platform::PathExists(dir.File("vormik.ini")));
  EXPECT_FALSE(platform::PathExists(dir.File("lessons")));
}

TEST(PracticeFolder, ThatCannotBeMadeIsSaidInRussian) {
  testsupport::TempDir dir;
  // A file where the folder should be.
  {
    ini::IniFile blocker(dir.File("practice"));
    blocker.WriteString("x", "y", "z");
  }
  const std::string problem = PreparePracticeFolder(PracticeSettingsPath(dir.File("vormik.ini")));
  EXPECT_NE(problem.find("учебного класса"), std::string::npos) << problem;
}

TEST(PracticeFolder, ItsJournalIsNamedForPracticeAndStaysOutOfTheLessonsJournal) {
  testsupport::TempDir dir;
  const std::string settingsPath = PracticeSettingsPath(dir.File("vormik.ini"));
  ASSERT_EQ(PreparePracticeFolder(settingsPath), "");
  ClassroomState room;
  ScriptedController controller;
  ScriptedUser user;
  Moment now{kStartMs, 0};
  ConsoleModel model(room, controller, [] { return true; }, user, {settingsPath, ""});
  for (int d = 0; d < kDeskCount; ++d) model.PlaceDesk(d, 0, 0, true);
  LessonJournal journal(model, [&now] { return now; }, platform::DirectoryOf(settingsPath),
                        kPracticeJournalTag);
  journal.ConsoleStarted();
  model.ApplyIndicators(0x00, 0x10);
  EXPECT_EQ(journal.path(), dir.File("practice/lessons/2026-12-07 учебный класс.csv"));
  std::string text;
  ASSERT_TRUE(platform::ReadWholeFile(journal.path(), text));
  EXPECT_NE(text.find("консоль запущена"), std::string::npos);
  EXPECT_NE(text.find(";5;"), std::string::npos);
  EXPECT_FALSE(platform::PathExists(dir.File("lessons/2026-12-07.csv")));
  EXPECT_FALSE(platform::PathExists(dir.File("practice/lessons/2026-12-07.csv")));
}

}  // namespace
