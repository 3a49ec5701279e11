// TransmitFrame, ProbeController, ControllerPort and PollThread over a scripted port and lock.
#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/eventually.h"
#include "link/pollthread.h"
#include "link/controllerport.h"
#include "link/frame.h"
#include "link/sendswitchrequest.h"
#include "link/timing.h"
#include "link/transmit.h"
#include "tests/support/tempdir.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

// What the fake device saw and how its controller answers; shared with the test
// because ControllerPort owns the port object.
struct Device {
  std::mutex m;
  bool opens = true;
  bool open = false;
  bool timeoutsReadable = true;
  std::string openedName;
  std::vector<platform::SerialTimeouts> timeoutsSet;
  platform::SerialTimeouts current{1, 2, 3, 4, 5};
  std::string lineMode;
  std::vector<unsigned> purges;
  Bytes written;
  Bytes pending;  // written since the controller last answered
  std::deque<uint8_t> rx;
  int reads = 0;
  int closes = 0;
  int opensTried = 0;
  // P purge, D drain, R read: what the link asked of the device, in order.
  std::string calls;
  // Given one request, the bytes the controller sends back.
  std::function<Bytes(const Bytes& request)> controller;
};

class FakeSerialPort : public platform::SerialPort {
 public:
  explicit FakeSerialPort(std::shared_ptr<Device> d) : d_(std::move(d)) {}
  bool Open(const std::string& name) override {
    std::lock_guard<std::mutex> g(d_->m);
    d_->openedName = name;
    ++d_->opensTried;
    d_->open = d_->opens;
    return d_->open;
  }
  bool IsOpen() const override {
    std::lock_guard<std::mutex> g(d_->m);
    return d_->open;
  }
  bool GetTimeouts(platform::SerialTimeouts& out) override {
    std::lock_guard<std::mutex> g(d_->m);
    if (!d_->open || !d_->timeoutsReadable) return false;
    out = d_->current;
    return true;
  }
  bool SetTimeouts(const platform::SerialTimeouts& t) override {
    std::lock_guard<std::mutex> g(d_->m);
    d_->timeoutsSet.push_back(t);
    if (d_->open) d_->current = t;
    return d_->open;
  }
  bool ApplyLineMode(const std::string& mode) override {
    std::lock_guard<std::mutex> g(d_->m);
    d_->lineMode = mode;
    return d_->open;
  }
  bool Purge(unsigned flags) override {
    std::lock_guard<std::mutex> g(d_->m);
    d_->purges.push_back(flags);
    d_->calls += 'P';
    if (flags & platform::kPurgeRxClear) d_->rx.clear();
    return d_->open;
  }
  bool WriteByte(uint8_t b) override {
    std::lock_guard<std::mutex> g(d_->m);
    if (!d_->open) return false;
    d_->written.push_back(b);
    d_->pending.push_back(b);
    return true;
  }
  bool Drain() override {
    std::lock_guard<std::mutex> g(d_->m);
    d_->calls += 'D';
    return d_->open;
  }
  bool ReadByte(uint8_t& b) override {
    std::lock_guard<std::mutex> g(d_->m);
    ++d_->reads;
    d_->calls += 'R';
    if (!d_->open) return false;
    if (!d_->pending.empty() && d_->controller) {
      for (uint8_t r : d_->controller(d_->pending)) d_->rx.push_back(r);
      d_->pending.clear();
    }
    if (d_->rx.empty()) return false;
    b = d_->rx.front();
    d_->rx.pop_front();
    return true;
  }
  void Close() override {
    std::lock_guard<std::mutex> g(d_->m);
    ++d_->closes;
    d_->open = false;
  }

 private:
  std::shared_ptr<Device> d_;
};

