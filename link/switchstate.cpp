// The register writes of every request type, their commit, and the poll's indicator report.
#include "link/switchstate.h"

#include "link/frame.h"

namespace {

constexpr int kDesks = 16;
constexpr int kDesksPerByte = 8;

using namespace route;

RegisterWrite Write(uint8_t command, uint8_t high, uint8_t low) {
  return RegisterWrite{command, high, low};
}

// The desk index as it goes into bits 0-3; an index out of range must not
// spill into the mode bits.
uint8_t DeskField(int deskIndex) { return static_cast<uint8_t>(deskIndex) & kDeskField; }

// Bit k set when both desks of pair k are shown.
uint8_t PairsOfVisibleDesks(uint16_t visibleDesks) {
  uint8_t pairs = 0;
  for (int k = 0; k < kDesks / 2; ++k) {
    const unsigned both = 3u << (2 * k);
    if ((visibleDesks & both) == both) pairs |= static_cast<uint8_t>(1u << k);
  }
  return pairs;
}

}  // namespace

DeskBits DeskBitsOf(int deskIndex) {
  DeskBits bits{0, 0, 0};
  if (deskIndex < 0 || deskIndex >= kDesks) return bits;
  if (deskIndex < kDesksPerByte)
    bits.low = static_cast<uint8_t>(1u << deskIndex);
  else
    bits.high = static_cast<uint8_t>(1u << (deskIndex - kDesksPerByte));
  bits.pair = static_cast<uint8_t>(1u << (deskIndex / 2));
  return bits;
}

std::vector<RegisterWrite> PlanRequest(const SwitchRegisters& state, int requestType,
                                       int deskIndex, bool sourceOn, bool deskOn,
                                       uint16_t visibleDesks) {
  using namespace frame;
  const DeskBits d = DeskBitsOf(deskIndex);
  const uint8_t route = state.Route;
  const uint8_t keptBit7 = route & kInputToLineBit;
  const uint8_t desk = DeskField(deskIndex);
  auto routeWrite = [&](uint8_t newRoute) { return Write(kRoutePairs, state.Pairs, newRoute); };
  // LineOff and InputToLineOn share this: listened desk, then input, else nothing.
  const uint8_t teacherWithoutLine =
      deskOn ? static_cast<uint8_t>(kModeListen | desk) : (sourceOn ? kModeInput : kModeNone);

  switch (requestType) {
    case ToggleLedA:
      return {Write(kLedA, state.LedAHigh ^ d.high, state.LedALow ^ d.low)};
    case ToggleLine:
      return {Write(kLine, state.LineHigh ^ d.high, state.LineLow ^ d.low)};
    case ToggleLedB:
      return {Write(kLedB, state.LedBHigh ^ d.high, state.LedBLow ^ d.low)};
    case TogglePair:
      return {Write(kRoutePairs, state.Pairs ^ d.pair, route)};
    case ListenDesk:
      return {routeWrite(keptBit7 | desk | (sourceOn ? kModeDeskWithLine : kModeListen))};
    case ReleaseDesk:
    case InputOff:
      return {routeWrite(keptBit7 | (sourceOn ? kModeLine : kModeNone))};
    case SpeakDesk:
      return {routeWrite(keptBit7 | kModeSpeak | desk)};
    case InputOn:
      return {routeWrite(keptBit7 | (sourceOn ? kModeInputWithLine : kModeInput))};
    case LineOn:
      return {routeWrite(deskOn ? static_cast<uint8_t>(kModeDeskWithLine | desk)
                                : (sourceOn ? kModeInputWithLine : kModeLine))};
    case LineOff:
      return {routeWrite(keptBit7 | teacherWithoutLine)};
    case InputToLineOn:
      return {routeWrite(kInputToLineBit | teacherWithoutLine)};
    case InputToLineOff:
      return {routeWrite(route & static_cast<uint8_t>(~kInputToLineBit))};
    case ResetAll:
      return {Write(kLedA, 0, 0), Write(kLine, 0, 0), Write(kLedB, 0, 0),
              Write(kRoutePairs, 0, 0)};
    case AllToLine:
      return {Write(kRoutePairs, 0, route), Write(kLine, 0xFF, 0xFF)};
    case AllOffLine:
      return {Write(kLine, 0, 0)};
    case AllLedsOff:
      return {Write(kLedA, 0, 0), Write(kLedB, 0, 0)};
    case AllInPairs:
      return {Write(kLine, 0, 0), Write(kRoutePairs, PairsOfVisibleDesks(visibleDesks), route)};
    case LineConnect:
      return {Write(kLine, state.LineHigh | d.high, state.LineLow | d.low)};
    case LineDisconnect:
      return {Write(kLine, state.LineHigh & static_cast<uint8_t>(~d.high),
                    state.LineLow & static_cast<uint8_t>(~d.low))};
    case PairJoin:
      return {Write(kRoutePairs, state.Pairs | d.pair, route)};
    case PairBreak:
      return {Write(kRoutePairs, state.Pairs & static_cast<uint8_t>(~d.pair), route)};
    default:
      return {};
  }
}

void CommitWrite(SwitchRegisters& state, const RegisterWrite& write) {
  switch (write.command) {
    case frame::kLedA:
      state.LedAHigh = write.high;
      state.LedALow = write.low;
      break;
    case frame::kLine:
      state.LineHigh = write.high;
      state.LineLow = write.low;
      break;
    case frame::kLedB:
      state.LedBHigh = write.high;
      state.LedBLow = write.low;
      break;
    case frame::kRoutePairs:
      state.Pairs = write.high;
      state.Route = write.low;
      break;
    default:
      break;
  }
}

std::vector<IndicatorChange> ApplyIndicatorReport(SwitchRegisters& state, uint8_t statusHigh,
                                                  uint8_t statusLow) {
  std::vector<IndicatorChange> changes;
  for (int desk = 0; desk < kDesks; ++desk) {
    const bool highByte = desk >= kDesksPerByte;
    const uint8_t bit = static_cast<uint8_t>(1u << (desk % kDesksPerByte));
    const uint8_t status = highByte ? statusHigh : statusLow;
    uint8_t& ledA = highByte ? state.LedAHigh : state.LedALow;
    uint8_t& ledB = highByte ? state.LedBHigh : state.LedBLow;
    const bool reported = (status & bit) != 0;
    const bool shown = (ledB & bit) != 0;
    if (reported && !shown) {
      ledA |= bit;
      ledB |= bit;
      changes.push_back({desk, true});
    } else if (!reported && shown) {
      ledA &= static_cast<uint8_t>(~bit);
      ledB &= static_cast<uint8_t>(~bit);
      changes.push_back({desk, false});
    }
  }
  return changes;
}
