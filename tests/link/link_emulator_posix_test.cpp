// The link over a real pseudo-terminal against vormik-emulator: frames, retries, the poll,
// and the port lock shared with the poll thread and with other processes.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <fstream>
#include <functional>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/eventually.h"
#include "link/Unthread.h"
#include "link/controllerport.h"
#include "link/frame.h"
#include "link/timing.h"
#include "link/transmit.h"
#include "platform/namedlock.h"
#include "tests/support/emulatorprocess.h"
#include "tests/support/tempdir.h"

namespace {

using testsupport::EmulatorProcess;
using testsupport::FramesOnly;
using testsupport::HexText;
using testsupport::PollsOnly;
using testsupport::TraceLine;
using Clock = std::chrono::steady_clock;

std::string UniqueLockName() {
  static int counter = 0;
  return "PortSharing-test-" + std::to_string(getpid()) + "-" + std::to_string(++counter);
}

// Answers the question from a list (No once it runs out) and counts dialogs.
class ScriptedUi : public LinkUi {
 public:
  bool AskRetryConnection() override {
    ++questions;
    if (answers.empty()) return false;
    const bool yes = answers.front();
    answers.pop_front();
    return yes;
  }
  void ShowWaitDialog() override {
    ++dialogs;
    std::this_thread::sleep_for(std::chrono::milliseconds(timing::kWaitDialogMs));
  }
  std::deque<bool> answers;
  int questions = 0;
  int dialogs = 0;
};

class EmulatorLinkTest : public ::testing::Test {
 protected:
  void Start(std::vector<std::string> options = {}) {
    emu = std::make_unique<EmulatorProcess>(std::move(options));
    ASSERT_TRUE(emu->Started()) << emu->Error();
    lockName = UniqueLockName();
    ASSERT_TRUE(port.CreateSharingLock(lockName));
    ASSERT_TRUE(port.OpenControllerPort(emu->linkPath()));
    std::ofstream(settings.File("vormik.ini")) << "[Communication]\r\nNotWaitCSFromMC=0\r\n";
  }
  void TearDown() override {
    port.ClosePort();
    if (!lockName.empty())
      shm_unlink(("/vormik-" + std::to_string(geteuid()) + "-" + lockName + ".lock").c_str());
  }
  std::string SettingsPath() const { return settings.File("vormik.ini"); }