// Answers frames correctly; `answerEvery` 2 answers only every second frame.
std::function<Bytes(const Bytes&)> Controller(int answerEvery = 1, uint8_t statusHigh = 0,
                                              uint8_t statusLow = 0) {
  auto count = std::make_shared<int>(0);
  return [=](const Bytes& req) -> Bytes {
    if (req.size() == 3 && req[2] == frame::kPollCommand)
      return {statusHigh, statusLow, frame::PollReplyChecksum(statusHigh, statusLow)};
    if (req.size() != 6) return {};
    if (++*count % answerEvery != 0) return {};
    return {frame::AckFor(req[5])};
  };
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

Bytes FrameBytes(uint8_t c, uint8_t h, uint8_t l) {
  const auto f = frame::Build(c, h, l);
  return Bytes(f.begin(), f.end());
}

class FakeLock : public platform::NamedLock {
 public:
  platform::LockWait Wait(int timeoutMs) override {
    std::lock_guard<std::mutex> g(m);
    waitTimeouts.push_back(timeoutMs);
    platform::LockWait r = platform::LockWait::kAcquired;
    if (!script.empty()) {
      r = script.front();
      script.pop_front();
    }
    if (r == platform::LockWait::kAcquired) held = true;
    return r;
  }
  void Release() override {
    std::lock_guard<std::mutex> g(m);
    ++releases;
    held = false;
  }
  bool Held() {
    std::lock_guard<std::mutex> g(m);
    return held;
  }

  std::mutex m;
  std::deque<platform::LockWait> script;
  std::vector<int> waitTimeouts;
  int releases = 0;
  bool held = false;
};

class ScriptedUi : public LinkUi {
 public:
  explicit ScriptedUi(FakeLock* lock = nullptr) : lock_(lock) {}
  bool AskRetryConnection() override {
    ++questions;
    if (lock_ != nullptr && !lock_->Held()) questionWithoutLock = true;
    if (answers.empty()) return false;
    const bool yes = answers.front();
    answers.pop_front();
    return yes;
  }
  bool AskRetryAfterFailure(const LinkFailure& failure) override {
    failures.push_back(failure);
    return LinkUi::AskRetryAfterFailure(failure);
  }
  void ShowWaitDialog() override {
    ++dialogs;
    if (onDialog) onDialog();
  }
  bool ShowCancellableWait(const std::string& reason) override {
    waitReason = reason;
    LinkUi::ShowCancellableWait(reason);
    return !cancelWait;
  }
  std::deque<bool> answers;
  int questions = 0;
  int dialogs = 0;
  bool questionWithoutLock = false;
  std::function<void()> onDialog;
  std::vector<LinkFailure> failures;
  bool cancelWait = false;
  std::string waitReason;

 private:
  FakeLock* lock_;
};

class CountingPoll : public PollControl {
 public:
  void Suspend() override { calls += "S"; }
  void Resume() override { calls += "R"; }
  std::string calls;
};

class LinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto owned = std::make_unique<FakeLock>();
    lock = owned.get();
    port.SetSharingLock(std::move(owned));
    device->controller = Controller();
    ASSERT_TRUE(port.OpenControllerPort("ttyFAKE"));
    WriteSettings(0);
  }
  void WriteSettings(int notWait) {
    std::ofstream(dir.File("vormik.ini"))
        << "[Communication]\r\nNotWaitCSFromMC=" << notWait << "\r\n";
  }
  Bytes Written() {
    std::lock_guard<std::mutex> g(device->m);
    return device->written;
  }
  int Reads() {
    std::lock_guard<std::mutex> g(device->m);
    return device->reads;
  }

  testsupport::TempDir dir;
  std::shared_ptr<Device> device = std::make_shared<Device>();
  ControllerPort port{std::make_unique<FakeSerialPort>(device)};
  FakeLock* lock = nullptr;
  CountingPoll poll;
};

TEST_F(LinkTest, AcknowledgedFrameIsSixBytesAndOneReadWithAQuietCheck) {
  ScriptedUi ui(lock);
  ControllerLink link(port, dir.File("vormik.ini"), ui, &poll);
  device->purges.clear();
  EXPECT_TRUE(link.TransmitFrame(0x84, 0x00, 0xF5));  // acknowledged by 0x00
  EXPECT_EQ(Written(), FrameBytes(0x84, 0x00, 0xF5));
  // The answer, then a short read finding the line quiet after it.
  EXPECT_EQ(Reads(), 2);
  // The receive buffer cleared with the port taken, the frame drained before
  // the answer is read; the output is never purged.
  EXPECT_EQ(device->purges, std::vector<unsigned>{platform::kPurgeRxClear});
  EXPECT_EQ(device->calls, "PDRR");
  EXPECT_EQ(port.status().Snapshot().lastOutcome, LinkOutcome::kAcknowledged);
  EXPECT_EQ(lock->waitTimeouts, std::vector<int>{700});
  EXPECT_EQ(lock->releases, 1);
  EXPECT_FALSE(lock->Held());
  EXPECT_EQ(ui.questions + ui.dialogs, 0);
  EXPECT_EQ(poll.calls, "");
}

