// The one way the console model reaches the controller. It keeps two rules
// whatever the controller acknowledges, refuses, or applies without
// acknowledging:
//  - an operation sends nothing more after its first refused request;
//  - no frame may put a desk of a private conversation (the desk the teacher
//    speaks to, a joined pair) on the common line, nor make a conversation of
//    desks on it. A write that was not acknowledged may still have been
//    applied, so its value is kept as a possibility until the same register is
//    acknowledged again; before a write that could leak under a possibility,
//    the other register is first written back from the acknowledged copy.
#pragma once

#include <cstdint>
#include <vector>

#include "link/switchstate.h"
#include "link/transmit.h"

namespace console {

// The desks of private conversations the Route and Pairs bytes make: every
// desk of a joined pair, and the desk spoken to.
uint16_t PrivateDesks(uint8_t pairs, uint8_t route);
// Desks of a private conversation that are also on the common line.
uint16_t LeakingDesks(uint16_t line, uint8_t pairs, uint8_t route);

class PrivacyGuard : public FrameSender {
 public:
  // copy: the acknowledged register copy the model keeps (read, never written
  // here except by the commits of the writes the guard itself adds).
  PrivacyGuard(FrameSender& inner, SwitchRegisters& copy);

  // A new operation: what the last one refused no longer stops this one.
  void BeginOperation() { refused_ = false; }
  // The current (or last) operation had a request refused.
  bool Refused() const { return refused_; }
  // Frames the guard held back because they would have leaked (none unless
  // the model itself plans a leak); for tests and the soak's figures.
  uint64_t HeldBack() const { return heldBack_; }
  bool TransmitFrame(uint8_t command, uint8_t high, uint8_t low) override;
  bool TransmitComposed(const WriteComposer& compose) override;

 private:
  struct Possible {
    std::vector<uint16_t> lines;   // Line values the controller may hold
    std::vector<uint16_t> routes;  // Pairs << 8 | Route values it may hold
  };
  Possible Possibilities() const;
  // Desks the write would newly put in a leak under some possible state.
  uint16_t NewLeaks(const RegisterWrite& write) const;
  // Writes the copy's value of the register `write` does not touch, when it
  // may differ in the controller; false when refused or itself unsafe.
  bool SettleOtherRegister(const RegisterWrite& write);
  bool Pass(const WriteComposer& compose);
  void Note(const RegisterWrite& write, bool acknowledged);

  FrameSender& inner_;
  SwitchRegisters& copy_;
  bool refused_ = false;
  uint64_t heldBack_ = 0;
  std::vector<uint16_t> unsureLines_;   // sent, not acknowledged
  std::vector<uint16_t> unsureRoutes_;  // Pairs << 8 | Route
};

}  // namespace console
