// The lesson record from desk states alone: the order of events within one
// change, calls heard at once, and what the report's layout makes of it.
#include "console/lessonrecord.h"

#include <gtest/gtest.h>

#include <vector>

#include "console/lessonreport.h"

using namespace console;

namespace {

uint16_t Desks(std::initializer_list<int> numbers) {
  uint16_t bits = 0;
  for (int n : numbers) bits |= static_cast<uint16_t>(1u << (n - 1));
  return bits;
}

Moment At(int seconds) { return {seconds * 1000LL, 0}; }

std::vector<LessonEventKind> Kinds(const std::vector<LessonEvent>& events) {
  std::vector<LessonEventKind> kinds;
  for (const LessonEvent& e : events) kinds.push_back(e.kind);
  return kinds;
}

using K = LessonEventKind;

struct StepCase {
  const char* what;
  DeskStates from, to;
  std::vector<LessonEventKind> events;
};

TEST(LessonRecord, EventsOfOneChangeInTheirOrder) {
  DeskStates listen3;
  listen3.listened = Desks({3});
  DeskStates speak3 = listen3;
  speak3.spoken = Desks({3});
  DeskStates calling3;
  calling3.calling = Desks({3});
  DeskStates heardCalling3 = listen3;
  heardCalling3.calling = Desks({3});
  DeskStates pair34;
  pair34.paired = Desks({3, 4});
  pair34.listened = Desks({3, 4});

  const StepCase cases[] = {
      {"speaking ends before listening", speak3, DeskStates{}, {K::SpeakEnded, K::ListenEnded}},
      {"listening starts before speaking",
       DeskStates{},
       speak3,
       {K::ListenStarted, K::SpeakStarted}},
      {"a call to a desk already heard is answered at once",
       listen3,
       heardCalling3,
       {K::CallLit, K::CallAnswered}},
      {"listening to a calling desk answers it",
       calling3,
       heardCalling3,
       {K::ListenStarted, K::CallAnswered}},
      {"a call answered and over in one change",
       calling3,
       listen3,
       {K::ListenStarted, K::CallAnswered, K::CallEnded}},
      {"a joined pair is heard as one",
       listen3,
       pair34,
       {K::ListenStarted, K::PairJoined, K::PairJoined}},
      {"nothing changed", listen3, listen3, {}},
  };
  for (const StepCase& c : cases) {
    LessonRecord record;
    record.Begin({}, At(0));
    record.Update(c.from, At(1));
    EXPECT_EQ(Kinds(record.Update(c.to, At(2))), c.events) << c.what;
  }
}

TEST(LessonRecord, CallNotAnsweredEndsWithoutAnAnswer) {
  LessonRecord record;
  record.Begin({}, At(0));
  DeskStates calling;
  calling.calling = Desks({16});
  record.Update(calling, At(3));
  const std::vector<LessonEvent> ended = record.Update({}, At(10));
  ASSERT_EQ(Kinds(ended), std::vector<K>{K::CallEnded});
  EXPECT_EQ(ended[0].desk, 15);
  EXPECT_EQ(ended[0].durationMs, 7000);
  ASSERT_EQ(record.calls().size(), 1u);
  EXPECT_EQ(record.calls()[0].answeredMs, -1);
  // Listening afterwards answers nothing.
  DeskStates heard;
  heard.listened = Desks({16});
  EXPECT_EQ(Kinds(record.Update(heard, At(12))), std::vector<K>{K::ListenStarted});
}

TEST(LessonRecord, ReadsTheRegisters) {
  SwitchRegisters regs;
  regs.Route = route::kModeSpeak | 4;  // speaking to desk 5
  regs.Pairs = 0x04;                   // desks 5 and 6 joined
  regs.LineHigh = 0x80;                // desk 16 on the line
  const DeskStates states = ReadDeskStates(regs, Desks({2}));
  EXPECT_EQ(states.listened, Desks({5, 6}));
  EXPECT_EQ(states.spoken, Desks({5, 6}));
  EXPECT_EQ(states.paired, Desks({5, 6}));
  EXPECT_EQ(states.onLine, Desks({16}));
  EXPECT_EQ(states.calling, Desks({2}));
}

std::array<DeskPlanEntry, kDeskCount> PlanOf(std::initializer_list<int> visible) {
  std::array<DeskPlanEntry, kDeskCount> plan;
  for (int d = 0; d < kDeskCount; ++d) {
    plan[d].label = std::to_string(d + 1);
    plan[d].left = 200 * (d % 4);
    plan[d].top = 100 * (d / 4);
  }
  for (int n : visible) plan[n - 1].visible = true;
  return plan;
}

struct BarCase {
  int desk;
  TimelineLane lane;
  double x, w;
};

TEST(LessonReport, TimelineBarsWhereTheRecordPutsThem) {
  // The axis runs from the first desk event (1:00) to the end (10:00): nine
  // minutes over a 540-point chart, one point a second.
  LessonRecord record;
  record.Begin({}, At(0));
  DeskStates s;
  s.calling = Desks({2});
  record.Update(s, At(60));
  s.listened = Desks({2});
  record.Update(s, At(90));
  s.calling = 0;
  record.Update(s, At(150));
  s.listened = Desks({4});
  s.onLine = Desks({1});
  record.Update(s, At(300));
  const Box chart{100, 50, 540, 300};
  const TimelineLayout layout = LayOutTimeline(record, PlanOf({1, 2, 4}), 600000, chart);

  ASSERT_EQ(layout.rows.size(), 3u);  // desk 3 is not on the plan
  EXPECT_EQ(layout.rows[2].desk, 3);
  EXPECT_DOUBLE_EQ(layout.rows[1].box.y, 150);
  const BarCase cases[] = {
      {1, TimelineLane::CallWaiting, 100, 30},
      {1, TimelineLane::CallAnswered, 130, 60},
      {1, TimelineLane::Listen, 130, 210},
      {3, TimelineLane::Listen, 340, 300},  // still heard at the end
      {0, TimelineLane::Line, 340, 300},
  };
  ASSERT_EQ(layout.bars.size(), std::size(cases));
  for (const BarCase& c : cases) {
    const auto bar =
        std::find_if(layout.bars.begin(), layout.bars.end(),
                     [&](const TimelineBar& b) { return b.desk == c.desk && b.lane == c.lane; });
    ASSERT_NE(bar, layout.bars.end()) << c.desk;
    EXPECT_DOUBLE_EQ(bar->box.x, c.x) << c.desk;
    EXPECT_DOUBLE_EQ(bar->box.w, c.w) << c.desk;
    // Inside its own row, lanes apart.
    const Box& row = layout.rows[c.desk == 0 ? 0 : c.desk == 1 ? 1 : 2].box;
    EXPECT_GE(bar->box.y, row.y);
    EXPECT_LE(bar->box.y + bar->box.h, row.y + row.h + 1e-9);
  }
  // Ticks every minute from the first event, labelled by the clock.
  ASSERT_EQ(layout.ticks.size(), 10u);
  EXPECT_EQ(layout.ticks[0].text, "00:01");
  EXPECT_DOUBLE_EQ(layout.ticks[0].x, 100);
  EXPECT_EQ(layout.ticks[1].text, "00:02");
  EXPECT_DOUBLE_EQ(layout.ticks[1].x, 160);
}

TEST(LessonReport, PlanScaledIntoThePageKeepingItsShape) {
  const auto plan = PlanOf({1, 2, 5});
  // Desks span 345 x 175 (two columns, two rows); the area is twice as large.
  const std::vector<PlanDesk> desks = LayOutPlan(plan, {10, 20, 690, 700});
  ASSERT_EQ(desks.size(), 3u);
  EXPECT_DOUBLE_EQ(desks[0].box.x, 10);
  EXPECT_DOUBLE_EQ(desks[1].box.x, 410);
  EXPECT_DOUBLE_EQ(desks[0].box.w, 2 * kDeskPanelWidth);
  // Centred vertically: 700 - 350 leaves 175 above.
  EXPECT_DOUBLE_EQ(desks[0].box.y, 195);
  EXPECT_DOUBLE_EQ(desks[2].box.y, 395);
  EXPECT_TRUE(LayOutPlan(PlanOf({}), {0, 0, 100, 100}).empty());
}

TEST(LessonReport, TotalsPerShownDesk) {
  LessonRecord record;
  record.Begin({}, At(0));
  DeskStates s;
  s.calling = Desks({1});
  record.Update(s, At(10));
  s.calling = 0;
  record.Update(s, At(25));  // not answered: waited 15 s
  s.calling = Desks({1});
  s.listened = Desks({1});
  s.spoken = Desks({1});
  record.Update(s, At(30));  // heard at once
  const std::vector<DeskTotals> totals = TotalsPerDesk(record, PlanOf({1, 2}), 90000);
  ASSERT_EQ(totals.size(), 2u);
  EXPECT_EQ(totals[0].calls, 2);
  EXPECT_EQ(totals[0].longestWaitMs, 15000);
  EXPECT_EQ(totals[0].listenedMs, 60000);
  EXPECT_EQ(totals[0].spokenMs, 60000);
  EXPECT_EQ(totals[1].calls, 0);
  EXPECT_EQ(totals[1].listenedMs, 0);
}

}  // namespace