TEST_F(LinkTest, ControllerAnsweringEveryOtherFrameNeedsTheSilentRepeatOnly) {
  device->controller = Controller(2);
  ScriptedUi ui(lock);
  ControllerLink link(port, dir.File("vormik.ini"), ui, &poll);
  for (int call = 0; call < 3; ++call) {
    device->written.clear();
    EXPECT_TRUE(link.TransmitFrame(0x82, 0xFF, 0xFF)) << call;
    EXPECT_EQ(Written(), Concat({FrameBytes(0x82, 0xFF, 0xFF), FrameBytes(0x82, 0xFF, 0xFF)}));
  }
  EXPECT_EQ(ui.questions, 0);
  EXPECT_EQ(lock->releases, 3);
}

TEST_F(LinkTest, SilentControllerAsksWithTheLockHeldUntilTheTeacherGivesUp) {
  device->controller = nullptr;
  ScriptedUi ui(lock);
  ui.answers = {true, false};
  ControllerLink link(port, dir.File("vormik.ini"), ui, &poll);
  EXPECT_FALSE(link.TransmitFrame(0x81, 0x00, 0x01));
  const Bytes f = FrameBytes(0x81, 0x00, 0x01);
  EXPECT_EQ(Written(), Concat({f, f, f, f}));  // two, question, Yes, two, question, No
  EXPECT_EQ(ui.questions, 2);
  ASSERT_EQ(ui.failures.size(), 2u);
  EXPECT_EQ(ui.failures[0].portName, "ttyFAKE");
  EXPECT_EQ(ui.failures[0].kind, LinkFailure::Kind::kNoAnswer);
  EXPECT_EQ(device->opensTried, 1) << "a port that works is not reopened";
  EXPECT_EQ(port.status().Snapshot().state, LinkState::kNotAnswering);
  EXPECT_FALSE(ui.questionWithoutLock);
  EXPECT_EQ(lock->waitTimeouts.size(), 1u);  // the lock is kept through the retries
  EXPECT_FALSE(lock->Held());
}

TEST_F(LinkTest, NotWaitCSFromMCSkipsTheReadForFramesAndTheProbe) {
  WriteSettings(1);
  device->controller = nullptr;
  ScriptedUi ui(lock);
  ControllerLink link(port, dir.File("vormik.ini"), ui, &poll);
  EXPECT_TRUE(link.TransmitFrame(0x81, 0x00, 0x00));
  EXPECT_EQ(Written(), FrameBytes(0x81, 0x00, 0x00));
  EXPECT_TRUE(link.ProbeController());
  EXPECT_EQ(Written().size(), 12u);
  EXPECT_EQ(Reads(), 0);
  EXPECT_EQ(device->calls, "PDPD");  // each frame has left before the call returns
  EXPECT_EQ(ui.questions, 0);
  EXPECT_EQ(port.status().Snapshot().lastOutcome, LinkOutcome::kSentUnconfirmed);
  // Read again after every frame: switching it off takes effect at once.
  WriteSettings(0);
  EXPECT_FALSE(link.ProbeController());
  EXPECT_EQ(Reads(), 1);
}