  testsupport::TempDir settings;
  std::unique_ptr<EmulatorProcess> emu;
  ControllerPort port;
  std::string lockName;
};

std::vector<uint8_t> FrameOf(uint8_t c, uint8_t h, uint8_t l) {
  const auto f = frame::Build(c, h, l);
  return std::vector<uint8_t>(f.begin(), f.end());
}

TEST_F(EmulatorLinkTest, GoodControllerTakesOneFrame) {
  Start();
  ScriptedUi ui;
  ControllerLink link(port, SettingsPath(), ui);
  EXPECT_TRUE(link.TransmitFrame(0x84, 0x00, 0xF5));  // check-sum 0xFF, acknowledged by 0x00
  const auto frames = FramesOnly(emu->WaitForTrace(1));
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(HexText(frames[0].rx), HexText(FrameOf(0x84, 0x00, 0xF5)));
  EXPECT_EQ(HexText(frames[0].tx), "00");
  const auto regs = emu->Registers();
  ASSERT_TRUE(regs.has_value());
  EXPECT_EQ(regs->route, 0xF5);
  EXPECT_EQ(ui.questions + ui.dialogs, 0);
  EXPECT_TRUE(link.ProbeController());
}

TEST_F(EmulatorLinkTest, EveryOtherAcknowledgementCostsTwoFramesAndNoQuestion) {
  Start({"--ack-every-other"});
  ScriptedUi ui;
  ControllerLink link(port, SettingsPath(), ui);
  EXPECT_TRUE(link.TransmitFrame(0x82, 0x00, 0x01));
  EXPECT_TRUE(link.TransmitFrame(0x82, 0x00, 0x03));
  const auto frames = FramesOnly(emu->WaitForTrace(4));
  ASSERT_EQ(frames.size(), 4u);
  EXPECT_FALSE(frames[0].Answered());
  EXPECT_TRUE(frames[1].Answered());
  EXPECT_EQ(frames[0].rx, frames[1].rx);
  EXPECT_EQ(ui.questions, 0);
}

TEST_F(EmulatorLinkTest, SilentControllerRepeatsOnceThenAsks) {
  Start({"--silent"});
  ScriptedUi ui;
  ui.answers = {true, false};
  ControllerLink link(port, SettingsPath(), ui);
  EXPECT_FALSE(link.TransmitFrame(0x81, 0x00, 0x01));
  EXPECT_EQ(ui.questions, 2);
  const auto frames = FramesOnly(emu->WaitForTrace(4));
  ASSERT_EQ(frames.size(), 4u);
  for (const TraceLine& f : frames) EXPECT_EQ(HexText(f.rx), "55 30 81 00 01 08");
  // Giving up let go of the lock.
  auto other = platform::CreateNamedLock(lockName);
  ASSERT_NE(other, nullptr);
  std::atomic<bool> acquired{false};
  std::thread([&] {
    acquired = other->Wait(0) == platform::LockWait::kAcquired;
    if (acquired) other->Release();
  }).join();
  EXPECT_TRUE(acquired);
}

TEST_F(EmulatorLinkTest, ProbeOfASilentControllerIsOneFrameAndNoDialog) {
  Start({"--silent"});
  ScriptedUi ui;
  ControllerLink link(port, SettingsPath(), ui);
  EXPECT_FALSE(link.ProbeController());
  const auto frames = FramesOnly(emu->WaitForTrace(1));
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(HexText(frames[0].rx), "55 30 81 00 00 07");
  EXPECT_EQ(ui.questions + ui.dialogs, 0);
}

TEST_F(EmulatorLinkTest, WrongAcknowledgementEndsInTheQuestion) {
  Start({"--wrong-ack"});
  ScriptedUi ui;
  ControllerLink link(port, SettingsPath(), ui);
  EXPECT_FALSE(link.TransmitFrame(0x83, 0x00, 0x08));
  EXPECT_EQ(ui.questions, 1);
  EXPECT_FALSE(link.ProbeController());
}

// Records reports on whatever thread calls it.
class DirectHandover : public IndicatorHandover {
 public:
  void RunIndicatorUpdate(uint8_t high, uint8_t low) override {
    std::lock_guard<std::mutex> g(m);
    reports.push_back({high, low});
  }
  size_t Count() {
    std::lock_guard<std::mutex> g(m);
    return reports.size();
  }
  std::mutex m;
  std::vector<std::pair<uint8_t, uint8_t>> reports;
};

using testsupport::Eventually;

TEST_F(EmulatorLinkTest, PollReportsTheControllersIndicators) {
  Start();
  ASSERT_TRUE(emu->Send("led 1 on")) << emu->Error();
  DirectHandover handover;
  MyReadThread poller(port, handover);
  poller.Resume();
  ASSERT_TRUE(Eventually([&] { return handover.Count() >= 1; }));
  {
    std::lock_guard<std::mutex> g(handover.m);
    EXPECT_EQ(handover.reports[0], std::make_pair(uint8_t{0x00}, uint8_t{0x01}));
  }
  const auto polls = PollsOnly(emu->WaitForTrace(1, 3000, true));
  ASSERT_FALSE(polls.empty());
  EXPECT_EQ(HexText(polls[0].rx), "55 30 03");
  EXPECT_EQ(HexText(polls[0].tx), "00 01 8A");

  // Unanswered polls change nothing.
  ASSERT_TRUE(emu->Send("fault drop-poll on"));
  ASSERT_TRUE(emu->Send("led 14 on"));
  const size_t before = handover.Count();
  const size_t pollsBefore = PollsOnly(emu->Trace()).size();
  ASSERT_TRUE(Eventually([&] { return PollsOnly(emu->Trace()).size() >= pollsBefore + 3; }));
  // At most the one poll answered before the fault reached the emulator.
  EXPECT_LE(handover.Count(), before + 1);
  std::lock_guard<std::mutex> g(handover.m);
  for (const auto& r : handover.reports) EXPECT_EQ(r.first, 0x00) << "desk 14 seen";
}

// Stands in for the interface thread's event queue: the poll thread posts its
// hand-over and waits; the thread that pumps runs it.
class Dispatcher {
 public:
  void RunAndWait(std::function<void()> task) {
    auto done = std::make_shared<std::promise<void>>();
    auto finished = done->get_future();
    {
      std::lock_guard<std::mutex> g(m_);
      queue_.push_back([task = std::move(task), done] {
        task();
        done->set_value();
      });
    }
    cv_.notify_all();
    finished.wait();
  }
  // True once a hand-over is queued and waiting for the pump.
  bool WaitPending(int ms) {
    std::unique_lock<std::mutex> g(m_);
    return cv_.wait_for(g, std::chrono::milliseconds(ms), [this] { return !queue_.empty(); });
  }
  void Pump(int ms) {
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    std::unique_lock<std::mutex> g(m_);
    for (;;) {
      while (!queue_.empty()) {
        auto task = std::move(queue_.front());
        queue_.pop_front();
        g.unlock();
        task();
        g.lock();
      }
      if (cv_.wait_until(g, end) == std::cv_status::timeout && queue_.empty()) return;
    }
  }

 private:
  std::mutex m_;
  std::condition_variable cv_;
  std::deque<std::function<void()>> queue_;
};

class DispatchingUi : public LinkUi {
 public:
  explicit DispatchingUi(Dispatcher& d) : d_(d) {}
  bool AskRetryConnection() override { return ++questions < 10; }
  void ShowWaitDialog() override {
    ++dialogs;
    d_.Pump(timing::kWaitDialogMs);
  }
  int questions = 0;
  int dialogs = 0;

