// The monitoring round's steps, pauses and stops.
#include "console/monitoringround.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "console/deskorder.h"

namespace console {

namespace {

constexpr int64_t kMsPerSecond = 1000;

std::string DeskName(const ConsoleModel& model, int desk) { return DeskTitle(model.plan()[desk]); }

}  // namespace

MonitoringRound::MonitoringRound(ConsoleModel& model, MillisecondClock clock, int stepSeconds)
    : model_(model), clock_(std::move(clock)), stepSeconds_(stepSeconds) {
  model_.AddObserver(this);
}

MonitoringRound::~MonitoringRound() { model_.RemoveObserver(this); }

void MonitoringRound::Start() {
  if (PlanOrder(model_.plan()).empty()) {
    StopBecause("Обход не начат: на плане нет столов.");
    return;
  }
  reason_.clear();
  const bool wasStopped = state_ == RoundState::Stopped;
  if (wasStopped) {
    startRoute_ = model_.room().SwitchState.Route;
    teacherOperated_ = false;
  }
  state_ = RoundState::Running;
  desk_ = -1;
  position_ = 0;
  if (wasStopped && activity_) activity_(true);
  Step();
}

void MonitoringRound::StartPauseResume() {
  switch (state_) {
    case RoundState::Stopped:
      Start();
      break;
    case RoundState::Running:
      Pause();
      break;
    case RoundState::Paused:
      Resume();
      break;
  }
}

void MonitoringRound::Pause() {
  if (state_ == RoundState::Running) state_ = RoundState::Paused;
}

void MonitoringRound::Resume() {
  if (state_ != RoundState::Paused) return;
  if (PlanOrder(model_.plan()).empty()) {
    StopBecause("Обход остановлен: на плане нет столов.");
    return;
  }
  state_ = RoundState::Running;
  Step();
}

void MonitoringRound::Stop() {
  reason_.clear();
  const bool wasActive = state_ != RoundState::Stopped;
  state_ = RoundState::Stopped;
  desk_ = -1;
  if (wasActive) RouteBack();
  if (wasActive && activity_) activity_(false);
}

// Each restoring step is the teacher's own operation, so the wire and the
// screen are those of the click that would do it.
void MonitoringRound::RouteBack() {
  if (startRoute_ < 0 || teacherOperated_ || model_.Busy()) return;
  const TeacherRoute was = DecodeRoute(static_cast<uint8_t>(startRoute_));
  startRoute_ = -1;
  const TeacherRoute now = DecodeRoute(model_.room().SwitchState.Route);
  stepping_ = true;
  if (was.speaking && was.desk >= 0) {
    model_.SpeakTo(was.desk);
  } else if (was.desk >= 0) {
    model_.ListenTo(was.desk);
  } else if (was.input) {
    if (!now.input) model_.ToggleInput();
  } else if (now.desk >= 0) {
    model_.StopListening(now.desk);
  }
  stepping_ = false;
}

void MonitoringRound::StopBecause(std::string reason) {
  Stop();
  reason_ = std::move(reason);
}

void MonitoringRound::Tick() {
  if (state_ != RoundState::Running || stepping_) return;
  if (clock_() < stepEndsMs_) return;
  Step();
}

void MonitoringRound::OperationStarting() {
  if (stepping_) return;
  // The teacher's own routing from now on: a stop does not undo it.
  if (state_ != RoundState::Stopped) teacherOperated_ = true;
  Pause();
}

// The desk after the current one in the plan as it is now: desks may have
// been hidden, shown or moved since the last step.
std::vector<int> MonitoringRound::StepOrder() const {
  const std::vector<int> plan = PlanOrder(model_.plan());
  std::vector<int> order;
  for (int desk : plan) {
    const bool joined = PairJoinedIn(model_.room().SwitchState, desk / 2);
    // A joined pair is one conversation: heard once, at its first desk.
    if (joined && std::find(order.begin(), order.end(), desk ^ 1) != order.end()) continue;
    order.push_back(desk);
  }
  return order;
}

int MonitoringRound::NextDesk() const {
  const std::vector<int> order = StepOrder();
  if (order.empty()) return -1;
  if (desk_ < 0) return order.front();
  auto at = std::find(order.begin(), order.end(), desk_);
  // The desk heard last has since become the second desk of a joined pair.
  if (at == order.end()) at = std::find(order.begin(), order.end(), desk_ ^ 1);
  const size_t next = at != order.end() ? static_cast<size_t>(at - order.begin()) + 1 : position_;
  return order[next % order.size()];
}

void MonitoringRound::Step() {
  // An operation still waits in one of its dialogs: the step comes at a later tick.
  if (model_.Busy()) return;
  const int desk = NextDesk();
  if (desk < 0) {
    StopBecause("Обход остановлен: на плане нет столов.");
    return;
  }
  stepping_ = true;
  model_.ListenForRound(desk);
  stepping_ = false;
  // The listen was refused ("Нет" to the connection question) when the
  // acknowledged registers do not route this desk to the teacher.
  const TeacherRoute route = DecodeRoute(model_.room().SwitchState.Route);
  if (model_.LastOperationRefused() || route.desk != desk || route.speaking) {
    StopBecause("Обход остановлен: " + DeskName(model_, desk) +
                " не удалось прослушать (контроллер не ответил).");
    return;
  }
  desk_ = desk;
  const std::vector<int> order = StepOrder();
  position_ = static_cast<size_t>(std::find(order.begin(), order.end(), desk) - order.begin());
  stepEndsMs_ = clock_() + stepSeconds_ * kMsPerSecond;
}

RoundStatus MonitoringRound::Status() const {
  RoundStatus status;
  status.state = state_;
  status.desk = desk_;
  switch (state_) {
    case RoundState::Stopped:
      status.text = reason_;
      break;
    case RoundState::Running: {
      const int64_t left = std::max<int64_t>(0, stepEndsMs_ - clock_());
      status.secondsLeft = static_cast<int>((left + kMsPerSecond - 1) / kMsPerSecond);
      status.text = desk_ < 0 ? "Обход"
                              : "Обход: " + DeskName(model_, desk_) + ", ещё " +
                                    std::to_string(status.secondsLeft) + " с";
      break;
    }
    case RoundState::Paused:
      status.text = "Обход приостановлен (F5 — продолжить со следующего стола)";
      break;
  }
  return status;
}

}  // namespace console
