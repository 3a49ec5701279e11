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

ArrangementOutcome ApplyArrangement(ConsoleModel& model,
                                    const classroom::Arrangement& arrangement) {
  ArrangementOutcome outcome;
  bool lineSkipped = false;
  const auto refused = [&](int desk) {
    outcome.complete = false;
    outcome.text = "Расстановка «" + arrangement.name +
                   "» применена не полностью: " + DeskName(model, desk) +
                   " — контроллер не подтвердил команду.";
    return outcome;
  };
  for (int d = 0; d < kDeskCount; ++d) {
    const int partner = d ^ 1;
    if (!model.plan()[d].visible) continue;
    const bool pairWanted = Bit(arrangement.pairs, d / 2) && model.plan()[partner].visible;
    const bool lineWanted = Bit(arrangement.line, d) && !pairWanted;
    LineCaption line = model.Display().desks[d].line;
    if (pairWanted && line != LineCaption::Pair) {
      model.JoinPair(d);
      if (model.Display().desks[d].line != LineCaption::Pair) return refused(d);
      continue;
    }
    if (!pairWanted && line == LineCaption::Pair && Bit(~arrangement.pairs, d / 2)) {
      model.PartPair(d);
      line = model.Display().desks[d].line;
      if (line == LineCaption::Pair) return refused(d);
    }
    if (lineWanted && line == LineCaption::Off) {
      const ConsoleDisplay shown = model.Display();
      if (!shown.teacher.lineDown && !shown.teacher.inputToLineDown) {
        lineSkipped = true;
        continue;
      }
      model.PutOnLine(d);
      if (model.Display().desks[d].line != LineCaption::On) return refused(d);
    }
    // A desk on the line that the arrangement does not put there leaves it.
    if (!lineWanted && !pairWanted && line == LineCaption::On) {
      model.TakeOffLine(d);
      if (model.Display().desks[d].line == LineCaption::On) return refused(d);
    }
  }
  outcome.text = "Расстановка «" + arrangement.name + "» применена.";
  if (lineSkipped) {
    outcome.complete = false;
    outcome.text = "Расстановка «" + arrangement.name +
                   "»: пары соединены, но столы не подключены к линии — "
                   "подключите сигнал на линию («Линия» или «Вход->Линия») и примените её снова.";
  }
  return outcome;
}

}  // namespace console
