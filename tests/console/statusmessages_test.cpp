// The status area's messages on a given clock, and the call list's texts.
#include <gtest/gtest.h>

#include "console/calllist.h"
#include "console/statusmessages.h"

namespace {

TEST(StatusMessages, AToolResultGoesAfterItsTimeOrAtTheNextTheLinkStateStays) {
  console::StatusMessages messages;
  messages.SetLinkState("Порт COM3: контроллер отвечает", 0);
  EXPECT_EQ(messages.ToolResult(0), "");
  EXPECT_FALSE(messages.RemainingMs(0));

  messages.ShowToolResult("Расстановка «Пары» применена.", 1000);
  const struct {
    int64_t at;
    const char* shown;
    std::optional<int64_t> remaining;
  } rows[] = {
      {1000, "Расстановка «Пары» применена.", 10000},
      {10999, "Расстановка «Пары» применена.", 1},
      {11000, "", std::nullopt},
      {500, "", std::nullopt},  // the clock set back
  };
  for (const auto& row : rows) {
    EXPECT_EQ(messages.ToolResult(row.at), row.shown) << row.at;
    EXPECT_EQ(messages.RemainingMs(row.at), row.remaining) << row.at;
  }
  messages.ShowToolResult("Таймер остановлен.", 5000);
  messages.ShowToolResult("Список класса загружен.", 6000);
  EXPECT_EQ(messages.ToolResult(14000), "Список класса загружен.");
  EXPECT_EQ(messages.linkState(), "Порт COM3: контроллер отвечает");
}

TEST(StatusMessages, TheLessonsMessagesAreKeptToBeReadAgain) {
  console::StatusMessages messages;
  messages.SetLinkState("отвечает", 1);
  messages.SetLinkState("отвечает", 2);  // unchanged: not kept twice
  messages.ShowToolResult("Обход приостановлен (F5 — продолжить).", 3);
  messages.SetLinkState("не отвечает с 10:00:00", 4);
  const std::deque<console::StatusEntry> expected = {
      {1, "отвечает"}, {3, "Обход приостановлен (F5 — продолжить)."}, {4, "не отвечает с 10:00:00"}};
  EXPECT_EQ(messages.History(), expected);

  for (int i = 0; i < 250; ++i) messages.ShowToolResult("сообщение " + std::to_string(i), 10 + i);
  ASSERT_EQ(messages.History().size(), console::StatusMessages::kKeptEntries);
  EXPECT_EQ(messages.History().front().text, "сообщение 150");
  EXPECT_EQ(messages.History().back().text, "сообщение 249");
}

TEST(CallList, EveryCallIsListedWholeFirstCallerFirstWithTheCount) {
  EXPECT_EQ(console::CallCountText(0), "Вызовов: 0");
  EXPECT_EQ(console::CallCountText(16), "Вызовов: 16");
  const struct {
    int64_t seconds;
    const char* text;
  } waits[] = {{-5, "< 1 мин"}, {0, "< 1 мин"}, {59, "< 1 мин"}, {60, "1 мин"},
               {3599, "59 мин"},       {3600, "1 ч 00 мин"},  {3900, "1 ч 05 мин"},  {7260, "2 ч 01 мин"}};
  for (const auto& row : waits) EXPECT_EQ(console::WaitText(row.seconds), row.text) << row.seconds;

  std::array<console::DeskDisplay, kDeskCount> desks{};
  desks[6].name = "Жуков Иван";
  desks[2].name = "Петрова-Водкина Анна-Мария Александровна";  // longer than any cut
  desks[9].name = "***";
  const std::vector<console::Call> calls = {{6, 1000}, {2, 1100}, {9, 1190}};
  const std::vector<std::string> expected = {
      "7 · Жуков Иван · 3 мин", "3 · Петрова-Водкина Анна-Мария Александровна · 1 мин",
      "10 · < 1 мин"};
  EXPECT_EQ(console::CallListEntries(calls, desks, 1200), expected);

  std::vector<console::Call> everyDesk;
  for (int d = 0; d < kDeskCount; ++d) everyDesk.push_back({(d * 7) % kDeskCount, 100 + d});
  const std::vector<std::string> all = console::CallListEntries(everyDesk, desks, 200);
  ASSERT_EQ(all.size(), 16u);
  EXPECT_EQ(all.front().rfind("1 · ", 0), 0u);
  EXPECT_EQ(all[1].rfind("8 · ", 0), 0u);
}

TEST(CallList, TheCountSaysHowManyOnlyTheListShows) {
  EXPECT_EQ(console::CallCountText(16, 0), "Вызовов: 16");
  EXPECT_EQ(console::CallCountText(16, 12), "Вызовов: 16 · ещё 12");
  EXPECT_EQ(console::CallCountText(1, 1), "Вызовов: 1 · ещё 1");
}

TEST(CallList, ShortEntriesKeepTheSurnameAndInitials) {
  const struct {
    const char* name;
    const char* compact;
  } names[] = {
      {"Жуков Иван", "Жуков И."},
      {"Петрова-Водкина Анна-Мария Александровна", "Петрова-Водкина А. А."},
      {"  Ёлкин   Пётр ", "Ёлкин П."},
      {"Ученик 5", "Ученик 5"},
      {"Ли", "Ли"},
      {"Христорождественская Ефросинья", "Христорождествен… Е."},  // 16 letters, then "…"
      {"Abcdefghijklmnopqrstu Z", "Abcdefghijklmnop… Z"},
      {"", ""},
  };
  for (const auto& row : names) EXPECT_EQ(console::CompactName(row.name), row.compact) << row.name;

  std::array<console::DeskDisplay, kDeskCount> desks{};
  desks[6].name = "Жуков Иван";
  desks[9].name = "***";
  const std::vector<console::Call> calls = {{6, 1000}, {9, 1190}, {3, 1199}};
  const std::vector<std::string> expected = {"7 · Жуков И. · 3 мин", "10 · < 1 мин", "4 · < 1 мин"};
  EXPECT_EQ(console::CompactCallEntries(calls, desks, 1200), expected);
}

TEST(CallList, TheStripShowsShortEntriesOnlyWhenThatShowsMoreCalls) {
  const struct {
    std::vector<int> whole, compact;
    int room;
    bool shortOnes;
    size_t shown;
  } rows[] = {
      {{}, {}, 100, false, 0},
      {{40, 40}, {30, 30}, 100, false, 2},                // all fit whole
      {{60, 60}, {30, 30}, 100, true, 2},                 // only the short ones all fit
      {{60, 60, 60}, {50, 50, 50}, 100, false, 1},        // one either way: whole
      {{120, 120}, {90, 90}, 100, true, 1},               // not even one whole
      {{300, 300, 300}, {200, 200, 200}, 100, false, 0},  // none: the count holds all
  };
  for (const auto& row : rows) {
    const console::CallStripFit fit = console::FitCallStrip(row.whole, row.compact, row.room, 4);
    EXPECT_EQ(fit.compact, row.shortOnes) << row.room << " " << row.shown;
    EXPECT_EQ(fit.shown, row.shown) << row.room;
  }
}

TEST(CallList, OnlyEntriesThatFitWholeAreShownInTheStrip) {
  const struct {
    std::vector<int> widths;
    int room, spacing;
    size_t shown;
  } rows[] = {
      {{}, 100, 4, 0},           {{100}, 100, 4, 1},          {{101}, 100, 4, 0},
      {{50, 46}, 100, 4, 2},     {{50, 47}, 100, 4, 1},       {{10, 10, 10, 90}, 100, 4, 3},
      {{10, 200, 10}, 100, 4, 1},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(console::EntriesThatFit(row.widths, row.room, row.spacing), row.shown);
  }
}

}  // namespace
