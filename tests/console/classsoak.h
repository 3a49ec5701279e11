// A long randomized lesson against a faulty controller: thousands of mixed
// operations while the controller refuses frames, applies some without
// acknowledging, loses its power and lights LEDs; the teacher answers "Да"
// or "Нет" at random. Checks, and counts what broke:
//  - after every frame the controller applies: no private conversation's
//    desk on the common line;
//  - after every operation: the copy is the acknowledged controller state,
//    the screen shows that state, no lit LED was put out but by the teacher;
//  - nothing of an operation is sent after its refused request.
// Shared by the model's tests (a fixed seed) and the soak in bench/.
#pragma once

#include <cstdint>
#include <functional>
#include <random>
#include <sstream>
#include <string>

#include "config/arrangementfile.h"
#include "console/arrangements.h"
#include "console/consolemodel.h"
#include "console/monitoringround.h"
#include "link/frame.h"
#include "scriptedcontroller.h"

namespace soak {

using console::ConsoleModel;

struct Figures {
  uint64_t operations = 0;
  uint64_t frames = 0;    // frames the controller saw (repeats included)
  uint64_t refusals = 0;  // "Нет" answers
  uint64_t appliedUnconfirmed = 0;
  uint64_t powerLosses = 0;
  uint64_t callsMade = 0;
  uint64_t leaks = 0;             // frames after which a private desk was on the line
  uint64_t ledsPutOut = 0;        // lit LEDs put out by something not the teacher's
  uint64_t copyDiffers = 0;       // operations after which copy != acknowledged state
  uint64_t screenDiffers = 0;     // ... after which the screen showed something else
  uint64_t sentAfterRefusal = 0;  // frames of an operation after its "Нет"
  uint64_t heldBack = 0;          // frames the privacy guard kept from the wire
  std::string firstProblem;
  bool Clean() const {
    return leaks == 0 && ledsPutOut == 0 && copyDiffers == 0 && screenDiffers == 0 &&
           sentAfterRefusal == 0;
  }
};

inline uint16_t Word(uint8_t high, uint8_t low) { return static_cast<uint16_t>(high << 8 | low); }
inline uint16_t LineWord(const SwitchRegisters& r) { return Word(r.LineHigh, r.LineLow); }
inline uint16_t LedBWord(const SwitchRegisters& r) { return Word(r.LedBHigh, r.LedBLow); }
inline uint16_t LedAWord(const SwitchRegisters& r) { return Word(r.LedAHigh, r.LedALow); }

// The rule, written out again here rather than taken from the guard.
inline uint16_t DesksInPrivate(const SwitchRegisters& r) {
  uint16_t desks = 0;
  for (int pair = 0; pair < 8; ++pair)
    if ((r.Pairs >> pair) & 1) desks |= static_cast<uint16_t>(3u << (2 * pair));
  if ((r.Route & 0x70) == 0x50) desks |= static_cast<uint16_t>(1u << (r.Route & 0x0F));
  return desks;
}

// The controller: its own registers, what it has acknowledged, its faults.
class FaultyController : public FrameSender {
 public:
  FaultyController(uint32_t seed, Figures& figures) : rng(seed), figures_(figures) {}

  SwitchRegisters registers;      // what it holds
  SwitchRegisters acknowledged;   // acknowledged writes and delivered reports only
  uint16_t studentLit = 0;        // LEDs lit by students, not put out since
  uint16_t teacherMayPutOut = 0;  // the operation under way is the teacher's for these
  bool down = false;              // switched off: answers nothing
  bool refusedInOperation = false;
  bool countAfterRefusal = true;
  std::mt19937 rng;
  std::string context;

  int Percent() { return static_cast<int>(rng() % 100); }

  bool TransmitFrame(uint8_t command, uint8_t high, uint8_t low) override {
    if (refusedInOperation && countAfterRefusal)
      Problem(figures_.sentAfterRefusal, "sent after Нет");
    for (int attempt = 1;; ++attempt) {
      ++figures_.frames;
      const int roll = Percent();
      const bool answered = !down && roll >= 12;
      const bool applied = !down && (answered || roll >= 6);
      if (applied) Apply({command, high, low});
      if (answered) {
        CommitWrite(acknowledged, RegisterWrite{command, high, low});
        return true;
      }
      if (applied) ++figures_.appliedUnconfirmed;
      // One silent repeat, then the question; the teacher answers at random.
      if (attempt % 2 != 0) continue;
      if (down && Percent() < 30) continue;
      if (!down && Percent() < 50) continue;
      ++figures_.refusals;
      refusedInOperation = true;
      return false;
    }
  }