TEST_F(LinkTest, BusyPortShowsTheWaitDialogAndHoldsThePollBack) {
  lock->script = {platform::LockWait::kTimedOut, platform::LockWait::kAcquired};
  ScriptedUi ui(lock);
  size_t writtenAtDialog = 99;
  ui.onDialog = [&] { writtenAtDialog = Written().size(); };
  ControllerLink link(port, dir.File("vormik.ini"), ui, &poll);
  EXPECT_TRUE(link.TransmitFrame(0x84, 0x01, 0x10));
  EXPECT_EQ(ui.dialogs, 1);
  EXPECT_EQ(writtenAtDialog, 0u);
  EXPECT_EQ(poll.calls, "SR");
  EXPECT_EQ(lock->waitTimeouts, (std::vector<int>{700, 700}));
  EXPECT_EQ(Written(), FrameBytes(0x84, 0x01, 0x10));
  EXPECT_EQ(lock->releases, 1);
}

TEST_F(LinkTest, BrokenOrMissingLockStillSendsAndNeverReleasesWhatItDoesNotHold) {
  lock->script = {platform::LockWait::kFailed};
  ScriptedUi ui;
  ControllerLink link(port, dir.File("vormik.ini"), ui, &poll);
  EXPECT_TRUE(link.TransmitFrame(0x81, 0x00, 0x00));
  EXPECT_EQ(lock->releases, 0);
  EXPECT_EQ(ui.dialogs, 0);

  port.SetSharingLock(nullptr);
  EXPECT_TRUE(link.TransmitFrame(0x81, 0x00, 0x00));
  EXPECT_TRUE(link.ProbeController());
  EXPECT_EQ(Written().size(), 18u);
}

TEST_F(LinkTest, ClosedPortIsReopenedQuietlyAtMostOnceASecondAndOnEachRetry) {
  port.ClosePort();
  device->opens = false;
  device->opensTried = 0;
  ScriptedUi ui(lock);
  ui.answers = {true, false};
  ControllerLink link(port, dir.File("vormik.ini"), ui, &poll);
  EXPECT_FALSE(link.TransmitFrame(0x81, 0x00, 0x00));
  EXPECT_EQ(ui.questions, 2);
  EXPECT_EQ(Reads(), 0);
  // Quietly before the first attempt (not before the repeat, a moment later),
  // and once on the Yes.
  EXPECT_EQ(device->opensTried, 2);
  ASSERT_EQ(ui.failures.size(), 2u);
  EXPECT_EQ(ui.failures[1].kind, LinkFailure::Kind::kPortUnavailable);
  EXPECT_EQ(port.status().Snapshot().state, LinkState::kDeviceMissing);
  EXPECT_FALSE(link.ProbeController());
  EXPECT_EQ(ui.questions, 2);
  EXPECT_FALSE(lock->Held());

  // The device is back: the next command finds it without a question.
  device->opens = true;
  std::this_thread::sleep_for(std::chrono::milliseconds(timing::kReconnectIntervalMs + 50));
  EXPECT_TRUE(link.TransmitFrame(0x81, 0x00, 0x00));
  EXPECT_EQ(ui.questions, 2);
  EXPECT_EQ(port.status().Snapshot().state, LinkState::kAnswering);
}

TEST_F(LinkTest, CancelledWaitEndsTheExchangeWithNothingSentOrCommitted) {
  lock->script = {platform::LockWait::kTimedOut};
  ScriptedUi ui(lock);
  ui.cancelWait = true;
  ControllerLink link(port, dir.File("vormik.ini"), ui, &poll);
  SwitchRegisters regs;
  regs.LineLow = 0x0F;
  EXPECT_FALSE(SendSwitchRequest(regs, link, ResetAll, 0, false, false, 0xFFFF));
  EXPECT_EQ(ui.waitReason, "Порт ttyFAKE занят другой программой. Ожидание...");
  EXPECT_EQ(regs.LineLow, 0x0F);
  EXPECT_TRUE(Written().empty());
  EXPECT_EQ(ui.questions, 0);
  EXPECT_EQ(poll.calls, "");
  EXPECT_EQ(lock->releases, 0);
  EXPECT_EQ(port.status().Snapshot().lastOutcome, LinkOutcome::kCancelled);
  lock->script = {platform::LockWait::kTimedOut};
  EXPECT_FALSE(link.ProbeController());
  EXPECT_TRUE(Written().empty());
}

