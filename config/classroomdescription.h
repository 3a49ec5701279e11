// TClassRoomDescription: the one record of live classroom state.
#pragma once

#include <cstdint>
#include <string>

#include "link/switchstate.h"

inline constexpr int kDeskCount = 16;
inline constexpr int kPairCount = 8;

struct TClassRoomDescription {
  int32_t PairJoined[kPairCount] = {};  // 1 while the pair is joined and its line drawn
  std::string PairLinkCode[kPairCount] = {"oo", "oo", "oo", "oo", "oo", "oo", "oo", "oo"};
  SwitchRegisters SwitchState;          // the program's copy of the controller's registers
  int32_t MoveDesks = 0;                // EnableToMoveDesks as last loaded
  int32_t ClassroomChanged = 0;         // 1 while the plan differs from the last save
};
