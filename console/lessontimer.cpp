// The lesson timer's countdown and its closing command.
#include "console/lessontimer.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace console {

namespace {

constexpr int64_t kMsPerSecond = 1000;

bool AllVisibleOnLine(const ConsoleModel& model) {
  for (int d = 0; d < kDeskCount; ++d) {
    if (model.plan()[d].visible && !LineBitIn(model.room().SwitchState, d)) return false;
  }
  return true;
}

bool SwitchingCleared(const SwitchRegisters& r) {
  return r.Route == 0 && r.Pairs == 0 && r.LineLow == 0 && r.LineHigh == 0;
}

}  // namespace

std::string CountdownText(int seconds) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d", seconds / 60, seconds % 60);
  return text;
}

LessonTimer::LessonTimer(ConsoleModel& model, MillisecondClock clock)
    : model_(model), clock_(std::move(clock)) {}

bool LessonTimer::Start(int minutes, TimerEndAction action) {
  if (minutes < kMinTimerMinutes || minutes > kMaxTimerMinutes) return false;
  action_ = action;
  endsMs_ = clock_() + int64_t{minutes} * 60 * kMsPerSecond;
  state_ = TimerState::Counting;
  endText_.clear();
  return true;
}

void LessonTimer::Stop() {
  state_ = TimerState::Idle;
  endText_.clear();
}

TimerEvent LessonTimer::Tick() {
  if (!Running()) return TimerEvent::None;
  const int64_t left = endsMs_ - clock_();
  if (left <= 0) {
    // An operation waiting in one of its dialogs first ends; the command follows.
    if (model_.Busy()) return TimerEvent::None;
    Finish();
    return TimerEvent::Ended;
  }
  if (state_ == TimerState::Counting && left <= kTimerWarningSeconds * kMsPerSecond) {
    state_ = TimerState::Warning;
    return TimerEvent::WarningBegan;
  }
  return TimerEvent::None;
}

void LessonTimer::Finish() {
  state_ = TimerState::Finished;
  switch (action_) {
    case TimerEndAction::Nothing:
      endText_ = "Время вышло.";
      return;
    case TimerEndAction::AllToLine:
      model_.AllToLine();
      endText_ = AllVisibleOnLine(model_) ? "Время вышло: все столы подключены к линии."
                                          : "Время вышло: подключить все столы к линии не удалось.";
      return;
    case TimerEndAction::Reset:
      model_.ResetAll();
      endText_ = SwitchingCleared(model_.room().SwitchState)
                     ? "Время вышло: выполнен сброс."
                     : "Время вышло: сброс не выполнен (контроллер не ответил).";
      return;
  }
}

TimerStatus LessonTimer::Status() const {
  TimerStatus status;
  status.state = state_;
  if (state_ == TimerState::Finished) {
    status.text = endText_;
    return status;
  }
  if (!Running()) return status;
  const int64_t left = std::max<int64_t>(0, endsMs_ - clock_());
  status.secondsLeft = static_cast<int>((left + kMsPerSecond - 1) / kMsPerSecond);
  status.red = state_ == TimerState::Warning;
  status.text = "Таймер: " + CountdownText(status.secondsLeft);
  return status;
}

}  // namespace console
