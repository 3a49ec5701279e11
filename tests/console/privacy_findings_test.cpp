// One test per privacy fault found by the randomized audit, with the
// sequences it was found with: each fails on the model as it was.
#include <gtest/gtest.h>

#include <vector>

#include "console/arrangements.h"
#include "console/consolemodel.h"
#include "console/privacyguard.h"
#include "link/frame.h"
#include "scriptedcontroller.h"

using namespace console;

namespace {

constexpr uint8_t kLine = frame::kLine;
constexpr uint8_t kRoute = frame::kRoutePairs;
constexpr uint8_t kLedA = frame::kLedA;
constexpr uint8_t kLedB = frame::kLedB;

uint16_t Leaks(const SwitchRegisters& r) {
  return LeakingDesks(static_cast<uint16_t>(r.LineHigh << 8 | r.LineLow), r.Pairs, r.Route);
}

class Privacy : public ::testing::Test {
 protected:
  Privacy() : model(room, controller, nullptr, user, {"/nonexistent/vormik.ini", ""}) {
    for (int d = 0; d < kDeskCount; ++d) model.PlaceDesk(d, 0, 0, true);
    // Every frame the controller applies is checked, not only the end state.
    controller.onApplied = [this](const SwitchRegisters& r) {
      if (Leaks(r) != 0) ++leakingFrames;
    };
  }
  std::vector<SentWrite> SentSince(size_t mark) const {
    return {controller.sent.begin() + static_cast<long>(mark), controller.sent.end()};
  }
  LineCaption Caption(int number) { return model.Display().desks[number - 1].line; }

