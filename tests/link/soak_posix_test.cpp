// Fault soak: the link layer against vormik-emulator playing random faults
// while the poll thread runs. After every request the copy of the registers
// must match the controller wherever the last write was acknowledged, no
// success may come without an acknowledgement byte on the line, and nothing
// may hang. Bounded in count and time; VORMIK_SOAK_REQUESTS, VORMIK_SOAK_SECONDS
// and VORMIK_SOAK_SEED change the bounds and the seed.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>

#include "config/classroomdescription.h"
#include "link/Unthread.h"
#include "link/controllerport.h"
#include "link/frame.h"
#include "link/sendswitchrequest.h"
#include "link/switchstate.h"
#include "link/transmit.h"
#include "platform/namedlock.h"
#include "tests/support/emulatorprocess.h"
#include "tests/support/tempdir.h"

namespace {

using Clock = std::chrono::steady_clock;
using testsupport::EmulatorProcess;
using testsupport::TraceLine;

long EnvNumber(const char* name, long fallback) {
  const char* v = std::getenv(name);
  if (v == nullptr || *v == '\0') return fallback;
  char* end = nullptr;
  const long n = std::strtol(v, &end, 10);
  return (end != nullptr && *end == '\0' && n > 0) ? n : fallback;
}

// The port lock, remembering whether the poll thread is the one holding it.
class WatchedLock : public platform::NamedLock {
 public:
  explicit WatchedLock(std::unique_ptr<platform::NamedLock> inner) : inner_(std::move(inner)) {}
  platform::LockWait Wait(int timeoutMs) override {
    const platform::LockWait r = inner_->Wait(timeoutMs);
    if (r == platform::LockWait::kAcquired && std::this_thread::get_id() != uiThread_)
      pollHolds_ = true;
    return r;
  }
  void Release() override {
    if (std::this_thread::get_id() != uiThread_) pollHolds_ = false;
    inner_->Release();
  }
  bool PollHolds() const { return pollHolds_.load(); }

 private:
  std::unique_ptr<platform::NamedLock> inner_;
  std::thread::id uiThread_ = std::this_thread::get_id();
  std::atomic<bool> pollHolds_{false};
};

// The interface thread's side of the poll's synchronous hand-over: the poll
// thread posts a report and waits; the test thread runs it in Pump().
class Handover : public IndicatorHandover {
 public:
  void RunIndicatorUpdate(uint8_t high, uint8_t low) override {
    std::unique_lock<std::mutex> guard(mutex_);
    pending_ = true;
    high_ = high;
    low_ = low;
    wake_.notify_all();
    wake_.wait(guard, [this] { return !pending_; });
  }
  // Runs a posted report, if any, with `apply`; true when one ran.
  template <typename Apply>
  bool Pump(Apply apply) {
    std::unique_lock<std::mutex> guard(mutex_);
    if (!pending_) return false;
    apply(high_, low_);
    pending_ = false;
    wake_.notify_all();
    return true;
  }

