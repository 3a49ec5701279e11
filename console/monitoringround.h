// The monitoring round: the console listens to each visible desk in plan
// order for a set time, then starts over, until stopped. Each step is the
// model's own listen operation, so the wire and the screen are a click's.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "console/consolemodel.h"
#include "console/consoleobserver.h"
#include "console/lessonclock.h"

namespace console {

enum class RoundState { Stopped, Running, Paused };

// What the status strip shows of the round.
struct RoundStatus {
  RoundState state = RoundState::Stopped;
  int desk = -1;        // the desk listened to by the current step
  int secondsLeft = 0;  // of the current step, while running
  std::string text;     // Russian, plain; "" when there is nothing to say
};

class MonitoringRound : public ConsoleObserver {
 public:
  MonitoringRound(ConsoleModel& model, MillisecondClock clock, int stepSeconds);
  ~MonitoringRound() override;
  MonitoringRound(const MonitoringRound&) = delete;
  MonitoringRound& operator=(const MonitoringRound&) = delete;

  void SetStepSeconds(int seconds) { stepSeconds_ = seconds; }
  // Told true when a stopped round starts and false when a started one
  // stops (a pause is neither): the lesson's journal keeps both.
  void SetActivityListener(std::function<void(bool started)> listener) {
    activity_ = std::move(listener);
  }
  int stepSeconds() const { return stepSeconds_; }

  // Starts at the first desk in plan order; the teacher's routing as it
  // stands now (a private talk included) comes back when the round stops.
  void Start();
  // Running: pauses. Paused: resumes at the next desk. Stopped: starts.
  void StartPauseResume();
  void Pause();
  void Resume();
  // Stops and routes the teacher back to what was routed when the round
  // started (Shift+F5, a refused step, the end of the lesson), unless the
  // teacher has operated since (then the routing is theirs).
  void Stop();
  // Moves on when the step's time is over; call often (several times a second).
  void Tick();

  RoundState state() const { return state_; }
  RoundStatus Status() const;

  // ConsoleObserver: any operation the round did not start pauses it.
  void OperationStarting() override;

 private:
  int NextDesk() const;
  // The plan order with a joined pair as one step (its first desk in order).
  std::vector<int> StepOrder() const;
  void Step();
  void StopBecause(std::string reason);
  void RouteBack();

  ConsoleModel& model_;
  MillisecondClock clock_;
  int stepSeconds_;
  RoundState state_ = RoundState::Stopped;
  int desk_ = -1;
  size_t position_ = 0;  // the current desk's place in plan order at its step
  int64_t stepEndsMs_ = 0;
  bool stepping_ = false;
  std::string reason_;
  // The Route register when the round started; -1 once routed back.
  int startRoute_ = -1;
  // The teacher operated while the round was paused: the routing is theirs.
  bool teacherOperated_ = false;
  std::function<void(bool)> activity_;
};

}  // namespace console