  ClassroomState room;
  ScriptedController controller;
  ScriptedUser user;
  ConsoleModel model;
  int leakingFrames = 0;
};

TEST_F(Privacy, JoinOnTheLineNeverJoinsThePairWhileItsDesksAreOnTheLine) {
  model.ToggleInputToLine();
  model.AllToLine();
  size_t mark = controller.sent.size();
  model.PressLineButton(0);
  // Both desks off the line first, then the join (it was 84 01 80 first).
  EXPECT_EQ(SentSince(mark), (std::vector<SentWrite>{
                                 {kLine, 0xFF, 0xFE}, {kLine, 0xFF, 0xFC}, {kRoute, 0x01, 0x80}}));
  EXPECT_EQ(leakingFrames, 0);

  // Speaking to desk 1 with desk 2 on the line: desk 2 never hears the talk.
  model.PressLineButton(0);  // parts 1-2
  model.PutOnLine(1);
  model.SpeakTo(0);
  mark = controller.sent.size();
  model.JoinPair(0);
  EXPECT_EQ(leakingFrames, 0);
  EXPECT_EQ(SentSince(mark).back(), (SentWrite{kRoute, 0x01, 0xD0}));
}

TEST_F(Privacy, JoinWhoseDisconnectIsRefusedLeavesNoPairOnTheLine) {
  model.ToggleLine();
  model.PressLineButton(2);
  model.PressLineButton(3);
  const size_t mark = controller.sent.size();
  controller.FailNext();  // desk 3's LineDisconnect, then "Нет"
  model.PressLineButton(2);
  // Nothing after the refusal: the old order had joined 3-4 first (84 02 40).
  EXPECT_EQ(SentSince(mark), (std::vector<SentWrite>{{kLine, 0x00, 0x08}}));
  EXPECT_EQ(controller.registers.Pairs, 0x00);
  EXPECT_EQ(controller.registers.LineLow, 0x0C);
  EXPECT_EQ(Caption(3), LineCaption::On);
  EXPECT_EQ(Caption(4), LineCaption::On);
  EXPECT_EQ(leakingFrames, 0);
}

TEST_F(Privacy, SpeakingDecidesByTheLineRegisterNotByThePairsCaption) {
  // The state the old join order left behind: 3-4 joined, both on the line.
  SwitchRegisters left;
  left.Route = 0x40;
  left.Pairs = 0x02;
  left.LineLow = 0x0C;
  room.SwitchState = controller.registers = left;
  ASSERT_EQ(Caption(4), LineCaption::Pair);
  const size_t mark = controller.sent.size();
  model.SpeakTo(3);
  // Desk 4 leaves the line before the talk (it was only 84 02 53).
  EXPECT_EQ(SentSince(mark), (std::vector<SentWrite>{{kLine, 0x00, 0x04}, {kRoute, 0x02, 0x53}}));
  EXPECT_EQ(controller.registers.LineLow & 0x08, 0);
}

TEST_F(Privacy, UnconfirmedSpeakThenNoEndsTheTalkByARouteWriteBeforeTheLine) {
  model.ToggleInputToLine();
  model.PressLineButton(2);
  size_t mark = controller.sent.size();
  controller.failing.insert(mark + 1);
  controller.appliedUnacknowledged.insert(mark + 1);  // the controller took the talk
  model.SpeakTo(2);
  // "Нет": nothing more; desk 3 is not put back on the line (it was 82 00 04).
  EXPECT_EQ(SentSince(mark), (std::vector<SentWrite>{{kLine, 0x00, 0x00}, {kRoute, 0x00, 0xD2}}));
  EXPECT_EQ(Caption(3), LineCaption::Off);
  EXPECT_EQ(leakingFrames, 0);
  // The next operation that sends no route of its own ends the talk with one
  // before desk 3 goes back on the line.
  mark = controller.sent.size();
  model.AllLedsOff();
  EXPECT_EQ(
      SentSince(mark),
      (std::vector<SentWrite>{
          {kLedA, 0x00, 0x00}, {kLedB, 0x00, 0x00}, {kRoute, 0x00, 0x80}, {kLine, 0x00, 0x04}}));
  EXPECT_EQ(leakingFrames, 0);
  EXPECT_EQ(Caption(3), LineCaption::On);
}

TEST_F(Privacy, ArrangementStopsAtARefusedJoinAndSaysWhere) {
  model.ToggleLine();
  model.AllToLine();
  classroom::Arrangement pairs;
  pairs.name = "пары";
  pairs.pairs = 0x01;
  const size_t mark = controller.sent.size();
  controller.FailNext();
  const ArrangementOutcome outcome = ApplyArrangement(model, pairs);
  EXPECT_FALSE(outcome.complete);
  EXPECT_NE(outcome.text.find("стол 1"), std::string::npos) << outcome.text;
  EXPECT_EQ(outcome.text.find("применена."), std::string::npos) << outcome.text;
  // Nothing of the arrangement after its "Нет" (it went on to 84 01 40 and more).
  EXPECT_EQ(SentSince(mark), (std::vector<SentWrite>{{kLine, 0xFF, 0xFE}}));
  EXPECT_EQ(leakingFrames, 0);
}

TEST_F(Privacy, ArrangementReportsSuccessOnlyWhenTheControllerHoldsIt) {
  model.ToggleLine();
  classroom::Arrangement a;
  a.name = "линия";
  a.line = 0x0003;
  // A desk on the line the arrangement does not name: taken off, so success.
  model.PressLineButton(5);
  ArrangementOutcome outcome = ApplyArrangement(model, a);
  EXPECT_TRUE(outcome.complete) << outcome.text;
  EXPECT_EQ(outcome.text, "Расстановка «линия» применена.");
  EXPECT_EQ(controller.registers.LineLow, 0x03);
  // Refused half-way: the result names the desk and is not a success.
  model.ResetAll();
  model.ToggleLine();
  controller.FailNext();
  outcome = ApplyArrangement(model, a);
  EXPECT_FALSE(outcome.complete);
  EXPECT_NE(outcome.text.find("стол 1"), std::string::npos) << outcome.text;
}

TEST_F(Privacy, ArrangementDuringAPrivateTalkEndsInTheSavedStateWithOneResult) {
  model.ToggleLine();
  model.AllToLine();
  model.SpeakTo(4);
  classroom::Arrangement all;
  all.name = "все на линии";
  all.line = 0xFFFF;
  const ArrangementOutcome outcome = ApplyArrangement(model, all);
  EXPECT_TRUE(outcome.complete) << outcome.text;
  EXPECT_EQ(outcome.text, "Расстановка «все на линии» применена.");
  EXPECT_TRUE(user.messages.empty());  // no "подключите сигнал" although "Линия" was on
  EXPECT_EQ(controller.registers.LineLow, 0xFF);
  EXPECT_EQ(controller.registers.LineHigh, 0xFF);
  // The talk over, the teacher's line back, desk 5 still listened to.
  EXPECT_EQ(controller.registers.Route, 0x74);
  EXPECT_EQ(leakingFrames, 0);
}

TEST_F(Privacy, LineReleasedWithItsLineOffRefusedKeepsTheDesksOnTheLine) {
  model.ToggleLine();
  model.AllToLine();
  const size_t mark = controller.sent.size();
  controller.FailNext();
  model.ToggleLine();
  // The teacher's line stays on: so do the desks ("all desks off" not sent).
  EXPECT_EQ(SentSince(mark), (std::vector<SentWrite>{{kRoute, 0x00, 0x00}}));
  EXPECT_EQ(controller.registers.LineLow, 0xFF);
  EXPECT_TRUE(model.Display().teacher.lineDown);
}

TEST_F(Privacy, GuardSettlesAnUnconfirmedJoinBeforePuttingItsDeskOnTheLine) {
  model.ToggleLine();
  model.JoinPair(0);
  model.PartPair(0);
  // A join applied without its acknowledgement, "Нет".
  SwitchRegisters before = room.SwitchState;
  PrivacyGuard guard(controller, room.SwitchState);
  guard.BeginOperation();
  controller.ApplyButLoseNext();
  EXPECT_FALSE(guard.TransmitFrame(kRoute, 0x01, before.Route));
  EXPECT_TRUE(guard.Refused());
  guard.BeginOperation();
  const size_t mark = controller.sent.size();
  // Desk 1 on the line: the possible pair is written back first.
  EXPECT_TRUE(guard.TransmitFrame(kLine, 0x00, 0x01));
  EXPECT_EQ(SentSince(mark),
            (std::vector<SentWrite>{{kRoute, 0x00, before.Route}, {kLine, 0x00, 0x01}}));
  EXPECT_EQ(leakingFrames, 0);
  EXPECT_EQ(guard.HeldBack(), 0u);
}

}  // namespace
