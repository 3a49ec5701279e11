// The emulated controller's registers, answers, fault modes and stdin commands.
#include "controllersim/controller.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controllersim/trace.h"
#include "link/frame.h"

namespace {

using controllersim::Controller;
using controllersim::FaultSettings;
using controllersim::ParsedItem;
using Bytes = std::vector<uint8_t>;

ParsedItem Frame(uint8_t command, uint8_t high, uint8_t low) {
  auto f = frame::Build(command, high, low);
  return {ParsedItem::Kind::kFrame, Bytes(f.begin(), f.end())};
}

ParsedItem Poll() { return {ParsedItem::Kind::kPoll, {0x55, 0x30, 0x03}}; }

TEST(Controller, WritesSetTheirRegisterAndAreAcknowledged) {
  struct Row {
    uint8_t command, high, low;
    uint8_t ack;
  };
  // Acknowledgement = check-sum + 1, including the wrap of check-sum 0xFF to 0x00.
  const Row rows[] = {{0x81, 0x00, 0x00, 0x08},
                      {0x81, 0x00, 0x01, 0x09},
                      {0x82, 0xFF, 0xFF, 0x07},
                      {0x83, 0x01, 0x80, 0x8B},
                      {0x84, 0x00, 0xF5, 0x00}};
  Controller c;
  for (const auto& r : rows) {
    auto reply = c.Handle(Frame(r.command, r.high, r.low));
    EXPECT_EQ(reply.bytes, Bytes{r.ack}) << std::hex << int(r.command);
    EXPECT_EQ(reply.delayMs, 0);
    EXPECT_EQ(c.Register(r.command), (r.high << 8) | r.low);
  }
  EXPECT_EQ(c.RegistersText(), "LedA=0001 Line=FFFF LedB=0180 Route=F5 Pairs=00");
}

TEST(Controller, SilentAfterAnswersTheGivenWritesThenNothing) {
  Controller c;
  bool quit = false;
  ASSERT_EQ(c.Command("fault silent-after 2", quit), "ok");
  EXPECT_FALSE(c.Handle(Frame(0x82, 0x00, 0x01)).bytes.empty());
  EXPECT_FALSE(c.Handle(Poll()).bytes.empty());  // polls are not counted
  EXPECT_FALSE(c.Handle(Frame(0x82, 0x00, 0x02)).bytes.empty());
  EXPECT_TRUE(c.Handle(Frame(0x82, 0x00, 0x03)).bytes.empty());
  EXPECT_TRUE(c.Handle(Poll()).bytes.empty());
  // The unanswered write still reached the register, as a lost answer would.
  EXPECT_EQ(c.Register(0x82), 0x0003);
  ASSERT_EQ(c.Command("fault all off", quit), "ok");
  EXPECT_FALSE(c.Handle(Frame(0x82, 0x00, 0x04)).bytes.empty());
}

TEST(Controller, PollReportsLedBWithItsChecksum) {
  Controller c;
  EXPECT_EQ(c.Handle(Poll()).bytes, (Bytes{0x00, 0x00, 0x89}));
  ASSERT_TRUE(c.SetLed(1, true));
  EXPECT_EQ(c.Handle(Poll()).bytes, (Bytes{0x00, 0x01, 0x8A}));
  ASSERT_TRUE(c.SetLed(14, true));  // bit 5 of the high byte
  EXPECT_EQ(c.Handle(Poll()).bytes, (Bytes{0x20, 0x01, 0xAA}));
  // A LedA write alone does not change what the desks show.
  c.Handle(Frame(0x81, 0x00, 0x00));
  EXPECT_EQ(c.Handle(Poll()).bytes, (Bytes{0x20, 0x01, 0xAA}));
  c.Handle(Frame(0x83, 0x00, 0x08));
  EXPECT_EQ(c.Handle(Poll()).bytes, (Bytes{0x00, 0x08, 0x91}));
}

TEST(Controller, LedCommandMovesBothLedRegisters) {
  Controller c;
  EXPECT_TRUE(c.SetLed(16, true));
  EXPECT_TRUE(c.SetLed(9, true));
  EXPECT_EQ(c.Register(0x81), 0x8100);
  EXPECT_EQ(c.Register(0x83), 0x8100);
  EXPECT_TRUE(c.SetLed(16, false));
  EXPECT_EQ(c.Register(0x81), 0x0100);
  EXPECT_EQ(c.Register(0x83), 0x0100);
  EXPECT_FALSE(c.SetLed(0, true));
  EXPECT_FALSE(c.SetLed(17, true));
  EXPECT_EQ(c.Register(0x83), 0x0100);
}

TEST(Controller, NoiseAndBadChecksumsChangeNothingAndGetNoAnswer) {
  Controller c;
  ParsedItem bad = Frame(0x82, 0x12, 0x34);
  bad.kind = ParsedItem::Kind::kBadChecksum;
  bad.bytes[5] ^= 0x01;
  EXPECT_TRUE(c.Handle(bad).bytes.empty());
  EXPECT_TRUE(c.Handle({ParsedItem::Kind::kGarbage, {0x55, 0x30, 0x82}}).bytes.empty());
  EXPECT_EQ(c.Register(0x82), 0);
}

struct FaultCase {
  const char* name;
  FaultSettings faults;
  // Answers to: frame, frame, poll, frame, poll (in that order).
  std::vector<Bytes> expected;
  int delayMs;
};

FaultSettings With(void (*set)(FaultSettings&)) {
  FaultSettings f;
  set(f);
  return f;
}

class FaultTest : public ::testing::TestWithParam<FaultCase> {};

TEST_P(FaultTest, AnswersFollowTheFault) {
  Controller c(GetParam().faults);
  c.SetLed(2, true);
  std::vector<ParsedItem> requests = {Frame(0x81, 0, 0), Frame(0x81, 0, 0), Poll(),
                                      Frame(0x84, 0, 0xF5), Poll()};
  std::vector<Bytes> answers;
  for (const auto& r : requests) {
    auto reply = c.Handle(r);
    answers.push_back(reply.bytes);
    if (!reply.bytes.empty()) {
      EXPECT_EQ(reply.delayMs, GetParam().delayMs);
    }
  }
  EXPECT_EQ(answers, GetParam().expected);
  // Whatever happens to the answers, the writes themselves took effect.
  EXPECT_EQ(c.Register(0x84), 0x00F5);
}

// The poll answers assume desk 2 on after frame 0x81 0 0 cleared LedA only.
const Bytes kPollAnswer = {0x00, 0x02, 0x8B};

INSTANTIATE_TEST_SUITE_P(
    Controller, FaultTest,
    ::testing::Values(
        FaultCase{"none", {}, {{0x08}, {0x08}, kPollAnswer, {0x00}, kPollAnswer}, 0},
        FaultCase{"silent", With([](FaultSettings& f) { f.silent = true; }),
                  {{}, {}, {}, {}, {}}, 0},
        FaultCase{"ackEveryOther", With([](FaultSettings& f) { f.ackEveryOther = true; }),
                  {{}, {0x08}, kPollAnswer, {}, kPollAnswer}, 0},
        FaultCase{"wrongAck", With([](FaultSettings& f) { f.wrongAck = true; }),
                  {{0x09}, {0x09}, kPollAnswer, {0x01}, kPollAnswer}, 0},
        FaultCase{"dropPoll", With([](FaultSettings& f) { f.dropPoll = true; }),
                  {{0x08}, {0x08}, {}, {0x00}, {}}, 0},
        FaultCase{"delay", With([](FaultSettings& f) { f.delayMs = 250; }),
                  {{0x08}, {0x08}, kPollAnswer, {0x00}, kPollAnswer}, 250}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Controller, RandomFaultsAreRepeatableAndOnlyDisturbAnswers) {
  FaultSettings faults;
  faults.random = true;
  faults.seed = 7;
  Controller first(faults), second(faults);
  int dropped = 0, spoiled = 0, late = 0, longer = 0;
  for (int i = 0; i < 2000; ++i) {
    uint8_t low = static_cast<uint8_t>(i);
    auto a = first.Handle(Frame(0x82, 0x00, low));
    auto b = second.Handle(Frame(0x82, 0x00, low));
    ASSERT_EQ(a.bytes, b.bytes);
    ASSERT_EQ(a.delayMs, b.delayMs);
    EXPECT_EQ(first.Register(0x82), low);
    uint8_t ack = frame::AckFor(frame::Checksum(0x82, 0x00, low));
    if (a.bytes.empty()) {
      ++dropped;
    } else if (a.bytes.back() != ack) {
      ++spoiled;
    }
    if (a.bytes.size() > 1) ++longer;
    if (a.delayMs > 100) ++late;
  }
  // Each fault shows up, and most answers still get through.
  EXPECT_GT(dropped, 0);
  EXPECT_GT(spoiled, 0);
  EXPECT_GT(late, 0);
  EXPECT_GT(longer, 0);
  EXPECT_LT(dropped + spoiled, 2000 / 3);
}

TEST(Controller, StdinCommands) {
  struct Row {
    const char* line;
    const char* answer;  // prefix of the answer
  };
  const Row rows[] = {
      {"led 5 on", "ok"},
      {"led 16 on", "ok"},
      {"regs", "LedA=8010 Line=0000 LedB=8010 Route=00 Pairs=00"},
      {"led 16 off", "ok"},
      {"led 17 on", "error"},
      {"led 0 on", "error"},
      {"led 5 maybe", "error"},
      {"led x on", "error"},
      {"led 5", "error"},
      {"regs", "LedA=0010 Line=0000 LedB=0010 Route=00 Pairs=00"},
      {"fault silent on", "ok"},
      {"fault silent sideways", "error"},
      {"fault teleport on", "error"},
      {"fault delay-ms 30", "ok"},
      {"fault delay-ms -1", "error"},
      {"fault random-faults 99", "ok"},
      {"fault wrong-ack on", "ok"},
      {"  ", ""},
      {"dance", "error unknown command"},
  };
  Controller c;
  for (const auto& r : rows) {
    bool quit = false;
    std::string answer = c.Command(r.line, quit);
    EXPECT_EQ(answer.rfind(r.answer, 0), 0u) << r.line << " -> " << answer;
    if (r.answer[0] == '\0') {
      EXPECT_TRUE(answer.empty()) << r.line;
    }
    EXPECT_FALSE(quit);
  }
  EXPECT_TRUE(c.faults().silent);
  EXPECT_TRUE(c.faults().wrongAck);
  EXPECT_TRUE(c.faults().random);
  EXPECT_EQ(c.faults().seed, 99u);
  EXPECT_EQ(c.faults().delayMs, 30);

  bool quit = false;
  EXPECT_EQ(c.Command("fault all off", quit), "ok");
  EXPECT_FALSE(c.faults().silent || c.faults().wrongAck || c.faults().random);
  EXPECT_EQ(c.faults().delayMs, 0);
  EXPECT_EQ(c.Command("quit", quit), "ok");
  EXPECT_TRUE(quit);
}

TEST(Controller, AckEveryOtherRestartsWhenSwitchedOn) {
  Controller c;
  bool quit = false;
  c.Handle(Frame(0x81, 0, 0));
  ASSERT_EQ(c.Command("fault ack-every-other on", quit), "ok");
  // Whatever came before, the first frame after switching on goes unanswered.
  EXPECT_TRUE(c.Handle(Frame(0x81, 0, 0)).bytes.empty());
  EXPECT_EQ(c.Handle(Frame(0x81, 0, 0)).bytes, Bytes{0x08});
  ASSERT_EQ(c.Command("fault ack-every-other off", quit), "ok");
  EXPECT_EQ(c.Handle(Frame(0x81, 0, 0)).bytes, Bytes{0x08});
}

TEST(Trace, LinesTellExchangesFromSkippedBytes) {
  auto f = frame::Build(0x84, 0x00, 0x12);
  ParsedItem frameItem{ParsedItem::Kind::kFrame, Bytes(f.begin(), f.end())};
  EXPECT_EQ(controllersim::TraceLineFor(1234, frameItem, {0x1D}), "1234 RX 55 30 84 00 12 1C TX 1D");
  EXPECT_EQ(controllersim::TraceLineFor(1750, Poll(), {0x00, 0x10, 0x99}),
            "1750 RX 55 30 03 TX 00 10 99");
  EXPECT_EQ(controllersim::TraceLineFor(5, Poll(), {}), "5 RX 55 30 03 TX");
  EXPECT_EQ(controllersim::TraceLineFor(1300, {ParsedItem::Kind::kGarbage, {0x12, 0xAB}}, {}),
            "1300 GARBAGE 12 AB");
  EXPECT_EQ(controllersim::TraceLineFor(9, {ParsedItem::Kind::kBadChecksum, {0x55, 0x30}}, {}),
            "9 BADSUM 55 30");
}

}  // namespace
