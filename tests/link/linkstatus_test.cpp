// The link state's transitions, the connection question's second line and the
// status holder's change notices.
#include "link/linkstatus.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace {

using Clock = LinkStatusSnapshot::Clock;
using S = LinkState;
using O = LinkOutcome;

TEST(LinkStatusTransitions, EachOutcomeFromEachKindOfState) {
  const Clock::time_point earlier = Clock::now();
  const Clock::time_point now = earlier + std::chrono::seconds(5);
  struct Row {
    S from;
    bool pollingOff;
    O outcome;
    S to;
    bool sinceNow;  // notAnsweringSince set to `now` (else left at `earlier`)
  } rows[] = {
      {S::kUnknown, false, O::kAcknowledged, S::kAnswering, false},
      {S::kNotAnswering, false, O::kPollAnswered, S::kAnswering, false},
      {S::kDeviceMissing, false, O::kAcknowledged, S::kAnswering, false},
      {S::kAnswering, true, O::kAcknowledged, S::kPollingOff, false},
      {S::kNotAnswering, true, O::kAcknowledged, S::kPollingOff, false},
      {S::kAnswering, false, O::kNoAnswer, S::kNotAnswering, true},
      {S::kDeviceMissing, false, O::kNoAnswer, S::kNotAnswering, true},
      {S::kPollingOff, true, O::kNoAnswer, S::kNotAnswering, true},
      // Still not answering: the time of the first failure stays.
      {S::kNotAnswering, false, O::kNoAnswer, S::kNotAnswering, false},
      {S::kAnswering, false, O::kDeviceGone, S::kDeviceMissing, false},
      {S::kNotAnswering, false, O::kPortUnavailable, S::kDeviceMissing, false},
      {S::kAnswering, false, O::kPortBusy, S::kPortBusy, false},
      {S::kDeviceMissing, false, O::kNotSerialPort, S::kNotSerialPort, false},
      {S::kPortBusy, false, O::kPollAnswered, S::kAnswering, false},
      {S::kNotSerialPort, false, O::kSentUnconfirmed, S::kUnknown, false},
      // Sent without awaiting the answer: the device is there, the controller unknown.
      {S::kAnswering, false, O::kSentUnconfirmed, S::kAnswering, false},
      {S::kNotAnswering, false, O::kSentUnconfirmed, S::kNotAnswering, false},
      {S::kDeviceMissing, false, O::kSentUnconfirmed, S::kUnknown, false},
      {S::kDeviceMissing, true, O::kSentUnconfirmed, S::kPollingOff, false},
      // A cancelled wait sent nothing: the state stays.
      {S::kNotAnswering, false, O::kCancelled, S::kNotAnswering, false},
      {S::kAnswering, false, O::kCancelled, S::kAnswering, false},
  };
  for (const Row& r : rows) {
    LinkStatusSnapshot s;
    s.state = r.from;
    s.pollingOff = r.pollingOff;
    s.notAnsweringSince = earlier;
    const LinkStatusSnapshot next = NextLinkStatus(s, r.outcome, now);
    const std::string row = "from " + std::to_string(static_cast<int>(r.from)) + " by " +
                            std::to_string(static_cast<int>(r.outcome));
    EXPECT_EQ(next.state, r.to) << row;
    EXPECT_EQ(next.notAnsweringSince, r.sinceNow ? now : earlier) << row;
    EXPECT_EQ(next.lastOutcome, r.outcome) << row;
    EXPECT_EQ(next.lastExchangeAt, now) << row;
    EXPECT_EQ(next.exchanges, 1u) << row;
  }
}

