// The Win32 named lock across processes: a second process is excluded while
// one holds it, and a killed holder leaves it to the next waiter.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "platform/namedlock.h"

namespace {

using platform::LockWait;

std::string UniqueName() {
  static int counter = 0;
  return "PortSharing-test-" + std::to_string(GetCurrentProcessId()) + "-" +
         std::to_string(++counter);
}

std::string HelperPath() {
  char self[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string path(self, n);
  return path.substr(0, path.find_last_of('\\') + 1) + "vormik-lockholder.exe";
}

// A child process running the helper; killed when the object goes away.
class Helper {
 public:
  explicit Helper(const std::string& args) {
    std::string command = "\"" + HelperPath() + "\" " + args;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    started_ = CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                              &startup, &info_);
    if (started_) CloseHandle(info_.hThread);
  }
  ~Helper() {
    if (started_) {
      TerminateProcess(info_.hProcess, 99);
      WaitForSingleObject(info_.hProcess, 10000);
      CloseHandle(info_.hProcess);
    }
  }
  bool started() const { return started_; }
  void Kill() { TerminateProcess(info_.hProcess, 99); }
  // The exit code, or -1 when the process has not ended within the time.
  int WaitForExit(DWORD ms) {
    if (WaitForSingleObject(info_.hProcess, ms) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    GetExitCodeProcess(info_.hProcess, &code);
    return static_cast<int>(code);
  }

 private:
  bool started_ = false;
  PROCESS_INFORMATION info_{};
};

// Starts a helper that holds the lock and waits until it says so.
std::unique_ptr<Helper> StartHolder(const std::string& name, const char* mode) {
  HANDLE held = CreateEventA(nullptr, TRUE, FALSE, (name + "-held").c_str());
  auto helper = std::make_unique<Helper>(name + " " + mode);
  const bool signalled = helper->started() && WaitForSingleObject(held, 20000) == WAIT_OBJECT_0;
  CloseHandle(held);
  if (!signalled) return nullptr;
  return helper;
}

int Probe(const std::string& name, int ms) {
  Helper probe(name + " probe " + std::to_string(ms));
  if (!probe.started()) return -2;
  return probe.WaitForExit(30000);
}

constexpr int kAcquiredExit = 0;
constexpr int kTimedOutExit = 1;

struct HolderKind {
  const char* mode;  // "hold": the lock of this program; "rawhold": the bare system mutex
};

class NamedLockProcessTest : public ::testing::TestWithParam<HolderKind> {};

TEST_P(NamedLockProcessTest, HolderInAnotherProcessExcludesThisOne) {
  const std::string name = UniqueName();
  auto lock = platform::CreateNamedLock(name);
  ASSERT_NE(nullptr, lock);
  auto holder = StartHolder(name, GetParam().mode);
  ASSERT_NE(nullptr, holder) << "helper did not take the lock: " << HelperPath();

  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(LockWait::kTimedOut, lock->Wait(300));
  // The wait lasted its time-out instead of failing at once.
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(250));
}

TEST_P(NamedLockProcessTest, WaiterGetsTheLockWhenTheHolderIsKilled) {
  const std::string name = UniqueName();
  auto lock = platform::CreateNamedLock(name);
  ASSERT_NE(nullptr, lock);
  auto holder = StartHolder(name, GetParam().mode);
  ASSERT_NE(nullptr, holder);

  std::thread killer([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    holder->Kill();
  });
  // The holder dies while this thread waits: the abandoned mutex counts as acquired.
  const LockWait result = lock->Wait(20000);
  killer.join();
  EXPECT_EQ(LockWait::kAcquired, result);
  if (result != LockWait::kAcquired) return;

  // Now this process holds it: another process is kept out until the release.
  EXPECT_EQ(kTimedOutExit, Probe(name, 200));
  lock->Release();
  EXPECT_EQ(kAcquiredExit, Probe(name, 5000));
}

INSTANTIATE_TEST_SUITE_P(Holders, NamedLockProcessTest,
                         ::testing::Values(HolderKind{"hold"}, HolderKind{"rawhold"}),
                         [](const auto& info) { return std::string(info.param.mode); });

TEST(NamedLockTest, HolderKilledBeforeTheWaitStartsLeavesTheLockAcquirable) {
  const std::string name = UniqueName();
  // Opened before the holder dies, so the mutex outlives it abandoned.
  auto lock = platform::CreateNamedLock(name);
  ASSERT_NE(nullptr, lock);
  auto holder = StartHolder(name, "hold");
  ASSERT_NE(nullptr, holder);
  holder->Kill();
  ASSERT_NE(-1, holder->WaitForExit(10000));
  EXPECT_EQ(LockWait::kAcquired, lock->Wait(2000));
  lock->Release();
}

TEST(NamedLockTest, IsTheSystemsNamedMutex) {
  // Any other program that uses a mutex of the same name must take part.
  const std::string name = UniqueName();
  auto lock = platform::CreateNamedLock(name);
  ASSERT_NE(nullptr, lock);
  HANDLE mutex = OpenMutexA(SYNCHRONIZE, FALSE, name.c_str());
  ASSERT_NE(nullptr, mutex) << "no system mutex named " << name;
  ASSERT_EQ(LockWait::kAcquired, lock->Wait(1000));
  // Another thread of this process waits on the bare mutex and must time out.
  DWORD other = WAIT_FAILED;
  std::thread([&] { other = WaitForSingleObject(mutex, 200); }).join();
  EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), other);
  lock->Release();
  std::thread([&] {
    other = WaitForSingleObject(mutex, 2000);
    if (other == WAIT_OBJECT_0) ReleaseMutex(mutex);
  }).join();
  EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), other);
  CloseHandle(mutex);
}

TEST(NamedLockTest, DifferentNamesDoNotExcludeEachOther) {
  const std::string a = UniqueName();
  auto holder = StartHolder(a, "hold");
  ASSERT_NE(nullptr, holder);
  EXPECT_EQ(kAcquiredExit, Probe(UniqueName(), 2000));
  EXPECT_EQ(kTimedOutExit, Probe(a, 200));
}

}  // namespace
