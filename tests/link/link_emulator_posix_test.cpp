// The link over a real pseudo-terminal against vormik-emulator: frames,
// retries, the poll, and a controller unplugged and plugged back in.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
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


TEST_F(EmulatorLinkTest, PollReportsTheControllersIndicators) {
  Start();
  ASSERT_TRUE(emu->Send("led 1 on")) << emu->Error();
  testsupport::ReportRecorder handover;
  PollThread poller(port, handover);
  poller.Resume();
  ASSERT_TRUE(Eventually([&] { return handover.Count() >= 1; }));
  EXPECT_EQ(handover.Reports()[0], std::make_pair(uint8_t{0x00}, uint8_t{0x01}));
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
  for (const auto& r : handover.Reports()) EXPECT_EQ(r.first, 0x00) << "desk 14 seen";
}

// The controller unplugged and plugged back in (the emulator stopped and
// started again on the same link): nothing is committed while it is away,
// and "Повторить" finds it again through the same port object.
TEST_F(EmulatorLinkTest, ReplugIsFoundOnRetryAndNothingIsCommittedMeanwhile) {
  testsupport::TempDir linkDir;
  const std::string linkPath = linkDir.File("ttyREPLUG");
  Start({"--link", linkPath});
  ScriptedUi ui;
  ControllerLink link(port, SettingsPath(), ui);
  SwitchRegisters regs;
  ASSERT_TRUE(SendSwitchRequest(regs, link, ToggleLine, 2, false, false, 0xFFFF));
  ASSERT_EQ(emu->Registers()->line, 0x0004);

  emu->Stop();
  const SwitchRegisters before = regs;
  EXPECT_FALSE(SendSwitchRequest(regs, link, ToggleLine, 5, false, false, 0xFFFF));
  EXPECT_EQ(std::memcmp(&before, &regs, sizeof before), 0);
  ASSERT_EQ(ui.failures.size(), 1u);
  EXPECT_EQ(ui.failures[0].kind, LinkFailure::Kind::kDeviceGone);
  EXPECT_EQ(ui.failures[0].portName, linkPath);
  EXPECT_EQ(port.status().Snapshot().state, LinkState::kDeviceMissing);

  // Plugged back in while the question is open; the teacher answers "Повторить".
  ui.onQuestion = [&] {
    emu = std::make_unique<EmulatorProcess>(std::vector<std::string>{"--link", linkPath});
  };
  ui.answers = {true};
  EXPECT_TRUE(SendSwitchRequest(regs, link, ToggleLine, 5, false, false, 0xFFFF));
  ASSERT_TRUE(emu->Started()) << emu->Error();
  EXPECT_EQ(ui.questions, 2);
  const auto device = emu->Registers();
  ASSERT_TRUE(device.has_value());
  // The new controller took the write; the copy holds it.
  EXPECT_EQ(device->line, 0x0024);
  EXPECT_EQ(regs.LineLow, 0x24);
  EXPECT_EQ(port.status().Snapshot().state, LinkState::kAnswering);
}

// Without any question open, the poll finds a re-plugged controller by itself.
TEST_F(EmulatorLinkTest, PollFindsAReplugedControllerQuietly) {
  testsupport::TempDir linkDir;
  const std::string linkPath = linkDir.File("ttyREPLUG");
  Start({"--link", linkPath});
  testsupport::ReportRecorder handover;
  PollThread poller(port, handover);
  poller.Resume();
  ASSERT_TRUE(Eventually([&] { return handover.Count() >= 1; }));
  emu->Stop();
  ASSERT_TRUE(Eventually(
      [&] { return port.status().Snapshot().state == LinkState::kDeviceMissing; }));
  emu = std::make_unique<EmulatorProcess>(std::vector<std::string>{"--link", linkPath});
  ASSERT_TRUE(emu->Started()) << emu->Error();
  ASSERT_TRUE(emu->Send("led 7 on"));
  EXPECT_TRUE(Eventually([&] {
    return handover.Reports().back() == std::make_pair(uint8_t{0x00}, uint8_t{0x40});
  }));
  EXPECT_EQ(port.status().Snapshot().state, LinkState::kAnswering);
  poller.RequestStop();
  EXPECT_TRUE(poller.WaitStopped(3000));
}

// One stray byte before a poll reply spoils that report only: the poll clears
// what is waiting before it asks, so the next reply is read in step again.
TEST_F(EmulatorLinkTest, OneStrayByteCostsAtMostOneReport) {
  Start();
  ASSERT_TRUE(emu->Send("led 1 on"));
  // Each report with the number of the poll it answered (the emulator traces a
  // poll before answering, and no other poll runs during the hand-over).
  struct Report {
    uint8_t high, low;
    size_t poll;
  };
  std::mutex m;
  std::vector<Report> reports;
  class Numbering : public IndicatorHandover {
   public:
    Numbering(std::function<void(uint8_t, uint8_t)> f) : f_(std::move(f)) {}
    void RunIndicatorUpdate(uint8_t high, uint8_t low) override { f_(high, low); }

   private:
    std::function<void(uint8_t, uint8_t)> f_;
  } handover([&](uint8_t high, uint8_t low) {
    const size_t poll = PollsOnly(emu->Trace()).size();
    std::lock_guard<std::mutex> g(m);
    reports.push_back({high, low, poll});
  });
  auto count = [&] {
    std::lock_guard<std::mutex> g(m);
    return reports.size();
  };
  PollThread poller(port, handover);
  poller.Resume();
  ASSERT_TRUE(Eventually([&] { return count() >= 1; }));
  ASSERT_TRUE(emu->Send("stray 1"));
  size_t strayPoll = 0;
  ASSERT_TRUE(Eventually([&] {
    const auto polls = PollsOnly(emu->Trace());
    for (size_t i = 0; i < polls.size() && strayPoll == 0; ++i)
      if (polls[i].tx.size() == 4) strayPoll = i + 1;
    std::lock_guard<std::mutex> g(m);
    return strayPoll != 0 && !reports.empty() && reports.back().poll >= strayPoll + 2;
  }));
  poller.RequestStop();
  ASSERT_TRUE(poller.WaitStopped(3000));
  bool trueAgain = false;
  for (const Report& r : reports) {
    EXPECT_EQ(r.high, 0x00) << "poll " << r.poll;
    EXPECT_EQ(r.low, 0x01) << "poll " << r.poll;
    if (r.poll > strayPoll && r.poll <= strayPoll + 2) trueAgain = true;
  }
  EXPECT_TRUE(trueAgain) << "no true report from the two polls after the stray byte";
}

}  // namespace
}  // namespace emulatorlink
