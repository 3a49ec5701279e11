// Fuzz target: acknowledgement handling (TransmitFrame under SendSwitchRequest)
// and poll-reply handling (PollThread), against a controller model whose
// answers the input drops, spoils, delays or mixes with noise.
#include <unistd.h>

#include <array>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "controllersim/controller.h"
#include "controllersim/frameparser.h"
#include "fuzz/fuzzinput.h"
#include "link/pollexchange.h"
#include "link/controllerport.h"
#include "link/frame.h"
#include "link/pollthread.h"
#include "link/sendswitchrequest.h"
#include "link/switchstate.h"
#include "link/transmit.h"

namespace {

// A serial line to the controller model. What the model answers, and whether
// the answer arrives, is decided by the fuzz input.
class ScriptedLine : public platform::SerialPort {
 public:
  explicit ScriptedLine(fuzz::Input& in) : in_(in) {}

  bool Open(const std::string&) override { return true; }
  bool IsOpen() const override { return open_; }
  bool GetTimeouts(platform::SerialTimeouts&) override { return true; }
  bool SetTimeouts(const platform::SerialTimeouts&) override { return true; }
  bool ApplyLineMode(const std::string&) override { return true; }
  bool Purge(unsigned flags) override {
    if (flags & platform::kPurgeRxClear) incoming_.clear();
    return true;
  }
  bool WriteByte(uint8_t byte) override {
    if (!open_) return false;
    written_.push_back(byte);
    // Bytes queued by hand come once the console has begun to send.
    incoming_.insert(incoming_.end(), afterWrite_.begin(), afterWrite_.end());
    afterWrite_.clear();
    if (!answering_) return true;
    std::vector<controllersim::ParsedItem> items;
    parser_.Feed(byte, items);
    for (const auto& item : items) Answer(item);
    return true;
  }
  bool ReadByte(uint8_t& byte) override {
    if (incoming_.empty()) {
      // The read time-out passes; whatever was late arrives now.
      incoming_.insert(incoming_.end(), late_.begin(), late_.end());
      late_.clear();
      reads_.push_back(-1);
      return false;
    }
    byte = incoming_.front();
    incoming_.pop_front();
    reads_.push_back(byte);
    return true;
  }
  bool Drain() override { return open_; }
  void Close() override {}

  void SetOpen(bool open) { open_ = open; }
  // Off: only bytes queued by hand ever arrive.
  void SetAnswering(bool on) { answering_ = on; }
  controllersim::Controller& model() { return model_; }
  std::vector<int>& reads() { return reads_; }
  std::vector<uint8_t>& written() { return written_; }
  // Arrives after the next byte the console writes: the poll clears what
  // came before it.
  void Queue(uint8_t byte) { afterWrite_.push_back(byte); }

 private:
  void Answer(const controllersim::ParsedItem& item) {
    controllersim::Reply reply = model_.Handle(item);
    if (reply.bytes.empty()) return;
    switch (in_.Below(8)) {
      case 0:  // lost
        return;
      case 1:  // spoiled
        reply.bytes.back() = static_cast<uint8_t>(reply.bytes.back() + 1 + in_.Below(255));
        break;
      case 2:  // after the read time-out
        late_.insert(late_.end(), reply.bytes.begin(), reply.bytes.end());
        return;
      case 3:  // noise first
        incoming_.push_back(in_.Byte());
        break;
      default:
        break;
    }
    incoming_.insert(incoming_.end(), reply.bytes.begin(), reply.bytes.end());
  }

