// The display function: register copy, plan and selection to what each desk
// and the teacher panel show.
#include "console/display.h"

namespace console {

namespace {

using namespace route;

bool BitOfDesk(uint8_t low, uint8_t high, int deskIndex) {
  if (deskIndex < 0 || deskIndex >= kDeskCount) return false;
  const uint8_t bits = deskIndex < 8 ? low : high;
  return ((bits >> (deskIndex % 8)) & 1) != 0;
}

bool Has(uint16_t mask, int deskIndex) { return ((mask >> deskIndex) & 1) != 0; }

}  // namespace

const std::array<int, kDeskCount> kControlOrder = {0, 1, 2,  3,  15, 14, 4,  5,
                                                   6, 7, 8, 9, 10, 11, 12, 13};

const char* LineCaptionText(LineCaption caption) {
  switch (caption) {
    case LineCaption::On:
      return "Вкл.";
    case LineCaption::Pair:
      return "Пара";
    case LineCaption::Off:
      break;
  }
  return "Откл.";
}

TeacherRoute DecodeRoute(uint8_t routeByte) {
  TeacherRoute decoded;
  const uint8_t mode = routeByte & kModeMask;
  if (mode == kModeListen || mode == kModeSpeak || mode == kModeDeskWithLine) {
    decoded.desk = routeByte & kDeskField;
  }
  decoded.speaking = mode == kModeSpeak;
  decoded.input = mode == kModeInput || mode == kModeInputWithLine;
  decoded.line = mode == kModeLine || mode == kModeInputWithLine || mode == kModeDeskWithLine;
  decoded.inputToLine = (routeByte & kInputToLineBit) != 0;
  return decoded;
}

bool PairJoinedIn(const SwitchRegisters& state, int pair) {
  return pair >= 0 && pair < kPairCount && ((state.Pairs >> pair) & 1) != 0;
}

bool LineBitIn(const SwitchRegisters& state, int deskIndex) {
  return BitOfDesk(state.LineLow, state.LineHigh, deskIndex);
}

bool LedBitIn(const SwitchRegisters& state, int deskIndex) {
  return BitOfDesk(state.LedBLow, state.LedBHigh, deskIndex);
}

bool DeskDisplay::operator==(const DeskDisplay& o) const {
  return visible == o.visible && left == o.left && top == o.top && label == o.label &&
         name == o.name && editingName == o.editingName && selected == o.selected &&
         listenDown == o.listenDown && speakDown == o.speakDown &&
         highlighted == o.highlighted && ledOn == o.ledOn && lineFrame == o.lineFrame &&
         line == o.line && nextLineClick == o.nextLineClick && callOrder == o.callOrder;
}

ConsoleDisplay ComputeDisplay(const DisplayInputs& in) {
  static const SwitchRegisters kNoRegisters;
  const SwitchRegisters& regs = in.registers ? *in.registers : kNoRegisters;
  const TeacherRoute route = DecodeRoute(regs.Route);

  ConsoleDisplay out;
  out.teacher = {route.input, route.line, route.inputToLine};
  for (int d = 0; d < kDeskCount; ++d) {
    DeskDisplay& desk = out.desks[d];
    if (in.plan) {
      const DeskPlanEntry& entry = (*in.plan)[d];
      desk.visible = entry.visible;
      desk.left = entry.left;
      desk.top = entry.top;
      desk.label = entry.label;
      desk.name = entry.studentName;
    }
    desk.editingName = Has(in.editingMask, d);
    if (desk.editingName && in.editedNames) desk.name = (*in.editedNames)[d];
    desk.selected = d == in.selectedDesk;

    const bool joined = PairJoinedIn(regs, d / 2);
    // A joined pair is one audio channel: both its desks show the teacher's route.
    const bool routed = route.desk == d || (joined && route.desk == (d ^ 1));
    desk.listenDown = routed;
    desk.speakDown = routed && route.speaking;
    desk.highlighted = routed;
    desk.ledOn = LedBitIn(regs, d);
    desk.lineFrame = LineBitIn(regs, d) && desk.visible;
    const bool spokenOffLine = Has(in.spokenOffLineMask, d) && route.speaking && route.desk == d;
    if (joined) {
      desk.line = LineCaption::Pair;
    } else if (LineBitIn(regs, d) || spokenOffLine) {
      desk.line = LineCaption::On;
    } else {
      desk.line = LineCaption::Off;
    }
  }
  if (in.calls) {
    out.calls = *in.calls;
    for (size_t i = 0; i < out.calls.size(); ++i) {
      const int desk = out.calls[i].desk;
      if (desk >= 0 && desk < kDeskCount) out.desks[desk].callOrder = static_cast<int>(i) + 1;
    }
  }
  for (int d = 0; d < kDeskCount; ++d) out.desks[d].nextLineClick = NextLineClick(out, d);
  for (int pair = 0; pair < kPairCount; ++pair) {
    out.pairLinks[pair] =
        PairJoinedIn(regs, pair) && out.desks[2 * pair].visible && out.desks[2 * pair + 1].visible;
  }
  return out;
}

std::string CallEntryText(int desk, const std::string& studentName, const std::string& time) {
  std::string text = std::to_string(desk + 1) + " · ";
  if (!studentName.empty() && studentName != "***") {
    size_t characters = 0;
    size_t cut = studentName.size();
    for (size_t i = 0; i < studentName.size(); ++i) {
      if ((static_cast<unsigned char>(studentName[i]) & 0xC0) == 0x80) continue;
      if (characters++ == kCallNameCharacters) {
        cut = i;
        break;
      }
    }
    text += studentName.substr(0, cut) + (cut < studentName.size() ? "…" : "") + " · ";
  }
  return text + time;
}

DeskButtonHints HintsFor(const DeskDisplay& desk) {
  DeskButtonHints hints;
  hints.listen = desk.listenDown ? "Перестать слушать стол" : "Слушать стол";
  hints.speak = desk.speakDown ? "Перестать говорить со столом" : "Говорить со столом";
  hints.led = desk.ledOn ? "Выключить светодиод стола (вызов ученика)"
                         : "Светодиод стола: загорается, когда ученик вызывает учителя";
  return hints;
}

LineClick NextLineClick(const ConsoleDisplay& shown, int desk) {
  const DeskDisplay& d = shown.desks[desk];
  if (d.line == LineCaption::Pair) return LineClick::Part;
  const bool lineSourceInUse = shown.teacher.lineDown || shown.teacher.inputToLineDown;
  if (d.line == LineCaption::Off && lineSourceInUse) return LineClick::Connect;
  return shown.desks[desk ^ 1].visible ? LineClick::Join : LineClick::LeaveLine;
}

const char* LineClickHint(LineClick click) {
  switch (click) {
    case LineClick::Connect:
      return "Подключить стол к линии";
    case LineClick::Join:
      return "Соединить стол в пару с соседним";
    case LineClick::LeaveLine:
      return "Отключить стол от линии";
    case LineClick::Part:
      break;
  }
  return "Разъединить пару";
}

}  // namespace console
