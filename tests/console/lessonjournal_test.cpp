// The lesson journal following the console model with a fake clock: the lines
// of a scripted lesson, waiting and listening times, a new lesson, and the
// text of the journal's fields.
#include "console/lessonjournal.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/consolemodel.h"
#include "console/csvfield.h"
#include "console/lessonreport.h"
#include "scriptedcontroller.h"

using namespace console;

namespace {

constexpr int64_t kStartMs = 1796638800000;  // 2026-12-07 10:20:00 UTC
constexpr int kMoscow = 3 * 3600;

class Journal : public ::testing::Test {
 protected:
  Journal()
      : model(room, controller, [] { return true; }, user, {"/nonexistent/vormik.ini", ""}),
        journal(
            model, [this] { return now; }, "/nonexistent/") {
    for (int d = 0; d < kDeskCount; ++d) {
      model.PlaceDesk(d, 150 * (d % 4), 100 * (d / 4), true);
      model.BeginNameEditing(d);
      model.TypeName(d, "Ученик " + std::to_string(d + 1));
      model.PressEnterInName(d);
    }
  }
  void At(int seconds) { now = {kStartMs + seconds * 1000LL, kMoscow}; }
  // The poll finds these desks' LEDs lit (desk numbers), all others dark.
  void PollFinds(std::vector<int> lit) {
    uint16_t bits = 0;
    for (int number : lit) bits |= static_cast<uint16_t>(1u << (number - 1));
    model.ApplyIndicators(static_cast<uint8_t>(bits >> 8), static_cast<uint8_t>(bits & 0xFF));
  }
  std::vector<std::string> LinesFrom(size_t first) const {
    std::vector<std::string> lines;
    const auto& events = journal.record().events();
    for (size_t i = first; i < events.size(); ++i)
      lines.push_back(JournalLine(events[i], model.plan()));
    return lines;
  }

