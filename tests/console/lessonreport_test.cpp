// The report's texts and its time span, and the heard gauges of a lesson
// just begun: computed from a record driven with given times.
#include "console/lessonreport.h"

#include <gtest/gtest.h>

#include "console/classlist.h"

using namespace console;

namespace {

constexpr int64_t kStartMs = 1796638800000;  // 2026-12-07 10:20:00 UTC
constexpr int kMoscow = 3 * 3600;

Moment At(int seconds) { return {kStartMs + seconds * 1000LL, kMoscow}; }

DeskStates Listening(int desk) {
  DeskStates states;
  if (desk >= 0) states.listened = static_cast<uint16_t>(1u << desk);
  return states;
}

}  // namespace

TEST(LessonReport, TitlesAndPageNumbers) {
  EXPECT_EQ(ReportTitle("5А", At(0), At(45 * 60)), "5А, урок 07.12.2026, 13:20–14:05");
  EXPECT_EQ(ReportTitle("", At(0), At(60)), "Урок 07.12.2026, 13:20–13:21");
  EXPECT_EQ(PageNumberText(1, 3), "стр. 1 из 3");
  EXPECT_EQ(PageNumberText(3, 3), "стр. 3 из 3");
  const std::pair<std::string, std::string> classes[] = {
      {"/home/t/кабинеты/5А.cld", "5А"},
      {"C:\\Кабинет\\10 Б.cld", "10 Б"},
      {"room", "room"},
      {"/x/.cld", ".cld"},
      {"", "класс"},
  };
  for (const auto& [path, name] : classes) EXPECT_EQ(ClassNameOf(path), name) << path;
}

TEST(LessonReport, TheSpanRunsFromTheFirstDeskEventToTheLast) {
  struct Case {
    const char* what;
    std::vector<std::pair<int, int>> listens;  // at second, desk (-1: nobody)
    int endSeconds;
    int from, to;  // seconds
  };
  const Case cases[] = {
      {"nothing happened: the lesson's start to its end", {}, 600, 0, 600},
      {"one listening from 3:00 to 5:00", {{180, 2}, {300, -1}}, 900, 180, 300},
      {"a listening still going on at the end", {{120, 4}}, 400, 120, 400},
      {"two desks one after the other", {{60, 1}, {90, 3}, {150, -1}}, 1000, 60, 150},
  };
  for (const Case& c : cases) {
    LessonRecord record;
    record.Begin({}, At(0));
    for (const auto& [seconds, desk] : c.listens) record.Update(Listening(desk), At(seconds));
    const TimeSpan span = LessonSpan(record, At(c.endSeconds).ms);
    EXPECT_EQ(span.fromMs, At(c.from).ms) << c.what;
    EXPECT_EQ(span.toMs, At(c.to).ms) << c.what;
  }
}

TEST(LessonReport, TheTimelinesAxisStartsAtTheFirstEventsMinute) {
  LessonRecord record;
  record.Begin({}, At(0));
  record.Update(Listening(0), At(7 * 60 + 30));
  record.Update(Listening(-1), At(19 * 60));
  std::array<DeskPlanEntry, kDeskCount> plan{};
  plan[0].visible = true;
  const TimelineLayout layout = LayOutTimeline(record, plan, At(40 * 60).ms, kReportTimelineChart);
  EXPECT_EQ(layout.fromMs, At(450).ms);
  EXPECT_EQ(layout.toMs, At(19 * 60).ms);
  ASSERT_FALSE(layout.ticks.empty());
  // Ticks every two minutes (11.5 minutes give more than ten) inside the span.
  EXPECT_EQ(layout.ticks.front().text, "13:28");
  EXPECT_EQ(layout.ticks.back().text, "13:38");
  EXPECT_EQ(layout.ticks.size(), 6u);
  ASSERT_EQ(layout.bars.size(), 1u);
  EXPECT_DOUBLE_EQ(layout.bars[0].box.x, kReportTimelineChart.x);
  EXPECT_DOUBLE_EQ(layout.bars[0].box.w, kReportTimelineChart.w);
}

TEST(LessonReport, NoDeskIsRedBeforeAnyoneWasHeard) {
  LessonRecord record;
  record.Begin({}, At(0));
  for (const HeardGauge& gauge : HeardGauges(record, At(300).ms)) {
    EXPECT_FALSE(gauge.neverHeard);
    EXPECT_EQ(gauge.permille, 0);
    EXPECT_EQ(gauge.figure, "0:00");
  }
  record.Update(Listening(3), At(300));
  const auto heard = HeardGauges(record, At(330).ms);
  EXPECT_FALSE(heard[3].neverHeard);
  EXPECT_EQ(heard[3].permille, 1000);
  EXPECT_TRUE(heard[0].neverHeard);
  // A new lesson starts the counts again, with no red.
  record.Begin(Listening(-1), At(400));
  EXPECT_FALSE(HeardGauges(record, At(500).ms)[0].neverHeard);
}
