// What the console shows, as a pure function of the acknowledged register
// copy, the plan, the selection and the few facts the controller does not
// hold. The window only paints this; nothing is read back from a widget.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "config/desks.h"
#include "link/switchstate.h"

namespace console {

// Every desk panel has this size; positions in the plan are its top-left corner.
inline constexpr int kDeskPanelWidth = 145;
inline constexpr int kDeskPanelHeight = 75;

// The line button's three captions: "Откл.", "Вкл.", "Пара".
enum class LineCaption { Off, On, Pair };
const char* LineCaptionText(LineCaption caption);

// What a click of a desk's line button does (NextLineClick).
enum class LineClick { Connect, Join, LeaveLine, Part };

// How the teacher is routed, decoded from the Route register.
struct TeacherRoute {
  int desk = -1;  // the desk the teacher hears (or speaks to); -1 for none
  bool speaking = false;
  bool input = false;        // "Вход" down
  bool line = false;         // "Линия" down
  bool inputToLine = false;  // "Вход->Линия" down
};
TeacherRoute DecodeRoute(uint8_t route);

bool PairJoinedIn(const SwitchRegisters& state, int pair);
bool LineBitIn(const SwitchRegisters& state, int deskIndex);
// The LED mark follows LedB, the register the poll compares its reports with.
bool LedBitIn(const SwitchRegisters& state, int deskIndex);

// One desk plan entry as the model keeps it.
struct DeskPlanEntry {
  std::string label;        // the panel caption, from the settings
  std::string studentName;  // as confirmed or loaded (UTF-8)
  int left = 0;
  int top = 0;
  bool visible = false;
};

// A student's call: the desk's LED lit by the student's own button.
struct Call {
  int desk = 0;
  int64_t since = 0;  // seconds since 1970, as the console's clock gave it
  bool operator==(const Call& o) const { return desk == o.desk && since == o.since; }
};

// The facts behind the display.
struct DisplayInputs {
  const SwitchRegisters* registers = nullptr;
  const std::array<DeskPlanEntry, kDeskCount>* plan = nullptr;
  // The text typed so far of each name box being edited.
  const std::array<std::string, kDeskCount>* editedNames = nullptr;
  uint16_t editingMask = 0;
  // Desks taken off the line while the teacher speaks to them: they belong
  // on the line and read "Вкл." as long as the speaking lasts.
  uint16_t spokenOffLineMask = 0;
  int selectedDesk = 0;
  // Desks calling the teacher, in the order they called.
  const std::vector<struct Call>* calls = nullptr;
};

struct DeskDisplay {
  bool visible = false;
  int left = 0;
  int top = 0;
  std::string label;
  std::string name;  // the typed text while the box is being edited
  bool editingName = false;
  bool selected = false;
  bool listenDown = false;
  bool speakDown = false;
  bool highlighted = false;
  bool ledOn = false;
  bool lineFrame = false;  // drawn only around a shown panel
  LineCaption line = LineCaption::Off;
  LineClick nextLineClick = LineClick::Join;  // for the line button's tooltip
  int callOrder = 0;  // 1 for the desk that called first; 0 when not calling

  bool operator==(const DeskDisplay& o) const;
  bool operator!=(const DeskDisplay& o) const { return !(*this == o); }
};

struct TeacherDisplay {
  bool inputDown = false;
  bool lineDown = false;
  bool inputToLineDown = false;
  bool operator==(const TeacherDisplay& o) const {
    return inputDown == o.inputDown && lineDown == o.lineDown &&
           inputToLineDown == o.inputToLineDown;
  }
};

struct ConsoleDisplay {
  std::array<DeskDisplay, kDeskCount> desks;
  TeacherDisplay teacher;
  // A pair's link line is drawn while the pair is joined and both panels show.
  std::array<bool, kPairCount> pairLinks{};
  std::vector<Call> calls;  // in the order the desks called

  bool operator==(const ConsoleDisplay& o) const {
    return desks == o.desks && teacher == o.teacher && pairLinks == o.pairLinks &&
           calls == o.calls;
  }
  bool operator!=(const ConsoleDisplay& o) const { return !(*this == o); }
};

ConsoleDisplay ComputeDisplay(const DisplayInputs& inputs);

// A call list entry, "5 · Иванов Пётр · 10:42": the desk's number, then its
// student's name (left out while it is empty or the placeholder "***", cut
// after kCallNameCharacters), then `time`, when the call began.
inline constexpr size_t kCallNameCharacters = 24;
std::string CallEntryText(int desk, const std::string& studentName, const std::string& time);

// The tooltips of a desk's glyph buttons: what a click does now.
struct DeskButtonHints {
  std::string listen;
  std::string speak;
  std::string led;
};
DeskButtonHints HintsFor(const DeskDisplay& desk);

// What the next click of a desk's line button does, by its caption:
// "Откл." with a signal on the line connects; "Откл." without one or "Вкл."
// joins the pair (or only leaves the line while the partner is not on the
// plan); "Пара" parts.
LineClick NextLineClick(const ConsoleDisplay& shown, int desk);
// The line button's tooltip: what that click will do, in Russian.
const char* LineClickHint(LineClick click);

// The order the window lists its desks in: 1-4, 16, 15, 5-14 (as indices).
extern const std::array<int, kDeskCount> kControlOrder;

}  // namespace console
