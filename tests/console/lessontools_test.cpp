// The lesson tools on the console model with a scripted controller and a
// clock moved by hand: the monitoring round, the lesson timer, the plan
// order and arrow navigation, and the round's setting.
#include <gtest/gtest.h>

#include <cctype>
#include <vector>

#include "config/inifile.h"
#include "config/settingsload.h"
#include "console/consolemodel.h"
#include "console/deskorder.h"
#include "console/lessontimer.h"
#include "console/monitoringround.h"
#include "link/frame.h"
#include "scriptedcontroller.h"

using namespace console;

namespace {

constexpr uint8_t kRoute = frame::kRoutePairs;
constexpr uint8_t kLine = frame::kLine;

SentWrite ListenFrame(int desk) { return {kRoute, 0x00, static_cast<uint8_t>(0x10 | desk)}; }

class Lesson : public ::testing::Test {
 protected:
  Lesson()
      : model(room, controller, [] { return true; }, user,
              {"/nonexistent/vormik.ini", "/nonexistent/vormik"}) {
    for (int d = 0; d < kDeskCount; ++d) model.PlaceDesk(d, 0, 0, false);
  }
  std::vector<SentWrite> SentSince(size_t mark) const {
    return {controller.sent.begin() + static_cast<long>(mark), controller.sent.end()};
  }
  void Advance(int64_t ms, MonitoringRound& round) {
    // Ticks every quarter second, as the window's timer does.
    for (int64_t t = 0; t < ms; t += 250) {
      now += 250;
      round.Tick();
    }
  }

