// The console's operations on pairs and the line, and the teacher panel's:
// the pair and line buttons, the desk menu's entries, input and line.
// Every decision reads the display as it stood when the operation began.
#include "console/consolemodel.h"
#include "console/deskbits.h"
#include "console/modeloperation.h"
#include "link/sendswitchrequest.h"

namespace console {

// ---------------------------------------------------------------------------
// Pairs and line

void ConsoleModel::PressLineButton(int desk) {
  OnDesk(desk,
         [&](const ConsoleDisplay& shown) { ActOnLine(desk, NextLineClick(shown, desk), shown); });
}

void ConsoleModel::JoinPair(int desk) {
  OnDesk(desk, [&](const ConsoleDisplay& shown) {
    if (shown.desks[desk].line == LineCaption::Pair) return;
    if (!plan_[desk ^ 1].visible) {
      user_.ShowMessage("Внимание!!!",
                        "Второй стол пары (стол " + plan_[desk ^ 1].label +
                            ") не показан на плане: соединить в пару не с кем.",
                        MessageKind::Warning);
      return;
    }
    Join(desk, shown);
  });
}

void ConsoleModel::PartPair(int desk) {
  OnDesk(desk, [&](const ConsoleDisplay& shown) {
    if (shown.desks[desk].line == LineCaption::Pair) Part(desk);
  });
}

void ConsoleModel::PutOnLine(int desk) {
  OnDesk(desk, [&](const ConsoleDisplay& shown) {
    if (!shown.teacher.lineDown && !shown.teacher.inputToLineDown) {
      user_.ShowMessage("Внимание!!!",
                        "Подключите сигнал на линию (кнопка «Линия» или «Вход->Линия»)",
                        MessageKind::Warning);
      return;
    }
    if (shown.desks[desk].line != LineCaption::On) ConnectToLine(desk);
  });
}

void ConsoleModel::TakeOffLine(int desk) {
  OnDesk(desk, [&](const ConsoleDisplay& shown) {
    if (shown.desks[desk].line != LineCaption::On) return;
    // A desk spoken to is already off; it only stops belonging there.
    if (!LineBitIn(room_.SwitchState, desk) || Send(LineDisconnect, desk)) {
      ForgetLinePlaces(DeskBit(desk));
    }
  });
}

void ConsoleModel::ActOnLine(int desk, LineClick click, const ConsoleDisplay& shown) {
  switch (click) {
    case LineClick::Connect:
      ConnectToLine(desk);
      return;
    case LineClick::Join:
      Join(desk, shown);
      return;
    case LineClick::LeaveLine:
      // A desk without a partner on the plan can only leave the line.
      if (Send(LineDisconnect, desk)) ForgetLinePlaces(DeskBit(desk));
      return;
    case LineClick::Part:
      Part(desk);
      return;
  }
}

void ConsoleModel::ConnectToLine(int desk) {
  if (Send(PairBreak, desk)) PutBackOnLine(desk);
}

void ConsoleModel::Join(int desk, const ConsoleDisplay& shown) {
  const int partner = desk ^ 1;
  if (shown.desks[partner].listenDown || shown.desks[partner].speakDown) {
    // The partner stops being routed to the teacher.
    if (!Send(ReleaseDesk, partner, TeacherLineWanted(shown), false)) return;
  }
  // Both desks leave the common line before they are joined: a pair's
  // conversation is never on the line, not even for a frame.
  if (Send(LineDisconnect, desk) && Send(LineDisconnect, partner) && Send(PairJoin, desk)) {
    ForgetLinePlaces(PairBits(desk));
  }
}

void ConsoleModel::Part(int desk) {
  // The teacher's routing is left as it is: a desk spoken to elsewhere is
  // still spoken to, and stays off the line.
  if (Send(PairBreak, desk) && Send(LineDisconnect, desk) && Send(LineDisconnect, desk ^ 1)) {
    ForgetLinePlaces(PairBits(desk));
  }
}

// ---------------------------------------------------------------------------
// Teacher panel

void ConsoleModel::DisconnectAllFromLine() {
  if (Send(AllOffLine, 0)) ForgetLinePlaces(kAllDesks);
}

void ConsoleModel::ToggleInput() {
  OnTeacher([&](const ConsoleDisplay& shown) {
    if (!shown.teacher.inputDown) {
      // The teacher's ear goes to the input; a desk no longer spoken to goes back on the line.
      if (Send(InputOn, 0, TeacherLineWanted(shown), false)) ReconnectSpokenDesks(shown);
      return;
    }
    Send(InputOff, 0, shown.teacher.lineDown, false);
  });
}

void ConsoleModel::ToggleLine() {
  OnTeacher([&](const ConsoleDisplay& shown) {
    const int listened = ListenedDesk(shown);
    const bool found = listened != kNoListenedDesk;
    if (!shown.teacher.lineDown) {
      // The talk ends first: a desk spoken to goes back on the line only
      // once the teacher's route has left it.
      if (Send(LineOn, listened, shown.teacher.inputDown, found)) ReconnectSpokenDesks(shown);
      return;
    }
    if (Send(LineOff, listened, shown.teacher.inputDown, found)) DisconnectAllFromLine();
  });
}

void ConsoleModel::ToggleInputToLine() {
  OnTeacher([&](const ConsoleDisplay& shown) {
    if (!shown.teacher.inputToLineDown) {
      const int listened = ListenedDesk(shown);
      Send(InputToLineOn, listened, shown.teacher.inputDown, listened != kNoListenedDesk);
      return;
    }
    if (Send(InputToLineOff, 0)) DisconnectAllFromLine();
  });
}

}  // namespace console
