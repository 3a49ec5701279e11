// The real emulator over a real pseudo-terminal, driven through EmulatorProcess.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "link/frame.h"
#include "tests/support/emulatorprocess.h"
#include "tests/support/ptyclient.h"

namespace {

using testsupport::EmulatorProcess;
using testsupport::PtyClient;
using testsupport::TraceLine;
using Bytes = std::vector<uint8_t>;

// Generous bounds: they only catch a hang or a missing answer.
constexpr int kAnswerWaitMs = 1000;
// What the console waits for an answer; "silent" means nothing within it (and more).
constexpr int kSilenceMs = 200;

Bytes FrameBytes(uint8_t command, uint8_t high, uint8_t low) {
  auto f = frame::Build(command, high, low);
  return Bytes(f.begin(), f.end());
}
const Bytes kPoll = {0x55, 0x30, 0x03};

bool Exists(const std::string& path) {
  struct stat info;
  return ::lstat(path.c_str(), &info) == 0;
}

class EmulatorTest : public ::testing::Test {
 protected:
  void Start(std::vector<std::string> options = {}) {
    emu_ = std::make_unique<EmulatorProcess>(std::move(options));
    ASSERT_TRUE(emu_->Started()) << emu_->Error();
    ASSERT_TRUE(port_.Open(emu_->linkPath())) << emu_->linkPath();
  }
  Bytes Exchange(const Bytes& request, size_t answerLength, int waitMs = kAnswerWaitMs) {
    EXPECT_TRUE(port_.Write(request));
    return port_.Read(answerLength, waitMs);
  }

