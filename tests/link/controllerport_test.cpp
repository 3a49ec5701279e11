// The sharing lock of ControllerPort: when the system refuses the named lock,
// the threads of this process are still kept apart by a lock of its own.
#include "link/controllerport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/namedlock.h"
#include "platform/processlock.h"

namespace {

using platform::LockWait;

class MarkerLock : public platform::NamedLock {
 public:
  LockWait Wait(int) override { return LockWait::kAcquired; }
  void Release() override {}
};

// Runs `body` on another thread and returns what it gave.
template <typename Body>
auto OnOtherThread(Body body) {
  decltype(body()) result{};
  std::thread([&] { result = body(); }).join();
  return result;
}

TEST(ControllerPortLock, RefusedNamedLockFallsBackToAnInProcessOne) {
  struct Row {
    const char* name;
    ControllerPort::LockFactory factory;
  } rows[] = {
      {"factory gives nothing", [](const std::string&) { return nullptr; }},
      {"no factory", nullptr},
  };
  for (const Row& r : rows) {
    ControllerPort port;
    EXPECT_FALSE(port.CreateSharingLock("PortSharing-test", r.factory)) << r.name;
    platform::NamedLock* lock = port.lock();
    ASSERT_NE(lock, nullptr) << r.name;
    ASSERT_EQ(lock->Wait(0), LockWait::kAcquired) << r.name;
    EXPECT_EQ(OnOtherThread([lock] { return lock->Wait(50); }), LockWait::kTimedOut) << r.name;
    lock->Release();
    EXPECT_EQ(OnOtherThread([lock] {
                const LockWait w = lock->Wait(1000);
                if (w == LockWait::kAcquired) lock->Release();
                return w;
              }),
              LockWait::kAcquired)
        << r.name;
  }
}

TEST(ControllerPortLock, NamedLockFromTheFactoryIsKept) {
  ControllerPort port;
  std::string askedFor;
  platform::NamedLock* made = nullptr;
  EXPECT_TRUE(port.CreateSharingLock("PortSharing-test-x", [&](const std::string& name) {
    askedFor = name;
    auto lock = std::make_unique<MarkerLock>();
    made = lock.get();
    return std::unique_ptr<platform::NamedLock>(std::move(lock));
  }));
  EXPECT_EQ(askedFor, "PortSharing-test-x");
  EXPECT_EQ(port.lock(), made);
}

TEST(ControllerPortLock, RefusalIsExplained) {
  ControllerPort port;
  EXPECT_TRUE(port.CreateSharingLock("x", [](const std::string&) {
    return std::unique_ptr<platform::NamedLock>(std::make_unique<MarkerLock>());
  }));
  EXPECT_EQ(port.sharingLockProblem(), "");
  EXPECT_FALSE(port.CreateSharingLock("PortSharing-test-y", nullptr));
  EXPECT_NE(port.sharingLockProblem().find("PortSharing-test-y"), std::string::npos);
  EXPECT_NE(port.sharingLockProblem().find("только внутри этой программы"), std::string::npos);
}

TEST(ControllerPortLock, NameIsPerDeviceOnLinuxAndTheSharedMutexOnWindows) {
  struct Row {
    const char* port;
    const char* base;
    const char* linuxName;
  } rows[] = {
      {"COM1", "PortSharing", "PortSharing:/dev/ttyS0"},
      {"/dev/ttyS0", "PortSharing", "PortSharing:/dev/ttyS0"},
      {"ttyUSB0", "PortSharing", "PortSharing:/dev/ttyUSB0"},
      {"/tmp/x/ttyEMU", "PortSharing-test", "PortSharing-test:/tmp/x/ttyEMU"},
      {"COM0", "PortSharing", "PortSharing:COM0"},
  };
  for (const Row& r : rows) {
#ifdef _WIN32
    EXPECT_EQ(ControllerPort::SharingLockName(r.port, r.base), r.base) << r.port;
#else
    EXPECT_EQ(ControllerPort::SharingLockName(r.port, r.base), r.linuxName) << r.port;
#endif
  }
}

TEST(ProcessLock, IsRecursiveForItsOwnerAndDeafToOtherThreadsReleases) {
  auto lock = platform::CreateProcessLock();
  platform::NamedLock* l = lock.get();
  ASSERT_EQ(l->Wait(0), LockWait::kAcquired);
  ASSERT_EQ(l->Wait(0), LockWait::kAcquired);  // the owner again
  // A release from a thread that does not own it changes nothing.
  EXPECT_EQ(OnOtherThread([l] {
              l->Release();
              return l->Wait(30);
            }),
            LockWait::kTimedOut);
  l->Release();  // one level still held
  EXPECT_EQ(OnOtherThread([l] { return l->Wait(30); }), LockWait::kTimedOut);
  l->Release();
  // A release too many is harmless and does not free someone else's hold.
  l->Release();
  std::atomic<bool> otherHolds{false};
  std::atomic<bool> letGo{false};
  std::thread holder([&] {
    ASSERT_EQ(l->Wait(1000), LockWait::kAcquired);
    otherHolds = true;
    while (!letGo) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    l->Release();
  });
  while (!otherHolds) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  l->Release();
  EXPECT_EQ(l->Wait(30), LockWait::kTimedOut);
  letGo = true;
  holder.join();
  EXPECT_EQ(l->Wait(-1), LockWait::kAcquired);  // for ever, but free
  l->Release();
}

// Two threads taking turns as the interface and the poll do: never both inside.
TEST(ProcessLock, TwoThreadsNeverHoldItTogether) {
  ControllerPort port;
  ASSERT_FALSE(port.CreateSharingLock("PortSharing-test", nullptr));
  platform::NamedLock* lock = port.lock();
  std::atomic<int> inside{0};
  std::atomic<int> overlaps{0};
  std::atomic<int> entries{0};
  auto worker = [&](int timeoutMs) {
    for (int i = 0; i < 300; ++i) {
      if (lock->Wait(timeoutMs) != LockWait::kAcquired) continue;
      if (inside.fetch_add(1) != 0) overlaps.fetch_add(1);
      ++entries;
      std::this_thread::yield();
      inside.fetch_sub(1);
      lock->Release();
    }
  };
  std::thread a(worker, 700);
  std::thread b(worker, 200);
  a.join();
  b.join();
  EXPECT_EQ(overlaps.load(), 0);
  EXPECT_GT(entries.load(), 300);
}

}  // namespace