  ClassroomState room;
  ScriptedController controller;
  ScriptedUser user;
  Moment now{kStartMs, kMoscow};
  ConsoleModel model;
  LessonJournal journal;
};

TEST_F(Journal, ScriptedLessonGivesItsLinesInOrder) {
  journal.ConsoleStarted();
  At(5);
  PollFinds({3});
  At(17);
  model.ListenTo(2);
  At(40);
  model.PressLedButton(2);
  At(60);
  model.ListenTo(4);
  At(70);
  model.JoinPair(6);
  At(80);
  model.ToggleLine();
  At(85);
  model.PutOnLine(0);
  At(90);
  model.SpeakTo(4);
  At(95);
  model.StopSpeaking(4);
  At(100);
  journal.RoundStarted();
  At(110);
  journal.RoundStopped();
  At(115);
  model.PartPair(6);

  const std::vector<std::string> expected = {
      "13:20:00;;;консоль запущена\r\n",
      "13:20:05;3;Ученик 3;вызов\r\n",
      "13:20:17;3;Ученик 3;прослушивание начато\r\n",
      "13:20:17;3;Ученик 3;вызов принят, ожидание 0:12\r\n",
      "13:20:40;3;Ученик 3;вызов завершён, длился 0:35\r\n",
      "13:21:00;3;Ученик 3;прослушивание завершено, длилось 0:43\r\n",
      "13:21:00;5;Ученик 5;прослушивание начато\r\n",
      "13:21:10;7;Ученик 7;в паре со столом 8\r\n",
      "13:21:10;8;Ученик 8;в паре со столом 7\r\n",
      "13:21:25;1;Ученик 1;подключён к линии\r\n",
      "13:21:30;5;Ученик 5;разговор начат\r\n",
      "13:21:35;5;Ученик 5;разговор завершён, длилось 0:05\r\n",
      "13:21:40;;;обход начат\r\n",
      "13:21:50;;;обход завершён\r\n",
      "13:21:55;7;Ученик 7;пара разъединена, длилось 0:45\r\n",
      "13:21:55;8;Ученик 8;пара разъединена, длилось 0:45\r\n",
  };
  EXPECT_EQ(LinesFrom(0), expected);
}

TEST_F(Journal, WaitingAndListeningTimes) {
  At(10);
  PollFinds({2, 9});
  At(30);
  model.ListenTo(8);  // desk 9 answered after 20 s
  At(50);
  PollFinds({2});  // desk 9's call over after 40 s
  At(70);
  model.ListenTo(0);  // desk 9 heard for 40 s
  At(100);

  EXPECT_EQ(journal.record().ActiveMs(8, ActivityKind::Listen, now.ms), 40000);
  EXPECT_EQ(journal.record().ActiveMs(0, ActivityKind::Listen, now.ms), 30000);
  EXPECT_EQ(journal.record().ActiveMs(1, ActivityKind::Listen, now.ms), 0);

  const std::vector<CallLogRow> rows = CallLogRows(journal.record(), model.plan(), now);
  ASSERT_EQ(rows.size(), 2u);
  // Desk 2 still waits, so it comes first.
  EXPECT_EQ(rows[0].desk, "2");
  EXPECT_EQ(rows[0].name, "Ученик 2");
  EXPECT_TRUE(rows[0].waiting);
  EXPECT_EQ(rows[0].waited, "ждёт 1:30");
  EXPECT_EQ(rows[0].lasted, "идёт");
  EXPECT_EQ(rows[1].desk, "9");
  EXPECT_EQ(rows[1].time, "13:20:10");
  EXPECT_EQ(rows[1].waited, "0:20");
  EXPECT_EQ(rows[1].lasted, "0:40");

  const auto gauges = HeardGauges(journal.record(), now.ms);
  EXPECT_EQ(gauges[8].permille, 1000);
  EXPECT_EQ(gauges[0].permille, 750);
  EXPECT_EQ(gauges[0].figure, "0:30");
  EXPECT_TRUE(gauges[1].neverHeard);
  EXPECT_FALSE(gauges[8].neverHeard);
}

TEST_F(Journal, NewLessonStartsTheCountsAfresh) {
  At(0);
  PollFinds({4});
  model.ListenTo(1);
  At(60);
  journal.NewLesson();
  At(90);

  const LessonRecord& record = journal.record();
  EXPECT_EQ(LinesFrom(0), std::vector<std::string>{"13:21:00;;;новый урок\r\n"});
  EXPECT_EQ(record.start().ms, kStartMs + 60000);
  // Desk 2 is still listened to: only the time since the new lesson counts.
  EXPECT_EQ(record.ActiveMs(1, ActivityKind::Listen, now.ms), 30000);
  // Desk 4 still calls and keeps its wait from before.
  ASSERT_EQ(record.calls().size(), 1u);
  EXPECT_EQ(record.calls()[0].litMs, kStartMs);
  EXPECT_FALSE(record.HadDeskEvents());
  At(100);
  model.ListenTo(3);
  EXPECT_EQ(LinesFrom(1).back(), "13:21:40;4;Ученик 4;вызов принят, ожидание 1:40\r\n");
}

TEST_F(Journal, LedLitByTheTeacherIsNoCall) {
  model.SelectDesk(5);
  model.SwitchSelectedLed(true);
  EXPECT_TRUE(journal.record().calls().empty());
  EXPECT_TRUE(LinesFrom(0).empty());
}

struct FieldCase {
  std::string text;
  std::string field;
};

TEST(JournalText, CsvFieldsAreQuotedOnlyWhenNeededAndNeverFormulas) {
  const FieldCase cases[] = {
      {"Иванов Пётр", "Иванов Пётр"},
      {"", ""},
      {"a;b", "\"a;b\""},
      {"Ли \"Сяо\"", "\"Ли \"\"Сяо\"\"\""},
      {"две\nстроки", "\"две\nстроки\""},
      {" отступ", "\" отступ\""},
      {"конец ", "\"конец \""},
      // A name a spreadsheet would run as a formula shows as text.
      {"=HYPERLINK(\"x\")", "\"'=HYPERLINK(\"\"x\"\")\""},
      {"-1", "'-1"},
      {"+7 900", "'+7 900"},
      {"@a", "'@a"},
      {"a=b", "a=b"},
  };
  for (const FieldCase& c : cases) EXPECT_EQ(CsvField(c.text), c.field) << c.text;
}

struct TimeCase {
  int64_t ms;
  int offset;
  std::string clock, date;
};

TEST(JournalText, ClockAndDateAsTheTeachersClockShowsThem) {
  const TimeCase cases[] = {
      {kStartMs, kMoscow, "13:20:00", "2026-12-07"},
      {kStartMs, 0, "10:20:00", "2026-12-07"},
      {kStartMs + 14 * 3600 * 1000LL, kMoscow, "03:20:00", "2026-12-08"},  // past midnight
      {kStartMs - 11 * 3600 * 1000LL, -5 * 3600, "18:20:00", "2026-12-06"},
      {951782400000, 0, "00:00:00", "2000-02-29"},
      {999, 0, "00:00:00", "1970-01-01"},
  };
  for (const TimeCase& c : cases) {
    EXPECT_EQ(ClockText({c.ms, c.offset}), c.clock) << c.ms;
    EXPECT_EQ(DateText({c.ms, c.offset}), c.date) << c.ms;
  }
}

TEST(JournalText, Durations) {
  const std::pair<int64_t, std::string> cases[] = {
      {0, "0:00"},        {999, "0:00"},        {59999, "0:59"}, {60000, "1:00"},
      {3599000, "59:59"}, {3600000, "1:00:00"}, {-5, "0:00"},    {36061000, "10:01:01"},
  };
  for (const auto& c : cases) EXPECT_EQ(DurationText(c.first), c.second) << c.first;
}

}  // namespace
