// Line noise never stands for the controller: a byte left from before a frame
// or the expected value inside a burst is no acknowledgement, and a spoilt
// poll reply is asked for again instead of being taken for a lost link.
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "link/frame.h"
#include "link/pollexchange.h"
#include "link/pollthread.h"
#include "link/transmit.h"
#include "tests/support/eventually.h"
#include "tests/support/reportrecorder.h"

namespace {

using Bytes = std::vector<uint8_t>;

// A device whose controller answers each drained request with `answer`.
struct Line {
  std::mutex m;
  std::deque<uint8_t> rx;
  Bytes request;
  std::function<Bytes(const Bytes&)> answer;
};

class NoisyPort : public platform::SerialPort {
 public:
  explicit NoisyPort(std::shared_ptr<Line> line) : line_(std::move(line)) {}
  bool Open(const std::string&) override { return true; }
  bool IsOpen() const override { return true; }
  bool GetTimeouts(platform::SerialTimeouts&) override { return false; }
  bool SetTimeouts(const platform::SerialTimeouts&) override { return true; }
  bool ApplyLineMode(const std::string&) override { return true; }
  bool Purge(unsigned flags) override {
    std::lock_guard<std::mutex> g(line_->m);
    if (flags & platform::kPurgeRxClear) line_->rx.clear();
    return true;
  }
  bool WriteByte(uint8_t b) override {
    std::lock_guard<std::mutex> g(line_->m);
    line_->request.push_back(b);
    return true;
  }
  bool Drain() override {
    std::lock_guard<std::mutex> g(line_->m);
    if (line_->answer)
      for (uint8_t b : line_->answer(line_->request)) line_->rx.push_back(b);
    line_->request.clear();
    return true;
  }
  bool ReadByte(uint8_t& b) override {
    std::lock_guard<std::mutex> g(line_->m);
    if (line_->rx.empty()) return false;
    b = line_->rx.front();
    line_->rx.pop_front();
    return true;
  }
  void Close() override {}

 private:
  std::shared_ptr<Line> line_;
};

class TeacherSaysNo : public LinkUi {
 public:
  bool AskRetryConnection() override {
    ++questions;
    return false;
  }
  void ShowWaitDialog() override {}
  int questions = 0;
};

struct NoisyLink {
  std::shared_ptr<Line> line = std::make_shared<Line>();
  ControllerPort port{std::make_unique<NoisyPort>(line)};
  TeacherSaysNo ui;
  ControllerLink link{port, "/nonexistent/vormik.ini", ui};
  NoisyLink() { port.OpenControllerPort("ttyNOISE"); }
};

constexpr uint8_t kStray = 0x13;

TEST(LineNoise, OnlyTheFirstAndOnlyByteAfterTheFrameAcknowledgesIt) {
  const auto frame = frame::Build(frame::kLine, 0x00, 0x04);
  const uint8_t ack = frame::AckFor(frame[5]);
  struct Case {
    const char* what;
    Bytes before;  // on the line before the frame is sent
    Bytes reply;   // what comes back after it
    bool acknowledged;
  } cases[] = {
      {"the acknowledgement alone", {}, {ack}, true},
      {"the acknowledgement left over from before, the controller silent", {ack}, {}, false},
      {"the expected value inside a burst of noise", {}, {ack, kStray, ack}, false},
      {"noise first, then the expected value", {}, {kStray, ack}, false},
  };
  for (const Case& c : cases) {
    NoisyLink noisy;
    noisy.line->rx.assign(c.before.begin(), c.before.end());
    const Bytes reply = c.reply;
    noisy.line->answer = [reply](const Bytes&) { return reply; };
    EXPECT_EQ(noisy.link.TransmitFrame(frame::kLine, 0x00, 0x04), c.acknowledged) << c.what;
    // Unacknowledged: the silent repeat, then the question ("Нет").
    EXPECT_EQ(noisy.ui.questions, c.acknowledged ? 0 : 1) << c.what;
  }
}

Bytes PollReplyBytes(uint8_t high, uint8_t low) {
  return {high, low, frame::PollReplyChecksum(high, low)};
}

TEST(LineNoise, SpoiltPollReplyIsAskedForAgain) {
  struct Case {
    const char* what;
    std::vector<Bytes> replies;  // to the polls in turn; then nothing
    std::optional<std::pair<uint8_t, uint8_t>> read;
  } cases[] = {
      {"valid at once", {PollReplyBytes(0x00, 0x40)}, std::make_pair(uint8_t{0}, uint8_t{0x40})},
      {"stray bytes first, then valid",
       {{kStray, kStray, kStray}, PollReplyBytes(0x01, 0x00)},
       std::make_pair(uint8_t{1}, uint8_t{0})},
      {"short, then valid",
       {{0x00}, PollReplyBytes(0x00, 0x02)},
       std::make_pair(uint8_t{0}, uint8_t{2})},
      {"spoilt every time", {{kStray}, {kStray}, {kStray}, PollReplyBytes(0, 1)}, std::nullopt},
      {"nothing", {}, std::nullopt},
  };
  for (const Case& c : cases) {
    NoisyLink noisy;
    auto replies = std::make_shared<std::deque<Bytes>>(c.replies.begin(), c.replies.end());
    noisy.line->answer = [replies](const Bytes&) {
      if (replies->empty()) return Bytes{};
      Bytes next = replies->front();
      replies->pop_front();
      return next;
    };
    EXPECT_EQ(noisy.link.ReadIndicators(), c.read) << c.what;
  }
}

TEST(LineNoise, CallReportedAfterASpoiltReplyReachesTheConsoleWithoutAReturn) {
  NoisyLink noisy;
  auto polls = std::make_shared<int>(0);
  // The first reply is spoilt by noise; a student has called (desk 7) by the next.
  noisy.line->answer = [polls](const Bytes&) {
    return ++*polls == 1 ? Bytes{kStray, kStray, kStray, kStray} : PollReplyBytes(0x00, 0x40);
  };
  testsupport::ReportRecorder handover;
  PollThread poller(noisy.port, handover);
  poller.Resume();
  ASSERT_TRUE(testsupport::Eventually([&] { return handover.Count() >= 1; }));
  poller.RequestStop();
  ASSERT_TRUE(poller.WaitStopped(3000));
  EXPECT_EQ(handover.Reports().front(), std::make_pair(uint8_t{0x00}, uint8_t{0x40}));
  // Taken as no answer, the next valid reply would have counted as a return:
  // the copy written back over the call, the report itself dropped.
  EXPECT_EQ(noisy.port.status().Snapshot().returns, 0u);
}

}  // namespace
