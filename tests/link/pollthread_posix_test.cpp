// The poll thread over a scripted port and lock: reports handed over under
// the lock, bad replies ignored, a lost port looked for, a prompt stop.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "link/controllerport.h"
#include "link/pollthread.h"
#include "tests/link/scriptedport.h"
#include "tests/support/eventually.h"

namespace {

using scriptedport::Bytes;
using scriptedport::Clock;
using scriptedport::Controller;
using scriptedport::FakeLock;
using scriptedport::LinkTest;

// Records hand-overs; optionally checks the lock is held while it runs.
class RecordingHandover : public IndicatorHandover {
 public:
  explicit RecordingHandover(FakeLock* lock = nullptr) : lock_(lock) {}
  void RunIndicatorUpdate(uint8_t high, uint8_t low) override {
    std::lock_guard<std::mutex> g(m_);
    reports_.push_back({high, low});
    if (lock_ != nullptr && !lock_->Held()) withoutLock_ = true;
  }
  size_t Count() {
    std::lock_guard<std::mutex> g(m_);
    return reports_.size();
  }
  std::vector<std::pair<uint8_t, uint8_t>> Reports() {
    std::lock_guard<std::mutex> g(m_);
    return reports_;
  }
  bool WithoutLock() {
    std::lock_guard<std::mutex> g(m_);
    return withoutLock_;
  }

 private:
  FakeLock* lock_;
  std::mutex m_;
  std::vector<std::pair<uint8_t, uint8_t>> reports_;
  bool withoutLock_ = false;
};

using testsupport::Eventually;

TEST_F(LinkTest, PollThreadStartsSuspendedAndHandsOverValidReportsUnderTheLock) {
  device->controller = Controller(1, 0x20, 0x01);
  RecordingHandover handover(lock);
  PollThread poller(port, handover);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_TRUE(Written().empty());
  poller.Resume();
  ASSERT_TRUE(Eventually([&] { return handover.Count() >= 2; }));
  poller.Suspend();
  EXPECT_EQ(handover.Reports()[0], std::make_pair(uint8_t{0x20}, uint8_t{0x01}));
  EXPECT_EQ(poller.StatusHigh(), 0x20);
  EXPECT_EQ(poller.StatusLow(), 0x01);
  EXPECT_FALSE(handover.WithoutLock());
  const Bytes w = Written();
  ASSERT_GE(w.size(), 6u);
  EXPECT_EQ(Bytes(w.begin(), w.begin() + 6), (Bytes{0x55, 0x30, 0x03, 0x55, 0x30, 0x03}));
  {
    std::lock_guard<std::mutex> g(lock->m);
    for (int t : lock->waitTimeouts) EXPECT_EQ(t, 200);
  }
  // Suspended: once the exchange in progress is over, no more polls.
  std::this_thread::sleep_for(std::chrono::milliseconds(700));
  const size_t settled = Written().size();
  std::this_thread::sleep_for(std::chrono::milliseconds(700));
  EXPECT_EQ(Written().size(), settled);
  EXPECT_FALSE(lock->Held());
  poller.RequestStop();
  EXPECT_TRUE(poller.WaitStopped(3000));
}

TEST_F(LinkTest, PollIgnoresBadChecksumsAndShortReplies) {
  struct Row {
    const char* name;
    Bytes reply;
  } rows[] = {{"wrong check-sum", {0x00, 0x01, 0x8B}},
              {"two bytes only", {0x00, 0x01}},
              {"nothing", {}}};
  for (const Row& r : rows) {
    device->written.clear();
    device->reads = 0;
    Bytes reply = r.reply;
    device->controller = [reply](const Bytes&) { return reply; };
    RecordingHandover handover;
    {
      PollThread poller(port, handover);
      poller.Resume();
      ASSERT_TRUE(Eventually([&] { return Written().size() >= 6; })) << r.name;
    }
    EXPECT_EQ(handover.Count(), 0u) << r.name;
    EXPECT_FALSE(lock->Held()) << r.name;
  }
}

TEST_F(LinkTest, PollLooksForALostPortAtMostOnceASecond) {
  port.ClosePort();
  device->opens = false;
  device->opensTried = 0;
  RecordingHandover handover;
  const auto start = Clock::now();
  {
    PollThread poller(port, handover);
    poller.Resume();
    std::this_thread::sleep_for(std::chrono::milliseconds(2300));
    EXPECT_EQ(port.status().Snapshot().state, LinkState::kDeviceMissing);
    EXPECT_EQ(handover.Count(), 0u);
    {
      std::lock_guard<std::mutex> g(device->m);
      device->opens = true;  // plugged back in
    }
    ASSERT_TRUE(Eventually([&] { return handover.Count() >= 1; }));
    poller.RequestStop();
    ASSERT_TRUE(poller.WaitStopped(3000));
  }
  const long seconds = static_cast<long>(
      std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - start).count());
  EXPECT_GE(device->opensTried, 3);
  EXPECT_LE(device->opensTried, seconds + 1);
  EXPECT_EQ(port.status().Snapshot().state, LinkState::kAnswering);
  EXPECT_FALSE(lock->Held());
}

TEST_F(LinkTest, PollSkipsTheRoundWhenThePortIsBusyOrTheLockBroken) {
  lock->script = {platform::LockWait::kTimedOut, platform::LockWait::kFailed,
                  platform::LockWait::kFailed};
  RecordingHandover handover;
  PollThread poller(port, handover);
  poller.Resume();
  ASSERT_TRUE(Eventually([&] { return handover.Count() >= 1; }));
  poller.RequestStop();
  ASSERT_TRUE(poller.WaitStopped(3000));
  std::lock_guard<std::mutex> g(lock->m);
  // Three refused rounds and then polls: a refused round never spins.
  EXPECT_GE(lock->waitTimeouts.size(), 4u);
  EXPECT_LE(lock->waitTimeouts.size(), 10u);
  EXPECT_EQ(lock->releases + 3, static_cast<int>(lock->waitTimeouts.size()));
}

TEST_F(LinkTest, StopEndsASuspendedOrSleepingThreadPromptly) {
  RecordingHandover handover;
  {
    PollThread suspended(port, handover);
    suspended.RequestStop();
    EXPECT_TRUE(suspended.StopRequested());
    EXPECT_TRUE(suspended.WaitStopped(3000));
  }
  PollThread sleeping(port, handover);
  sleeping.Resume();
  ASSERT_TRUE(Eventually([&] { return handover.Count() >= 1; }));
  const auto start = Clock::now();
  sleeping.RequestStop();
  EXPECT_TRUE(sleeping.WaitStopped(3000));
  EXPECT_TRUE(sleeping.WaitStopped(0));  // asking again after the join is fine
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(3));
  // Nothing more is sent once it has ended.
  const size_t after = Written().size();
  std::this_thread::sleep_for(std::chrono::milliseconds(600));
  EXPECT_EQ(Written().size(), after);
}


}  // namespace