  std::unique_ptr<EmulatorProcess> emu_;
  PtyClient port_;
};

TEST_F(EmulatorTest, FramesAreAcknowledgedAndPollsReportTheLeds) {
  Start();
  EXPECT_EQ(Exchange(FrameBytes(0x84, 0x00, 0x12), 1), Bytes{0x1D});
  EXPECT_EQ(Exchange(FrameBytes(0x84, 0x00, 0xF5), 1), Bytes{0x00});
  EXPECT_EQ(Exchange(kPoll, 3), (Bytes{0x00, 0x00, 0x89}));
  ASSERT_TRUE(emu_->Send("led 1 on")) << emu_->Error();
  EXPECT_EQ(Exchange(kPoll, 3), (Bytes{0x00, 0x01, 0x8A}));
  ASSERT_TRUE(emu_->Send("led 14 on")) << emu_->Error();
  EXPECT_EQ(Exchange(kPoll, 3), (Bytes{0x20, 0x01, 0xAA}));
  // A LedB write from the console is what the desks then show.
  EXPECT_EQ(Exchange(FrameBytes(0x83, 0x00, 0x08), 1),
            Bytes{frame::AckFor(frame::Checksum(0x83, 0x00, 0x08))});
  EXPECT_EQ(Exchange(kPoll, 3), (Bytes{0x00, 0x08, 0x91}));
  // Nothing more than the answers came back (no echo of the requests).
  EXPECT_TRUE(port_.Read(1, 50).empty());
}

TEST_F(EmulatorTest, RegistersFollowTheWrites) {
  Start();
  Exchange(FrameBytes(0x81, 0x01, 0x02), 1);
  Exchange(FrameBytes(0x82, 0xFF, 0xFF), 1);
  Exchange(FrameBytes(0x83, 0x80, 0x01), 1);
  Exchange(FrameBytes(0x84, 0x08, 0x9B), 1);
  auto regs = emu_->Registers();
  ASSERT_TRUE(regs) << emu_->Error();
  EXPECT_EQ(regs->ledA, 0x0102);
  EXPECT_EQ(regs->line, 0xFFFF);
  EXPECT_EQ(regs->ledB, 0x8001);
  EXPECT_EQ(regs->route, 0x9B);
  EXPECT_EQ(regs->pairs, 0x08);
  // A write with a wrong check-sum is neither answered nor applied.
  Bytes bad = FrameBytes(0x82, 0x00, 0x00);
  bad[5] ^= 0x40;
  EXPECT_TRUE(Exchange(bad, 1, kSilenceMs).empty());
  regs = emu_->Registers();
  ASSERT_TRUE(regs) << emu_->Error();
  EXPECT_EQ(regs->line, 0xFFFF);
}

TEST_F(EmulatorTest, TraceRecordsEveryExchange) {
  Start({"--ack-every-other"});
  Exchange(FrameBytes(0x84, 0x00, 0x12), 1, kSilenceMs);  // unanswered
  Exchange(FrameBytes(0x84, 0x00, 0x12), 1);
  Exchange(kPoll, 3);
  Exchange({0x12, 0x34}, 1, kSilenceMs);  // noise, flushed after a short silence
  auto lines = emu_->WaitForTrace(4);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_TRUE(lines[0].IsFrame());
  EXPECT_EQ(testsupport::HexText(lines[0].rx), "55 30 84 00 12 1C");
  EXPECT_FALSE(lines[0].Answered());
  EXPECT_TRUE(lines[1].IsFrame());
  EXPECT_EQ(lines[1].tx, Bytes{0x1D});
  EXPECT_TRUE(lines[2].IsPoll());
  EXPECT_EQ(lines[2].tx, (Bytes{0x00, 0x00, 0x89}));
  EXPECT_EQ(lines[3].kind, TraceLine::Kind::kGarbage);
  EXPECT_EQ(lines[3].rx, (Bytes{0x12, 0x34}));
  for (size_t i = 1; i < lines.size(); ++i) EXPECT_GE(lines[i].ms, lines[i - 1].ms);
  EXPECT_EQ(testsupport::FramesOnly(lines).size(), 2u);
  EXPECT_EQ(testsupport::PollsOnly(lines).size(), 1u);
  EXPECT_EQ(testsupport::GarbageOnly(lines).size(), 1u);

  // The raw text has the documented form.
  std::ifstream in(emu_->tracePath());
  std::string first, second;
  std::getline(in, first);
  std::getline(in, second);
  EXPECT_NE(first.find(" RX 55 30 84 00 12 1C TX"), std::string::npos) << first;
  EXPECT_EQ(first.substr(first.size() - 3), " TX") << first;
  EXPECT_NE(second.find(" RX 55 30 84 00 12 1C TX 1D"), std::string::npos) << second;
}

TEST_F(EmulatorTest, SilentModeAnswersNothingButStillTraces) {
  Start({"--silent"});
  EXPECT_TRUE(Exchange(FrameBytes(0x81, 0x00, 0x00), 1, kSilenceMs).empty());
  EXPECT_TRUE(Exchange(kPoll, 3, kSilenceMs).empty());
  auto lines = emu_->WaitForTrace(2);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_TRUE(lines[0].IsFrame() && !lines[0].Answered());
  EXPECT_TRUE(lines[1].IsPoll() && !lines[1].Answered());
  // Switched off at run time, it answers again.
  ASSERT_TRUE(emu_->Send("fault silent off")) << emu_->Error();
  EXPECT_EQ(Exchange(FrameBytes(0x81, 0x00, 0x00), 1), Bytes{0x08});
}

TEST_F(EmulatorTest, FaultModesFromTheCommandLine) {
  struct Row {
    std::vector<std::string> options;
    Bytes firstAck, secondAck, poll;
  };
  const Bytes answeredPoll = {0x00, 0x00, 0x89};
  const Row rows[] = {
      {{"--ack-every-other"}, {}, {0x08}, answeredPoll},
      {{"--wrong-ack"}, {0x09}, {0x09}, answeredPoll},
      {{"--drop-poll"}, {0x08}, {0x08}, {}},
      {{"--baud"}, {0x08}, {0x08}, answeredPoll},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.options[0]);
    EmulatorProcess emu(row.options);
    ASSERT_TRUE(emu.Started()) << emu.Error();
    PtyClient port;
    ASSERT_TRUE(port.Open(emu.linkPath()));
    auto exchange = [&](const Bytes& request, size_t length, bool expectAnswer) {
      port.Write(request);
      return port.Read(length, expectAnswer ? kAnswerWaitMs : kSilenceMs);
    };
    EXPECT_EQ(exchange(FrameBytes(0x81, 0, 0), 1, !row.firstAck.empty()), row.firstAck);
    EXPECT_EQ(exchange(FrameBytes(0x81, 0, 0), 1, !row.secondAck.empty()), row.secondAck);
    EXPECT_EQ(exchange(kPoll, 3, !row.poll.empty()), row.poll);
  }
}