  fuzz::Input& in_;
  bool open_ = true;
  bool answering_ = true;
  controllersim::FrameParser parser_;
  controllersim::Controller model_;
  std::deque<uint8_t> incoming_;
  std::vector<uint8_t> late_;
  std::vector<uint8_t> afterWrite_;
  std::vector<int> reads_;  // each read: the byte, or -1 for a time-out
  std::vector<uint8_t> written_;
};

// The port lock, always free here (one thread exchanges at a time); it checks
// that every exchange holds it and lets it go exactly once.
class CheckedLock : public platform::NamedLock {
 public:
  platform::LockWait Wait(int) override {
    std::lock_guard<std::mutex> guard(mutex_);
    FUZZ_CHECK(!held_);
    held_ = true;
    return platform::LockWait::kAcquired;
  }
  void Release() override {
    std::function<void()> after;
    {
      std::lock_guard<std::mutex> guard(mutex_);
      FUZZ_CHECK(held_);
      held_ = false;
      ++releases_;
      after = onRelease_;
    }
    if (after) after();
  }
  bool Held() {
    std::lock_guard<std::mutex> guard(mutex_);
    return held_;
  }
  int Releases() {
    std::lock_guard<std::mutex> guard(mutex_);
    return releases_;
  }
  void OnRelease(std::function<void()> f) {
    std::lock_guard<std::mutex> guard(mutex_);
    onRelease_ = std::move(f);
  }

 private:
  std::mutex mutex_;
  bool held_ = false;
  int releases_ = 0;
  std::function<void()> onRelease_;
};

// The teacher: answers the connection question from the input, and gives up
// after a few questions so every request ends.
class ScriptedTeacher : public LinkUi {
 public:
  explicit ScriptedTeacher(fuzz::Input& in) : in_(in) {}
  bool AskRetryConnection() override {
    ++questions;
    lastAnswer = questions <= 3 && in_.Bool();
    return lastAnswer;
  }
  void ShowWaitDialog() override { FUZZ_CHECK(false && "the port is never busy here"); }
  int questions = 0;
  bool lastAnswer = false;

 private:
  fuzz::Input& in_;
};

// Checks every TransmitFrame against what went over the line.
class CheckedSender : public FrameSender {
 public:
  CheckedSender(ControllerLink& link, ScriptedLine& line, ScriptedTeacher& teacher,
                CheckedLock& lock, bool skipAck)
      : link_(link), line_(line), teacher_(teacher), lock_(lock), skipAck_(skipAck) {}

  bool TransmitFrame(uint8_t command, uint8_t high, uint8_t low) override {
    line_.reads().clear();
    line_.written().clear();
    teacher_.questions = 0;
    const int releases = lock_.Releases();
    const bool ok = link_.TransmitFrame(command, high, low);
    FUZZ_CHECK(!lock_.Held());
    FUZZ_CHECK(lock_.Releases() == releases + 1);

    const auto frame = frame::Build(command, high, low);
    const int ack = frame::AckFor(frame[5]);
    const std::vector<int>& reads = line_.reads();
    const std::vector<uint8_t>& written = line_.written();
    // Whole frames only, every one the same.
    FUZZ_CHECK(!written.empty() && written.size() % 6 == 0);
    for (size_t i = 0; i < written.size(); ++i) FUZZ_CHECK(written[i] == frame[i % 6]);
    const size_t attempts = written.size() / 6;
    if (skipAck_) {
      FUZZ_CHECK(ok && attempts == 1 && reads.empty());
    } else {
      // Each attempt reads its answer, and after the acknowledgement once
      // more: only a quiet line after it makes the attempt a success, and
      // only the last attempt may succeed.
      size_t next = 0;
      bool lastSucceeded = false;
      for (size_t attempt = 0; attempt < attempts; ++attempt) {
        FUZZ_CHECK(next < reads.size());
        const bool acknowledged = reads[next++] == ack;
        lastSucceeded = false;
        if (acknowledged) {
          FUZZ_CHECK(next < reads.size());
          lastSucceeded = reads[next++] == -1;
        }
        if (attempt + 1 < attempts) FUZZ_CHECK(!lastSucceeded);
      }
      FUZZ_CHECK(next == reads.size());
      FUZZ_CHECK(ok == lastSucceeded);
      // Two attempts per question: one silent repeat, then ask.
      const size_t expectedQuestions = ok ? (attempts - 1) / 2 : attempts / 2;
      FUZZ_CHECK(static_cast<size_t>(teacher_.questions) == expectedQuestions);
      if (!ok) FUZZ_CHECK(attempts % 2 == 0 && !teacher_.lastAnswer);
    }
    // The controller applied the frame whatever became of its answer.
    FUZZ_CHECK(line_.model().Register(command) == (high << 8 | low));
    return ok;
  }

