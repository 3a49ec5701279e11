// The switching controller's registers, its answers and the faults it can play.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "controllersim/frameparser.h"

namespace controllersim {

// Chances, in percent, of each fault per answer under --random-faults.
inline constexpr int kRandomDropPercent = 10;
inline constexpr int kRandomWrongPercent = 5;
inline constexpr int kRandomLatePercent = 5;
inline constexpr int kRandomGarbagePercent = 5;
// A late answer comes after the console's 100 ms read time-out has passed.
inline constexpr int kRandomLateMs = 150;
// What "stray N" puts on the line before the next poll reply. Read with the
// status bytes after it, it passes as a reply only when low = high + 0x2E.
inline constexpr uint8_t kStrayByte = 0xA5;

struct FaultSettings {
  bool silent = false;         // never answer anything
  bool ackEveryOther = false;  // acknowledge only the 2nd, 4th, ... frame
  bool wrongAck = false;       // acknowledge with check-sum + 2
  bool dropPoll = false;       // never answer polls
  bool baud = false;           // pace bytes like a 9600 8N1 line
  int delayMs = 0;             // wait this long before each answer
  bool random = false;         // --random-faults
  uint32_t seed = 1;
};

// What the controller sends back for one item of the stream.
struct Reply {
  std::vector<uint8_t> bytes;  // in order; empty when nothing is sent
  int delayMs = 0;             // wait before the first byte
};

class Controller {
 public:
  explicit Controller(const FaultSettings& faults = FaultSettings());

  // A valid register write is always applied, even when a fault withholds or
  // spoils its acknowledgement: the fault models a lost answer, not a lost frame.
  Reply Handle(const ParsedItem& item);

  // Register by command byte 0x81..0x84 (high byte << 8 | low byte); 0 for others.
  uint16_t Register(uint8_t command) const;
  // The desks' indicator state a poll reports: the LedB register.
  uint16_t Status() const { return ledB_; }
  // Desk 1..16; sets or clears the desk's bit in LedA and LedB together.
  bool SetLed(int desk, bool on);
  // "LedA=XXXX Line=XXXX LedB=XXXX Route=XX Pairs=XX"
  std::string RegistersText() const;

  // Runs one stdin command and returns its answer line ("ok", "error ...", or
  // the registers for "regs"); an empty answer for a blank line. Sets `quit`
  // on "quit".
  std::string Command(const std::string& line, bool& quit);

  const FaultSettings& faults() const { return faults_; }
  // Switches one fault by its option name without the dashes ("silent",
  // "delay-ms", ...); value is "on", "off" or a number. False when unknown.
  bool SetFault(const std::string& name, const std::string& value);

 private:
  int Percent();

  FaultSettings faults_;
  std::mt19937 random_;
  uint16_t ledA_ = 0;
  uint16_t line_ = 0;
  uint16_t ledB_ = 0;
  uint16_t routePairs_ = 0;  // Pairs << 8 | Route
  unsigned framesSeen_ = 0;  // for ack-every-other
  // Register writes still to answer before falling silent; -1: no such limit.
  long answersBeforeSilence_ = -1;
  // Stray bytes to send before the next poll reply that goes out.
  int strayBeforePoll_ = 0;
};

}  // namespace controllersim