 private:
  std::mutex mutex_;
  std::condition_variable wake_;
  bool pending_ = false;
  uint8_t high_ = 0, low_ = 0;
};

// The teacher: Yes to the connection question a bounded number of times per
// request, then No. The wait dialog keeps the hand-over running.
class SoakUi : public LinkUi {
 public:
  explicit SoakUi(std::function<void()> pump) : pump_(std::move(pump)) {}
  bool AskRetryConnection() override {
    ++questions;
    if (yesLeft > 0) {
      --yesLeft;
      ++yes;
      return true;
    }
    ++no;
    return false;
  }
  void ShowWaitDialog() override {
    ++dialogs;
    const auto end = Clock::now() + std::chrono::milliseconds(100);
    while (Clock::now() < end) {
      pump_();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  int yesLeft = 0;
  long questions = 0, yes = 0, no = 0, dialogs = 0;

 private:
  std::function<void()> pump_;
};

// Counts every byte the emulator has sent, from its trace, read as it grows.
class SentBytes {
 public:
  explicit SentBytes(std::string path) : path_(std::move(path)) {}
  void Update() {
    std::ifstream in(path_, std::ios::binary);
    in.seekg(offset_);
    std::string line;
    while (std::getline(in, line)) {
      if (in.eof()) break;  // a line still being written
      offset_ += static_cast<std::streamoff>(line.size() + 1);
      const auto parsed = testsupport::ParseTraceLine(line);
      if (!parsed) continue;
      ++lines;
      if (parsed->kind != TraceLine::Kind::kExchange) continue;
      if (parsed->IsPoll()) ++polls;
      if (!parsed->Answered()) ++unanswered;
      if (parsed->IsFrame() && parsed->Answered() &&
          !(parsed->tx.size() == 1 && parsed->tx[0] == frame::AckFor(parsed->rx[5])))
        ++spoiled;  // a wrong answer, or noise before the right one
      for (uint8_t b : parsed->tx) ++count[b];
    }
  }
  std::array<long, 256> count{};
  long lines = 0, polls = 0, unanswered = 0, spoiled = 0;

 private:
  std::string path_;
  std::streamoff offset_ = 0;
};

uint16_t Word(uint8_t high, uint8_t low) { return static_cast<uint16_t>(high << 8 | low); }

// Passes every frame through and counts, per acknowledgement value, the
// successes, so that they can be set against the bytes the controller sent.
class CountingSender : public FrameSender {
 public:
  explicit CountingSender(ControllerLink& link) : link_(link) {}
  bool TransmitFrame(uint8_t command, uint8_t high, uint8_t low) override {
    const bool ok = link_.TransmitFrame(command, high, low);
    ++frames;
    if (ok) ++acked[frame::AckFor(frame::Checksum(command, high, low))];
    lastWriteAcked = ok;
    return ok;
  }
  std::array<long, 256> acked{};
  long frames = 0;
  bool lastWriteAcked = false;

 private:
  ControllerLink& link_;
};

TEST(LinkSoak, RandomFaultsWithPollKeepTheCopyInStepAndNeverFakeSuccess) {
  const long maxRequests = EnvNumber("VORMIK_SOAK_REQUESTS", 2000);
  const long maxSeconds = EnvNumber("VORMIK_SOAK_SECONDS", 90);
  const long seed = EnvNumber("VORMIK_SOAK_SEED", 20261207);
  SCOPED_TRACE("seed " + std::to_string(seed));

  EmulatorProcess emu({"--random-faults", std::to_string(seed)});
  ASSERT_TRUE(emu.Started()) << emu.Error();
  testsupport::TempDir dir;
  const std::string settings = dir.File("vormik.ini");
  std::ofstream(settings) << "[Communication]\r\nNotWaitCSFromMC=0\r\n";

  const std::string lockName = "PortSharing-test-" + std::to_string(getpid()) + "-soak";
  ControllerPort port;
  auto realLock = platform::CreateNamedLock(lockName);
  ASSERT_NE(realLock, nullptr);
  auto watched = std::make_unique<WatchedLock>(std::move(realLock));
  WatchedLock& lock = *watched;
  port.SetSharingLock(std::move(watched));
  ASSERT_TRUE(port.OpenControllerPort(emu.linkPath()));

  TClassRoomDescription room;
  // Registers (LedA, Line, LedB, Route/Pairs) whose copy must match the controller.
  std::array<bool, 4> inStep = {true, true, true, true};
  long updates = 0, indicatorChanges = 0, forgedReports = 0;
  Handover handover;
  auto pump = [&] {
    handover.Pump([&](uint8_t high, uint8_t low) {
      ++updates;
      const auto changes = ApplyIndicatorReport(room.SwitchState, high, low);
      // A report is the controller's LedB, unless noise on the line happened
      // to pass the reply's 8-bit check-sum: nothing but the next true report
      // can bring the copy back then. (While the poll holds the port, only a
      // `led` command of this test can change LedB, which errs on the safe side.)
      const auto regs = emu.Registers();
      const bool genuine = regs.has_value() && regs->ledB == Word(high, low);
      if (!genuine) ++forgedReports;
      inStep[2] = genuine;
      // LedA bits follow the report for the desks that changed, which need
      // not be the controller's LedA.
      if (!changes.empty() || !genuine) inStep[0] = false;
      indicatorChanges += static_cast<long>(changes.size());
    });
  };
  SoakUi ui(pump);

  std::atomic<long> progress{0};
  std::atomic<bool> finished{false};
  // A hang is a failure, not a stuck test run: no progress for 60 s aborts.
  std::thread watchdog;
  // Joined however the test ends, so an early failure does not terminate.
  struct JoinAtEnd {
    std::atomic<bool>& finished;
    std::thread& thread;
    ~JoinAtEnd() {
      finished = true;
      if (thread.joinable()) thread.join();
    }
  } joinAtEnd{finished, watchdog};
  watchdog = std::thread([&] {
    long seen = -1;
    auto since = Clock::now();
    while (!finished) {
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      const long now = progress.load();
      if (now != seen) {
        seen = now;
        since = Clock::now();
      } else if (Clock::now() - since > std::chrono::seconds(60)) {
        std::fprintf(stderr, "soak: no progress for 60 s after %ld requests: deadlock\n", now);
        std::abort();
      }
    }
  });

  long requests = 0, succeeded = 0;
  {
    MyReadThread poll(port, handover);
    ControllerLink link(port, settings, ui, &poll);
    CountingSender sender(link);
    SentBytes sent(emu.tracePath());
    // Stopped however the block ends: the poll may be waiting for a hand-over.
    struct StopPoll {
      MyReadThread& poll;
      std::function<void()> pump;
      ~StopPoll() {
        poll.RequestStop();
        while (!poll.WaitStopped(10)) pump();
      }
    } stopPoll{poll, pump};
    poll.Resume();

    std::mt19937 random(static_cast<uint32_t>(seed));
    const auto deadline = Clock::now() + std::chrono::seconds(maxSeconds);
    while (requests < maxRequests && Clock::now() < deadline) {
      // Let a poll that holds the port finish its hand-over first; a poll
      // that slips in later is met by the wait dialog.
      const auto pollDeadline = Clock::now() + std::chrono::seconds(2);
      while (lock.PollHolds() && Clock::now() < pollDeadline) {
        pump();
        std::this_thread::sleep_for(std::chrono::microseconds(200));
      }
      pump();

      if (requests % 40 == 39) {
        // The controller's indicators change on their own: the poll must
        // bring the copy back in line, through whatever faults it meets.
        const int desk = static_cast<int>(random() % 16) + 1;
        ASSERT_TRUE(emu.Send("led " + std::to_string(desk) + (random() % 2 ? " on" : " off")));
        inStep[0] = inStep[2] = false;
        const long seenUpdates = updates;
        const auto until = Clock::now() + std::chrono::milliseconds(1500);
        while (updates == seenUpdates && Clock::now() < until) {
          pump();
          std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
      }

      const int type = static_cast<int>(random() % 22);
      const bool deskOn = random() % 2 != 0;
      const bool sourceOn = random() % 2 != 0;
      int desk = static_cast<int>(random() % 16);
      if (!deskOn && (type == LineOn || type == LineOff || type == InputToLineOn))
        desk = kNoListenedDesk;
      const uint16_t visible = static_cast<uint16_t>(random());
      ui.yesLeft = static_cast<int>(random() % 3);

      const SwitchRegisters before = room.SwitchState;
      const auto plan = PlanRequest(before, type, desk, sourceOn, deskOn, visible);
      const long framesBefore = sender.frames;
      const bool ok = SendSwitchRequest(room, sender, type, desk, sourceOn, deskOn, visible);
      ++requests;
      progress = requests;
      if (ok) ++succeeded;

      // Writes made: all of them on success; on failure the last one made was
      // not acknowledged (the controller may still have taken it).
      const long made = sender.frames - framesBefore;
      if (ok) {
        ASSERT_EQ(made, static_cast<long>(plan.size())) << "request " << requests;
      } else {
        ASSERT_GE(made, 1);
        ASSERT_LE(made, static_cast<long>(plan.size()));
        ASSERT_FALSE(sender.lastWriteAcked);
      }
      for (long i = 0; i < made; ++i) {
        const bool acked = ok || i + 1 < made;
        inStep[plan[i].command - frame::kLedA] = acked;
      }

      const auto regs = emu.Registers();
      ASSERT_TRUE(regs.has_value()) << "emulator stopped answering: " << emu.Error();
      const SwitchRegisters& s = room.SwitchState;
      if (inStep[0]) {
        ASSERT_EQ(regs->ledA, Word(s.LedAHigh, s.LedALow)) << "request " << requests;
      }
      if (inStep[1]) {
        ASSERT_EQ(regs->line, Word(s.LineHigh, s.LineLow)) << "request " << requests;
      }
      if (inStep[2]) {
        ASSERT_EQ(regs->ledB, Word(s.LedBHigh, s.LedBLow)) << "request " << requests;
      }
      if (inStep[3]) {
        ASSERT_EQ(regs->route, s.Route) << "request " << requests;
        ASSERT_EQ(regs->pairs, s.Pairs) << "request " << requests;
      }

      // Every success consumed an acknowledgement byte that the controller
      // really sent (as an answer, noise or a late answer: the line cannot tell).
      sent.Update();
      for (int v = 0; v < 256; ++v)
        ASSERT_LE(sender.acked[v], sent.count[v])
            << "success without acknowledgement 0x" << std::hex << v << " at request " << std::dec
            << requests;
    }

    sent.Update();
    std::printf("soak: %ld requests (%ld ok), %ld frames, %ld questions (%ld yes, %ld no), "
                "%ld wait dialogs, %ld indicator updates (%ld desks changed, %ld forged by "
                "noise), trace: %ld polls, %ld unanswered, %ld spoiled answers\n",
                requests, succeeded, sender.frames, ui.questions, ui.yes, ui.no, ui.dialogs,
                updates, indicatorChanges, forgedReports, sent.polls, sent.unanswered,
                sent.spoiled);
    // The run really met the faults it is about.
    EXPECT_GE(requests, 100);
    EXPECT_GT(succeeded, requests / 2);
    EXPECT_GT(ui.no, 0);
    EXPECT_GT(ui.yes, 0);
    EXPECT_GT(updates, 0);
    EXPECT_GT(sent.unanswered, 0);
    EXPECT_GT(sent.spoiled, 0);
  }
  port.ClosePort();
  shm_unlink(("/vormik-" + std::to_string(geteuid()) + "-" + lockName + ".lock").c_str());
}

}  // namespace
