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

TEST(LessonFiles, WrittenWholeOrRefusedWithAReason) {
  const std::pair<const char*, std::function<int(const std::string&)>> rows[] = {
      {"a new file", [](const std::string&) { return 0; }},
      {"an older report of the same name",
       [](const std::string& path) { return platform::ReplaceFileAtomically(path, "old") ? 0 : 1; }},
      {"a FIFO at the name", [](const std::string& path) { return ::mkfifo(path.c_str(), 0600); }},
      {"a folder at the name", [](const std::string& path) { return ::mkdir(path.c_str(), 0700); }},
  };
  for (const auto& [what, prepare] : rows) {
    SCOPED_TRACE(what);
    testsupport::TempDir dir;
    std::string problem;
    const std::string path = console::LessonsFolder(dir.path() + "/", problem) + "report.pdf";
    ASSERT_EQ(path, dir.File("lessons/report.pdf")) << problem;
    struct stat st;
    ASSERT_EQ(::stat(dir.File("lessons").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u) << "the lessons folder is the user's alone";
    ASSERT_EQ(prepare(path), 0);
    const bool regular = ::lstat(path.c_str(), &st) != 0 || S_ISREG(st.st_mode);
    // In a child with a watchdog: a write that waited on the FIFO ends it.
    const pid_t child = ::fork();
    if (child == 0) {
      ::alarm(10);
      const std::string why = console::WriteLessonFile(path, kPdf);
      ::_exit(why.empty() ? 0 : Contains(why, "не сохранён: запись не удалась") ? 1 : 2);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "the write waited on what stands at the name";
    EXPECT_EQ(WEXITSTATUS(status), regular ? 0 : 1);
    if (regular) EXPECT_EQ(Read(path), kPdf);
  }
}

TEST(LessonFiles, AFullDiskLeavesNoEmptyOrCutFile) {
  testsupport::FullDisk disk;
  if (!disk.reason().empty()) GTEST_SKIP() << disk.reason();
  std::string problem;
  const std::string folder = console::LessonsFolder(disk.path() + "/", problem);
  ASSERT_FALSE(folder.empty()) << problem;
  const std::string older = folder + "plan-2026-12-07.pdf";
  const std::string report = folder + "2026-12-07-102000-report.pdf";
  ASSERT_EQ(console::WriteLessonFile(older, "%PDF-1.4 older plan"), "");
  disk.Fill();
  for (const std::string& path : {older, report}) {
    const std::string why = console::WriteLessonFile(path, std::string(48 * 1024, 'P'));
    EXPECT_TRUE(Contains(why, "не сохранён") && Contains(why, "диск заполнен")) << why;
  }
  EXPECT_EQ(Read(older), "%PDF-1.4 older plan");
  EXPECT_EQ(Read(report), "<none>") << "an empty file was left";
  EXPECT_EQ(::unlink(older.c_str()), 0);
  EXPECT_EQ(::rmdir(folder.c_str()), 0) << "a temporary file was left in the lessons folder";
}

// The teacher (this process) writes a report, a plan or the settings where
// another user planted something: the teacher's own file it leads to stays
// as it was, and the message says why nothing was written.
TEST(LessonFiles, NothingAnotherUserPlantedIsWrittenThrough) {
  testsupport::OtherUser other;
  if (!other.Ok()) GTEST_SKIP() << other.Reason();
  using Step = std::function<std::string(const std::string& folder, const std::string& victim)>;
  struct Row {
    const char* what;
    bool lessonsOpenToAll;  // else the settings folder is the other user's group's
    Step plant;             // as the other user; "" when done
    Step write;             // as the teacher: the message
    const char* reason;
  };
  const auto done = [](bool ok) { return ok ? std::string() : std::string("planting failed"); };
  const Row rows[] = {
      {"a link at the report's name in a lessons folder everyone may write", true,
       [&](const std::string& folder, const std::string& victim) {
         return done(::symlink(victim.c_str(), (folder + "lessons/report.pdf").c_str()) == 0);
       },
       [](const std::string& folder, const std::string&) {
         return console::WriteLessonFile(folder + "lessons/report.pdf", kPdf);
       },
       "символическая ссылка"},
      {"the other user's file at the plan's name there", true,
       [&](const std::string& folder, const std::string&) {
         return done(::open((folder + "lessons/plan.pdf").c_str(), O_WRONLY | O_CREAT, 0666) >= 0);
       },
       [](const std::string& folder, const std::string&) {
         return console::WriteLessonFile(folder + "lessons/plan.pdf", kPdf);
       },
       "другому пользователю"},
      {"a lessons link in the settings folder", false,
       [&](const std::string& folder, const std::string& victim) {
         const std::string theirs = folder + "theirs";
         return done(::mkdir(theirs.c_str(), 0777) == 0 &&
                     ::symlink(victim.c_str(), (theirs + "/plan.pdf").c_str()) == 0 &&
                     ::symlink(theirs.c_str(), (folder + "lessons").c_str()) == 0);
       },
       [](const std::string& folder, const std::string&) {
         std::string problem;
         const std::string lessons = console::LessonsFolder(folder, problem);
         return lessons.empty() ? problem : console::WriteLessonFile(lessons + "plan.pdf", kPdf);
       },
       "не папка пользователя"},
      {"a link at the settings file's name", false,
       [&](const std::string& folder, const std::string& victim) {
         ::unlink((folder + "vormik.ini").c_str());
         return done(::symlink(victim.c_str(), (folder + "vormik.ini").c_str()) == 0);
       },
       [](const std::string& folder, const std::string&) {
         settings::EditableSettings after;
         after.callSound = true;
         return settings::SaveChangedSettings(folder + "vormik.ini", {}, after);
       },
       "символическая ссылка"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    testsupport::TempDir home;
    testsupport::TempDir shared;
    const std::string victim = home.File("victim.txt");
    const std::string folder = shared.path() + "/";
    ASSERT_TRUE(platform::ReplaceFileAtomically(victim, "the teacher's own\n"));
    ASSERT_TRUE(platform::ReplaceFileAtomically(folder + "vormik.ini", "[Interface]\r\n"));
    ASSERT_EQ(::chmod(home.path().c_str(), 0755), 0);
    if (row.lessonsOpenToAll) {
      ASSERT_EQ(::chmod(shared.path().c_str(), 0755), 0);
      ASSERT_EQ(::mkdir((folder + "lessons").c_str(), 0700), 0);
      ASSERT_EQ(::chmod((folder + "lessons").c_str(), 0777), 0);
    } else {
      ASSERT_EQ(::chown(shared.path().c_str(), 0, other.gid()), 0);
      ASSERT_EQ(::chmod(shared.path().c_str(), 0770), 0);
    }
    ASSERT_EQ(other.RunAs([&] { return row.plant(folder, victim).empty() ? 0 : 1; }), 0);
    const std::string why = row.write(folder, victim);
    EXPECT_TRUE(Contains(why, row.reason)) << why;
    EXPECT_EQ(Read(victim), "the teacher's own\n");
  }
}

}  // namespace
