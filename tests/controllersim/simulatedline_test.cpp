// The practice class's controller: answers with the line's timing, the trace
// in the emulator's format, the faults on request, and the link's own
// questions and recovery over it.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "controllersim/simulatedport.h"
#include "controllersim/trace.h"
#include "link/controllerport.h"
#include "link/frame.h"
#include "link/timing.h"
#include "link/transmit.h"
#include "tests/controllersim/fakelineclock.h"

namespace {

using controllersim::SimulatedLine;
using controllersim::SimulatedSerialPort;

class CountingUi : public LinkUi {
 public:
  bool AskRetryConnection() override {
    ++questions;
    return retry;
  }
  void ShowWaitDialog() override {}
  int questions = 0;
  bool retry = false;
};

struct Rig {
  FakeLineClock time;
  std::shared_ptr<SimulatedLine> line = std::make_shared<SimulatedLine>(time.clock());
  ControllerPort port{std::make_unique<SimulatedSerialPort>(line)};
  CountingUi ui;
  ControllerLink link{port, "", ui};

  Rig() {
    port.CreateSharingLock("practice-test", [](const std::string&) { return nullptr; });
    port.OpenControllerPort("Учебный класс");
  }
  std::vector<uint8_t> Exchange(const std::vector<uint8_t>& bytes, size_t answerBytes) {
    for (uint8_t b : bytes) line->Write(b);
    line->Drain();
    std::vector<uint8_t> answer;
    uint8_t b = 0;
    while (answer.size() < answerBytes && line->Read(b, timing::kReadTimeoutMs)) answer.push_back(b);
    return answer;
  }
};

const std::vector<uint8_t> kListenDesk3 = {0x55, 0x30, 0x84, 0x00, 0x12, 0x1C};

TEST(SimulatedLine, AnswersAFrameWithTheLinesTimingAndTracesIt) {
  Rig rig;
  const int64_t start = *rig.time.nowUs;
  EXPECT_EQ(rig.Exchange(kListenDesk3, 1), std::vector<uint8_t>{frame::AckFor(0x1C)});
  // Six bytes out, the controller's turn-around, one byte back: about 9 ms.
  const int64_t took = *rig.time.nowUs - start;
  EXPECT_EQ(took, 7 * controllersim::kByteTimeUs + controllersim::kTurnaroundUs);
  // Traced at the moment the frame was in, as the emulator's trace reads.
  EXPECT_EQ(rig.line->TraceLines(),
            std::vector<std::string>{"6 RX 55 30 84 00 12 1C TX " +
                                     controllersim::HexBytes({frame::AckFor(0x1C)})});
  EXPECT_EQ(rig.line->RegistersText(), "LedA=0000 Line=0000 LedB=0000 Route=12 Pairs=00");
}

TEST(SimulatedLine, APollReportsTheStudentsLedsAndASilentReadTakesTheWholeTimeOut) {
  Rig rig;
  rig.line->SetLed(5, true);
  rig.line->SetLed(12, true);
  EXPECT_EQ(rig.line->LitMask(), 0x0810);
  const std::vector<uint8_t> poll(frame::kPollFrame.begin(), frame::kPollFrame.end());
  EXPECT_EQ(rig.Exchange(poll, 3),
            (std::vector<uint8_t>{0x08, 0x10, frame::PollReplyChecksum(0x08, 0x10)}));
  const int64_t before = *rig.time.nowUs;
  uint8_t b = 0;
  EXPECT_FALSE(rig.line->Read(b, timing::kReadTimeoutMs));
  EXPECT_EQ(*rig.time.nowUs - before, int64_t{timing::kReadTimeoutMs} * 1000);
}

TEST(SimulatedLine, AnAnswerNotReadIsDroppedByAPurge) {
  Rig rig;
  for (uint8_t b : kListenDesk3) rig.line->Write(b);
  rig.line->DropReceived();
  uint8_t b = 0;
  EXPECT_FALSE(rig.line->Read(b, timing::kReadTimeoutMs));
}

TEST(SimulatedLine, APartialFrameGivenUpAfterSilenceDoesNotSwallowTheNext) {
  Rig rig;
  for (uint8_t b : {0x55, 0x30, 0x84}) rig.line->Write(b);
  rig.time.AdvanceMs(60);
  EXPECT_EQ(rig.Exchange(kListenDesk3, 1), std::vector<uint8_t>{frame::AckFor(0x1C)});
  const std::vector<std::string> trace = rig.line->TraceLines();
  ASSERT_EQ(trace.size(), 2u);
  EXPECT_NE(trace[0].find("GARBAGE 55 30 84"), std::string::npos);
}

// Each fault as the link meets it: whether the frame went through, how many
// questions the teacher was asked, and what the line does once it is over.
TEST(SimulatedLine, FaultsShowAsTheLinksOwnQuestionsAndEnd) {
  struct Case {
    const char* name;
    void (*fault)(SimulatedLine&);
    bool sentBeforeEnd;
    int questions;
  };
  const Case cases[] = {
      {"cable pulled", [](SimulatedLine& l) { l.SetCablePulled(true); }, false, 1},
      {"frame refused", [](SimulatedLine& l) { l.RefuseNextFrame(); }, false, 1},
      {"power lost", [](SimulatedLine& l) { l.LosePower(); }, false, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Rig rig;
    ASSERT_TRUE(rig.link.TransmitFrame(frame::kLine, 0x00, 0x0F));
    c.fault(*rig.line);
    EXPECT_EQ(rig.link.TransmitFrame(frame::kLedA, 0x00, 0x01), c.sentBeforeEnd);
    EXPECT_EQ(rig.ui.questions, c.questions);
    // The fault over: the cable back in, the power back after its time.
    rig.line->SetCablePulled(false);
    rig.time.AdvanceMs(controllersim::kPowerLossUs / 1000);
    EXPECT_FALSE(rig.line->PoweredOff());
    EXPECT_TRUE(rig.link.TransmitFrame(frame::kLedA, 0x00, 0x01));
    EXPECT_EQ(rig.line->RegistersText().substr(0, 9), "LedA=0001");
  }
}

TEST(SimulatedLine, APowerLossClearsTheRegistersAndIgnoresTheStudentsMeanwhile) {
  Rig rig;
  ASSERT_TRUE(rig.link.TransmitFrame(frame::kLine, 0x00, 0x0F));
  rig.line->LosePower();
  EXPECT_TRUE(rig.line->PoweredOff());
  rig.line->SetLed(3, true);
  EXPECT_EQ(rig.line->RegistersText(), "LedA=0000 Line=0000 LedB=0000 Route=00 Pairs=00");
  rig.time.AdvanceMs(controllersim::kPowerLossUs / 1000 - 1);
  EXPECT_TRUE(rig.line->PoweredOff());
  rig.time.AdvanceMs(1);
  EXPECT_FALSE(rig.line->PoweredOff());
}

TEST(SimulatedLine, TheTraceKeepsItsLastLinesAndTellsItsListener) {
  Rig rig;
  std::vector<std::string> heard;
  rig.line->SetTraceListener([&heard](const std::string& line) { heard.push_back(line); });
  const std::vector<uint8_t> poll(frame::kPollFrame.begin(), frame::kPollFrame.end());
  for (size_t i = 0; i < controllersim::kTraceLinesKept + 5; ++i) rig.Exchange(poll, 3);
  EXPECT_EQ(heard.size(), controllersim::kTraceLinesKept + 5);
  EXPECT_EQ(rig.line->TraceLines().size(), controllersim::kTraceLinesKept);
  EXPECT_EQ(rig.line->TraceLines().back(), heard.back());
}

TEST(SimulatedSerialPort, RefusesEverythingWhileClosedAndUsesTheLinksTimeOut) {
  FakeLineClock time;
  auto line = std::make_shared<SimulatedLine>(time.clock());
  SimulatedSerialPort port(line);
  uint8_t b = 0;
  EXPECT_FALSE(port.WriteByte(0x55));
  EXPECT_FALSE(port.ReadByte(b));
  EXPECT_FALSE(port.Drain());
  ASSERT_TRUE(port.Open("anything"));
  platform::SerialTimeouts timeouts;
  timeouts.readTotalConstantMs = 40;
  ASSERT_TRUE(port.SetTimeouts(timeouts));
  const int64_t before = *time.nowUs;
  EXPECT_FALSE(port.ReadByte(b));
  EXPECT_EQ(*time.nowUs - before, 40000);
  port.Close();
  EXPECT_FALSE(port.IsOpen());
}

}  // namespace
