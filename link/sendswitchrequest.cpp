// SendSwitchRequest and SendLedSwitch: writes composed at send time, each
// acknowledged one committed.
#include "link/sendswitchrequest.h"

#include <algorithm>
#include <iterator>
#include <optional>

#include "link/frame.h"

namespace {

// Sends one write composed by `compose` once the port is ours and commits the
// bytes that went out. Nothing composed: success, nothing committed.
template <typename Compose>
bool SendAndCommit(SwitchRegisters& state, FrameSender& sender, Compose compose) {
  std::optional<RegisterWrite> sent;
  const bool ok = sender.TransmitComposed([&]() -> std::optional<RegisterWrite> {
    sent = compose();
    return sent;
  });
  if (!ok) return false;
  if (!sent) return true;
  CommitWrite(state, *sent);
  return true;
}

bool LedBitSet(uint8_t low, uint8_t high, const DeskBits& bits) {
  return (low & bits.low) != 0 || (high & bits.high) != 0;
}

}  // namespace

bool SendSwitchRequest(SwitchRegisters& state, FrameSender& sender, int requestType,
                       int deskIndex, bool sourceOn, bool deskOn, uint16_t visibleDesks) {
  // Unknown types (negative ones included) send nothing and are not failures.
  if (requestType < 0 || requestType > kLastRequestType) return true;
  // Re-planning write i from the state at its send time gives the same write
  // as planning all up front would: no request's later write depends on what
  // an earlier one of it commits (ResetAll, AllLedsOff and AllToLine's Line
  // write are constants, AllInPairs' second write reads only Route), and the
  // only registers that change meanwhile are the LED bits of the indicator update.
  const size_t count =
      PlanRequest(state, requestType, deskIndex, sourceOn, deskOn, visibleDesks).size();
  for (size_t i = 0; i < count; ++i) {
    const bool ok = SendAndCommit(state, sender, [&]() -> std::optional<RegisterWrite> {
      const std::vector<RegisterWrite> writes =
          PlanRequest(state, requestType, deskIndex, sourceOn, deskOn, visibleDesks);
      if (i >= writes.size()) return std::nullopt;
      return writes[i];
    });
    if (!ok) return false;
  }
  return true;
}

bool SendLedSwitch(SwitchRegisters& state, FrameSender& sender, int deskIndex, bool on) {
  const DeskBits bits = DeskBitsOf(deskIndex);
  struct Led {
    int toggle;
    const uint8_t& low;
    const uint8_t& high;
  };
  const Led leds[] = {{ToggleLedB, state.LedBLow, state.LedBHigh},
                      {ToggleLedA, state.LedALow, state.LedAHigh}};
  for (const Led& led : leds) {
    const bool ok = SendAndCommit(state, sender, [&]() -> std::optional<RegisterWrite> {
      // "On" must never put out a lit LED, nor "off" light a dark one.
      if (LedBitSet(led.low, led.high, bits) == on) return std::nullopt;
      return PlanRequest(state, led.toggle, deskIndex, false, false, 0).front();
    });
    if (!ok) return false;
  }
  return true;
}

bool SendAllToLine(SwitchRegisters& state, FrameSender& sender, int keptOff) {
  const DeskBits kept = DeskBitsOf(keptOff);  // no bits for -1
  for (size_t i = 0; i < 2; ++i) {
    const bool ok = SendAndCommit(state, sender, [&]() -> std::optional<RegisterWrite> {
      RegisterWrite write = PlanRequest(state, AllToLine, 0, false, false, 0)[i];
      if (write.command == frame::kLine) {
        write.high = static_cast<uint8_t>(write.high & ~kept.high);
        write.low = static_cast<uint8_t>(write.low & ~kept.low);
      }
      return write;
    });
    if (!ok) return false;
  }
  return true;
}
