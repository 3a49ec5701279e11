// The timer's red warning begins exactly when the countdown shows "00:30",
// never at "00:31": stepped in fractions of a second, from several offsets.
#include <gtest/gtest.h>

#include "console/consolemodel.h"
#include "console/lessontimer.h"
#include "scriptedcontroller.h"

using namespace console;

namespace {

TEST(TimerWarning, RedExactlyFromTheShownThirtySecondsWithSubSecondSteps) {
  const struct {
    int64_t startMs;
    int64_t stepMs;
  } runs[] = {{0, 250}, {123, 100}, {999, 7}, {500, 333}};
  for (const auto& run : runs) {
    ClassroomState room;
    ScriptedController controller;
    ScriptedUser user;
    ConsoleModel model(room, controller, nullptr, user, {"/nonexistent/vormik.ini", ""});
    int64_t now = run.startMs;
    LessonTimer timer(model, [&now] { return now; });
    ASSERT_TRUE(timer.Start(1, TimerEndAction::Nothing));
    int warnings = 0;
    for (now += run.stepMs; now < run.startMs + 60000; now += run.stepMs) {
      const TimerEvent event = timer.Tick();
      const TimerStatus status = timer.Status();
      const bool warningShown = status.secondsLeft <= kTimerWarningSeconds;
      ASSERT_EQ(status.red, warningShown) << status.text << " at " << now - run.startMs;
      if (event == TimerEvent::WarningBegan) {
        ++warnings;
        EXPECT_EQ(status.text, "Таймер: 00:30");
      }
    }
    EXPECT_EQ(warnings, 1);
  }
}

}  // namespace