TEST_F(LinkTest, ClickDeliveredDuringTheWaitDialogDoesNotStartASecondFrame) {
  lock->script = {platform::LockWait::kTimedOut, platform::LockWait::kAcquired};
  ScriptedUi ui(lock);
  ControllerLink link(port, dir.File("vormik.ini"), ui, &poll);
  bool nested = true;
  bool nestedProbe = true;
  bool nestedComposed = true;
  bool nestedComposerRan = false;
  ui.onDialog = [&] {
    nested = link.TransmitFrame(0x82, 0x00, 0x01);
    nestedProbe = link.ProbeController();
    nestedComposed = link.TransmitComposed([&]() -> std::optional<RegisterWrite> {
      nestedComposerRan = true;
      return std::nullopt;
    });
  };
  EXPECT_TRUE(link.TransmitFrame(0x84, 0x00, 0x00));
  EXPECT_FALSE(nested);
  EXPECT_FALSE(nestedProbe);
  EXPECT_FALSE(nestedComposed);
  EXPECT_FALSE(nestedComposerRan);
  EXPECT_EQ(Written(), FrameBytes(0x84, 0x00, 0x00));
  // And the guard is gone afterwards.
  EXPECT_TRUE(link.TransmitFrame(0x82, 0x00, 0x01));
}

TEST_F(LinkTest, ComposedWriteIsBuiltOnceWithThePortTakenAndRepeatedAsBuilt) {
  device->controller = Controller(2);  // the silent repeat must resend the same bytes
  lock->script = {platform::LockWait::kTimedOut, platform::LockWait::kAcquired};
  ScriptedUi ui(lock);
  ControllerLink link(port, dir.File("vormik.ini"), ui, &poll);
  int composed = 0;
  bool heldWhenComposed = false;
  int dialogsWhenComposed = -1;
  EXPECT_TRUE(link.TransmitComposed([&]() -> std::optional<RegisterWrite> {
    ++composed;
    heldWhenComposed = lock->Held();
    dialogsWhenComposed = ui.dialogs;
    return RegisterWrite{0x83, 0x00, 0x04};
  }));
  EXPECT_EQ(composed, 1);
  EXPECT_TRUE(heldWhenComposed);
  EXPECT_EQ(dialogsWhenComposed, 1);
  const Bytes f = FrameBytes(0x83, 0x00, 0x04);
  EXPECT_EQ(Written(), Concat({f, f}));
  EXPECT_FALSE(lock->Held());
}

TEST_F(LinkTest, NothingComposedSendsNothingAndSucceeds) {
  ScriptedUi ui(lock);
  ControllerLink link(port, dir.File("vormik.ini"), ui, &poll);
  EXPECT_TRUE(link.TransmitComposed([]() -> std::optional<RegisterWrite> { return std::nullopt; }));
  EXPECT_TRUE(Written().empty());
  EXPECT_EQ(Reads(), 0);
  EXPECT_EQ(lock->releases, 1);
  EXPECT_FALSE(lock->Held());
  EXPECT_EQ(ui.questions, 0);
}

// The poll's indicator update runs inside the wait dialog; the write sent
// afterwards must start from the LEDs it left, not from those before the wait.
TEST_F(LinkTest, IndicatorUpdateDuringTheWaitIsNotOverwritten) {
  struct Row {
    const char* name;
    std::function<bool(SwitchRegisters&, FrameSender&)> send;
    Bytes written;
    uint8_t ledALow, ledBLow;
  } rows[] = {
      {"ToggleLedA of desk 3 keeps desk 5 lit",
       [](SwitchRegisters& regs, FrameSender& sender) {
         return SendSwitchRequest(regs, sender, ToggleLedA, 2, false, false, 0xFFFF);
       },
       FrameBytes(0x81, 0x00, 0x14), 0x14, 0x10},
      {"LED on for desk 5 lit meanwhile sends nothing",
       [](SwitchRegisters& regs, FrameSender& sender) {
         return SendLedSwitch(regs, sender, 4, true);
       },
       Bytes{}, 0x10, 0x10},
      {"LED on for desk 1 keeps desk 5 lit",
       [](SwitchRegisters& regs, FrameSender& sender) {
         return SendLedSwitch(regs, sender, 0, true);
       },
       Concat({FrameBytes(0x83, 0x00, 0x11), FrameBytes(0x81, 0x00, 0x11)}), 0x11, 0x11},
  };
  for (const Row& r : rows) {
    device->written.clear();
    lock->script = {platform::LockWait::kTimedOut, platform::LockWait::kAcquired};
    SwitchRegisters regs;
    ScriptedUi ui(lock);
    ui.onDialog = [&regs] { ApplyIndicatorReport(regs, 0x00, 0x10); };
    ControllerLink link(port, dir.File("vormik.ini"), ui, &poll);
    EXPECT_TRUE(r.send(regs, link)) << r.name;
    EXPECT_EQ(ui.dialogs, 1) << r.name;
    EXPECT_EQ(Written(), r.written) << r.name;
    EXPECT_EQ(regs.LedALow, r.ledALow) << r.name;
    EXPECT_EQ(regs.LedBLow, r.ledBLow) << r.name;
  }
}

