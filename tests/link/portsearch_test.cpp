// The probe on a port of its own and the search over several, against
// scripted answerers behind the serial-port interface.
#include "link/portsearch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "link/frame.h"
#include "platform/namedlock.h"

namespace {

using platform::LockWait;
using platform::PortProblem;

// What sits behind one port name.
struct Answerer {
  bool present = true;
  bool openable = true;
  // The byte sent back to a whole probe frame; none when silent.
  std::optional<uint8_t> reply;
  bool goneOnWrite = false;  // unplugged while the probe goes out
};
constexpr uint8_t kProbeAck = frame::AckFor(frame::kProbeFrame[frame::kFrameLength - 1]);

// The ports of a scripted computer, and what happened on them.
struct Computer {
  std::map<std::string, Answerer> ports;
  std::vector<std::string> opened;
  std::map<std::string, std::vector<uint8_t>> written;
  std::map<std::string, platform::SerialTimeouts> timeoutsAtClose;
  std::vector<std::string> lockNames;
  LockWait lockAnswer = LockWait::kAcquired;
  int locksHeld = 0;
};

constexpr platform::SerialTimeouts kFoundTimeouts{7, 8, 9, 10, 11};

class ScriptedPort : public platform::SerialPort {
 public:
  explicit ScriptedPort(Computer& computer) : pc_(computer) {}
  bool Open(const std::string& name) override {
    name_ = name;
    pc_.opened.push_back(name);
    const auto found = pc_.ports.find(name);
    problem_ = PortProblem::kNone;
    if (found == pc_.ports.end() || !found->second.present) {
      problem_ = PortProblem::kDeviceGone;
    } else if (!found->second.openable) {
      problem_ = PortProblem::kUnavailable;
    } else {
      open_ = true;
      timeouts_ = kFoundTimeouts;
    }
    return open_;
  }
  bool IsOpen() const override { return open_; }
  bool GetTimeouts(platform::SerialTimeouts& out) override {
    out = timeouts_;
    return open_;
  }
  bool SetTimeouts(const platform::SerialTimeouts& t) override {
    timeouts_ = t;
    return open_;
  }
  bool ApplyLineMode(const std::string&) override { return open_; }
  bool Purge(unsigned) override { return open_; }
  bool WriteByte(uint8_t b) override {
    if (!open_) return false;
    if (Script().goneOnWrite) {
      problem_ = PortProblem::kDeviceGone;
      return false;
    }
    pc_.written[name_].push_back(b);
    return true;
  }
  bool Drain() override { return open_; }
  bool ReadByte(uint8_t& b) override {
    const std::vector<uint8_t>& sent = pc_.written[name_];
    const bool wholeProbe = sent.size() >= frame::kProbeFrame.size() &&
                            std::equal(frame::kProbeFrame.begin(), frame::kProbeFrame.end(),
                                       sent.end() - frame::kProbeFrame.size());
    if (!open_ || !wholeProbe || !Script().reply || answered_) return false;
    answered_ = true;
    b = *Script().reply;
    return true;
  }
  void Close() override {
    if (open_) pc_.timeoutsAtClose[name_] = timeouts_;
    open_ = false;
  }
  PortProblem Problem() const override { return problem_; }

 private:
  const Answerer& Script() { return pc_.ports[name_]; }
  Computer& pc_;
  std::string name_;
  bool open_ = false;
  bool answered_ = false;
  PortProblem problem_ = PortProblem::kNone;
  platform::SerialTimeouts timeouts_;
};

class ScriptedLock : public platform::NamedLock {
 public:
  explicit ScriptedLock(Computer& computer) : pc_(computer) {}
  LockWait Wait(int) override {
    if (pc_.lockAnswer == LockWait::kAcquired) ++pc_.locksHeld;
    return pc_.lockAnswer;
  }
  void Release() override { --pc_.locksHeld; }