// An answer after the controller or its port was lost counts as its return
// (the console then writes its copy); an answer after an answer does not.
TEST(LinkStatusTransitions, ReturnsAreCountedOnlyAfterALoss) {
  const struct {
    S from;
    O outcome;
    uint64_t returns;
  } rows[] = {
      {S::kNotAnswering, O::kPollAnswered, 1}, {S::kDeviceMissing, O::kAcknowledged, 1},
      {S::kPortBusy, O::kPollAnswered, 1},     {S::kNotSerialPort, O::kAcknowledged, 1},
      {S::kUnknown, O::kPollAnswered, 0},      {S::kAnswering, O::kAcknowledged, 0},
      {S::kPollingOff, O::kAcknowledged, 0},   {S::kNotAnswering, O::kSentUnconfirmed, 0},
      {S::kNotAnswering, O::kNoAnswer, 0},
  };
  for (const auto& r : rows) {
    LinkStatusSnapshot s;
    s.state = r.from;
    EXPECT_EQ(NextLinkStatus(s, r.outcome, Clock::now()).returns, r.returns)
        << static_cast<int>(r.from) << " by " << static_cast<int>(r.outcome);
  }
}

TEST(LinkStatusText, TheWaitDialogNamesTheHolder) {
  EXPECT_EQ(PortBusyText("COM1"), "Порт COM1 занят другой программой. Ожидание...");
  EXPECT_EQ(PortBusyText("COM1", PortHolder::kOwnPoll),
            "Порт COM1 занят опросом контроллера этой программы. Ожидание...");
}

TEST(LinkStatusTransitions, PollingSwitchedOffAndOn) {
  struct Row {
    S from;
    bool off;
    S to;
  } rows[] = {
      {S::kAnswering, true, S::kPollingOff},   {S::kUnknown, true, S::kPollingOff},
      {S::kNotAnswering, true, S::kNotAnswering}, {S::kDeviceMissing, true, S::kDeviceMissing},
      {S::kPollingOff, false, S::kUnknown},    {S::kNotAnswering, false, S::kNotAnswering},
  };
  for (const Row& r : rows) {
    LinkStatusSnapshot s;
    s.state = r.from;
    const LinkStatusSnapshot next = WithPollingOff(s, r.off);
    EXPECT_EQ(next.state, r.to) << static_cast<int>(r.from) << " off=" << r.off;
    EXPECT_EQ(next.pollingOff, r.off);
  }
}

TEST(LinkStatusText, SecondLineOfTheConnectionQuestion) {
  struct Row {
    LinkFailure failure;
    const char* text;
  } rows[] = {
      {{"/dev/ttyUSB0", LinkFailure::Kind::kDeviceGone}, "Порт /dev/ttyUSB0: устройство отключено"},
      {{"COM1", LinkFailure::Kind::kNoAnswer}, "Порт COM1: нет ответа контроллера"},
      {{"COM2", LinkFailure::Kind::kPortUnavailable},
       "Порт COM2: порт не открывается (нет доступа)"},
      {{"COM3", LinkFailure::Kind::kPortBusy}, "Порт COM3: порт занят другой программой"},
      {{"/dev/null", LinkFailure::Kind::kNotSerialPort},
       "Порт /dev/null: это не последовательный порт"},
      {{"", LinkFailure::Kind::kNoAnswer}, "Порт (не задан): нет ответа контроллера"},
  };
  for (const Row& r : rows) EXPECT_EQ(LinkFailureText(r.failure), r.text);
}

TEST(LinkStatusHolder, ListenerHearsChangesNotRepeats) {
  LinkStatus status;
  std::vector<LinkStatusSnapshot> heard;
  status.SetListener([&](const LinkStatusSnapshot& s) { heard.push_back(s); });
  status.SetPortName("/dev/ttyS0");
  status.Record(O::kPollAnswered);
  status.Record(O::kPollAnswered);  // the same again: no notice
  status.Record(O::kNoAnswer);
  status.Record(O::kNoAnswer);
  status.SetPollingOff(false);  // unchanged
  ASSERT_EQ(heard.size(), 3u);
  EXPECT_EQ(heard[0].portName, "/dev/ttyS0");
  EXPECT_EQ(heard[1].state, S::kAnswering);
  EXPECT_EQ(heard[2].state, S::kNotAnswering);
  const LinkStatusSnapshot now = status.Snapshot();
  EXPECT_EQ(now.exchanges, 4u);
  EXPECT_EQ(now.notAnsweringSince, heard[2].notAnsweringSince);
  status.SetListener(nullptr);
  status.Record(O::kDeviceGone);
  EXPECT_EQ(heard.size(), 3u);
  EXPECT_EQ(status.Snapshot().state, S::kDeviceMissing);
}

}  // namespace
