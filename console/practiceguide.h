// The guided first lesson of the practice class: a few steps, each done when
// the console's own state shows it (never a click), so the mouse, the keys
// and the desk menu all count alike.
#pragma once

#include <string>

#include "console/display.h"
#include "link/switchstate.h"

namespace console {

enum class GuideStep { Listen, Speak, Pair, ClassOnLine, AnswerCall, Round, Done };
inline constexpr int kGuideSteps = 6;  // Done is no step of its own

// What the guide looks at, all taken from the model and the lesson tools.
struct GuideState {
  const ConsoleDisplay* shown = nullptr;
  const SwitchRegisters* registers = nullptr;
  bool roundRunning = false;
};

struct GuideText {
  std::string title;        // "Шаг 2 из 6. Поговорите со столом"
  std::string instruction;  // what to do, with the mouse and with the keys
};
GuideText TextOf(GuideStep step);

class PracticeGuide {
 public:
  GuideStep step() const { return step_; }
  bool Finished() const { return step_ == GuideStep::Done; }
  // Looks at the console after any change; true when a step was done now.
  // Several steps may pass in one look when the class already shows them.
  bool Look(const GuideState& state);
  // Back to the first step.
  void Restart();
  // The answer-a-call step needs a call: true while the guide waits for one
  // and none is there (the practice class then has a student call).
  bool WantsCall(const GuideState& state) const;

 private:
  bool StepDone(const GuideState& state) const;

  GuideStep step_ = GuideStep::Listen;
};

}  // namespace console
