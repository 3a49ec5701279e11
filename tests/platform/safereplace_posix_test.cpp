// Replacing a file never writes through a link another user planted, never
// replaces a file put in the place of the one read, and never leaves the old
// file cut: on a full disk or in a folder that takes no new file it stays whole.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <string>

#include "config/arrangementfile.h"
#include "config/classroomplan.h"
#include "config/inifile.h"
#include "platform/linux/folderreplace.h"
#include "platform/safereplace.h"
#include "platform/system.h"
#include "tests/support/fulldisk.h"
#include "tests/support/otheruser.h"
#include "tests/support/tempdir.h"

namespace {

using platform::ReplaceStatus;
using testsupport::TempDir;

std::string Read(const std::string& path) {
  std::string bytes;
  return platform::ReadFileLimited(path, bytes) == platform::ReadStatus::Ok ? bytes : "<none>";
}

void Write(const std::string& path, const std::string& bytes) {
  ASSERT_TRUE(platform::ReplaceFileAtomically(path, bytes)) << path;
}

int EntriesIn(const std::string& folder) {
  int count = 0;
  if (DIR* d = opendir(folder.c_str())) {
    while (dirent* e = readdir(d))
      count += std::string(e->d_name) != "." && std::string(e->d_name) != "..";
    closedir(d);
  }
  return count;
}

struct ReplaceRow {
  const char* what;
  std::function<void(const TempDir&)> prepare;  // makes dir.File("room.cld") and whatever else
  ReplaceStatus expected;
  const char* roomAfter;    // what reading room.cld gives afterwards
  const char* targetAfter;  // target.cld afterwards
};

// The user's own entries in the user's own folder (folders, FIFOs and
// read-only files: see IniFileTest.FailedWritesRaiseWriteErrorAndChangeNothing).
TEST(SafeReplace, OwnEntries) {
  const ReplaceRow rows[] = {
      {"a new file", [](const TempDir&) {}, ReplaceStatus::Ok, "new", "<none>"},
      {"a file", [](const TempDir& d) { Write(d.File("room.cld"), "old"); }, ReplaceStatus::Ok,
       "new", "<none>"},
      {"the user's own link: its target is replaced, the link stays",
       [](const TempDir& d) {
         Write(d.File("target.cld"), "old");
         ASSERT_EQ(symlink("target.cld", d.File("room.cld").c_str()), 0);
       },
       ReplaceStatus::Ok, "new", "new"},
      {"a link to nothing",
       [](const TempDir& d) { ASSERT_EQ(symlink("target.cld", d.File("room.cld").c_str()), 0); },
       ReplaceStatus::Failed, "<none>", "<none>"},
  };
  for (const ReplaceRow& row : rows) {
    SCOPED_TRACE(row.what);
    TempDir dir;
    row.prepare(dir);
    const int entries = EntriesIn(dir.path());
    EXPECT_EQ(platform::SafeReplaceFile(dir.File("room.cld"), "new"), row.expected);
    EXPECT_EQ(Read(dir.File("room.cld")), row.roomAfter);
    EXPECT_EQ(Read(dir.File("target.cld")), row.targetAfter);
    EXPECT_EQ(EntriesIn(dir.path()), entries + (row.expected == ReplaceStatus::Ok && entries == 0))
        << "a temporary file was left behind";
  }
}

// The identity taken when the file was read guards the replace: another file
// (or a link) in its place is Changed and stays as it is; a file that is gone
// leaves nothing to overwrite.
TEST(SafeReplace, TheEntryMustStillBeTheFileRead) {
  struct Row {
    const char* what;
    std::function<void(const TempDir&)> meanwhile;
    ReplaceStatus expected;
    const char* roomAfter;
  };
  const Row rows[] = {
      {"unchanged", [](const TempDir&) {}, ReplaceStatus::Ok, "new"},
      {"replaced by another file", [](const TempDir& d) { Write(d.File("room.cld"), "other"); },
       ReplaceStatus::Changed, "other"},
      {"replaced by a link",
       [](const TempDir& d) {
         Write(d.File("elsewhere.cld"), "elsewhere");
         ASSERT_EQ(unlink(d.File("room.cld").c_str()), 0);
         ASSERT_EQ(symlink("elsewhere.cld", d.File("room.cld").c_str()), 0);
       },
       ReplaceStatus::Changed, "elsewhere"},
      {"removed", [](const TempDir& d) { ASSERT_EQ(unlink(d.File("room.cld").c_str()), 0); },
       ReplaceStatus::Ok, "new"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    TempDir dir;
    const std::string room = dir.File("room.cld");
    Write(room, "old");
    const platform::FileIdentity read = platform::IdentityOf(room);
    ASSERT_TRUE(read.known);
    row.meanwhile(dir);
    EXPECT_EQ(platform::CheckReplaceable(room, &read), row.expected);
    EXPECT_EQ(platform::SafeReplaceFile(room, "new", &read), row.expected);
    EXPECT_EQ(Read(room), row.roomAfter);
  }
}

// The folder is held from the check to the write: swapped meanwhile for a
// link (by someone who may rename in its parent), the file still goes into
// the folder that was checked, never through the link.
TEST(SafeReplace, TheFolderCheckedIsTheFolderWritten) {
  struct Row {
    const char* what;
    std::function<void(const TempDir&)> meanwhile;
    ReplaceStatus expected;
    const char* checkedFolderAfter;  // lessons' report.pdf, wherever the folder now is
    const char* elsewhereAfter;
  };
  const Row rows[] = {
      {"nothing", [](const TempDir&) {}, ReplaceStatus::Ok, "new", "<none>"},
      {"the folder moved and a link in its place",
       [](const TempDir& d) {
         ASSERT_EQ(rename(d.File("lessons").c_str(), d.File("moved").c_str()), 0);
         ASSERT_EQ(symlink(d.File("elsewhere").c_str(), d.File("lessons").c_str()), 0);
       },
       ReplaceStatus::Ok, "new", "<none>"},
      {"a file put at the name",
       [](const TempDir& d) { Write(d.File("lessons/report.pdf"), "planted"); },
       ReplaceStatus::Changed, "planted", "<none>"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    TempDir dir;
    ASSERT_EQ(mkdir(dir.File("lessons").c_str(), 0700), 0);
    ASSERT_EQ(mkdir(dir.File("elsewhere").c_str(), 0700), 0);
    platform::FolderReplace replace(dir.File("lessons/report.pdf"), nullptr);
    ASSERT_EQ(replace.status(), ReplaceStatus::Ok);
    row.meanwhile(dir);
    EXPECT_EQ(replace.Write("new"), row.expected);
    const bool moved = platform::PathExists(dir.File("moved"));
    EXPECT_EQ(Read(dir.File(moved ? "moved/report.pdf" : "lessons/report.pdf")),
              row.checkedFolderAfter);
    EXPECT_EQ(Read(dir.File("elsewhere/report.pdf")), row.elsewhereAfter);
    EXPECT_EQ(EntriesIn(dir.File(moved ? "moved" : "lessons")), 1) << "a temporary file was left";
  }
}

// The classroom file loaded, then replaced by another: the plan is refused
// with a Russian message and the other file stays.
TEST(SafeReplace, ClassroomSaveRefusesAFileReplacedSinceItWasLoaded) {
  TempDir dir;
  const std::string room = dir.File("room.cld");
  Write(room, "[Desk1]\r\nVisible=1\r\n");
  ASSERT_TRUE(classroom::LoadClassroomFile(room).result.ok());
  Write(room, "[Desk1]\r\nVisible=0\r\n");
  const classroom::ClassroomPlan plan{};
  const classroom::SaveResult refused = classroom::SaveClassroomFile(room, plan);
  EXPECT_EQ(refused.status, classroom::SaveStatus::Refused);
  EXPECT_NE(classroom::SaveFailureMessage(refused, room).find("заменили другим файлом"),
            std::string::npos);
  EXPECT_EQ(Read(room), "[Desk1]\r\nVisible=0\r\n");
  // Loaded again, it is the file the save may replace; and after a save too.
  ASSERT_TRUE(classroom::LoadClassroomFile(room).result.ok());
  EXPECT_TRUE(classroom::SaveClassroomFile(room, plan).ok());
  EXPECT_TRUE(classroom::SaveClassroomFile(room, plan).ok());
}

// A FIFO renamed over the classroom file right after a save: the next save,
// the arrangement's save and a flush each end with a failure instead of
// waiting for a writer that never comes (a watchdog ends the child if they do).
TEST(SafeReplace, AFifoAtTheClassroomFileNeverHangsASaveOrAFlush) {
  TempDir dir;
  const std::string room = dir.File("room.cld");
  ASSERT_TRUE(classroom::SaveClassroomFile(room, classroom::ClassroomPlan{}).ok());
  ASSERT_EQ(mkfifo(dir.File("fifo").c_str(), 0600), 0);
  ASSERT_EQ(rename(dir.File("fifo").c_str(), room.c_str()), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    alarm(10);
    int failures = 0;
    failures += platform::FlushFileToDisk(room) ? 1 : 0;
    failures += classroom::SaveClassroomFile(room, classroom::ClassroomPlan{}).ok() ? 2 : 0;
    failures += classroom::SaveArrangementToFile(room, {"Пары", 1, 0}).empty() ? 4 : 0;
    try {
      ini::IniFile(room).Flush();
      failures += 8;
    } catch (const ini::WriteError&) {
    }
    _exit(failures);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "a save or a flush waited on the FIFO";
  EXPECT_EQ(WEXITSTATUS(status), 0) << "bits: 1 flush, 2 save, 4 arrangement, 8 settings flush";
}

using testsupport::FullDisk;

TEST(SafeReplace, AFullDiskLeavesTheOldFileWhole) {
  FullDisk disk;
  if (!disk.reason().empty()) GTEST_SKIP() << disk.reason();
  const std::string old = "[Desk1]\r\nStudentName=" + std::string(4096, 'A') + "\r\n";
  const std::string room = disk.File("room.cld");
  Write(room, old);
  const platform::FileIdentity before = platform::IdentityOf(room);
  disk.Fill();
  EXPECT_EQ(platform::SafeReplaceFile(room, std::string(32768, 'N')), ReplaceStatus::Failed);
  EXPECT_EQ(Read(room), old);
  EXPECT_EQ(platform::IdentityOf(room), before) << "the file was rewritten where it stands";
  EXPECT_EQ(EntriesIn(disk.path()), 2) << "a temporary file was left behind";

  classroom::ClassroomPlan plan{};
  for (auto& desk : plan) desk.studentName = std::string(2000, 'x');
  const classroom::SaveResult saved = classroom::SaveClassroomFile(room, plan);
  EXPECT_EQ(saved.status, classroom::SaveStatus::WriteFailed);
  EXPECT_EQ(Read(room), old);
  // The arrangement's save the same way, and it says so in Russian.
  const std::string arrangement = classroom::SaveArrangementToFile(room, {"Пары", 1, 0});
  EXPECT_NE(arrangement.find("Расстановка не сохранена"), std::string::npos) << arrangement;
  EXPECT_EQ(Read(room), old);
}

// ---------------------------------------------------------------- another user

// The teacher (this process) keeps a private file; another user plants entries
// in a shared folder where the teacher saves.
class PlantedEntries : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!other_.Ok()) GTEST_SKIP() << other_.Reason();
    secret_ = home_.File(".bashrc");
    Write(secret_, "teacher's own\n");
    ASSERT_EQ(chmod(home_.path().c_str(), 0755), 0);
  }
  // A folder everyone may write, with the sticky bit (like /tmp).
  std::string StickyFolder() {
    EXPECT_EQ(chmod(shared_.path().c_str(), 01777), 0);
    return shared_.path();
  }
  // A folder of a group the other user is in, without the sticky bit.
  std::string GroupFolder() {
    EXPECT_EQ(chown(shared_.path().c_str(), 0, other_.gid()), 0);
    EXPECT_EQ(chmod(shared_.path().c_str(), 0770), 0);
    return shared_.path();
  }
  int AsOther(const std::function<int()>& action) { return other_.RunAs(action); }
  std::string PlantLink(const std::string& at) {
    const std::string target = secret_;
    EXPECT_EQ(AsOther([at, target] {
                unlink(at.c_str());
                return symlink(target.c_str(), at.c_str()) == 0 ? 0 : 1;
              }),
              0);
    return at;
  }

  testsupport::OtherUser other_;
  TempDir home_;
  TempDir shared_;
  std::string secret_;
};

TEST_F(PlantedEntries, ALinkIsNeverWrittenThrough) {
  for (const bool sticky : {true, false}) {
    SCOPED_TRACE(sticky ? "sticky folder" : "group folder without the sticky bit");
    const std::string folder = sticky ? StickyFolder() : GroupFolder();
    const std::string room = folder + "/room.cld";
    Write(room, "[Desk1]\r\nVisible=1\r\n");
    ASSERT_TRUE(classroom::LoadClassroomFile(room).result.ok());
    if (sticky) {
      // The kernel keeps the teacher's file; a new name is where the link goes.
      PlantLink(folder + "/new.cld");
      const classroom::SaveResult saved =
          classroom::SaveClassroomFile(folder + "/new.cld", classroom::ClassroomPlan{});
      EXPECT_EQ(saved.status, classroom::SaveStatus::Refused);
      EXPECT_EQ(saved.refusal, ReplaceStatus::ForeignLink);
    } else {
      PlantLink(room);
      const classroom::SaveResult saved =
          classroom::SaveClassroomFile(room, classroom::ClassroomPlan{});
      EXPECT_EQ(saved.status, classroom::SaveStatus::Refused);
      EXPECT_NE(classroom::SaveFailureMessage(saved, room).find("символическая ссылка"),
                std::string::npos);
      // The settings file the same way.
      EXPECT_THROW(ini::IniFile(PlantLink(folder + "/vormik.ini")).WriteInteger("S", "k", 1),
                   ini::WriteRefused);
    }
    EXPECT_EQ(Read(secret_), "teacher's own\n");
    EXPECT_EQ(platform::SafeReplaceFile(PlantLink(folder + "/new.cld"), "x"),
              ReplaceStatus::ForeignLink);
    EXPECT_EQ(Read(secret_), "teacher's own\n");
    unlink((folder + "/new.cld").c_str());
  }
}

// The teacher's own link is followed, but not on through another user's link
// that it happens to lead to.
TEST_F(PlantedEntries, AChainStopsAtAnotherUsersLink) {
  const std::string planted = PlantLink(StickyFolder() + "/room.cld");
  const std::string mine = home_.File("room.cld");
  ASSERT_EQ(symlink(planted.c_str(), mine.c_str()), 0);
  EXPECT_EQ(platform::SafeReplaceFile(mine, "plan"), ReplaceStatus::ForeignLink);
  EXPECT_EQ(Read(secret_), "teacher's own\n");
}

// In a folder others may write, an entry of another user is not replaced: the
// teacher would be writing a file someone else set up.
TEST_F(PlantedEntries, AnotherUsersFileInASharedFolderIsRefused) {
  const std::string folder = GroupFolder();
  const std::string room = folder + "/room.cld";
  Write(room, "[Desk1]\r\nVisible=1\r\n");
  ASSERT_TRUE(classroom::LoadClassroomFile(room).result.ok());
  ASSERT_EQ(AsOther([room] {
              unlink(room.c_str());
              const int fd = open(room.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
              return fd >= 0 && write(fd, "theirs", 6) == 6 ? 0 : 1;
            }),
            0);
  const classroom::SaveResult saved =
      classroom::SaveClassroomFile(room, classroom::ClassroomPlan{});
  EXPECT_EQ(saved.status, classroom::SaveStatus::Refused);
  EXPECT_NE(classroom::SaveFailureMessage(saved, room).find("другому пользователю"),
            std::string::npos);
  EXPECT_EQ(Read(room), "theirs");
}

}  // namespace

// A drop folder its owner may write into but not list (mode 0300): the file
// is written and replaced there all the same. Root may list any folder, so
// the owner here is the other user.
TEST_F(PlantedEntries, AFolderThatMayBeWrittenButNotListedTakesTheFile) {
  const std::string folder = shared_.path();
  ASSERT_EQ(chown(folder.c_str(), other_.uid(), other_.gid()), 0);
  ASSERT_EQ(chmod(folder.c_str(), 0300), 0);
  const std::string room = folder + "/room.cld";
  const int result = AsOther([folder, room] {
    DIR* listing = opendir(folder.c_str());
    if (listing != nullptr) {
      closedir(listing);
      return 10;  // the folder could be listed: this would test nothing
    }
    if (platform::SafeReplaceFile(room, "first") != ReplaceStatus::Ok) return 1;
    if (platform::SafeReplaceFile(room, "second") != ReplaceStatus::Ok) return 2;
    return Read(room) == "second" ? 0 : 3;
  });
  EXPECT_EQ(result, 0);
  ASSERT_EQ(chmod(folder.c_str(), 0700), 0);
  EXPECT_EQ(EntriesIn(folder), 1) << "a temporary file was left behind";
}
