// The "новый урок" row reaches the journal's file, not only the record.
#include <gtest/gtest.h>

#include <string>

#include "console/consolemodel.h"
#include "console/lessonjournal.h"
#include "scriptedcontroller.h"
#include "tests/support/filetext.h"
#include "tests/support/tempdir.h"

using namespace console;

namespace {

using testsupport::FileText;

constexpr int64_t kStartMs = 1796638800000;  // 2026-12-07 10:20:00 UTC

TEST(JournalFile, NewLessonRowIsWrittenToTheFile) {
  testsupport::TempDir dir;
  ClassroomState room;
  ScriptedController controller;
  ScriptedUser user;
  ConsoleModel model(room, controller, nullptr, user, {dir.path() + "/vormik.ini", ""});
  Moment now{kStartMs, 0};
  LessonJournal journal(
      model, [&now] { return now; }, dir.path() + "/");
  journal.ConsoleStarted();
  now.ms += 60000;
  journal.NewLesson();
  const std::string text = FileText(dir.File("lessons/2026-12-07.csv"));
  const std::string row = "10:21:00;;;новый урок\r\n";
  ASSERT_GE(text.size(), row.size()) << text;
  EXPECT_EQ(text.substr(text.size() - row.size()), row) << text;
  EXPECT_TRUE(journal.problem().empty()) << journal.problem();
}

}  // namespace
