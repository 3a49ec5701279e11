// The practice class's students on a clock of the test's own: calls at the
// chosen rate, unanswered calls ending, answered ones left to the console.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "controllersim/practicestudents.h"

namespace {

using controllersim::Liveliness;
using controllersim::PracticeStudents;
using controllersim::RatesOf;
using controllersim::StudentAction;

constexpr uint16_t kWholeClass = 0xFFFF;
constexpr int64_t kTickMs = 500;  // the window looks twice a second

struct ClassRun {
  int calls = 0;
  int givenUp = 0;
};

// Hours of a class whose teacher answers every call at the next look
// (`answer`) or never.
ClassRun Simulate(Liveliness liveliness, int64_t durationMs, bool answer, uint32_t seed) {
  PracticeStudents students(seed, 0, liveliness);
  uint16_t lit = 0;
  ClassRun run;
  for (int64_t now = 0; now <= durationMs; now += kTickMs) {
    if (answer) lit = 0;
    for (const StudentAction& a : students.Tick(now, kWholeClass, lit)) {
      const uint16_t bit = static_cast<uint16_t>(1u << (a.desk - 1));
      if (a.lit) {
        ++run.calls;
        lit |= bit;
      } else {
        ++run.givenUp;
        lit &= static_cast<uint16_t>(~bit);
      }
    }
  }
  return run;
}

TEST(PracticeStudents, CallAtTheRateTheTeacherSet) {
  constexpr int64_t kTwoHoursMs = 2 * 3600 * 1000;
  for (Liveliness liveliness : {Liveliness::Quiet, Liveliness::Ordinary, Liveliness::Busy}) {
    SCOPED_TRACE(controllersim::LivelinessText(liveliness));
    const double expected =
        static_cast<double>(kTwoHoursMs) / static_cast<double>(RatesOf(liveliness).meanCallIntervalMs);
    for (uint32_t seed : {1u, 7u, 2026u}) {
      const ClassRun run = Simulate(liveliness, kTwoHoursMs, true, seed);
      EXPECT_NEAR(run.calls, expected, expected * 0.12) << "seed " << seed;
      EXPECT_EQ(run.givenUp, 0) << "answered calls are the console's to put out";
    }
  }
  EXPECT_LT(Simulate(Liveliness::Quiet, 3600000, true, 3).calls,
            Simulate(Liveliness::Ordinary, 3600000, true, 3).calls);
  EXPECT_LT(Simulate(Liveliness::Ordinary, 3600000, true, 3).calls,
            Simulate(Liveliness::Busy, 3600000, true, 3).calls);
}

TEST(PracticeStudents, AnUnansweredCallEndsAfterTheStudentsPatience) {
  PracticeStudents students(5, 0, Liveliness::Busy);
  const int64_t first = students.NextCallMs();
  std::vector<StudentAction> actions = students.Tick(first, kWholeClass, 0);
  ASSERT_EQ(actions.size(), 1u);
  ASSERT_TRUE(actions[0].lit);
  const int desk = actions[0].desk;
  const uint16_t bit = static_cast<uint16_t>(1u << (desk - 1));
  EXPECT_EQ(students.Calling(), bit);
  const int64_t patience = RatesOf(Liveliness::Busy).patienceMs;
  // Other students may call meanwhile; this one keeps calling until its patience ends.
  uint16_t lit = bit;
  for (int64_t now = first + kTickMs; now < first + patience; now += kTickMs) {
    for (const StudentAction& a : students.Tick(now, bit, lit)) {
      EXPECT_TRUE(a.lit) << "desk " << a.desk << " put out early";
    }
  }
  EXPECT_EQ(students.Tick(first + patience, bit, lit),
            (std::vector<StudentAction>{{desk, false}}));
  EXPECT_EQ(students.Calling(), 0);
}

TEST(PracticeStudents, AStudentHeardForAMomentPutsTheCallOutAndOneHeardBrieflyCallsOn) {
  PracticeStudents students(9, 0, Liveliness::Quiet);
  students.CallNow(0);
  const std::vector<StudentAction> first = students.Tick(0, kWholeClass, 0);
  ASSERT_EQ(first.size(), 1u);
  const uint16_t bit = static_cast<uint16_t>(1u << (first[0].desk - 1));
  const int64_t heardFrom = 1000;
  // Heard a moment, then left: the student keeps calling.
  EXPECT_TRUE(students.Tick(heardFrom, bit, bit, bit).empty());
  EXPECT_TRUE(students.Tick(heardFrom + 1000, bit, bit, 0).empty());
  // Heard again: answered only after the whole time from this hearing.
  EXPECT_TRUE(students.Tick(heardFrom + 2000, bit, bit, bit).empty());
  EXPECT_TRUE(
      students.Tick(heardFrom + 2000 + controllersim::kAnsweredAfterMs - 1, bit, bit, bit).empty());
  EXPECT_EQ(students.Tick(heardFrom + 2000 + controllersim::kAnsweredAfterMs, bit, bit, bit),
            (std::vector<StudentAction>{{first[0].desk, false}}));
  EXPECT_EQ(students.Calling(), 0);
}

TEST(PracticeStudents, ACallPutOutByTheConsoleEndsWithoutTheStudent) {
  PracticeStudents students(4, 0, Liveliness::Quiet);
  students.CallNow(0);
  const std::vector<StudentAction> first = students.Tick(0, kWholeClass, 0);
  ASSERT_EQ(first.size(), 1u);
  // The teacher's LED button: the LED is out before the student does anything.
  EXPECT_TRUE(students.Tick(500, kWholeClass, 0).empty());
  EXPECT_EQ(students.Calling(), 0);
}

TEST(PracticeStudents, OnlySeatedDesksWithoutALitLedCallAndAFullClassWaits) {
  PracticeStudents students(11, 0, Liveliness::Busy);
  constexpr uint16_t kTwoDesks = 0x0011;  // desks 1 and 5
  uint16_t lit = 0;
  int64_t now = 0;
  while (lit != kTwoDesks && now < 600000) {
    now += kTickMs;
    for (const StudentAction& a : students.Tick(now, kTwoDesks, lit)) {
      ASSERT_TRUE(a.desk == 1 || a.desk == 5) << a.desk;
      lit |= static_cast<uint16_t>(1u << (a.desk - 1));
    }
  }
  ASSERT_EQ(lit, kTwoDesks);
  // Both call: the next call's time passes with nobody left to call.
  const int64_t due = students.NextCallMs();
  for (const StudentAction& a : students.Tick(due, kTwoDesks, lit)) EXPECT_FALSE(a.lit);
  EXPECT_GT(students.NextCallMs(), due);
}

TEST(PracticeStudents, ANewLivelinessCountsFromNowAndCallNowCallsAtOnce) {
  PracticeStudents students(2, 0, Liveliness::Quiet);
  students.SetLiveliness(Liveliness::Busy, 100000);
  EXPECT_GE(students.NextCallMs(), 100000 + RatesOf(Liveliness::Busy).meanCallIntervalMs / 2);
  EXPECT_LE(students.NextCallMs(), 100000 + RatesOf(Liveliness::Busy).meanCallIntervalMs * 3 / 2);
  students.CallNow(100500);
  EXPECT_EQ(students.Tick(100500, kWholeClass, 0).size(), 1u);
}

}  // namespace
