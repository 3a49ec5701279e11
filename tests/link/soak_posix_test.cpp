// Fault soak: the link layer against vormik-emulator playing random faults
// while the poll thread runs, with the controller now and then unplugged and
// plugged back in (the emulator restarted on the same link). After every
// acknowledged write the copy of the registers must match the controller
// wherever the last write was acknowledged, no success may come without an
// acknowledgement byte on the line, the link status must say what the link
// last did, and nothing may hang. Bounded in count and time; VORMIK_SOAK_REQUESTS,
// VORMIK_SOAK_SECONDS, VORMIK_SOAK_RESTART_EVERY and VORMIK_SOAK_SEED change the
// bounds, the replug interval and the seed (the full run: VORMIK_SOAK_REQUESTS=10000).
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>

#include "link/pollthread.h"
#include "link/controllerport.h"
#include "link/frame.h"
#include "link/sendswitchrequest.h"
#include "link/switchstate.h"
#include "link/transmit.h"
#include "platform/namedlock.h"
#include "tests/support/emulatorprocess.h"
#include "tests/support/locknames.h"
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

// The port lock, remembering whether the poll thread is the one holding it
// and how often the poll has taken it, by the time the interface let it go.
class WatchedLock : public platform::NamedLock {
 public:
  explicit WatchedLock(std::unique_ptr<platform::NamedLock> inner) : inner_(std::move(inner)) {}
  platform::LockWait Wait(int timeoutMs) override {
    const platform::LockWait r = inner_->Wait(timeoutMs);
    if (r == platform::LockWait::kAcquired && std::this_thread::get_id() != uiThread_) {
      pollHolds_ = true;
      ++pollTakes_;
    }
    return r;
  }
  void Release() override {
    if (std::this_thread::get_id() != uiThread_) {
      pollHolds_ = false;
    } else {
      pollTakesAtUiRelease_ = pollTakes_.load();
    }
    inner_->Release();
  }
  bool PollHolds() const { return pollHolds_.load(); }
  long PollTakes() const { return pollTakes_.load(); }
  long PollTakesAtUiRelease() const { return pollTakesAtUiRelease_.load(); }

 private:
  std::unique_ptr<platform::NamedLock> inner_;
  std::thread::id uiThread_ = std::this_thread::get_id();
  std::atomic<bool> pollHolds_{false};
  std::atomic<long> pollTakes_{0};
  std::atomic<long> pollTakesAtUiRelease_{-1};
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
  bool AskRetryAfterFailure(const LinkFailure& failure) override {
    if (failure.kind != LinkFailure::Kind::kNoAnswer) ++deviceGoneQuestions;
    if (onQuestion) onQuestion();
    return LinkUi::AskRetryAfterFailure(failure);
  }
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
  long questions = 0, yes = 0, no = 0, dialogs = 0, deviceGoneQuestions = 0;
  // Runs when the question is shown (the controller may be plugged back in then).
  std::function<void()> onQuestion;

 private:
  std::function<void()> pump_;
};

// Counts every byte the emulator has sent, from its trace, read as it grows.
class SentBytes {
 public:
  explicit SentBytes(std::string path) : path_(std::move(path)) {}
  // The next emulator's trace; the counts go on.
  void Follow(std::string path) {
    path_ = std::move(path);
    offset_ = 0;
  }
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

// Passes every write through and counts, per acknowledgement value, the
// successes, so that they can be set against the bytes the controller sent.
// Before each write it runs `check` (the copy after the last commit), and
// after each it checks that the link status tells what the write did.
class CountingSender : public FrameSender {
 public:
  CountingSender(ControllerLink& link, ControllerPort& port, WatchedLock& lock)
      : link_(link), port_(port), lock_(lock) {}
  bool TransmitFrame(uint8_t command, uint8_t high, uint8_t low) override {
    return TransmitComposed([&]() -> std::optional<RegisterWrite> {
      return RegisterWrite{command, high, low};
    });
  }
  bool TransmitComposed(const WriteComposer& compose) override {
    if (check) check();
    std::optional<RegisterWrite> write;
    const bool ok = link_.TransmitComposed([&] { return write = compose(); });
    if (!write) return ok;
    const LinkStatusSnapshot status = port_.status().Snapshot();
    ++frames;
    if (ok) ++acked[frame::AckFor(frame::Checksum(write->command, write->high, write->low))];
    lastWriteAcked = ok;
    // Only when no poll has taken the port since this write let it go is
    // the last thing the link did this write.
    if (lock_.PollTakes() == lock_.PollTakesAtUiRelease()) {
      ++statusChecked;
      const LinkOutcome o = status.lastOutcome;
      const bool told = ok ? o == LinkOutcome::kAcknowledged && status.state == LinkState::kAnswering
                           : (o == LinkOutcome::kNoAnswer &&
                              status.state == LinkState::kNotAnswering) ||
                                 ((o == LinkOutcome::kDeviceGone ||
                                   o == LinkOutcome::kPortUnavailable) &&
                                  status.state == LinkState::kDeviceMissing);
      if (!told) ++statusWrong;
    }
    return ok;
  }
  std::array<long, 256> acked{};
  long frames = 0, statusChecked = 0, statusWrong = 0;
  bool lastWriteAcked = false;
  std::function<void()> check;

