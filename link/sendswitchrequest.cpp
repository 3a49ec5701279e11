// SendSwitchRequest: sends a request's writes in order and commits each acknowledged one.
#include "link/sendswitchrequest.h"

#include <algorithm>
#include <iterator>

bool SendSwitchRequest(TClassRoomDescription& room, FrameSender& sender, int requestType,
                       int deskIndex, bool sourceOn, bool deskOn, uint16_t visibleDesks) {
  // Unknown types (negative ones included) send nothing and are not failures.
  if (requestType < 0 || requestType > kLastRequestType) return true;
  const std::vector<RegisterWrite> writes =
      PlanRequest(room.SwitchState, requestType, deskIndex, sourceOn, deskOn, visibleDesks);
  for (const RegisterWrite& write : writes) {
    if (!sender.TransmitFrame(write.command, write.high, write.low)) return false;
    CommitWrite(room.SwitchState, write);
    if (write.clearsPairJoined)
      std::fill(std::begin(room.PairJoined), std::end(room.PairJoined), 0);
  }
  return true;
}
