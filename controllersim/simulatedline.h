// The controller inside the program: the emulator's controller behind a line
// of the program's own, with the line's timing, its trace and the faults a
// teacher can ask for while learning the console.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "controllersim/controller.h"
#include "controllersim/frameparser.h"

namespace controllersim {

// The time the line lives by, in microseconds: the program's steady clock, or
// a test's clock whose waits only move it on.
struct LineClock {
  std::function<int64_t()> nowUs;
  std::function<void(int64_t untilUs)> waitUntil;
};
LineClock SteadyLineClock();

// One byte on a 9600-baud 8N1 line: ten bits.
inline constexpr int64_t kByteTimeUs = 1042;
// The controller's own time to start its answer once a request is in.
inline constexpr int64_t kTurnaroundUs = 2000;
// A partial frame followed by this much silence is given up, as the emulator does.
inline constexpr int64_t kPartialFrameTimeoutUs = 50000;
// The trace lines kept in memory for the window.
inline constexpr size_t kTraceLinesKept = 200;
// After a power loss the controller comes back by itself after this long.
inline constexpr int64_t kPowerLossUs = 4000000;
// A refused frame is refused again on the link's silent repeat, so the
// console's question shows.
inline constexpr int kRefusalsPerRequest = 2;

// Thread-safe: the link or the poll writes and reads (one at a time, under
// the port lock), the window lights LEDs and plays faults meanwhile.
class SimulatedLine {
 public:
  explicit SimulatedLine(LineClock clock = SteadyLineClock());

  // ---- The program's side of the line (SimulatedSerialPort). ----
  void Write(uint8_t byte);
  // Waits until every byte written has left (as on a real line).
  void Drain();
  // The next byte of an answer when it comes within timeoutMs; otherwise
  // waits the whole time-out, as a silent line does, and returns false.
  bool Read(uint8_t& byte, int timeoutMs);
  // Bytes received and not read yet are dropped.
  void DropReceived();

  // ---- The classroom's side. ----
  // A student's call button: desk 1..16 lit or put out.
  void SetLed(int desk, bool on);
  // The desks lit, as a poll reports them (bit 0 = desk 1).
  uint16_t LitMask() const;
  // "LedA=XXXX Line=XXXX LedB=XXXX Route=XX Pairs=XX"
  std::string RegistersText() const;

  // ---- Faults on request. ----
  // The cable out: nothing reaches the controller and nothing comes back.
  void SetCablePulled(bool pulled);
  bool CablePulled() const;
  // The next register write is acknowledged wrongly, and so is its repeat.
  void RefuseNextFrame();
  // The controller loses power: its registers are cleared and it answers
  // nothing until it comes back by itself after kPowerLossUs.
  void LosePower();
  bool PoweredOff() const;

  // ---- The trace, in the emulator's format. ----
  // Lines since the line was made, oldest first; the last kTraceLinesKept.
  std::vector<std::string> TraceLines() const;
  // Each new line also goes to this listener (a file, for tests and demos).
  void SetTraceListener(std::function<void(const std::string&)> listener);

 private:
  struct PendingByte {
    uint8_t byte;
    int64_t dueUs;
  };
  int64_t MsSinceStart(int64_t nowUs) const { return (nowUs - startUs_) / 1000; }
  bool PoweredOffAt(int64_t nowUs) const { return powerBackUs_ > nowUs; }
  void FlushStalePartial(int64_t nowUs);
  void Answer(const ParsedItem& item, int64_t arrivedUs);
  void Trace(const std::string& line);

  LineClock clock_;
  mutable std::mutex mutex_;
  Controller controller_;
  FrameParser parser_;
  std::deque<PendingByte> received_;  // the answer bytes on their way to the program
  std::deque<std::string> trace_;
  std::function<void(const std::string&)> traceListener_;
  int64_t startUs_ = 0;
  int64_t lastByteUs_ = 0;
  int64_t txFreeUs_ = 0;  // when the program's last byte has left
  int64_t powerBackUs_ = 0;
  bool cablePulled_ = false;
  int refusalsLeft_ = 0;
};

}  // namespace controllersim