TEST_F(LinkTest, ProbeSendsTheLedAZeroFrameOnceWithoutAQuestion) {
  struct Row {
    const char* name;
    std::function<Bytes(const Bytes&)> controller;
    bool expected;
  } rows[] = {
      {"answering", Controller(), true},
      {"silent", nullptr, false},
      {"wrong byte", [](const Bytes&) -> Bytes { return {0x07}; }, false},
  };
  for (const Row& r : rows) {
    device->written.clear();
    device->controller = r.controller;
    ScriptedUi ui(lock);
    ControllerLink link(port, dir.File("vormik.ini"), ui, &poll);
    EXPECT_EQ(link.ProbeController(), r.expected) << r.name;
    EXPECT_EQ(Written(), (Bytes{0x55, 0x30, 0x81, 0x00, 0x00, 0x07})) << r.name;
    EXPECT_EQ(ui.questions + ui.dialogs, 0) << r.name;
    EXPECT_FALSE(lock->Held()) << r.name;
  }
}

TEST(ControllerPortTest, OpenSavesTimeoutsAndCloseRestoresThem) {
  auto device = std::make_shared<Device>();
  ControllerPort port(std::make_unique<FakeSerialPort>(device));
  EXPECT_TRUE(port.OpenControllerPort("/dev/ttyS0"));
  EXPECT_EQ(device->openedName, "/dev/ttyS0");
  EXPECT_EQ(device->lineMode, "9600,N,8,1");
  ASSERT_EQ(device->timeoutsSet.size(), 1u);
  const auto& ours = device->timeoutsSet[0];
  EXPECT_EQ(ours.readIntervalMs, 0u);
  EXPECT_EQ(ours.readTotalMultiplierMs, 0u);
  EXPECT_EQ(ours.readTotalConstantMs, 100u);
  EXPECT_EQ(ours.writeTotalMultiplierMs, 0u);
  EXPECT_EQ(ours.writeTotalConstantMs, 0u);
  device->purges.clear();
  port.ClosePort();
  EXPECT_EQ(device->purges, std::vector<unsigned>{platform::kPurgeRxAbort});
  ASSERT_EQ(device->timeoutsSet.size(), 2u);
  EXPECT_EQ(device->timeoutsSet[1].readIntervalMs, 1u);
  EXPECT_EQ(device->timeoutsSet[1].writeTotalConstantMs, 5u);
  EXPECT_EQ(device->closes, 1);
  port.ClosePort();  // a second close does nothing
  EXPECT_EQ(device->closes, 1);
  EXPECT_EQ(device->purges.size(), 1u);
}

TEST(ControllerPortTest, PortThatDoesNotOpenIsSilentAndClosesHarmlessly) {
  auto device = std::make_shared<Device>();
  device->opens = false;
  ControllerPort port(std::make_unique<FakeSerialPort>(device));
  EXPECT_FALSE(port.OpenControllerPort("COM7"));
  EXPECT_EQ(device->lineMode, "9600,N,8,1");  // every step is still tried
  port.ClosePort();
  EXPECT_EQ(device->closes, 0);
  EXPECT_TRUE(device->purges.empty());
}

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