 private:
  ControllerLink& link_;
  ScriptedLine& line_;
  ScriptedTeacher& teacher_;
  CheckedLock& lock_;
  bool skipAck_;
};

uint16_t Word(uint8_t high, uint8_t low) { return static_cast<uint16_t>(high << 8 | low); }

std::string SettingsWithSkip() {
  static std::string path;
  if (path.empty()) {
    char dir[] = "/tmp/vormik-fuzz-link-XXXXXX";
    if (mkdtemp(dir) == nullptr) std::abort();
    path = std::string(dir) + "/vormik.ini";
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) std::abort();
    std::fputs("[Communication]\r\nNotWaitCSFromMC=1\r\n", f);
    std::fclose(f);
  }
  return path;
}

void FuzzRequests(fuzz::Input& in, bool skipAck) {
  auto owned = std::make_unique<ScriptedLine>(in);
  ScriptedLine& line = *owned;
  ControllerPort port(std::move(owned));
  auto lockOwned = std::make_unique<CheckedLock>();
  CheckedLock& lock = *lockOwned;
  port.SetSharingLock(std::move(lockOwned));
  ScriptedTeacher teacher(in);
  ControllerLink link(port, skipAck ? SettingsWithSkip() : "/nonexistent/vormik.ini", teacher);
  CheckedSender sender(link, line, teacher, lock, skipAck);

  SwitchRegisters regs;
  // Registers whose last write was acknowledged: there the copy must match.
  std::array<bool, 4> inStep = {true, true, true, true};
  for (int n = 0; n < 48 && !in.Empty(); ++n) {
    const int type = in.Below(24);  // 22 and 23 lie past the last type
    const bool deskOn = in.Bool();
    int desk = in.Below(18);
    if ((type == ListenDesk || type == SpeakDesk || deskOn) && desk > 15) desk &= 15;
    if (!deskOn && (type == LineOn || type == LineOff || type == InputToLineOn) && in.Bool())
      desk = kNoListenedDesk;
    const bool sourceOn = in.Bool();
    const uint16_t visible = in.Word();

    const SwitchRegisters before = regs;
    const auto plan = PlanRequest(before, type, desk, sourceOn, deskOn, visible);
    bool ok = false;
    size_t done = 0;
    {
      // Count the acknowledged writes by watching the commits.
      struct Counting : FrameSender {
        FrameSender& inner;
        size_t& done;
        Counting(FrameSender& i, size_t& d) : inner(i), done(d) {}
        bool TransmitFrame(uint8_t c, uint8_t h, uint8_t l) override {
          const bool r = inner.TransmitFrame(c, h, l);
          if (r) ++done;
          return r;
        }
      } counting(sender, done);
      ok = SendSwitchRequest(regs, counting, type, desk, sourceOn, deskOn, visible);
    }
    FUZZ_CHECK(ok == (done == plan.size()));
    // The copy is the state before with exactly the acknowledged writes applied.
    SwitchRegisters expected = before;
    for (size_t i = 0; i < done; ++i) CommitWrite(expected, plan[i]);
    const SwitchRegisters& s = regs;
    FUZZ_CHECK(std::memcmp(&expected, &s, sizeof s) == 0);
    for (size_t i = 0; i < plan.size() && i <= done; ++i)
      inStep[plan[i].command - frame::kLedA] = i < done;

    controllersim::Controller& m = line.model();
    if (inStep[0]) FUZZ_CHECK(m.Register(frame::kLedA) == Word(s.LedAHigh, s.LedALow));
    if (inStep[1]) FUZZ_CHECK(m.Register(frame::kLine) == Word(s.LineHigh, s.LineLow));
    if (inStep[2]) FUZZ_CHECK(m.Register(frame::kLedB) == Word(s.LedBHigh, s.LedBLow));
    if (inStep[3]) FUZZ_CHECK(m.Register(frame::kRoutePairs) == Word(s.Pairs, s.Route));
  }
}

// One poll of PollThread over a line that holds the given reply bytes.
class RecordingHandover : public IndicatorHandover {
 public:
  void RunIndicatorUpdate(uint8_t high, uint8_t low) override {
    ++calls;
    this->high = high;
    this->low = low;
  }
  int calls = 0;
  uint8_t high = 0, low = 0;
};

