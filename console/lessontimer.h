// The lesson timer: a countdown for pair or line work that warns near its end
// and then does the chosen all-desks command as its toolbar button would.
#pragma once

#include <cstdint>
#include <string>

#include "console/consolemodel.h"
#include "console/lessonclock.h"

namespace console {

enum class TimerEndAction { Nothing, AllToLine, Reset };

inline constexpr int kMinTimerMinutes = 1;
inline constexpr int kMaxTimerMinutes = 90;
inline constexpr int kTimerWarningSeconds = 30;

enum class TimerState { Idle, Counting, Warning, Finished };

// What a tick brought: the warning has just begun, or the time is over.
enum class TimerEvent { None, WarningBegan, Ended };

struct TimerStatus {
  TimerState state = TimerState::Idle;
  int secondsLeft = 0;
  bool red = false;  // the last seconds
  std::string text;  // Russian, plain; "" while idle
};

class LessonTimer {
 public:
  LessonTimer(ConsoleModel& model, MillisecondClock clock);

  // False (nothing started) for minutes outside 1..90.
  bool Start(int minutes, TimerEndAction action);
  // Stops the countdown early; nothing is done at its end.
  void Stop();
  TimerEvent Tick();

  TimerState state() const { return state_; }
  bool Running() const { return state_ == TimerState::Counting || state_ == TimerState::Warning; }
  TimerStatus Status() const;

 private:
  void Finish();

  ConsoleModel& model_;
  MillisecondClock clock_;
  TimerState state_ = TimerState::Idle;
  TimerEndAction action_ = TimerEndAction::Nothing;
  int64_t endsMs_ = 0;
  std::string endText_;
};

// "мм:сс" for a countdown.
std::string CountdownText(int seconds);

}  // namespace console