TEST_F(EmulatorTest, DelayedAnswerMissesAShortWaitButArrives) {
  Start({"--delay-ms", "300"});
  EXPECT_TRUE(Exchange(FrameBytes(0x81, 0, 0), 1, 100).empty());
  EXPECT_EQ(port_.Read(1, 3000), Bytes{0x08});
}

TEST_F(EmulatorTest, ResynchronisesAfterNoiseAndLostBytes) {
  Start();
  // Noise glued to a frame: the frame is still found and answered.
  Bytes noisy = {0x00, 0x55, 0xFF, 0x30};
  Bytes f = FrameBytes(0x82, 0x00, 0x03);
  noisy.insert(noisy.end(), f.begin(), f.end());
  EXPECT_EQ(Exchange(noisy, 1), Bytes{frame::AckFor(f[5])});
  // A frame cut short: after a pause the next whole frame is understood.
  EXPECT_TRUE(Exchange({0x55, 0x30, 0x84, 0x00}, 1, kSilenceMs).empty());
  EXPECT_EQ(Exchange(FrameBytes(0x81, 0x00, 0x01), 1), Bytes{0x09});
  // A frame with a byte lost, directly followed by a good one.
  Bytes lost = {0x55, 0x30, 0x84, 0x00, 0x1C};
  Bytes next = FrameBytes(0x81, 0x00, 0x00);
  lost.insert(lost.end(), next.begin(), next.end());
  EXPECT_EQ(Exchange(lost, 2, kSilenceMs), Bytes{0x08});
  // A flood of noise does not stop it.
  EXPECT_TRUE(Exchange(Bytes(4000, 0xAA), 1, kSilenceMs).empty());
  EXPECT_EQ(Exchange(kPoll, 3), (Bytes{0x00, 0x00, 0x89}));
  EXPECT_TRUE(emu_->Running());
}

TEST_F(EmulatorTest, PortCanBeClosedAndOpenedAgain) {
  Start();
  EXPECT_EQ(Exchange(kPoll, 3), (Bytes{0x00, 0x00, 0x89}));
  for (int round = 0; round < 3; ++round) {
    port_.Close();
    ASSERT_TRUE(port_.Open(emu_->linkPath())) << "round " << round;
    EXPECT_EQ(Exchange(FrameBytes(0x81, 0x00, 0x01), 1), Bytes{0x09}) << "round " << round;
  }
  // A second client at the same time is possible too (the device is not locked here).
  PtyClient other;
  EXPECT_TRUE(other.Open(emu_->linkPath()));
}

TEST_F(EmulatorTest, QuitAndSignalsRemoveTheLink) {
  {
    EmulatorProcess emu;
    ASSERT_TRUE(emu.Started()) << emu.Error();
    ASSERT_TRUE(Exists(emu.linkPath()));
    EXPECT_TRUE(emu.Send("quit"));
    EXPECT_EQ(emu.Stop(), 0);
    EXPECT_FALSE(Exists(emu.linkPath()));
  }
  {
    EmulatorProcess emu;
    ASSERT_TRUE(emu.Started()) << emu.Error();
    EXPECT_EQ(emu.Stop(), 0);  // SIGTERM
    EXPECT_FALSE(Exists(emu.linkPath()));
  }
}

