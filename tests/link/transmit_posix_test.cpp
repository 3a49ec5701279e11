// TransmitFrame, ProbeController and ControllerPort over a scripted port and lock.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "link/controllerport.h"
#include "link/sendswitchrequest.h"
#include "link/timing.h"
#include "link/transmit.h"
#include "tests/link/scriptedport.h"

namespace {

using scriptedport::Bytes;
using scriptedport::Concat;
using scriptedport::Controller;
using scriptedport::Device;
using scriptedport::FakeSerialPort;
using scriptedport::FrameBytes;
using scriptedport::LinkTest;
using scriptedport::ScriptedUi;

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

}  // namespace