 private:
  ControllerLink& link_;
  ControllerPort& port_;
  WatchedLock& lock_;
};

TEST(LinkSoak, RandomFaultsAndReplugsWithPollKeepTheCopyInStepAndNeverFakeSuccess) {
  const long maxRequests = EnvNumber("VORMIK_SOAK_REQUESTS", 1000);
  const long maxSeconds = EnvNumber("VORMIK_SOAK_SECONDS", 150);
  const long restartEvery = EnvNumber("VORMIK_SOAK_RESTART_EVERY", 200);
  const long seed = EnvNumber("VORMIK_SOAK_SEED", 20261207);
  SCOPED_TRACE("seed " + std::to_string(seed));

  testsupport::TempDir dir;
  const std::string linkPath = dir.File("ttySOAK");
  long restarts = 0;
  auto startEmulator = [&] {
    return std::make_unique<EmulatorProcess>(std::vector<std::string>{
        "--link", linkPath, "--random-faults", std::to_string(seed + restarts)});
  };
  std::unique_ptr<EmulatorProcess> emu = startEmulator();
  ASSERT_TRUE(emu->Started()) << emu->Error();
  const std::string settings = dir.File("vormik.ini");
  std::ofstream(settings) << "[Communication]\r\nNotWaitCSFromMC=0\r\n";

  ControllerPort port;
  auto realLock =
      platform::CreateNamedLock(ControllerPort::SharingLockName(linkPath, testsupport::TestLockName("soak")));
  ASSERT_NE(realLock, nullptr);
  auto watched = std::make_unique<WatchedLock>(std::move(realLock));
  WatchedLock& lock = *watched;
  port.SetSharingLock(std::move(watched));
  ASSERT_TRUE(port.OpenControllerPort(linkPath));

  SwitchRegisters regs;
  // Registers (LedA, Line, LedB, Route/Pairs) whose copy must match the controller.
  std::array<bool, 4> inStep = {true, true, true, true};
  long updates = 0, indicatorChanges = 0, forgedReports = 0, copyChecks = 0;
  Handover handover;
  auto pump = [&] {
    handover.Pump([&](uint8_t high, uint8_t low) {
      ++updates;
      const auto changes = ApplyIndicatorReport(regs, high, low);
      // A report is the controller's LedB, unless noise on the line happened
      // to pass the reply's 8-bit check-sum: nothing but the next true report
      // can bring the copy back then. (While the poll holds the port, only a
      // `led` command of this test can change LedB, which errs on the safe side.)
      const auto regs = emu->Registers();
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

  long requests = 0, succeeded = 0, failedWhileUnplugged = 0;
  bool copyWrong = false;
  // The registers whose last write was acknowledged must hold what the copy says.
  auto checkCopy = [&](const char* when) {
    ++copyChecks;
    const auto device = emu->Registers();
    ASSERT_TRUE(device.has_value()) << "emulator stopped answering: " << emu->Error();
    const SwitchRegisters& s = regs;
    const bool wrong = (inStep[0] && device->ledA != Word(s.LedAHigh, s.LedALow)) ||
                       (inStep[1] && device->line != Word(s.LineHigh, s.LineLow)) ||
                       (inStep[2] && device->ledB != Word(s.LedBHigh, s.LedBLow)) ||
                       (inStep[3] && (device->route != s.Route || device->pairs != s.Pairs));
    if (wrong && !copyWrong) {
      copyWrong = true;
      ADD_FAILURE() << "copy differs from the controller " << when << " at request " << requests;
    }
  };
  {
    PollThread poll(port, handover);
    ControllerLink link(port, settings, ui, &poll);
    CountingSender sender(link, port, lock);
    SentBytes sent(emu->tracePath());
    // Stopped however the block ends: the poll may be waiting for a hand-over.
    struct StopPoll {
      PollThread& poll;
      std::function<void()> pump;
      ~StopPoll() {
        poll.RequestStop();
        while (!poll.WaitStopped(10)) pump();
      }
    } stopPoll{poll, pump};
    poll.Resume();

    // Unplugging and plugging back in: a new controller, all registers zero.
    bool unplugged = false;
    auto unplug = [&] {
      emu->Stop();
      sent.Update();  // what the old controller sent still counts
      unplugged = true;
    };
    auto plugIn = [&] {
      ++restarts;
      emu = startEmulator();
      ASSERT_TRUE(emu->Started()) << emu->Error();
      sent.Follow(emu->tracePath());
      inStep = {false, false, false, false};
      unplugged = false;
    };
    sender.check = [&] {
      if (sender.lastWriteAcked && !unplugged) checkCopy("after an acknowledged write");
    };

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

      ui.onQuestion = nullptr;
      ui.yesLeft = static_cast<int>(random() % 3);
      if (requests % restartEvery == restartEvery - 1) {
        unplug();
        if ((requests / restartEvery) % 2 == 0) {
          // Plugged back in while the connection question is open; "Повторить".
          ui.onQuestion = [&] {
            if (unplugged) plugIn();
          };
          ui.yesLeft = 2;
        } else {
          // Plugged back in between two commands: the poll or the next
          // command finds it quietly. One command meets the empty port first.
          ui.yesLeft = 0;
        }
      } else if (unplugged) {
        plugIn();
      }

      if (!unplugged && requests % 40 == 39) {
        // The controller's indicators change on their own: the poll must
        // bring the copy back in line, through whatever faults it meets.
        const int desk = static_cast<int>(random() % 16) + 1;
        ASSERT_TRUE(emu->Send("led " + std::to_string(desk) + (random() % 2 ? " on" : " off")));
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

      const SwitchRegisters before = regs;
      const auto plan = PlanRequest(before, type, desk, sourceOn, deskOn, visible);
      const long framesBefore = sender.frames;
      const bool wasUnplugged = unplugged;
      const bool ok = SendSwitchRequest(regs, sender, type, desk, sourceOn, deskOn, visible);
      ++requests;
      progress = requests;
      if (ok) ++succeeded;
      if (wasUnplugged && unplugged) {
        // Nobody plugged it back in: nothing can have been acknowledged.
        ASSERT_FALSE(ok && !plan.empty()) << "success with the controller unplugged";
        ++failedWhileUnplugged;
        ASSERT_EQ(std::memcmp(&before, &regs, sizeof before), 0);
        continue;
      }

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
      checkCopy("after the request");
      ASSERT_FALSE(copyWrong);

      // Every success consumed an acknowledgement byte that a controller
      // really sent (as an answer, noise or a late answer: the line cannot tell).
      sent.Update();
      for (int v = 0; v < 256; ++v)
        ASSERT_LE(sender.acked[v], sent.count[v])
            << "success without acknowledgement 0x" << std::hex << v << " at request " << std::dec
            << requests;
      ASSERT_EQ(sender.statusWrong, 0) << "link status not what the link did, request "
                                       << requests;
    }
    if (unplugged) plugIn();

    sent.Update();
    std::printf("soak: %ld requests (%ld ok), %ld frames, %ld replugs (%ld requests met an "
                "empty port), %ld questions (%ld yes, %ld no, %ld about a missing device), "
                "%ld wait dialogs, %ld indicator updates (%ld desks changed, %ld forged by "
                "noise), %ld copy checks, %ld status checks, trace: %ld polls, %ld unanswered, "
                "%ld spoiled answers\n",
                requests, succeeded, sender.frames, restarts, failedWhileUnplugged, ui.questions,
                ui.yes, ui.no, ui.deviceGoneQuestions, ui.dialogs, updates, indicatorChanges,
                forgedReports, copyChecks, sender.statusChecked, sent.polls, sent.unanswered,
                sent.spoiled);
    // The run really met the faults it is about.
    EXPECT_GE(requests, 100);
    EXPECT_GT(succeeded, requests / 2);
    EXPECT_GT(ui.no, 0);
    EXPECT_GT(ui.yes, 0);
    EXPECT_GT(updates, 0);
    EXPECT_GT(sent.unanswered, 0);
    EXPECT_GT(sent.spoiled, 0);
    EXPECT_GT(sender.statusChecked, requests / 2);
    if (requests >= 2 * restartEvery) {
      EXPECT_GE(restarts, 2);
      EXPECT_GT(ui.deviceGoneQuestions, 0);
    }
  }
  port.ClosePort();
}

}  // namespace
