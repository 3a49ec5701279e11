// The Linux named lock: exclusion between threads and processes, recursion,
// refusal of a foreign release, and hand-over when the holder is killed.
#include "platform/namedlock.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sched.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "link/controllerport.h"
#include "tests/support/locknames.h"

namespace {

using platform::CreateNamedLock;
using platform::LockWait;
using Clock = std::chrono::steady_clock;

// A name of this test process only, so parallel runs never meet.
std::string TestName(const std::string& tag) { return testsupport::TestLockName(tag); }

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
  void TearDown() override { testsupport::RemoveTestLockObjects(); }
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

// A child that holds a flock on the file until killed.
pid_t HoldFlock(const std::string& path) {
  int ready[2];
  if (pipe(ready) != 0) return -1;
  const pid_t child = fork();
  if (child == 0) {
    close(ready[0]);
    const int fd = open(path.c_str(), O_RDWR);
    const char ok = fd >= 0 && flock(fd, LOCK_EX) == 0 ? 'y' : 'n';
    if (write(ready[1], &ok, 1) != 1) _exit(2);
    for (;;) pause();
  }
  close(ready[1]);
  char ok = 'n';
  const bool held = child > 0 && read(ready[0], &ok, 1) == 1 && ok == 'y';
  close(ready[0]);
  return held ? child : -1;
}

// Objects another user (or a broken program) could leave where the lock lives:
// each is refused at once, with a reason, and never flocked or waited on.
TEST_F(NamedLockTest, PlantedOrDamagedObjectsAreRefusedWithAReason) {
  const bool root = geteuid() == 0;
  struct Row {
    const char* tag;
    std::function<void(const std::string& path)> plant;
    bool heldByStranger;
    const char* reason;
  } rows[] = {
      {"link",
       [](const std::string& path) { ASSERT_EQ(symlink("/tmp/elsewhere", path.c_str()), 0); },
       false, "символическая ссылка"},
      {"open-to-all",
       [](const std::string& path) {
         const int fd = open(path.c_str(), O_CREAT | O_RDWR, 0600);
         ASSERT_GE(fd, 0);
         fchmod(fd, 0666);
         close(fd);
       },
       true, "доступен другим пользователям (права 0666)"},
      {"foreign-owner",
       [root](const std::string& path) {
         const int fd = open(path.c_str(), O_CREAT | O_RDWR, 0600);
         ASSERT_GE(fd, 0);
         // Only root can hand a file to another user; others test the mode.
         if (root) {
           ASSERT_EQ(fchown(fd, 65534, 65534), 0);
         } else {
           fchmod(fd, 0620);
         }
         close(fd);
       },
       true, root ? "принадлежит другому пользователю (uid 65534)" : "доступен другим"},
      {"wrong-size",
       [](const std::string& path) {
         const int fd = open(path.c_str(), O_CREAT | O_RDWR, 0600);
         ASSERT_GE(fd, 0);
         ASSERT_EQ(write(fd, "garbage", 7), 7);
         close(fd);
       },
       false, "повреждён"},
      {"garbage",
       [](const std::string& path) {
         auto lock = CreateNamedLock(TestName("size-probe"));
         struct stat st {};
         ASSERT_EQ(stat(platform::NamedLockObjectPath(TestName("size-probe")).c_str(), &st), 0);
         const int fd = open(path.c_str(), O_CREAT | O_RDWR, 0600);
         ASSERT_GE(fd, 0);
         const std::string noise(static_cast<size_t>(st.st_size), '\x5A');
         ASSERT_EQ(write(fd, noise.data(), noise.size()), static_cast<ssize_t>(noise.size()));
         close(fd);
       },
       false, "повреждён"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.tag);
    const std::string name = TestName(r.tag);
    const std::string path = platform::NamedLockObjectPath(name);
    r.plant(path);
    pid_t stranger = -1;
    if (r.heldByStranger) {
      stranger = HoldFlock(path);
      ASSERT_GT(stranger, 0);
    }
    std::string problem;
    const auto start = Clock::now();
    EXPECT_EQ(platform::OpenNamedLock(name, problem), nullptr);
    // Refused within the flock's few tries, not after a wait for the stranger.
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(3));
    EXPECT_NE(problem.find(path), std::string::npos) << problem;
    EXPECT_NE(problem.find(r.reason), std::string::npos) << problem;
    if (stranger > 0) {
      kill(stranger, SIGKILL);
      waitpid(stranger, nullptr, 0);
    }
    unlink(path.c_str());
  }
  // Once the object is gone the lock is made again, without a complaint.
  std::string problem = "unchanged";
  EXPECT_NE(platform::OpenNamedLock(TestName("link"), problem), nullptr);
  EXPECT_EQ(problem, "");
}

// The flock of an object of our own, held by a process that never lets go:
// refused after the bounded tries instead of hanging.
TEST_F(NamedLockTest, ObjectFlockedForEverIsRefusedNotWaitedOn) {
  const std::string name = TestName("flocked");
  ASSERT_NE(CreateNamedLock(name), nullptr);
  const pid_t stranger = HoldFlock(platform::NamedLockObjectPath(name));
  ASSERT_GT(stranger, 0);
  std::string problem;
  EXPECT_EQ(platform::OpenNamedLock(name, problem), nullptr);
  EXPECT_NE(problem.find("занят другим процессом"), std::string::npos) << problem;
  kill(stranger, SIGKILL);
  waitpid(stranger, nullptr, 0);
  EXPECT_NE(CreateNamedLock(name), nullptr);
}

// Another user can fill /dev/shm. Mapping a page that cannot be given kills
// the process (SIGBUS); the page is reserved first, so the lock is refused
// with the reason and the port keeps an in-process lock. Runs in a child with
// its own mount namespace and a tiny, full /dev/shm.
TEST_F(NamedLockTest, AFullDevShmRefusesTheLockInsteadOfKillingTheProgram) {
  constexpr int kNotPermitted = 77;
  const pid_t child = fork();
  if (child == 0) {
    if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount("tmpfs", "/dev/shm", "tmpfs", 0, "size=16k") != 0) {
      _exit(kNotPermitted);
    }
    const int filler = open("/dev/shm/filler", O_WRONLY | O_CREAT, 0600);
    while (write(filler, "f", 1) == 1) {
    }
    close(filler);
    std::string problem;
    if (platform::OpenNamedLock("full", problem) != nullptr) _exit(1);
    if (problem.find("нет свободного места") == std::string::npos) _exit(2);
    ControllerPort port;
    if (port.CreateSharingLock("full")) _exit(3);
    if (port.sharingLockProblem().find("только внутри этой программы") == std::string::npos) _exit(4);
    if (port.lock() == nullptr || port.lock()->Wait(100) != platform::LockWait::kAcquired) _exit(5);
    port.lock()->Release();
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "the child died of signal " << WTERMSIG(status);
  if (WEXITSTATUS(status) == kNotPermitted) {
    GTEST_SKIP() << "a mount namespace with its own /dev/shm needs root (CAP_SYS_ADMIN)";
  }
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: lock given, 2: no reason, 3-5: no in-process lock";
}

}  // namespace