 private:
  Computer& pc_;
};

ProbeSetup SetupFor(Computer& pc) {
  ProbeSetup setup;
  setup.makePort = [&pc] { return std::make_unique<ScriptedPort>(pc); };
  setup.makeLock = [&pc](const std::string& name) {
    pc.lockNames.push_back(name);
    return std::unique_ptr<platform::NamedLock>(std::make_unique<ScriptedLock>(pc));
  };
  setup.lockBase = "PortSharing-test";
  return setup;
}

TEST(PortSearch, OnlyTheSecondOfThreeAnswersAndTheSearchStopsThere) {
  Computer pc;
  pc.ports["/dev/ttyUSB0"] = {};  // silent
  pc.ports["/dev/ttyUSB1"].reply = kProbeAck;
  pc.ports["/dev/ttyS0"].reply = kProbeAck;  // would answer, but comes after
  const ProbeSetup setup = SetupFor(pc);
  std::vector<std::string> announced;
  const SearchResult result = FindController(
      {"/dev/ttyUSB0", "/dev/ttyUSB1", "/dev/ttyS0"},
      [&setup](const std::string& name) { return ProbePort(name, setup); },
      [&announced](const std::string& name) {
        announced.push_back(name);
        return true;
      });
  ASSERT_TRUE(result.found.has_value());
  EXPECT_EQ(*result.found, "/dev/ttyUSB1");
  ASSERT_EQ(result.tried.size(), 2u);
  EXPECT_EQ(result.tried[0].outcome, ProbeOutcome::kNoAnswer);
  EXPECT_EQ(result.tried[1].outcome, ProbeOutcome::kAnswered);
  EXPECT_EQ(announced, (std::vector<std::string>{"/dev/ttyUSB0", "/dev/ttyUSB1"}));
  // One at a time: each port had the probe frame alone, and was given back
  // with the time-outs it was found with; the third was never opened.
  EXPECT_EQ(pc.opened, (std::vector<std::string>{"/dev/ttyUSB0", "/dev/ttyUSB1"}));
  for (const char* name : {"/dev/ttyUSB0", "/dev/ttyUSB1"}) {
    EXPECT_EQ(pc.written[name],
              std::vector<uint8_t>(frame::kProbeFrame.begin(), frame::kProbeFrame.end()))
        << name;
    EXPECT_EQ(pc.timeoutsAtClose[name].readTotalConstantMs, kFoundTimeouts.readTotalConstantMs)
        << name;
  }
  EXPECT_EQ(pc.locksHeld, 0);
#ifndef _WIN32
  EXPECT_EQ(pc.lockNames[1], "PortSharing-test:/dev/ttyUSB1");  // that port's own lock
#endif
  EXPECT_EQ(SearchResultText(result), "Контроллер найден на порту /dev/ttyUSB1.");
}

TEST(PortSearch, EachWayAProbeEnds) {
  struct Row {
    const char* name;
    Answerer answerer;
    LockWait lock;
    ProbeOutcome expected;
    bool frameSent;
  } rows[] = {
      {"acknowledged",
       {true, true, kProbeAck, false},
       LockWait::kAcquired,
       ProbeOutcome::kAnswered,
       true},
      {"acknowledged, lock broken",
       {true, true, kProbeAck, false},
       LockWait::kFailed,
       ProbeOutcome::kAnswered,
       true},
      {"silent",
       {true, true, std::nullopt, false},
       LockWait::kAcquired,
       ProbeOutcome::kNoAnswer,
       true},
      {"wrong byte back",
       {true, true, uint8_t(kProbeAck - 1), false},
       LockWait::kAcquired,
       ProbeOutcome::kNoAnswer,
       true},
      {"no such device",
       {false, true, kProbeAck, false},
       LockWait::kAcquired,
       ProbeOutcome::kMissing,
       false},
      {"in use elsewhere",
       {true, false, kProbeAck, false},
       LockWait::kAcquired,
       ProbeOutcome::kUnavailable,
       false},
      {"unplugged during the probe",
       {true, true, kProbeAck, true},
       LockWait::kAcquired,
       ProbeOutcome::kMissing,
       false},
      {"lock kept by another program",
       {true, true, kProbeAck, false},
       LockWait::kTimedOut,
       ProbeOutcome::kLockBusy,
       false},
  };
  for (const Row& r : rows) {
    Computer pc;
    pc.ports["COM4"] = r.answerer;
    pc.lockAnswer = r.lock;
    EXPECT_EQ(ProbePort("COM4", SetupFor(pc)), r.expected) << r.name;
    EXPECT_EQ(!pc.written["COM4"].empty(), r.frameSent) << r.name;
    EXPECT_EQ(pc.locksHeld, 0) << r.name;
  }
}

TEST(PortSearch, NothingAnsweringSaysWhatEachPortDid) {
  Computer pc;
  pc.ports["COM1"] = {};
  pc.ports["COM2"].openable = false;
  const ProbeSetup setup = SetupFor(pc);
  const SearchResult result =
      FindController({"COM1", "COM2", "COM3"},
                     [&setup](const std::string& name) { return ProbePort(name, setup); });
  EXPECT_FALSE(result.found.has_value());
  EXPECT_EQ(SearchResultText(result),
            "Контроллер не найден: ни один порт не ответил.\n"
            "Контроллер не ответил на порту COM1.\n"
            "Порт COM2 не открывается: занят другой программой или нет доступа.\n"
            "Порта COM3 нет: устройство не найдено.");
  EXPECT_EQ(SearchResultText(
                FindController({}, [](const std::string&) { return ProbeOutcome::kAnswered; })),
            "Контроллер не найден: нет ни одного порта для проверки.");
}

TEST(PortSearch, SearchEndsWhenToldBeforeAProbe) {
  int probes = 0;
  const SearchResult result = FindController(
      {"a", "b", "c"},
      [&probes](const std::string&) {
        ++probes;
        return ProbeOutcome::kNoAnswer;
      },
      [](const std::string& name) { return name != "b"; });
  EXPECT_EQ(probes, 1);
  EXPECT_EQ(result.tried.size(), 1u);
}

}  // namespace
