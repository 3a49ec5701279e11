// The files the lesson tools write (the report and plan PDFs, the class-list
// export) and the settings the dialog saves: written whole or not at all,
// never through what another user planted, never waiting on a FIFO.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>

#include "config/editablesettings.h"
#include "console/lessonfiles.h"
#include "platform/system.h"
#include "tests/support/fulldisk.h"
#include "tests/support/otheruser.h"
#include "tests/support/tempdir.h"

namespace {

constexpr char kPdf[] = "%PDF-1.4 the lesson's report";

std::string Read(const std::string& path) {
  std::string bytes;
  return platform::ReadFileLimited(path, bytes) == platform::ReadStatus::Ok ? bytes : "<none>";
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// Runs `action` in a child that a watchdog ends after a few seconds: what
// would hang (a FIFO opened for a flush) shows as -1 instead of a stuck test.
int EndsOnItsOwn(const std::function<int()>& action) {
  const pid_t child = ::fork();
  if (child == 0) {
    ::alarm(10);
    ::_exit(action());
  }
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

TEST(LessonFiles, WrittenWholeOrRefusedWithAReason) {
  struct Row {
    const char* what;
    std::function<void(const std::string& path)> prepare;
    const char* reason;  // "" when written
  };
  const Row rows[] = {
      {"a new file", [](const std::string&) {}, ""},
      {"an older report of the same name",
       [](const std::string& path) { ASSERT_TRUE(platform::ReplaceFileAtomically(path, "old")); },
       ""},
      {"a FIFO at the name", [](const std::string& path) { ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0); },
       "не сохранён: запись не удалась"},
      {"a folder at the name", [](const std::string& path) { ASSERT_EQ(::mkdir(path.c_str(), 0700), 0); },
       "не сохранён: запись не удалась"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    testsupport::TempDir dir;
    std::string problem;
    const std::string folder = console::LessonsFolder(dir.path() + "/", problem);
    ASSERT_EQ(folder, dir.File("lessons/"));
    ASSERT_EQ(problem, "");
    struct stat st;
    ASSERT_EQ(::stat(dir.File("lessons").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u) << "the lessons folder is the user's alone";
    const std::string path = folder + "report.pdf";
    row.prepare(path);
    std::string written = "<hung>";
    const int ended = EndsOnItsOwn([&] {
      const std::string why = console::WriteLessonFile(path, kPdf);
      return why.empty() ? 0 : Contains(why, row.reason) && Contains(why, path) ? 1 : 2;
    });
    EXPECT_EQ(ended, *row.reason == '\0' ? 0 : 1);
    if (*row.reason == '\0') EXPECT_EQ(Read(path), kPdf);
  }
}

TEST(LessonFiles, AFullDiskLeavesNoEmptyOrCutFile) {
  testsupport::FullDisk disk;
  if (!disk.reason().empty()) GTEST_SKIP() << disk.reason();
  std::string problem;
  const std::string folder = console::LessonsFolder(disk.path() + "/", problem);
  ASSERT_FALSE(folder.empty()) << problem;
  const std::string older = folder + "plan-2026-12-07.pdf";
  ASSERT_EQ(console::WriteLessonFile(older, "%PDF-1.4 older plan"), "");
  disk.Fill();
  const std::string pages(48 * 1024, 'P');
  for (const std::string& path : {older, folder + "2026-12-07-102000-report.pdf"}) {
    SCOPED_TRACE(path);
    const std::string why = console::WriteLessonFile(path, pages);
    EXPECT_TRUE(Contains(why, "не сохранён")) << why;
    EXPECT_TRUE(Contains(why, "диск заполнен")) << why;
  }
  EXPECT_EQ(Read(older), "%PDF-1.4 older plan");
  EXPECT_EQ(Read(folder + "2026-12-07-102000-report.pdf"), "<none>") << "an empty file was left";
  // Nothing else either: no temporary file stays behind.
  disk.Free();
  EXPECT_EQ(::rmdir(folder.c_str()), -1);
  EXPECT_EQ(::unlink(older.c_str()), 0);
  EXPECT_EQ(::rmdir(folder.c_str()), 0) << "a temporary file was left in the lessons folder";
}

// ---------------------------------------------------------------- another user

class AnotherUser : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!other_.Ok()) GTEST_SKIP() << other_.Reason();
    victim_ = home_.File("victim.txt");
    ASSERT_TRUE(platform::ReplaceFileAtomically(victim_, "the teacher's own\n"));
    ASSERT_EQ(::chmod(home_.path().c_str(), 0755), 0);
    ASSERT_EQ(::chmod(shared_.path().c_str(), 0755), 0);
  }
  // The settings folder, with a lessons folder everyone may write in.
  std::string OpenLessonsFolder() {
    const std::string lessons = shared_.File("lessons");
    EXPECT_EQ(::mkdir(lessons.c_str(), 0700), 0);
    EXPECT_EQ(::chmod(lessons.c_str(), 0777), 0);
    return lessons + "/";
  }
  // A settings folder the other user's group may write in.
  std::string GroupSettingsFolder() {
    EXPECT_EQ(::chown(shared_.path().c_str(), 0, other_.gid()), 0);
    EXPECT_EQ(::chmod(shared_.path().c_str(), 0770), 0);
    return shared_.path() + "/";
  }
  void Plant(const std::function<int()>& action) { ASSERT_EQ(other_.RunAs(action), 0); }
  void ExpectVictimUntouched() { EXPECT_EQ(Read(victim_), "the teacher's own\n"); }

  testsupport::OtherUser other_;
  testsupport::TempDir home_;
  testsupport::TempDir shared_;
  std::string victim_;
};

TEST_F(AnotherUser, AReportIsNeverWrittenThroughALinkInTheLessonsFolder) {
  const std::string lessons = OpenLessonsFolder();
  const std::string report = lessons + "2026-12-07-102000-report.pdf";
  const std::string plan = lessons + "plan-2026-12-07.pdf";
  const std::string victim = victim_;
  Plant([&] { return ::symlink(victim.c_str(), report.c_str()) == 0 ? 0 : 1; });
  Plant([&] {
    const int fd = ::open(plan.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
    return fd >= 0 && ::write(fd, "theirs", 6) == 6 ? 0 : 1;
  });
  const std::string throughLink = console::WriteLessonFile(report, kPdf);
  EXPECT_TRUE(Contains(throughLink, "символическая ссылка")) << throughLink;
  const std::string overTheirs = console::WriteLessonFile(plan, kPdf);
  EXPECT_TRUE(Contains(overTheirs, "другому пользователю")) << overTheirs;
  ExpectVictimUntouched();
  EXPECT_EQ(Read(plan), "theirs");
}

TEST_F(AnotherUser, ALessonsLinkInTheSettingsFolderIsRefused) {
  const std::string settingsFolder = GroupSettingsFolder();
  const std::string victim = victim_;
  Plant([&] {
    const std::string theirs = settingsFolder + "theirs";
    if (::mkdir(theirs.c_str(), 0777) != 0) return 1;
    if (::symlink(victim.c_str(), (theirs + "/plan-2026-12-07.pdf").c_str()) != 0) return 1;
    return ::symlink(theirs.c_str(), (settingsFolder + "lessons").c_str()) == 0 ? 0 : 1;
  });
  std::string problem;
  EXPECT_EQ(console::LessonsFolder(settingsFolder, problem), "");
  EXPECT_TRUE(Contains(problem, "не папка пользователя")) << problem;
  ExpectVictimUntouched();
}

TEST_F(AnotherUser, SettingsAreNeverWrittenThroughAPlantedLink) {
  const std::string settingsFolder = GroupSettingsFolder();
  const std::string settings = settingsFolder + "vormik.ini";
  ASSERT_TRUE(platform::ReplaceFileAtomically(settings, "[Interface]\r\nCallSound=0\r\n"));
  const std::string victim = victim_;
  Plant([&] {
    ::unlink(settings.c_str());
    return ::symlink(victim.c_str(), settings.c_str()) == 0 ? 0 : 1;
  });
  settings::EditableSettings before;
  settings::EditableSettings after = before;
  after.callSound = !before.callSound;
  const std::string why = settings::SaveChangedSettings(settings, before, after);
  EXPECT_TRUE(Contains(why, "символическая ссылка")) << why;
  EXPECT_TRUE(Contains(why, "Настройки не сохранены")) << why;
  ExpectVictimUntouched();
}

}  // namespace
