// Taking and applying arrangements of the class.
#include "console/arrangements.h"

#include "console/deskorder.h"

namespace console {

namespace {

bool Bit(unsigned mask, int index) { return ((mask >> index) & 1u) != 0; }

std::string DeskName(const ConsoleModel& model, int desk) { return DeskTitle(model.plan()[desk]); }

}  // namespace

classroom::Arrangement CaptureArrangement(const ConsoleModel& model, const std::string& name) {
  const ConsoleDisplay shown = model.Display();
  classroom::Arrangement a;
  a.name = name;
  for (int pair = 0; pair < kPairCount; ++pair) {
    if (PairJoinedIn(model.room().SwitchState, pair)) a.pairs |= static_cast<uint8_t>(1u << pair);
  }
  for (int d = 0; d < kDeskCount; ++d) {
    if (shown.desks[d].line == LineCaption::On) a.line |= static_cast<uint16_t>(1u << d);
  }
  return a;
}

namespace {

// Whether the acknowledged registers are the arrangement on every shown desk.
bool ControllerHolds(const ConsoleModel& model, const classroom::Arrangement& arrangement,
                     int& firstDifferent) {
  const SwitchRegisters& regs = model.room().SwitchState;
  for (int d = 0; d < kDeskCount; ++d) {
    if (!model.plan()[d].visible) continue;
    const bool pairWanted = Bit(arrangement.pairs, d / 2) && model.plan()[d ^ 1].visible;
    const bool lineWanted = Bit(arrangement.line, d) && !pairWanted;
    const bool joined = PairJoinedIn(regs, d / 2);
    // A pair the arrangement names whose partner is hidden is left as it is.
    const bool pairOk = pairWanted ? joined : (!joined || Bit(arrangement.pairs, d / 2));
    if (!pairOk || LineBitIn(regs, d) != lineWanted) {
      firstDifferent = d;
      return false;
    }
  }
  return true;
}

}  // namespace

ArrangementOutcome ApplyArrangement(ConsoleModel& model,
                                    const classroom::Arrangement& arrangement) {
  ArrangementOutcome outcome;
  const auto stopped = [&](int desk, const std::string& why) {
    outcome.complete = false;
    outcome.text = "Расстановка «" + arrangement.name +
                   "» применена не полностью: " + DeskName(model, desk) + " — " + why;
    return outcome;
  };
  const auto refused = [&](int desk) {
    return stopped(desk, "контроллер не подтвердил команду, дальше не применялась.");
  };
  // A private talk ends first, so that every wanted desk can go on the line
  // and the class ends as the arrangement was saved (the teacher's line
  // comes back with the end of the talk).
  const TeacherRoute talk = DecodeRoute(model.room().SwitchState.Route);
  if (talk.speaking && talk.desk >= 0) {
    model.StopSpeaking(talk.desk);
    if (model.LastOperationRefused() || DecodeRoute(model.room().SwitchState.Route).speaking)
      return refused(talk.desk);
  }
  bool lineSkipped = false;
  for (int d = 0; d < kDeskCount; ++d) {
    const int partner = d ^ 1;
    if (!model.plan()[d].visible) continue;
    const bool pairWanted = Bit(arrangement.pairs, d / 2) && model.plan()[partner].visible;
    const bool lineWanted = Bit(arrangement.line, d) && !pairWanted;
    const SwitchRegisters& regs = model.room().SwitchState;
    const bool joined = PairJoinedIn(regs, d / 2);
    if (pairWanted && !joined) {
      model.JoinPair(d);
      if (model.LastOperationRefused() || !PairJoinedIn(regs, d / 2)) return refused(d);
      continue;
    }
    if (!pairWanted && joined && Bit(~arrangement.pairs, d / 2)) {
      model.PartPair(d);
      if (model.LastOperationRefused() || PairJoinedIn(regs, d / 2)) return refused(d);
    }
    if (lineWanted && !LineBitIn(regs, d)) {
      const TeacherRoute route = DecodeRoute(regs.Route);
      if (!route.line && !route.inputToLine) {
        lineSkipped = true;
        continue;
      }
      model.PutOnLine(d);
      if (model.LastOperationRefused() || !LineBitIn(regs, d)) return refused(d);
    }
    // A desk on the line that the arrangement does not put there leaves it.
    if (!lineWanted && !pairWanted && LineBitIn(regs, d)) {
      model.TakeOffLine(d);
      if (model.LastOperationRefused() || LineBitIn(regs, d)) return refused(d);
    }
  }
  if (lineSkipped) {
    outcome.complete = false;
    outcome.text = "Расстановка «" + arrangement.name +
                   "»: пары соединены, но столы не подключены к линии — "
                   "подключите сигнал на линию («Линия» или «Вход->Линия») и примените её снова.";
    return outcome;
  }
  int different = -1;
  if (!ControllerHolds(model, arrangement, different)) {
    return stopped(different, "контроллер держит иное, чем в расстановке.");
  }
  outcome.text = "Расстановка «" + arrangement.name + "» применена.";
  return outcome;
}

}  // namespace console
