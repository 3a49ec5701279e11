// The Linux named lock: exclusion between threads and processes, recursion,
// refusal of a foreign release, and hand-over when the holder is killed.
#include "platform/namedlock.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace {

using platform::CreateNamedLock;
using platform::LockWait;
using Clock = std::chrono::steady_clock;

// A name of this test process only, so parallel runs never meet.
std::string TestName(const std::string& tag) {
  return "PortSharing-test-" + std::to_string(getpid()) + "-" + tag;
}

// Runs one wait on a fresh thread (the lock belongs to the thread).
LockWait WaitOnOtherThread(platform::NamedLock& lock, int timeoutMs, bool releaseAfter = true) {
  LockWait result = LockWait::kFailed;
  std::thread([&] {
    result = lock.Wait(timeoutMs);
    if (result == LockWait::kAcquired && releaseAfter) lock.Release();
  }).join();
  return result;
}

class NamedLockTest : public ::testing::Test {
 protected:
  // Removes the shared objects this process made.
  void TearDown() override {
    const std::string mark = "PortSharing-test-" + std::to_string(getpid()) + "-";
    if (DIR* dir = opendir("/dev/shm")) {
      while (dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.find(mark) != std::string::npos) unlink(("/dev/shm/" + name).c_str());
      }
      closedir(dir);
    }
  }
};

TEST_F(NamedLockTest, ThreadsExcludeEachOther) {
  auto lock = CreateNamedLock(TestName("threads"));
  auto sameName = CreateNamedLock(TestName("threads"));  // a second opener
  ASSERT_TRUE(lock && sameName);
  ASSERT_EQ(lock->Wait(0), LockWait::kAcquired);
  const auto start = Clock::now();
  EXPECT_EQ(WaitOnOtherThread(*sameName, 100), LockWait::kTimedOut);
  const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
  EXPECT_GE(waited.count(), 80);
  EXPECT_LT(waited.count(), 2000);
  lock->Release();
  EXPECT_EQ(WaitOnOtherThread(*sameName, 1000), LockWait::kAcquired);

  std::atomic<bool> inside{false};
  std::atomic<int> overlaps{0};
  std::atomic<int> failures{0};
  auto worker = [&](platform::NamedLock& l) {
    for (int i = 0; i < 300; ++i) {
      if (l.Wait(5000) != LockWait::kAcquired) {
        ++failures;
        continue;
      }
      if (inside.exchange(true)) ++overlaps;
      std::this_thread::yield();
      inside = false;
      l.Release();
    }
  };
  std::thread a(worker, std::ref(*lock));
  std::thread b(worker, std::ref(*sameName));
  a.join();
  b.join();
  EXPECT_EQ(overlaps.load(), 0);
  EXPECT_EQ(failures.load(), 0);
}

TEST_F(NamedLockTest, OwnerMayTakeItAgainAndMustReleaseAsOften) {
  auto lock = CreateNamedLock(TestName("recursive"));
  ASSERT_TRUE(lock);
  ASSERT_EQ(lock->Wait(100), LockWait::kAcquired);
  ASSERT_EQ(lock->Wait(100), LockWait::kAcquired);
  lock->Release();
  EXPECT_EQ(WaitOnOtherThread(*lock, 50), LockWait::kTimedOut);
  lock->Release();
  EXPECT_EQ(WaitOnOtherThread(*lock, 1000), LockWait::kAcquired);
}

TEST_F(NamedLockTest, ReleaseByAnotherThreadIsRefused) {
  auto lock = CreateNamedLock(TestName("foreign"));
  ASSERT_TRUE(lock);
  lock->Release();  // not held by anyone: refused, no crash
  ASSERT_EQ(lock->Wait(100), LockWait::kAcquired);
  std::thread([&] { lock->Release(); }).join();
  EXPECT_EQ(WaitOnOtherThread(*lock, 50), LockWait::kTimedOut);
  lock->Release();
  EXPECT_EQ(WaitOnOtherThread(*lock, 1000), LockWait::kAcquired);
}

TEST_F(NamedLockTest, NamesDoNotCollide) {
  // Names that a careless clean-up of odd characters would fold together.
  const std::vector<std::string> names = {TestName("a/b"),
                                          TestName("a_b"),
                                          TestName("a%2Fb"),
                                          TestName("a b"),
                                          TestName(std::string(300, 'x')),
                                          TestName(std::string(299, 'x') + "y")};
  std::vector<std::unique_ptr<platform::NamedLock>> locks;
  for (const auto& name : names) {
    locks.push_back(CreateNamedLock(name));
    ASSERT_TRUE(locks.back()) << name;
  }
  ASSERT_EQ(locks[0]->Wait(0), LockWait::kAcquired);
  ASSERT_EQ(locks[4]->Wait(0), LockWait::kAcquired);
  for (size_t i : {1u, 2u, 3u, 5u}) {
    EXPECT_EQ(WaitOnOtherThread(*locks[i], 0), LockWait::kAcquired) << names[i];
  }
  locks[0]->Release();
  locks[4]->Release();
}

TEST_F(NamedLockTest, KilledHolderInAnotherProcessHandsItOn) {
  const std::string name = TestName("killed");
  auto lock = CreateNamedLock(name);
  ASSERT_TRUE(lock);
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(ready[0]);
    auto mine = CreateNamedLock(name);
    const char ok = mine && mine->Wait(-1) == LockWait::kAcquired ? 'y' : 'n';
    if (write(ready[1], &ok, 1) != 1) _exit(2);
    for (;;) pause();
  }
  close(ready[1]);
  char ok = 0;
  ASSERT_EQ(read(ready[0], &ok, 1), 1);
  close(ready[0]);
  ASSERT_EQ(ok, 'y');
  EXPECT_EQ(lock->Wait(100), LockWait::kTimedOut);
  kill(child, SIGKILL);
  ASSERT_EQ(waitpid(child, nullptr, 0), child);
  EXPECT_EQ(lock->Wait(2000), LockWait::kAcquired);
  EXPECT_EQ(WaitOnOtherThread(*lock, 50), LockWait::kTimedOut);
  lock->Release();
  EXPECT_EQ(WaitOnOtherThread(*lock, 1000), LockWait::kAcquired);
}

}  // namespace