  ClassroomState room;
  ScriptedController controller;
  ScriptedUser user;
  ConsoleModel model;
  int64_t now = 0;
  MillisecondClock clock = [this] { return now; };
};

// ---------------------------------------------------------------- plan order

struct OrderCase {
  const char* what;
  std::vector<std::tuple<int, int, int>> desks;  // index, left, top (others hidden)
  std::vector<int> order;
};

class PlanOrderTable : public ::testing::TestWithParam<OrderCase> {};

TEST_P(PlanOrderTable, RowsTopToBottomEachLeftToRight) {
  DeskPlan plan{};
  for (const auto& [desk, left, top] : GetParam().desks) {
    plan[desk].left = left;
    plan[desk].top = top;
    plan[desk].visible = true;
  }
  EXPECT_EQ(PlanOrder(plan), GetParam().order);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PlanOrderTable,
    ::testing::Values(
        OrderCase{"empty plan", {}, {}},
        OrderCase{"grid in index order",
                  {{0, 10, 0}, {1, 180, 0}, {2, 10, 100}, {3, 180, 100}},
                  {0, 1, 2, 3}},
        OrderCase{
            "desk 16 placed first in the row", {{15, 10, 0}, {0, 180, 0}, {1, 350, 0}}, {15, 0, 1}},
        // A panel dragged a few pixels lower stays in its row.
        OrderCase{"ragged row", {{0, 180, 0}, {1, 10, 30}, {2, 350, 10}}, {1, 0, 2}},
        // Half a panel lower starts a new row.
        OrderCase{"next row at half a panel", {{0, 180, 0}, {1, 10, 38}}, {0, 1}},
        OrderCase{"rows given bottom first", {{0, 10, 300}, {1, 10, 0}, {2, 180, 150}}, {1, 2, 0}}),
    [](const auto& info) {
      std::string name = info.param.what;
      for (char& c : name)
        if (!isalnum(static_cast<unsigned char>(c))) c = '_';
      return name;
    });

struct MoveCase {
  int from;
  Direction direction;
  int to;
};

class NavigationTable : public ::testing::TestWithParam<MoveCase> {};

// The standard four by four grid with desk 6 (index 5) hidden, desk 12
// (index 11) pushed a little down and to the left.
DeskPlan GridWithGaps() {
  DeskPlan plan{};
  const int columns[] = {10, 180, 375, 545};
  for (int d = 0; d < kDeskCount; ++d) {
    plan[d].left = columns[d % 4];
    plan[d].top = 18 + 106 * (d / 4);
    plan[d].visible = d != 5;
  }
  plan[11].left -= 20;
  plan[11].top += 15;
  return plan;
}

TEST_P(NavigationTable, MovesToTheNearestVisibleDesk) {
  const MoveCase& c = GetParam();
  EXPECT_EQ(NearestDesk(GridWithGaps(), c.from, c.direction), c.to);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NavigationTable,
    ::testing::Values(MoveCase{0, Direction::Right, 1}, MoveCase{0, Direction::Down, 4},
                      MoveCase{0, Direction::Left, 0},  // the edge: stays
                      MoveCase{0, Direction::Up, 0},
                      MoveCase{1, Direction::Down, 9},   // desk 6 hidden: over it, straight on
                      MoveCase{4, Direction::Right, 6},  // hidden desk skipped in the row
                      MoveCase{7, Direction::Down, 11},  // the displaced desk still below
                      MoveCase{11, Direction::Left, 10}, MoveCase{15, Direction::Up, 11},
                      MoveCase{5, Direction::Right, 0},  // from a hidden desk: plan's first
                      MoveCase{-1, Direction::Down, 0}));

TEST(Navigation, EveryVisibleDeskIsReachedByArrows) {
  const DeskPlan plan = GridWithGaps();
  std::vector<bool> reached(kDeskCount, false);
  std::vector<int> todo = {0};
  reached[0] = true;
  while (!todo.empty()) {
    const int from = todo.back();
    todo.pop_back();
    for (Direction d : {Direction::Left, Direction::Right, Direction::Up, Direction::Down}) {
      const int to = NearestDesk(plan, from, d);
      ASSERT_TRUE(plan[to].visible);
      if (!reached[to]) {
        reached[to] = true;
        todo.push_back(to);
      }
    }
  }
  for (int d = 0; d < kDeskCount; ++d) EXPECT_EQ(reached[d], plan[d].visible) << d;
}

// ---------------------------------------------------------------- the round

class Round : public Lesson {
 protected:
  Round() {
    // Row 1: desks 3, 1; row 2: desks 16, 2 (3 hidden there, 5 hidden above).
    model.PlaceDesk(2, 10, 0, true);
    model.PlaceDesk(0, 200, 5, true);
    model.PlaceDesk(4, 400, 0, false);
    model.PlaceDesk(15, 10, 100, true);
    model.PlaceDesk(1, 200, 100, true);
    model.PlaceDesk(6, 400, 100, false);
  }
};

TEST_F(Round, ListensToVisibleDesksInPlanOrderAndStartsOver) {
  MonitoringRound round(model, clock, 20);
  const size_t mark = controller.sent.size();
  round.Start();
  Advance(19000, round);
  EXPECT_EQ(SentSince(mark).size(), 1u);  // still on the first desk
  EXPECT_EQ(round.Status().secondsLeft, 1);
  Advance(20000 * 4, round);
  const std::vector<SentWrite> expected = {ListenFrame(2), ListenFrame(0), ListenFrame(15),
                                           ListenFrame(1), ListenFrame(2)};
  EXPECT_EQ(SentSince(mark), expected);
  EXPECT_EQ(round.state(), RoundState::Running);
  EXPECT_EQ(round.Status().desk, 2);
}

TEST_F(Round, TeacherOperationPausesAndF5ResumesAtTheNextDesk) {
  MonitoringRound round(model, clock, 10);
  round.Start();          // desk 3
  Advance(10000, round);  // desk 1
  model.ToggleInput();    // the teacher acts
  EXPECT_EQ(round.state(), RoundState::Paused);
  EXPECT_NE(round.Status().text.find("приостановлен"), std::string::npos);
  const size_t mark = controller.sent.size();
  Advance(60000, round);
  EXPECT_TRUE(SentSince(mark).empty());  // a paused round sends nothing
  round.StartPauseResume();
  EXPECT_EQ(round.state(), RoundState::Running);
  const std::vector<SentWrite> resumed = {ListenFrame(15)};
  EXPECT_EQ(SentSince(mark), resumed);
  round.StartPauseResume();
  EXPECT_EQ(round.state(), RoundState::Paused);
}

TEST_F(Round, RefusedStepStopsTheRoundWithAReason) {
  MonitoringRound round(model, clock, 5);
  round.Start();
  controller.FailNext();  // the listen to desk 1: "Нет" to the connection question
  Advance(5000, round);
  EXPECT_EQ(round.state(), RoundState::Stopped);
  EXPECT_NE(round.Status().text.find("стол 1"), std::string::npos);
  const size_t mark = controller.sent.size();
  Advance(30000, round);
  EXPECT_TRUE(SentSince(mark).empty());
}

// The journal hears a round start once and stop once, a pause being neither:
// a refused step stops it as surely as the stop key.
TEST_F(Round, ActivityListenerHearsStartsAndStopsNotPauses) {
  MonitoringRound round(model, clock, 5);
  std::vector<bool> heard;
  round.SetActivityListener([&heard](bool started) { heard.push_back(started); });
  round.Start();
  model.ToggleInput();       // pauses
  round.StartPauseResume();  // resumes
  round.Stop();
  round.Stop();
  EXPECT_EQ(heard, (std::vector<bool>{true, false}));
  round.Start();
  controller.FailNext();
  Advance(5000, round);
  EXPECT_EQ(heard, (std::vector<bool>{true, false, true, false}));
}

TEST_F(Round, CallDuringTheRoundDoesNotStopIt) {
  MonitoringRound round(model, clock, 5);
  round.Start();
  model.ApplyIndicators(0x00, 0x02);  // desk 2 calls
  EXPECT_EQ(model.calls().size(), 1u);
  EXPECT_EQ(round.state(), RoundState::Running);
}

TEST_F(Round, HiddenDeskInTheMiddleIsSkippedAndAnEmptyPlanRefused) {
  MonitoringRound round(model, clock, 5);
  round.Start();                      // desk 3
  model.PlaceDesk(0, 200, 5, false);  // desk 1 leaves the plan
  const size_t mark = controller.sent.size();
  Advance(5000, round);
  const std::vector<SentWrite> expected = {ListenFrame(15)};
  EXPECT_EQ(SentSince(mark), expected);
  round.Stop();
  for (int d = 0; d < kDeskCount; ++d) model.PlaceDesk(d, 0, 0, false);
  round.Start();
  EXPECT_EQ(round.state(), RoundState::Stopped);
  EXPECT_FALSE(round.Status().text.empty());
}

// ---------------------------------------------------------------- round setting

TEST(RoundSetting, OutOfRangeFallsBackToTheDefault) {
  const std::pair<const char*, int> cases[] = {
      {"", 20},
      {"RoundSeconds=3", 3},
      {"RoundSeconds=600", 600},
      {"RoundSeconds=2", 20},
      {"RoundSeconds=601", 20},
      {"RoundSeconds=abc", 20},
      {"RoundSeconds=45", 45},
      {"RoundSeconds=-5", 20},
  };
  for (const auto& [line, seconds] : cases) {
    const auto document = ini::IniDocument::Parse(std::string("[Lesson]\r\n") + line + "\r\n");
    EXPECT_EQ(settings::ReadRoundSeconds(document), seconds) << line;
  }
}

// ---------------------------------------------------------------- the timer

class Timer : public Lesson {
 protected:
  Timer() {
    for (int d = 0; d < 4; ++d) model.PlaceDesk(d, 150 * d, 0, true);
  }
  TimerEvent AdvanceTimer(int64_t ms, LessonTimer& timer) {
    TimerEvent last = TimerEvent::None;
    for (int64_t t = 0; t < ms; t += 250) {
      now += 250;
      const TimerEvent e = timer.Tick();
      if (e != TimerEvent::None) last = e;
    }
    return last;
  }
};

TEST_F(Timer, MinutesOutsideOneToNinetyAreRefused) {
  LessonTimer timer(model, clock);
  for (int minutes : {0, -1, 91}) EXPECT_FALSE(timer.Start(minutes, TimerEndAction::Nothing));
  EXPECT_FALSE(timer.Running());
  EXPECT_TRUE(timer.Start(90, TimerEndAction::Nothing));
  EXPECT_EQ(timer.Status().text, "Таймер: 90:00");
}

struct EndCase {
  TimerEndAction action;
  bool lineSource;
  std::vector<SentWrite> closing;
  const char* text;
};

class TimerEnd : public Timer, public ::testing::WithParamInterface<EndCase> {};

TEST_P(TimerEnd, WarnsThirtySecondsAheadThenDoesTheChosenCommand) {
  const EndCase& c = GetParam();
  if (c.lineSource) model.ToggleLine();
  LessonTimer timer(model, clock);
  ASSERT_TRUE(timer.Start(2, c.action));
  const size_t mark = controller.sent.size();
  EXPECT_EQ(AdvanceTimer(89000, timer), TimerEvent::None);
  EXPECT_FALSE(timer.Status().red);
  EXPECT_EQ(AdvanceTimer(1000, timer), TimerEvent::WarningBegan);
  EXPECT_TRUE(timer.Status().red);
  EXPECT_EQ(timer.Status().text, "Таймер: 00:30");
  EXPECT_EQ(AdvanceTimer(29750, timer), TimerEvent::None);
  EXPECT_TRUE(SentSince(mark).empty());  // nothing before the deadline
  EXPECT_EQ(AdvanceTimer(250, timer), TimerEvent::Ended);
  EXPECT_EQ(SentSince(mark), c.closing);
  EXPECT_EQ(timer.Status().text, c.text);
  EXPECT_EQ(AdvanceTimer(5000, timer), TimerEvent::None);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TimerEnd,
    ::testing::Values(
        EndCase{TimerEndAction::Nothing, false, {}, "Время вышло."},
        EndCase{TimerEndAction::AllToLine,
                true,
                {{kRoute, 0x00, 0x40}, {kLine, 0xFF, 0xFF}},
                "Время вышло: все столы подключены к линии."},
        // Without a line source the command warns, as its button does, and sends nothing.
        EndCase{TimerEndAction::AllToLine,
                false,
                {},
                "Время вышло: подключить все столы к линии не удалось."},
        EndCase{TimerEndAction::Reset,
                true,
                {{frame::kLedA, 0, 0}, {kLine, 0, 0}, {frame::kLedB, 0, 0}, {kRoute, 0, 0}},
                "Время вышло: выполнен сброс."}));

TEST_F(Timer, StoppedEarlyDoesNothingAtItsDeadline) {
  LessonTimer timer(model, clock);
  timer.Start(1, TimerEndAction::Reset);
  AdvanceTimer(10000, timer);
  timer.Stop();
  const size_t mark = controller.sent.size();
  EXPECT_EQ(AdvanceTimer(120000, timer), TimerEvent::None);
  EXPECT_TRUE(SentSince(mark).empty());
  EXPECT_TRUE(timer.Status().text.empty());
}

TEST_F(Timer, RefusedResetIsReportedAsNotDone) {
  LessonTimer timer(model, clock);
  model.ListenTo(1);
  timer.Start(1, TimerEndAction::Reset);
  controller.FailNext();
  AdvanceTimer(60000, timer);
  EXPECT_EQ(timer.Status().text, "Время вышло: сброс не выполнен (контроллер не ответил).");
}

}  // namespace
