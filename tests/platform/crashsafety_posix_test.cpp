// Crash safety: a console killed (SIGKILL) at a random moment while it saves
// a classroom file or writes its settings leaves the old or the new content
// whole, and a killed holder of the port lock never keeps another console
// waiting past one wait period.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <thread>

#include "config/classroomplan.h"
#include "config/inifile.h"
#include "config/settings.h"
#include "platform/namedlock.h"
#include "platform/system.h"
#include "tests/support/locknames.h"
#include "tests/support/tempdir.h"

namespace {

using classroom::ClassroomPlan;

using ScratchDir = testsupport::TempDir;

ClassroomPlan PlanNumbered(int generation) {
  ClassroomPlan plan;
  for (int i = 0; i < kDeskCount; ++i) {
    plan[i].left = generation * 1000 + i;
    plan[i].top = generation * 100 + i;
    plan[i].visible = (i + generation) % 2 == 0;
    plan[i].studentName = "Ученик " + std::to_string(generation) + "-" + std::to_string(i);
  }
  return plan;
}

std::string Read(const std::string& path) {
  std::string bytes;
  if (!platform::ReadWholeFile(path, bytes)) return "<unreadable>";
  return bytes;
}

// The console's save: read the file, change the plan's keys, replace the file
// in one step, flush.
void Save(const std::string& path, const ClassroomPlan& plan) {
  std::string existing;
  platform::ReadWholeFile(path, existing);
  ini::IniDocument doc = ini::IniDocument::Parse(existing);
  classroom::WritePlan(plan, doc);
  doc.Save(path);
  platform::FlushFileToDisk(path);
}

// Runs `work` in a child that is killed after a random pause; returns when
// the child is gone.
template <typename Work>
void KillDuring(Work work, std::mt19937& random, int maxDelayUs) {
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    work();
    _exit(0);
  }
  std::this_thread::sleep_for(std::chrono::microseconds(random() % maxDelayUs));
  kill(child, SIGKILL);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
}

size_t LeftoverFiles(const std::string& dir, const std::string& keep) {
  size_t n = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir))
    if (entry.path().filename() != keep) ++n;
  return n;
}

TEST(CrashSafety, KilledClassroomSaveLeavesOldOrNewContentWhole) {
  ScratchDir dir;
  const std::string path = dir.File("plan.cld");
  // Foreign content makes each save write about 1 MB, so kills land inside writes.
  std::string initial;
  for (int i = 0; i < 40000; ++i) initial += "[Other" + std::to_string(i) + "]\r\nkey=value\r\n";
  { std::ofstream(path, std::ios::binary) << initial; }
  Save(path, PlanNumbered(1));
  // The saves only ever replace values in place, so the file can hold exactly
  // these texts: as first saved, then alternately plan 2 and plan 3.
  const std::string first = Read(path);
  Save(path, PlanNumbered(2));
  const std::string second = Read(path);
  Save(path, PlanNumbered(3));
  const std::string third = Read(path);
  Save(path, PlanNumbered(2));
  ASSERT_EQ(Read(path), second) << "saving is not a function of the plan";
  const std::set<std::string> whole = {first, second, third};

  // Kills spread over about three saves, however fast this build saves.
  const auto start = std::chrono::steady_clock::now();
  Save(path, PlanNumbered(3));
  const int saveUs = static_cast<int>(std::chrono::duration_cast<std::chrono::microseconds>(
                                          std::chrono::steady_clock::now() - start)
                                          .count());
  const int maxDelayUs = 3 * saveUs + 1000;

  std::mt19937 random(7);
  int landedInside = 0;
  for (int round = 0; round < 60; ++round) {
    const std::string before = Read(path);
    KillDuring(
        [&] {
          for (int g = 0;; ++g) Save(path, PlanNumbered(2 + g % 2));
        },
        random, maxDelayUs);
    const std::string after = Read(path);
    ASSERT_TRUE(whole.count(after)) << "round " << round << ": torn file of " << after.size()
                                    << " bytes";
    if (after != before) ++landedInside;
    // The plan in the file reads back whole too.
    const ClassroomPlan plan = classroom::ReadPlan(ini::IniDocument::Load(path));
    ASSERT_TRUE(plan == PlanNumbered(2) || plan == PlanNumbered(3) || plan == PlanNumbered(1));
  }
  EXPECT_GT(landedInside, 0) << "no kill came after a save had finished";
  // A killed save may leave its temporary file beside the plan; it never
  // replaces the plan, and the next save clears away those of dead writers.
  std::printf("crash safety: %zu temporary files left by 60 killed saves\n",
              LeftoverFiles(dir.path(), "plan.cld"));
  const pid_t gone = fork();
  if (gone == 0) _exit(0);
  ASSERT_GT(gone, 0);
  waitpid(gone, nullptr, 0);
  const std::string deadTemp = dir.File(".plan.cld.tmp" + std::to_string(gone) + "-7");
  const std::string ownTemp = dir.File(".plan.cld.tmp" + std::to_string(getpid()) + "-999999");
  { std::ofstream(deadTemp) << "half a save of a killed writer"; }
  { std::ofstream(ownTemp) << "a save of a live writer in progress"; }
  Save(path, PlanNumbered(2));
  EXPECT_FALSE(platform::FileExists(deadTemp));
  EXPECT_TRUE(platform::FileExists(ownTemp));
  EXPECT_EQ(LeftoverFiles(dir.path(), "plan.cld"), 1u);
}

