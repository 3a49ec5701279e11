// The private-talk rule the console keeps whatever the controller refuses:
// the desk the teacher speaks to is never on the common line.
#pragma once

#include <cstdint>

#include "link/switchstate.h"

namespace testsupport {

// The number (1..16) of a desk spoken to while its line bit is set; 0 when
// the rule holds. Takes the registers as the emulator or the copy hold them.
inline int DeskSpokenToOnTheLine(uint8_t route, uint16_t line) {
  if ((route & route::kModeMask) != route::kModeSpeak) return 0;
  const int desk = route & route::kDeskField;
  return ((line >> desk) & 1) != 0 ? desk + 1 : 0;
}

inline int DeskSpokenToOnTheLine(const SwitchRegisters& regs) {
  return DeskSpokenToOnTheLine(regs.Route,
                               static_cast<uint16_t>(regs.LineHigh << 8 | regs.LineLow));
}

}  // namespace testsupport
