// The teacher panel: listening to the input, speaking into the line, input to the line.
#include "app/Unmane.h"
#include "console/walks.h"
#include "link/switchstate.h"

using namespace console;

void TForm1::SpeedButton49Click() {
  EndNameEditing();
  const bool lineDown = SpeedButton50->isChecked();
  if (SpeedButton49->isChecked()) {
    if (SendSwitchRequest(InputOn, 0, lineDown, false)) {
      // A desk no longer spoken to goes back on the line it was taken off.
      ReconnectSpokenDesks(*this);
      // The teacher's ear now belongs to the input: no desk is listened or spoken to.
      PutGroupUp(*this, kListenGroup);
      PutGroupUp(*this, kSpeakGroup);
      ClearDeskHighlight();
      SpeedButton49->setChecked(true);
    } else {
      SpeedButton49->setChecked(false);
    }
    return;
  }
  // The button stays up whatever the controller answers.
  SendSwitchRequest(InputOff, 0, lineDown, false);
}

void TForm1::SpeedButton50Click() {
  EndNameEditing();
  const bool inputDown = SpeedButton49->isChecked();
  if (SpeedButton50->isChecked()) {
    // A desk being spoken to goes back on the line before the teacher joins it.
    ReconnectSpokenDesks(*this);
    const ListenedDeskResult listened = ListenedDesk(*this);
    if (SendSwitchRequest(LineOn, listened.index, inputDown, listened.found)) {
      PutGroupUp(*this, kSpeakGroup);
      SpeedButton51->setChecked(false);
      SpeedButton50->setChecked(true);
    } else {
      SpeedButton50->setChecked(false);
    }
    return;
  }
  const ListenedDeskResult listened = ListenedDesk(*this);
  if (SendSwitchRequest(LineOff, listened.index, inputDown, listened.found)) {
    DisconnectAllFromLine();
  }
}

void TForm1::SpeedButton51Click() {
  EndNameEditing();
  if (SpeedButton51->isChecked()) {
    const bool inputDown = SpeedButton49->isChecked();
    const ListenedDeskResult listened = ListenedDesk(*this);
    if (SendSwitchRequest(InputToLineOn, listened.index, inputDown, listened.found)) {
      SpeedButton50->setChecked(false);
    } else {
      SpeedButton51->setChecked(false);
    }
    return;
  }
  if (SendSwitchRequest(InputToLineOff, 0, false, false)) DisconnectAllFromLine();
}

void TForm1::DisconnectAllFromLine() {
  if (!SendSwitchRequest(AllOffLine, 0, false, false)) return;
  SetAllLineCaptions(*this, kLineOff, kLineOn);
  RedrawLinks();
}
