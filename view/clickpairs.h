// Two presses of the left button on the same control, the second within the
// double-click interval of the first, make a double click: told from the
// presses alone, so the control pressed decides and no earlier press on
// another control (nor the platform's pairing of them) can take it over.
#pragma once

#include <cstdint>

namespace view {

class ClickPairs {
 public:
  // A press on `control` at `timeMs`; true when it ends a double click. The
  // press that ends one starts nothing: a third press is a first again.
  bool Press(int control, uint64_t timeMs, uint64_t intervalMs) {
    const bool second = control >= 0 && control == lastControl_ && timeMs >= lastTimeMs_ &&
                        timeMs - lastTimeMs_ <= intervalMs;
    lastControl_ = second ? -1 : control;
    completedControl_ = second ? control : -1;
    lastTimeMs_ = timeMs;
    return second;
  }
  // True when the press at `timeMs` ended a double click on `control`: the
  // platform's double-click event for that same press needs nothing more.
  bool JustCompleted(int control, uint64_t timeMs) const {
    return control >= 0 && completedControl_ == control && lastTimeMs_ == timeMs;
  }
  // The platform's own double click on `control` (sent in place of, or
  // after, its second press): the pair is complete.
  void Paired(int control, uint64_t timeMs) {
    lastControl_ = -1;
    completedControl_ = control;
    lastTimeMs_ = timeMs;
  }
  // A press anywhere else: the next press on a control is a first.
  void Forget() {
    lastControl_ = -1;
    completedControl_ = -1;
  }

 private:
  int lastControl_ = -1;
  int completedControl_ = -1;
  uint64_t lastTimeMs_ = 0;
};

}  // namespace view
