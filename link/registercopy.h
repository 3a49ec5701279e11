// Writing the whole register copy to a controller that may not hold it: a
// controller found on a new port, or one that was away.
#pragma once

#include "link/switchstate.h"
#include "link/transmit.h"

// Writes LedA, Line, LedB, then Route with the pairs (the reset's order), each
// from the copy as it stands when the port is taken. Stops at the first write
// not acknowledged; true when all four were. The copy itself does not change.
bool SendRegisterCopy(const SwitchRegisters& state, FrameSender& sender);
