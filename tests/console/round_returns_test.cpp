// The monitoring round leaves the class as it was: a stop routes the teacher
// back (a private talk included), a joined pair is one step, the round's
// steps answer no call, and the copy's write-back does not pause it.
#include <gtest/gtest.h>

#include <vector>

#include "console/consolemodel.h"
#include "console/lessonjournal.h"
#include "console/monitoringround.h"
#include "link/frame.h"
#include "scriptedcontroller.h"

using namespace console;

namespace {

constexpr uint8_t kRoute = frame::kRoutePairs;

class RoundReturns : public ::testing::Test {
 protected:
  RoundReturns()
      : model(room, controller, [] { return true; }, user, {"/nonexistent/vormik.ini", ""}),
        round(
            model, [this] { return now; }, 5) {
    // Desks 1-4 in a row, in this order on the plan.
    for (int d = 0; d < kDeskCount; ++d) model.PlaceDesk(d, 150 * d, 0, d < 4);
  }
  void Advance(int64_t ms) {
    for (int64_t t = 0; t < ms; t += 250) {
      now += 250;
      round.Tick();
    }
  }
  std::vector<int> StepsHeard(int count) {
    std::vector<int> desks;
    for (int i = 0; i < count; ++i) {
      desks.push_back(round.Status().desk);
      Advance(5000);
    }
    return desks;
  }

  ClassroomState room;
  ScriptedController controller;
  ScriptedUser user;
  ConsoleModel model;
  int64_t now = 0;
  MonitoringRound round;
};

TEST_F(RoundReturns, StopRoutesTheTeacherBackToWhatWasRoutedAtTheStart) {
  struct Case {
    const char* what;
    void (*before)(ConsoleModel&);
    uint8_t route;  // the Route register before the round and after its stop
  } cases[] = {
      {"nothing routed", [](ConsoleModel&) {}, 0x00},
      {"listening to desk 3", [](ConsoleModel& m) { m.ListenTo(2); }, 0x12},
      {"the input", [](ConsoleModel& m) { m.ToggleInput(); }, 0x20},
      {"the line", [](ConsoleModel& m) { m.ToggleLine(); }, 0x40},
      {"listening to desk 2 on the line",
       [](ConsoleModel& m) {
         m.ToggleLine();
         m.ListenTo(1);
       },
       0x71},
  };
  for (const Case& c : cases) {
    model.ResetAll();
    c.before(model);
    ASSERT_EQ(room.SwitchState.Route, c.route) << c.what;
    round.Start();
    Advance(17000);  // on desk 4
    EXPECT_NE(room.SwitchState.Route, c.route) << c.what;
    round.Stop();  // Shift+F5
    EXPECT_EQ(room.SwitchState.Route, c.route) << c.what;
    EXPECT_EQ(controller.registers.Route, c.route) << c.what;
  }
}

TEST_F(RoundReturns, PrivateTalkEndedByTheRoundComesBackWhenItStops) {
  model.ToggleLine();
  model.AllToLine();
  model.SpeakTo(2);  // desk 3 off the line while spoken to
  round.Start();
  Advance(6000);
  round.Stop();
  EXPECT_EQ(room.SwitchState.Route, 0x52);
  EXPECT_EQ(controller.registers.LineLow & 0x04, 0);  // off the line again
  EXPECT_EQ(model.Display().desks[2].line, LineCaption::On);
  // And the talk's end still gives desk 3 and the teacher's line back.
  model.StopSpeaking(2);
  EXPECT_EQ(controller.registers.LineLow & 0x04, 0x04);
  EXPECT_TRUE(model.Display().teacher.lineDown);
}

TEST_F(RoundReturns, RefusedStepAlsoRoutesBack) {
  model.ListenTo(3);
  round.Start();  // desk 1
  controller.FailNext();
  Advance(5000);  // desk 2 refused
  EXPECT_EQ(round.state(), RoundState::Stopped);
  EXPECT_EQ(room.SwitchState.Route, 0x13);
}

TEST_F(RoundReturns, TeachersOwnRoutingDuringAPauseIsNotUndone) {
  round.Start();
  model.ListenTo(3);  // pauses the round
  round.Stop();
  EXPECT_EQ(room.SwitchState.Route, 0x13);
}

TEST_F(RoundReturns, JoinedPairIsOneStep) {
  model.JoinPair(0);  // 1-2
  round.Start();
  EXPECT_EQ(StepsHeard(4), (std::vector<int>{0, 2, 3, 0}));
}

TEST_F(RoundReturns, StepsNeverMarkACallAnswered) {
  Moment at;
  LessonJournal journal(
      model, [&at] { return at; }, "/nonexistent/");
  model.ApplyIndicators(0x00, 0x02);  // desk 2 calls
  round.Start();                      // desk 1
  Advance(5000);                      // desk 2: heard by the round only
  model.ApplyIndicators(0x00, 0x06);  // desk 3 calls while desk 2 is heard
  Advance(5000);
  for (const LessonEvent& e : journal.record().events())
    EXPECT_NE(e.kind, LessonEventKind::CallAnswered) << e.desk;
  // The teacher listening is an answer.
  model.ListenTo(1);
  bool answered = false;
  for (const LessonEvent& e : journal.record().events())
    answered = answered || (e.kind == LessonEventKind::CallAnswered && e.desk == 1);
  EXPECT_TRUE(answered);
}

TEST_F(RoundReturns, TheCopysWriteBackDoesNotPauseTheRound) {
  round.Start();
  model.ControllerReturned();
  EXPECT_EQ(round.state(), RoundState::Running);
  const size_t mark = controller.sent.size();
  Advance(5000);
  ASSERT_EQ(controller.sent.size(), mark + 1);
  EXPECT_EQ(controller.sent.back(), (SentWrite{kRoute, 0x00, 0x11}));
}

}  // namespace
