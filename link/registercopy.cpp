// SendRegisterCopy: the four registers of the copy, in the reset's order.
#include "link/registercopy.h"

#include "link/frame.h"

namespace {

RegisterWrite WriteOf(const SwitchRegisters& state, uint8_t command) {
  switch (command) {
    case frame::kLedA:
      return {command, state.LedAHigh, state.LedALow};
    case frame::kLine:
      return {command, state.LineHigh, state.LineLow};
    case frame::kLedB:
      return {command, state.LedBHigh, state.LedBLow};
    default:
      return {frame::kRoutePairs, state.Pairs, state.Route};
  }
}

}  // namespace

bool SendRegisterCopy(const SwitchRegisters& state, FrameSender& sender) {
  for (uint8_t command : {frame::kLedA, frame::kLine, frame::kLedB, frame::kRoutePairs}) {
    const bool ok = sender.TransmitComposed(
        [&]() -> std::optional<RegisterWrite> { return WriteOf(state, command); });
    if (!ok) return false;
  }
  return true;
}
