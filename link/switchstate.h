// SwitchState (the program's copy of the controller's four registers), the 22
// request types, and the register writes each request makes.
#pragma once

#include <cstdint>
#include <vector>

// Eight bytes in this order: LedA low, LedA high, Line low, Line high,
// LedB low, LedB high, Route, Pairs. Low bytes: desks 1-8 (bit 0 = desk 1),
// high bytes: desks 9-16 (bit 0 = desk 9).
struct SwitchRegisters {
  uint8_t LedALow = 0;
  uint8_t LedAHigh = 0;
  uint8_t LineLow = 0;
  uint8_t LineHigh = 0;
  uint8_t LedBLow = 0;
  uint8_t LedBHigh = 0;
  uint8_t Route = 0;
  uint8_t Pairs = 0;
};

// The Route register: bit 7 puts the input on the line, bits 4-6 are the
// teacher's mode, bits 0-3 the desk the mode names.
namespace route {
inline constexpr uint8_t kInputToLineBit = 0x80;
inline constexpr uint8_t kModeMask = 0x70;
inline constexpr uint8_t kDeskField = 0x0F;
inline constexpr uint8_t kModeNone = 0x00;
inline constexpr uint8_t kModeListen = 0x10;
inline constexpr uint8_t kModeInput = 0x20;
inline constexpr uint8_t kModeLine = 0x40;
inline constexpr uint8_t kModeSpeak = 0x50;
inline constexpr uint8_t kModeInputWithLine = 0x60;
inline constexpr uint8_t kModeDeskWithLine = 0x70;
}  // namespace route

// Values 0..21 are fixed: callers pass them as integers.
enum RequestType : int {
  ToggleLedA = 0,
  ToggleLine = 1,
  ToggleLedB = 2,
  TogglePair = 3,
  ListenDesk = 4,
  ReleaseDesk = 5,
  SpeakDesk = 6,
  InputOn = 7,
  InputOff = 8,
  LineOn = 9,
  LineOff = 10,
  InputToLineOn = 11,
  InputToLineOff = 12,
  ResetAll = 13,
  AllToLine = 14,
  AllOffLine = 15,
  AllLedsOff = 16,
  AllInPairs = 17,
  LineConnect = 18,
  LineDisconnect = 19,
  PairJoin = 20,
  PairBreak = 21,
};
inline constexpr int kLastRequestType = PairBreak;

// Passed for LineOn, LineOff and InputToLineOn when no desk is listened to.
inline constexpr int kNoListenedDesk = 99;

// One register write of a request, with what an acknowledgement commits.
struct RegisterWrite {
  uint8_t command;
  uint8_t high;
  uint8_t low;
};

// Desk bits of a desk index (0 for an index above 15) and its pair bit.
struct DeskBits {
  uint8_t low;
  uint8_t high;
  uint8_t pair;
};
DeskBits DeskBitsOf(int deskIndex);

// The writes of a request, in order, computed from the state before it.
// visibleDesks: bit i set when desk index i's panel is shown (AllInPairs).
// A request type outside 0..21 gives no writes.
std::vector<RegisterWrite> PlanRequest(const SwitchRegisters& state, int requestType,
                                       int deskIndex, bool sourceOn, bool deskOn,
                                       uint16_t visibleDesks);

// The register of the write takes the sent bytes (0x84: high = Pairs, low = Route).
void CommitWrite(SwitchRegisters& state, const RegisterWrite& write);

// Indicator report from the poll: desks whose LedB bit disagrees with the
// report get both their LedA and LedB bits set or cleared. Returns the desks
// that changed, in increasing desk order.
struct IndicatorChange {
  int deskIndex;
  bool on;
};
std::vector<IndicatorChange> ApplyIndicatorReport(SwitchRegisters& state, uint8_t statusHigh,
                                                  uint8_t statusLow);
