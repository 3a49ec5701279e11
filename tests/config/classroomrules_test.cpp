// The rules a classroom plan keeps to on load and in the name box: names the
// file keeps whole, desks within reach; settings that name no port.
#include <gtest/gtest.h>

#include "config/classroomplan.h"
#include "config/settingsload.h"

using classroom::Position;

namespace {

std::string Repeated(const std::string& letter, size_t times) {
  std::string text;
  for (size_t i = 0; i < times; ++i) text += letter;
  return text;
}

TEST(FitStudentName, KeepsWhatTheFileGivesBack) {
  const size_t max = classroom::kMaxStudentNameCharacters;
  const struct {
    const char* what;
    std::string name;
    std::string fitted;
  } rows[] = {
      {"short", "Иванов", "Иванов"},
      {"NUL dropped", std::string("Ива\0нов", 13), "Иванов"},
      {"exactly the limit", std::string(max, 'x'), std::string(max, 'x')},
      {"one over", std::string(max + 1, 'x'), std::string(max, 'x')},
      {"two-byte letters counted as letters", Repeated("ж", max + 1), Repeated("ж", max)},
      {"empty", "", ""},
  };
  for (const auto& row : rows) EXPECT_EQ(classroom::FitStudentName(row.name), row.fitted) << row.what;
}

TEST(ReachablePosition, OnlyADeskMoreThanHalfOutsideIsBroughtIn) {
  const classroom::Size panel{145, 75};
  const classroom::Size area{700, 450};
  const struct {
    Position stored;
    Position shown;
  } rows[] = {
      {{10, 18}, {10, 18}},       // inside
      {{300, -7}, {300, -7}},     // overhangs the top a little
      {{-72, 0}, {-72, 0}},       // half of it to the left still shows
      {{-73, 0}, {0, 0}},         // more than half: in
      {{555 + 72, 0}, {627, 0}},  // right edge, half out
      {{555 + 73, 0}, {555, 0}},
      {{0, 375 + 38}, {0, 375}},  // below the plan
      {{900, 2000}, {555, 375}},
      {{-5000, -5000}, {0, 0}},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(classroom::ReachablePosition(row.stored, panel, area), row.shown)
        << row.stored.left << "," << row.stored.top;
  }
  // Before the window has measured its plan, nothing moves.
  EXPECT_EQ(classroom::ReachablePosition({-5000, 9000}, panel, {0, 0}), (Position{-5000, 9000}));
}

TEST(SettingsReadable, OnlyAReadOrMissingFileNamesAPort) {
  const std::pair<ini::LoadStatus, bool> rows[] = {
      {ini::LoadStatus::Ok, true},         {ini::LoadStatus::Missing, true},
      {ini::LoadStatus::NotAFile, false},  {ini::LoadStatus::TooLarge, false},
      {ini::LoadStatus::Unreadable, false},
  };
  for (const auto& [status, readable] : rows) {
    const ini::LoadResult result{status, 0};
    EXPECT_EQ(settings::SettingsReadable(result), readable) << static_cast<int>(status);
    // An unreadable file is always explained.
    EXPECT_EQ(settings::SettingsLoadMessage(result, "vormik.ini").empty(), readable);
  }
}

}  // namespace