  // The student of `desk` presses the call button.
  void StudentCalls(int desk) {
    const uint16_t bit = static_cast<uint16_t>(1u << desk);
    registers.LedAHigh |= static_cast<uint8_t>(bit >> 8);
    registers.LedALow |= static_cast<uint8_t>(bit & 0xFF);
    registers.LedBHigh |= static_cast<uint8_t>(bit >> 8);
    registers.LedBLow |= static_cast<uint8_t>(bit & 0xFF);
    studentLit |= bit;
    ++figures_.callsMade;
  }
  void LosePower() {
    registers = SwitchRegisters{};
    studentLit = 0;  // the controller's own loss, not the console's doing
    down = true;
    ++figures_.powerLosses;
  }
  void Problem(uint64_t& counter, const std::string& what) {
    ++counter;
    if (figures_.firstProblem.empty()) figures_.firstProblem = what + " during " + context;
  }

 private:
  void Apply(const RegisterWrite& write) {
    CommitWrite(registers, write);
    if ((LineWord(registers) & DesksInPrivate(registers)) != 0) {
      std::ostringstream what;
      what << "leak: Line=" << std::hex << LineWord(registers) << " Route=" << int(registers.Route)
           << " Pairs=" << int(registers.Pairs);
      Problem(figures_.leaks, what.str());
    }
    // Lit as the controller reports it: its LedB register.
    const uint16_t lit = LedBWord(registers);
    const uint16_t putOut = static_cast<uint16_t>(studentLit & ~lit);
    if ((putOut & ~teacherMayPutOut) != 0) Problem(figures_.ledsPutOut, "lit LED put out");
    studentLit = static_cast<uint16_t>(studentLit & lit);
  }

  Figures& figures_;
};

// The lesson: a model over the faulty controller, the round, random operations.
class RandomLesson {
 public:
  RandomLesson(uint32_t seed, Figures& figures)
      : figures_(figures),
        controller_(seed, figures),
        model_(room_, controller_, [] { return false; }, user_, {"/nonexistent/vormik.ini", ""}),
        round_(
            model_, [this] { return nowMs_; }, 1) {
    for (int d = 0; d < kDeskCount; ++d) model_.PlaceDesk(d, 150 * (d % 4), 80 * (d / 4), true);
    // Two desks hidden: a pair with a hidden partner, arrangements' hidden desks.
    model_.PlaceDesk(7, 0, 400, false);
    model_.PlaceDesk(12, 0, 480, false);
    model_.SetIndicatorReader([this]() -> std::optional<std::pair<uint8_t, uint8_t>> {
      if (controller_.down) return std::nullopt;
      const uint8_t high = controller_.registers.LedBHigh, low = controller_.registers.LedBLow;
      // What the console merges, the acknowledged state takes as well.
      ApplyIndicatorReport(controller_.acknowledged,
                           static_cast<uint8_t>(high | controller_.acknowledged.LedBHigh),
                           static_cast<uint8_t>(low | controller_.acknowledged.LedBLow));
      return std::make_pair(high, low);
    });
  }

  void Run(uint64_t operations) {
    for (uint64_t i = 0; i < operations; ++i) {
      Events();
      OneOperation();
      ++figures_.operations;
      Check();
    }
    figures_.heldBack = model_.privacyGuard().HeldBack();
  }

 private:
  int Roll(int n) { return static_cast<int>(controller_.rng() % static_cast<uint32_t>(n)); }

  // Between operations: calls, polls, power lost and back.
  void Events() {
    if (Roll(100) < 8) controller_.StudentCalls(Roll(kDeskCount));
    if (!controller_.down && Roll(1000) < 6) controller_.LosePower();
    if (controller_.down && Roll(100) < 15) {
      controller_.down = false;
      Quiet([&] { model_.ControllerReturned(); });
    }
    if (!controller_.down) Poll();
  }

  void Poll() {
    const uint8_t high = controller_.registers.LedBHigh, low = controller_.registers.LedBLow;
    ApplyIndicatorReport(controller_.acknowledged, high, low);
    model_.ApplyIndicators(high, low);
  }

  template <typename F>
  void Quiet(F f) {
    controller_.refusedInOperation = false;
    controller_.teacherMayPutOut = 0;
    controller_.context = "write-back";
    f();
  }

