// SendSwitchRequest: the single entry for every routing change.
#pragma once

#include <cstdint>

#include "link/switchstate.h"
#include "link/transmit.h"

// Sends the writes of the request in order, committing each acknowledged one
// to the register copy `state`; returns false at the first write not
// acknowledged. True for a request type
// above 21, which sends nothing.
// Each write is planned from the copy as it stands once the port is
// taken: the poll's indicator update may have changed the LED bits while the
// request waited for the port.
bool SendSwitchRequest(SwitchRegisters& state, FrameSender& sender, int requestType,
                       int deskIndex, bool sourceOn, bool deskOn, uint16_t visibleDesks);

// Brings a desk's LED to `on`: LedB first, then LedA. Each register is looked
// at when its write is about to go out; one whose bit already reads `on` gets
// no write, the other the toggle. Stops at the first write not acknowledged;
// true when every write needed was acknowledged.
bool SendLedSwitch(SwitchRegisters& state, FrameSender& sender, int deskIndex, bool on);

// AllToLine, except that desk index keptOff (when 0..15) stays off the line:
// the desk the teacher speaks to privately. With keptOff -1 the request's
// own writes.
bool SendAllToLine(SwitchRegisters& state, FrameSender& sender, int keptOff);
