// The port shared over a real pseudo-terminal against vormik-emulator: the
// console's frames and its poll thread, and the lock with other processes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
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

#include "link/controllerport.h"
#include "link/frame.h"
#include "link/pollthread.h"
#include "link/sendswitchrequest.h"
#include "link/timing.h"
#include "link/transmit.h"
#include "platform/namedlock.h"
#include "tests/support/emulatorprocess.h"
#include "tests/support/eventually.h"
#include "tests/support/reportrecorder.h"
#include "tests/support/locknames.h"
#include "tests/support/tempdir.h"
#include "tests/link/emulatorlink.h"

namespace emulatorlink {
namespace {
using Clock = std::chrono::steady_clock;

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
  // Queues a task and returns at once (a queued call).
  void Post(std::function<void()> task) {
    {
      std::lock_guard<std::mutex> g(m_);
      queue_.push_back(std::move(task));
    }
    cv_.notify_all();
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
    PollThread poller(port, handover);
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

// A busy child process per core for the span of a test: the load under
// which a click once waited behind the poll for many seconds.
class CpuLoad {
 public:
  CpuLoad() {
    const long cores = std::max(1L, sysconf(_SC_NPROCESSORS_ONLN));
    for (long i = 0; i < cores; ++i) {
      const pid_t pid = fork();
      if (pid == 0) {
        for (volatile unsigned long n = 0;; n = n + 1) {
        }
      }
      if (pid > 0) children_.push_back(pid);
    }
  }
  ~CpuLoad() {
    for (pid_t pid : children_) kill(pid, SIGKILL);
    for (pid_t pid : children_) waitpid(pid, nullptr, 0);
  }
  size_t size() const { return children_.size(); }

 private:
  std::vector<pid_t> children_;
};

// The window's way: the hand-over is queued to the interface thread, which
// runs it when it next dispatches.
class QueuedHandover : public IndicatorHandover {
 public:
  explicit QueuedHandover(Dispatcher& d) : d_(d) {}
  void RunIndicatorUpdate(uint8_t, uint8_t) override { ++runs; }
  void PostToInterface(std::function<void()> run) override { d_.Post(std::move(run)); }
  std::atomic<int> runs{0};

 private:
  Dispatcher& d_;
};

TEST_F(EmulatorLinkTest, UnderCpuLoadAFrameWaitsBehindOnePollAtMost) {
  Start();
  CpuLoad load;
  ASSERT_GT(load.size(), 0u);
  Dispatcher dispatcher;
  DispatchingUi ui(dispatcher);
  QueuedHandover handover(dispatcher);
  PollThread poller(port, handover);
  ControllerLink link(port, SettingsPath(), ui, &poller);
  poller.Resume();
  constexpr int kFrames = 6;
  for (int i = 0; i < kFrames; ++i) {
    // The poll holds the port and waits for a hand-over nobody runs yet.
    ASSERT_TRUE(dispatcher.WaitPending(10000)) << i;
    const uint64_t turnsAsked = port.PollTurns();
    uint64_t turnsAtSend = 0;
    EXPECT_TRUE(link.TransmitComposed([&]() -> std::optional<RegisterWrite> {
      turnsAtSend = port.PollTurns();
      return RegisterWrite{frame::kLine, 0x00, static_cast<uint8_t>(i)};
    })) << i;
    // The poll in progress gave the port up; no other poll came first, and
    // no wait dialog was needed to pump its hand-over.
    EXPECT_EQ(turnsAtSend, turnsAsked) << i;
    EXPECT_EQ(ui.dialogs, 0) << i;
    // Between clicks the interface dispatches: reports are applied again.
    dispatcher.Pump(1500);
  }
  poller.RequestStop();
  while (!poller.WaitStopped(50)) dispatcher.Pump(50);
  EXPECT_GE(handover.runs.load(), 1);
  const auto trace = emu->Trace();
  EXPECT_TRUE(testsupport::GarbageOnly(trace).empty());
  const auto regs = emu->Registers();
  ASSERT_TRUE(regs.has_value());
  EXPECT_EQ(regs->line, kFrames - 1);
}

// A poll whose hand-over blocks (an update already under way) keeps the port;
// the wait dialog then names the console's own poll, not another program.
TEST_F(EmulatorLinkTest, TheWaitDialogNamesTheConsolesOwnPoll) {
  Start();
  Dispatcher dispatcher;
  struct NamingUi : DispatchingUi {
    using DispatchingUi::DispatchingUi;
    bool ShowCancellableWait(const std::string& reason) override {
      reasons.push_back(reason);
      ShowWaitDialog();
      return true;
    }
    std::vector<std::string> reasons;
  } ui(dispatcher);
  SlowHandover handover(dispatcher, std::this_thread::get_id());
  PollThread poller(port, handover);
  ControllerLink link(port, SettingsPath(), ui, &poller);
  poller.Resume();
  ASSERT_TRUE(dispatcher.WaitPending(5000));
  EXPECT_TRUE(link.TransmitFrame(frame::kLine, 0x00, 0x01));
  ASSERT_FALSE(ui.reasons.empty());
  EXPECT_EQ(ui.reasons[0], PortBusyText(emu->linkPath(), PortHolder::kOwnPoll));
  poller.RequestStop();
  while (!poller.WaitStopped(50)) dispatcher.Pump(50);
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

// Passes each write on and keeps the ones that went out, in order.
class RecordingSender : public FrameSender {
 public:
  explicit RecordingSender(ControllerLink& link) : link_(link) {}
  bool TransmitFrame(uint8_t command, uint8_t high, uint8_t low) override {
    return TransmitComposed([&]() -> std::optional<RegisterWrite> {
      return RegisterWrite{command, high, low};
    });
  }
  bool TransmitComposed(const WriteComposer& compose) override {
    std::optional<RegisterWrite> write;
    const bool ok = link_.TransmitComposed([&] { return write = compose(); });
    if (ok && write) sent.push_back(FrameOf(write->command, write->high, write->low));
    return ok;
  }
  std::vector<std::vector<uint8_t>> sent;

 private:
  ControllerLink& link_;
};

// NotWaitCSFromMC=1 at the pace of a real line: the start-up's probe and
// reset, then requests of every type, back to back. Every frame reaches the
// controller whole and in order, and a running poll never cuts one.
void SendWithoutAwaitingAnswers(EmulatorProcess& emu, ControllerPort& port,
                                const std::string& settings, bool poll) {
  ScriptedUi ui;
  testsupport::ReportRecorder handover;
  PollThread poller(port, handover);
  ControllerLink link(port, settings, ui, &poller);
  RecordingSender sender(link);
  SwitchRegisters regs;
  ASSERT_TRUE(link.ProbeController());
  sender.sent.push_back(FrameOf(frame::kLedA, 0, 0));
  ASSERT_TRUE(SendSwitchRequest(regs, sender, ResetAll, 0, false, false, 0xFFFF));
  if (poll) poller.Resume();
  // With the poll, go on until several polls have met the frames, at about
  // the pace a line takes them (a pseudo-terminal itself takes them at once).
  for (int i = 0; i < 22 || (poll && PollsOnly(emu.Trace()).size() < 4 && i < 400); ++i) {
    ASSERT_TRUE(SendSwitchRequest(regs, sender, i % 22, i % 16, i % 2 == 0, i % 3 == 0, 0xFFFF));
    if (poll) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  poller.RequestStop();
  ASSERT_TRUE(poller.WaitStopped(3000));
  const auto trace = emu.WaitForTrace(sender.sent.size() + PollsOnly(emu.Trace()).size(), 10000, true);
  const auto frames = FramesOnly(trace);
  ASSERT_EQ(frames.size(), sender.sent.size());
  for (size_t i = 0; i < frames.size(); ++i)
    EXPECT_EQ(HexText(frames[i].rx), HexText(sender.sent[i])) << "frame " << i;
  EXPECT_TRUE(testsupport::GarbageOnly(trace).empty());
  for (const TraceLine& line : trace)
    EXPECT_NE(line.kind, TraceLine::Kind::kBadChecksum) << HexText(line.rx);
  if (poll) {
    EXPECT_GE(PollsOnly(trace).size(), 4u);
  }
  EXPECT_EQ(ui.questions, 0);
}

TEST_F(EmulatorLinkTest, NotAwaitedFramesAllReachASilentControllerInOrder) {
  Start({"--baud", "--silent"}, 1);
  SendWithoutAwaitingAnswers(*emu, port, SettingsPath(), false);
  EXPECT_EQ(port.status().Snapshot().lastOutcome, LinkOutcome::kSentUnconfirmed);
}

TEST_F(EmulatorLinkTest, NotAwaitedFramesAndThePollShareTheLineWhole) {
  Start({"--baud"}, 1);
  SendWithoutAwaitingAnswers(*emu, port, SettingsPath(), true);
}

// A lock holder that never lets go (stopped with SIGSTOP): the teacher ends
// the wait, the request ends as a No would, and nothing is sent or committed.
TEST_F(EmulatorLinkTest, WaitForAStoppedLockHolderCanBeCancelled) {
  Start();
  const pid_t holder = HoldLockInChild(lockName, -1);
  ASSERT_GT(holder, 0);
  ASSERT_EQ(kill(holder, SIGSTOP), 0);
  ScriptedUi ui;
  ui.cancelWait = true;
  ControllerLink link(port, SettingsPath(), ui);
  SwitchRegisters regs;
  regs.Route = 0x11;
  EXPECT_FALSE(SendSwitchRequest(regs, link, ResetAll, 0, false, false, 0xFFFF));
  EXPECT_EQ(regs.Route, 0x11);
  EXPECT_EQ(ui.waitReason, PortBusyText(emu->linkPath()));
  EXPECT_EQ(ui.questions, 0);
  EXPECT_EQ(port.status().Snapshot().lastOutcome, LinkOutcome::kCancelled);
  kill(holder, SIGKILL);
  ASSERT_EQ(waitpid(holder, nullptr, 0), holder);
  EXPECT_TRUE(FramesOnly(emu->Trace()).empty());
}

// A lock object planted by another user and held with flock: the console
// does not wait on it, says why, and guards the port with its own lock.
TEST(EmulatorLinkLock, PlantedLockObjectLeavesTheConsoleWorking) {
  EmulatorProcess emu;
  ASSERT_TRUE(emu.Started()) << emu.Error();
  const std::string base = testsupport::TestLockName("planted");
  const std::string path =
      platform::NamedLockObjectPath(ControllerPort::SharingLockName(emu.linkPath(), base));
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t stranger = fork();
  ASSERT_GE(stranger, 0);
  if (stranger == 0) {
    close(ready[0]);
    const int fd = open(path.c_str(), O_CREAT | O_RDWR | O_NOFOLLOW, 0600);
    bool ok = fd >= 0 && fchmod(fd, 0666) == 0 && flock(fd, LOCK_EX) == 0;
    if (ok && geteuid() == 0) ok = fchown(fd, 65534, 65534) == 0;  // another user's
    const char c = ok ? 'y' : 'n';
    if (write(ready[1], &c, 1) != 1) _exit(2);
    for (;;) pause();
  }
  close(ready[1]);
  char c = 'n';
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  close(ready[0]);
  ASSERT_EQ(c, 'y');

  ControllerPort port;
  auto made = std::async(std::launch::async,
                         [&] { return port.CreateSharingLockForPort(emu.linkPath(), base); });
  const bool returned = made.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
  if (!returned) kill(stranger, SIGKILL);  // lets a hung flock go, so the test can end
  ASSERT_TRUE(returned) << "the console waited on a stranger's lock object";
  EXPECT_FALSE(made.get());
  EXPECT_NE(port.sharingLockProblem().find(path), std::string::npos) << port.sharingLockProblem();
  ASSERT_NE(port.lock(), nullptr);

  ASSERT_TRUE(port.OpenControllerPort(emu.linkPath()));
  testsupport::TempDir dir;
  std::ofstream(dir.File("vormik.ini")) << "[Communication]\r\nNotWaitCSFromMC=0\r\n";
  ScriptedUi ui;
  testsupport::ReportRecorder handover;
  PollThread poller(port, handover);
  ControllerLink link(port, dir.File("vormik.ini"), ui, &poller);
  poller.Resume();
  for (uint8_t i = 0; i < 5; ++i) EXPECT_TRUE(link.TransmitFrame(frame::kLine, 0x00, i));
  EXPECT_TRUE(Eventually([&] { return handover.Count() >= 1; }));
  poller.RequestStop();
  EXPECT_TRUE(poller.WaitStopped(3000));
  EXPECT_TRUE(testsupport::GarbageOnly(emu.Trace()).empty());
  port.ClosePort();
  kill(stranger, SIGKILL);
  waitpid(stranger, nullptr, 0);
  unlink(path.c_str());
}


}  // namespace
}  // namespace emulatorlink