  void OneOperation() {
    const int desk = Roll(kDeskCount);
    controller_.refusedInOperation = false;
    controller_.countAfterRefusal = true;
    controller_.teacherMayPutOut = 0;
    ConsoleModel& m = model_;
    const int kind = Roll(24);
    controller_.context = "operation " + std::to_string(kind) + " desk " + std::to_string(desk + 1);
    switch (kind) {
      case 0:
      case 1:
        m.ToggleListening(desk);
        break;
      case 2:
      case 3:
        m.ToggleSpeaking(desk);
        break;
      case 4:
      case 5:
        m.PressLineButton(desk);
        break;
      case 6:
        m.JoinPair(desk);
        break;
      case 7:
        m.PartPair(desk);
        break;
      case 8:
        m.PutOnLine(desk);
        break;
      case 9:
        m.TakeOffLine(desk);
        break;
      case 10:
        controller_.teacherMayPutOut = static_cast<uint16_t>(1u << desk);
        m.PressLedButton(desk);
        break;
      case 11:
        m.SelectDesk(desk);
        controller_.teacherMayPutOut = static_cast<uint16_t>(1u << desk);
        m.SwitchSelectedLed(Roll(2) == 0);
        break;
      case 12:
        m.ToggleInput();
        break;
      case 13:
      case 14:
        m.ToggleLine();
        break;
      case 15:
        m.ToggleInputToLine();
        break;
      case 16:
        controller_.teacherMayPutOut = 0xFFFF;
        m.ResetAll();
        break;
      case 17:
        m.AllToLine();
        break;
      case 18:
        m.AllInPairs();
        break;
      case 19:
        controller_.teacherMayPutOut = 0xFFFF;
        m.AllLedsOff();
        break;
      case 20: {
        classroom::Arrangement a;
        a.name = "случайная";
        a.pairs = static_cast<uint8_t>(controller_.rng());
        a.line = static_cast<uint16_t>(controller_.rng());
        console::ApplyArrangement(m, a);
        break;
      }
      default:
        RoundOperation();
        break;
    }
  }

  // The round: started, ticked on, stopped. A stop after a refused step
  // routes back as an operation of its own, so it is not counted as sent
  // after the step's "Нет".
  void RoundOperation() {
    controller_.countAfterRefusal = false;
    switch (Roll(4)) {
      case 0:
        round_.StartPauseResume();
        break;
      case 1:
        round_.Stop();
        break;
      default:
        nowMs_ += 1000;
        round_.Tick();
        break;
    }
  }

  void Check() {
    const SwitchRegisters& copy = room_.SwitchState;
    const SwitchRegisters& acked = controller_.acknowledged;
    if (!console::SameRegisters(copy, acked))
      controller_.Problem(figures_.copyDiffers, "copy differs");
    const console::ConsoleDisplay shown = model_.Display();
    const console::TeacherRoute route = console::DecodeRoute(acked.Route);
    bool same = shown.teacher.inputDown == route.input && shown.teacher.lineDown == route.line &&
                shown.teacher.inputToLineDown == route.inputToLine;
    for (int d = 0; d < kDeskCount; ++d) {
      const console::DeskDisplay& desk = shown.desks[d];
      const bool joined = ((acked.Pairs >> (d / 2)) & 1) != 0;
      const bool routed = route.desk == d || (joined && route.desk == (d ^ 1));
      const bool onLine = ((LineWord(acked) >> d) & 1) != 0;
      const bool spoken = route.speaking && route.desk == d;
      same = same && desk.listenDown == routed && desk.speakDown == (routed && route.speaking);
      same = same && (desk.line == console::LineCaption::Pair) == joined;
      // Off the line only while spoken to may still read "Вкл." (it goes back).
      if (!joined && onLine) same = same && desk.line == console::LineCaption::On;
      if (!joined && !onLine && !spoken) same = same && desk.line == console::LineCaption::Off;
      same = same && desk.ledOn == (((LedBWord(acked) >> d) & 1) != 0);
      // A call is a lit LED (the teacher may light one without a call).
      same = same && (desk.callOrder == 0 || desk.ledOn);
    }
    if (!same) controller_.Problem(figures_.screenDiffers, "screen differs");
  }

  Figures& figures_;
  ClassroomState room_;
  FaultyController controller_;
  ScriptedUser user_;
  console::ConsoleModel model_;
  int64_t nowMs_ = 0;
  console::MonitoringRound round_;
};

}  // namespace soak