void FuzzPoll(fuzz::Input& in) {
  auto owned = std::make_unique<ScriptedLine>(in);
  ScriptedLine& line = *owned;
  line.SetOpen(in.Below(16) != 0);
  line.SetAnswering(false);
  const std::string reply = in.Bytes(in.Below(5));
  for (char c : reply) line.Queue(static_cast<uint8_t>(c));
  ControllerPort port(std::move(owned));
  auto lockOwned = std::make_unique<CheckedLock>();
  CheckedLock& lock = *lockOwned;
  port.SetSharingLock(std::move(lockOwned));

  RecordingHandover handover;
  {
    PollThread thread(port, handover);
    lock.OnRelease([&thread] { thread.RequestStop(); });
    thread.Resume();
    while (!thread.WaitStopped(50)) {
    }
  }
  FUZZ_CHECK(!lock.Held());
  FUZZ_CHECK(lock.Releases() == 1);
  const bool valid = line.IsOpen() && reply.size() >= 3 &&
                     static_cast<uint8_t>(reply[2]) ==
                         frame::PollReplyChecksum(static_cast<uint8_t>(reply[0]),
                                                  static_cast<uint8_t>(reply[1]));
  FUZZ_CHECK(handover.calls == (valid ? 1 : 0));
  if (line.IsOpen()) {
    // A spoilt reply is asked for again: only whole poll frames, one for a
    // good reply, at most one more per repeat otherwise.
    const std::vector<uint8_t>& written = line.written();
    const size_t frameSize = frame::kPollFrame.size();
    FUZZ_CHECK(!written.empty() && written.size() % frameSize == 0);
    const size_t polls = written.size() / frameSize;
    FUZZ_CHECK(valid ? polls == 1 : polls <= 1 + static_cast<size_t>(kPollRepeatsWhenSpoilt));
    for (size_t i = 0; i < written.size(); ++i)
      FUZZ_CHECK(written[i] == frame::kPollFrame[i % frameSize]);
  }
  if (!valid) return;
  FUZZ_CHECK(handover.high == static_cast<uint8_t>(reply[0]));
  FUZZ_CHECK(handover.low == static_cast<uint8_t>(reply[1]));

  // The update brings LedB to the report and moves LedA bits only for the
  // desks that changed.
  SwitchRegisters state;
  state.LedALow = in.Byte(), state.LedAHigh = in.Byte();
  state.LedBLow = in.Byte(), state.LedBHigh = in.Byte();
  state.LineLow = in.Byte(), state.Route = in.Byte(), state.Pairs = in.Byte();
  const SwitchRegisters before = state;
  const auto changes = ApplyIndicatorReport(state, handover.high, handover.low);
  FUZZ_CHECK(state.LedBHigh == handover.high && state.LedBLow == handover.low);
  const uint16_t report = Word(handover.high, handover.low);
  const uint16_t oldB = Word(before.LedBHigh, before.LedBLow);
  uint16_t changed = 0;
  int lastDesk = -1;
  for (const IndicatorChange& c : changes) {
    FUZZ_CHECK(c.deskIndex > lastDesk && c.deskIndex < 16);
    lastDesk = c.deskIndex;
    changed |= static_cast<uint16_t>(1u << c.deskIndex);
    FUZZ_CHECK(c.on == ((report >> c.deskIndex) & 1));
  }
  FUZZ_CHECK(changed == (report ^ oldB));
  const uint16_t oldA = Word(before.LedAHigh, before.LedALow);
  const uint16_t newA = Word(state.LedAHigh, state.LedALow);
  FUZZ_CHECK((newA & ~changed) == (oldA & ~changed));
  FUZZ_CHECK((newA & changed) == (report & changed));
  FUZZ_CHECK(state.LineLow == before.LineLow && state.Route == before.Route &&
             state.Pairs == before.Pairs && state.LineHigh == before.LineHigh);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  switch (in.Below(8)) {
    case 0:
      FuzzPoll(in);
      break;
    case 1:
      FuzzRequests(in, true);
      break;
    default:
      FuzzRequests(in, false);
      break;
  }
  return 0;
}
