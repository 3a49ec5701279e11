// The console's live record: the copy of the controller's registers and the
// few classroom facts that outlive one operation.
#pragma once

#include <cstdint>
#include <string>

#include "config/desks.h"
#include "link/switchstate.h"

struct ClassroomState {
  std::string PairLinkCode[kPairCount] = {"oo", "oo", "oo", "oo", "oo", "oo", "oo", "oo"};
  SwitchRegisters SwitchState;   // the program's copy of the controller's registers
  int32_t MoveDesks = 0;         // EnableToMoveDesks as last loaded
  int32_t ClassroomChanged = 0;  // 1 while the plan differs from the last save
};