TEST_F(EmulatorTest, CommandsToADeadEmulatorFailWithoutHanging) {
  Start();
  ASSERT_EQ(::kill(emu_->Pid(), SIGKILL), 0);
  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(emu_->Send("led 1 on"));
  EXPECT_FALSE(emu_->Registers());
  EXPECT_LT(std::chrono::steady_clock::now() - start,
            std::chrono::milliseconds(2 * EmulatorProcess::kAnswerTimeoutMs));
  // The exit becomes visible to waitpid a moment after the pipes close.
  for (int i = 0; i < 200 && emu_->Running(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_FALSE(emu_->Running());
}

TEST_F(EmulatorTest, BadCommandsAreRefused) {
  Start();
  EXPECT_FALSE(emu_->Send("led 17 on"));
  EXPECT_NE(emu_->Error().find("error"), std::string::npos) << emu_->Error();
  EXPECT_FALSE(emu_->Send("fault nonsense on"));
  EXPECT_TRUE(emu_->Send("led 16 on"));
  auto regs = emu_->Registers();
  ASSERT_TRUE(regs);
  EXPECT_EQ(regs->ledA, 0x8000);
  EXPECT_EQ(regs->ledB, 0x8000);
}

TEST(EmulatorStart, StaleLinkIsReplacedButARealFileIsNot) {
  testsupport::TempDir dir;
  // A stale symlink from an emulator that died: taken over.
  std::string stale = dir.File("stale");
  ASSERT_EQ(::symlink("/dev/pts/does-not-exist", stale.c_str()), 0);
  {
    EmulatorProcess emu({"--link", stale});
    ASSERT_TRUE(emu.Started()) << emu.Error();
    PtyClient port;
    EXPECT_TRUE(port.Open(stale));
    port.Write(kPoll);
    EXPECT_EQ(port.Read(3, kAnswerWaitMs), (Bytes{0x00, 0x00, 0x89}));
  }
  EXPECT_FALSE(Exists(stale));
  // A regular file in the way: the emulator refuses and leaves it alone.
  std::string file = dir.File("file");
  { std::ofstream(file) << "keep me"; }
  EmulatorProcess emu({"--link", file});
  EXPECT_FALSE(emu.Started());
  std::ifstream in(file);
  std::string text;
  std::getline(in, text);
  EXPECT_EQ(text, "keep me");
}

TEST(EmulatorStart, BadOptionsEndItAtOnce) {
  for (auto options : std::vector<std::vector<std::string>>{
           {"--delay-ms", "soon"}, {"--random-faults"}, {"--no-such-option"}}) {
    EmulatorProcess emu(options);
    EXPECT_FALSE(emu.Started()) << options[0];
    EXPECT_FALSE(emu.Running()) << options[0];
  }
}

TEST(TraceParsing, LinesOfEachKind) {
  struct Row {
    const char* text;
    bool valid;
    TraceLine::Kind kind;
    size_t rx, tx;
    bool poll, frame;
  };
  using K = TraceLine::Kind;
  const Row rows[] = {
      {"1234 RX 55 30 84 00 12 1C TX 1D", true, K::kExchange, 6, 1, false, true},
      {"1750 RX 55 30 03 TX 00 10 99", true, K::kExchange, 3, 3, true, false},
      {"10 RX 55 30 03 TX", true, K::kExchange, 3, 0, true, false},
      {"1300 GARBAGE 12 34", true, K::kGarbage, 2, 0, false, false},
      {"1301 BADSUM 55 30 84 00 12 1D", true, K::kBadChecksum, 6, 0, false, false},
      {"RX 55 30 03 TX", false, K::kExchange, 0, 0, false, false},
      {"12 RX 55 30 03", false, K::kExchange, 0, 0, false, false},
      {"12 RX 55 3G 03 TX", false, K::kExchange, 0, 0, false, false},
      {"12 HELLO", false, K::kExchange, 0, 0, false, false},
  };
  for (const auto& r : rows) {
    auto parsed = testsupport::ParseTraceLine(r.text);
    ASSERT_EQ(parsed.has_value(), r.valid) << r.text;
    if (!parsed) continue;
    EXPECT_EQ(parsed->kind, r.kind) << r.text;
    EXPECT_EQ(parsed->rx.size(), r.rx) << r.text;
    EXPECT_EQ(parsed->tx.size(), r.tx) << r.text;
    EXPECT_EQ(parsed->IsPoll(), r.poll) << r.text;
    EXPECT_EQ(parsed->IsFrame(), r.frame) << r.text;
  }
  auto regs = testsupport::ParseRegisters("LedA=0102 Line=FFFF LedB=8001 Route=9B Pairs=08");
  ASSERT_TRUE(regs);
  EXPECT_EQ(regs->ledA, 0x0102);
  EXPECT_EQ(regs->route, 0x9B);
  EXPECT_EQ(regs->pairs, 0x08);
  EXPECT_FALSE(testsupport::ParseRegisters("LedA=0102 Line=FFFF LedB=8001 Route=9B"));
  EXPECT_FALSE(testsupport::ParseRegisters("error unknown command: regs"));
}

}  // namespace
