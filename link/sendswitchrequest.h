// SendSwitchRequest: the single entry for every routing change.
#pragma once

#include <cstdint>

#include "config/classroomdescription.h"
#include "link/switchstate.h"
#include "link/transmit.h"

// Sends the writes of the request in order through TransmitFrame, committing
// each acknowledged one to room.SwitchState (and clearing PairJoined where the
// write says so); returns false at the first write not acknowledged. True for
// a request type above 21, which sends nothing.
bool SendSwitchRequest(TClassRoomDescription& room, FrameSender& sender, int requestType,
                       int deskIndex, bool sourceOn, bool deskOn, uint16_t visibleDesks);
