// What the lesson tools learn from the console model as it happens: that the
// teacher started an operation, and every change of the acknowledged
// register copy (by an operation or by a poll report).
#pragma once

#include <cstring>

#include "link/switchstate.h"

namespace console {

class ConsoleObserver {
 public:
  virtual ~ConsoleObserver() = default;
  // An operation begins (a click, a key, a menu entry, or a tool acting as
  // the teacher would); it may still send nothing.
  virtual void OperationStarting() {}
  // The register copy differs from how it stood before; LED bits included,
  // so a lit or dark LED from the poll arrives here too.
  virtual void RegistersChanged(const SwitchRegisters& before, const SwitchRegisters& after) {
    (void)before;
    (void)after;
  }
};

inline bool SameRegisters(const SwitchRegisters& a, const SwitchRegisters& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

}  // namespace console