TEST(CrashSafety, KilledSettingsWriteLeavesOldOrNewContentWhole) {
  ScratchDir dir;
  const std::string path = dir.File(settings::kFileName);
  ASSERT_TRUE(settings::WriteDefaultSettingsIfMissing(path));
  const std::string defaults = Read(path);
  const std::string names[2] = {dir.File("первый кабинет.cld"), dir.File("second.cld")};
  std::set<std::string> whole = {defaults};
  for (const std::string& name : names) {
    ini::IniFile(path).WriteString(settings::kInterface, settings::kClassRoomConfigurationFile, name);
    whole.insert(Read(path));
  }
  for (const std::string& name : names) {  // the second round replaces in place
    ini::IniFile(path).WriteString(settings::kInterface, settings::kClassRoomConfigurationFile, name);
    whole.insert(Read(path));
  }
  ASSERT_EQ(whole.size(), 3u);

  std::mt19937 random(11);
  for (int round = 0; round < 80; ++round) {
    KillDuring(
        [&] {
          for (int g = 0;; ++g) {
            ini::IniFile file(path);
            file.WriteString(settings::kInterface, settings::kClassRoomConfigurationFile,
                             names[g % 2]);
            file.Flush();
          }
        },
        random, 5000);
    const std::string after = Read(path);
    ASSERT_TRUE(whole.count(after)) << "round " << round << ": torn settings of " << after.size()
                                    << " bytes";
    const std::string current = ini::IniFile(path).ReadString(
        settings::kInterface, settings::kClassRoomConfigurationFile, "***");
    ASSERT_TRUE(current == names[0] || current == names[1]) << current;
    // The rest of the settings is intact.
    EXPECT_EQ(ini::IniFile(path).ReadString(settings::kCommunication, settings::kPortName, ""),
              "COM1");
  }
}

TEST(CrashSafety, KilledPortLockHolderFreesTheLockWithinOneWait) {
  const std::string name = testsupport::TestLockName("crash");
  constexpr int kWaitMs = 700;  // the interface's wait for the port
  std::mt19937 random(5);
  for (int round = 0; round < 40; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const bool holdsForever = round % 2 == 0;
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      close(ready[0]);
      auto lock = platform::CreateNamedLock(name);
      if (!lock) _exit(2);
      if (holdsForever) {
        if (lock->Wait(-1) != platform::LockWait::kAcquired) _exit(3);
        (void)!write(ready[1], "h", 1);
        for (;;) pause();
      }
      // Takes and gives the lock in a tight loop, like a busy poll thread.
      (void)!write(ready[1], "l", 1);
      for (;;) {
        if (lock->Wait(-1) == platform::LockWait::kAcquired) {
          std::this_thread::sleep_for(std::chrono::microseconds(300));
          lock->Release();
        }
      }
    }
    close(ready[1]);
    char c = 0;
    ASSERT_EQ(read(ready[0], &c, 1), 1) << "the child could not take the lock";
    close(ready[0]);

    auto lock = platform::CreateNamedLock(name);
    ASSERT_NE(lock, nullptr);
    if (holdsForever) {
      // While the holder lives, the lock stays taken.
      ASSERT_EQ(lock->Wait(50), platform::LockWait::kTimedOut);
    }
    // Half the time this console is already waiting when the holder dies.
    const bool waitingAlready = round % 4 < 2;
    std::thread waiter;
    platform::LockWait result = platform::LockWait::kFailed;
    if (waitingAlready) {
      waiter = std::thread([&] {
        result = lock->Wait(kWaitMs);
        if (result == platform::LockWait::kAcquired) lock->Release();
      });
      std::this_thread::sleep_for(std::chrono::milliseconds(random() % 200));
    } else {
      std::this_thread::sleep_for(std::chrono::microseconds(random() % 3000));
    }
    kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    if (waitingAlready) {
      waiter.join();
      // A waiter that started up to 200 ms before the kill gets the lock in
      // that same wait.
      ASSERT_EQ(result, platform::LockWait::kAcquired);
    } else {
      ASSERT_EQ(lock->Wait(kWaitMs), platform::LockWait::kAcquired);
      lock->Release();
    }
    lock.reset();
  }
}

}  // namespace