 private:
  Dispatcher& d_;
};

class SlowHandover : public IndicatorHandover {
 public:
  SlowHandover(Dispatcher& d, std::thread::id uiThread) : d_(d), ui_(uiThread) {}
  void RunIndicatorUpdate(uint8_t, uint8_t) override {
    d_.RunAndWait([this] {
      if (std::this_thread::get_id() != ui_) wrongThread = true;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      ++runs;
    });
  }
  std::atomic<int> runs{0};
  std::atomic<bool> wrongThread{false};

 private:
  Dispatcher& d_;
  std::thread::id ui_;
};

TEST_F(EmulatorLinkTest, FramesAndPollsShareThePortWithoutDeadlock) {
  Start();
  ASSERT_TRUE(emu->Send("led 3 on"));
  Dispatcher dispatcher;
  DispatchingUi ui(dispatcher);
  SlowHandover handover(dispatcher, std::this_thread::get_id());
  const auto start = Clock::now();
  {
    MyReadThread poller(port, handover);
    ControllerLink pollingLink(port, SettingsPath(), ui, &poller);
    poller.Resume();
    int stuck = 0;
    for (int i = 0; i < 6; ++i) {
      // Every other command comes while the poll holds the port and waits for
      // its hand-over; the frame can only go once the wait dialog has pumped it.
      if (i % 2 == 0) {
        if (dispatcher.WaitPending(3000)) ++stuck;
      } else {
        dispatcher.Pump(100);
      }
      const int dialogsBefore = ui.dialogs;
      EXPECT_TRUE(pollingLink.TransmitFrame(frame::kLine, 0x00, static_cast<uint8_t>(i))) << i;
      if (i % 2 == 0) {
        EXPECT_GT(ui.dialogs, dialogsBefore) << i;
      }
    }
    EXPECT_EQ(stuck, 3);
    poller.RequestStop();
    while (!poller.WaitStopped(50)) dispatcher.Pump(50);
  }
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(90));
  EXPECT_GE(handover.runs.load(), 1);
  EXPECT_FALSE(handover.wrongThread.load());
  // Every frame went out whole, never split by a poll.
  const auto trace = emu->Trace();
  EXPECT_TRUE(testsupport::GarbageOnly(trace).empty());
  int lineFrames = 0;
  for (const TraceLine& f : FramesOnly(trace))
    if (f.rx.size() == 6 && f.rx[2] == frame::kLine) ++lineFrames;
  EXPECT_GE(lineFrames, 6);
  const auto regs = emu->Registers();
  ASSERT_TRUE(regs.has_value());
  EXPECT_EQ(regs->line, 0x0005);
}

// A child process that takes the named lock, says so on a pipe, and holds it
// for holdMs (or until killed when holdMs < 0).
pid_t HoldLockInChild(const std::string& name, int holdMs) {
  int fds[2];
  if (pipe(fds) != 0) return -1;
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    auto lock = platform::CreateNamedLock(name);
    char ok = (lock && lock->Wait(5000) == platform::LockWait::kAcquired) ? 'y' : 'n';
    if (write(fds[1], &ok, 1) != 1) _exit(2);
    if (ok != 'y') _exit(1);
    if (holdMs < 0) {
      for (;;) pause();
    }
    usleep(static_cast<useconds_t>(holdMs) * 1000);
    lock->Release();
    _exit(0);
  }
  close(fds[1]);
  char ok = 'n';
  const bool told = pid > 0 && read(fds[0], &ok, 1) == 1 && ok == 'y';
  close(fds[0]);
  if (!told && pid > 0) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return -1;
  }
  return pid;
}

TEST_F(EmulatorLinkTest, AnotherProcessHoldingTheLockMakesTheFrameWait) {
  Start();
  const pid_t holder = HoldLockInChild(lockName, 1500);
  ASSERT_GT(holder, 0);
  ScriptedUi ui;
  ControllerLink link(port, SettingsPath(), ui);
  EXPECT_TRUE(link.TransmitFrame(0x81, 0x00, 0x00));
  EXPECT_GE(ui.dialogs, 1);
  int status = 0;
  ASSERT_EQ(waitpid(holder, &status, 0), holder);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(FramesOnly(emu->WaitForTrace(1)).size(), 1u);
}

TEST_F(EmulatorLinkTest, KilledHolderHandsTheLockOn) {
  Start();
  const pid_t holder = HoldLockInChild(lockName, -1);
  ASSERT_GT(holder, 0);
  kill(holder, SIGKILL);
  ASSERT_EQ(waitpid(holder, nullptr, 0), holder);
  ScriptedUi ui;
  ControllerLink link(port, SettingsPath(), ui);
  EXPECT_TRUE(link.TransmitFrame(0x82, 0x00, 0x00));
  EXPECT_EQ(ui.dialogs, 0);
  EXPECT_TRUE(link.TransmitFrame(0x82, 0x00, 0x01));  // and it was released after the first
}

}  // namespace
