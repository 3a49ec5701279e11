// Listening and speaking to a desk, and switching a desk's LED on and off.
#include "app/Unmane.h"
#include "console/walks.h"
#include "link/switchstate.h"

using namespace console;

void TForm1::SpeedButton1Click(GlyphButton* listenButton) {
  EndNameEditing();
  DeskPanel* desk = PanelOf(listenButton);
  if (!desk) return;
  SelectedDesk = desk;
  const int deskIndex = desk->tag();
  const bool lineWasDown = SpeedButton50->isChecked();
  const bool inputToLineWasDown = SpeedButton51->isChecked();

  if (listenButton->isChecked()) {
    if (!SendSwitchRequest(ListenDesk, deskIndex, lineWasDown, false)) {
      listenButton->setChecked(false);
      return;
    }
    // The wait for the answer may have let the pointer select another desk.
    SelectedDesk = desk;
    HighlightSelectedDesk();
    ReleaseOtherDesks(desk);
    MirrorToPartner(desk);
    if (lineWasDown) SpeedButton50->setChecked(true);
    if (inputToLineWasDown) SpeedButton51->setChecked(true);
    SpeedButton49->setChecked(false);
    return;
  }

  if (!SendSwitchRequest(ReleaseDesk, deskIndex, lineWasDown, false)) return;
  SelectedDesk = desk;
  if (desk->speak->isChecked()) ReconnectSpokenDesk();
  PutAllToggleButtonsUp(*this, true);
  ClearDeskHighlight();
  if (lineWasDown) SpeedButton50->setChecked(true);
  if (inputToLineWasDown) SpeedButton51->setChecked(true);
}

void TForm1::SpeedButton2Click(GlyphButton* speakButton) {
  EndNameEditing();
  DeskPanel* desk = PanelOf(speakButton);
  if (!desk) return;
  SelectedDesk = desk;
  const int deskIndex = desk->tag();
  const bool inputToLineWasDown = SpeedButton51->isChecked();
  const bool onLine = desk->lineButton->text() == kLineOn;

  if (speakButton->isChecked()) {
    // A desk on the line leaves it while the teacher speaks to it alone.
    if (onLine && !SendSwitchRequest(LineDisconnect, deskIndex, false, false)) {
      speakButton->setChecked(false);
      return;
    }
    if (!SendSwitchRequest(SpeakDesk, deskIndex, false, false)) {
      speakButton->setChecked(false);
      return;
    }
    SelectedDesk = desk;
    ReleaseOtherDesks(desk);
    desk->listen->setChecked(true);
    HighlightSelectedDesk();
    MirrorToPartner(desk);
    if (inputToLineWasDown) SpeedButton51->setChecked(true);
    SpeedButton50->setChecked(false);
    SpeedButton49->setChecked(false);
    return;
  }

  // Stop speaking: fall back to listening when the listen button is still down.
  const bool ok = desk->listen->isChecked()
                      ? SendSwitchRequest(ListenDesk, deskIndex, false, false)
                      : SendSwitchRequest(ReleaseDesk, deskIndex, false, false);
  if (ok) MirrorToPartner(desk);
  if (onLine) SendSwitchRequest(LineConnect, deskIndex, false, false);
}

void TForm1::SpeedButton3Click(GlyphButton* ledButton) {
  EndNameEditing();
  DeskPanel* desk = PanelOf(ledButton);
  if (!desk) return;
  SelectedDesk = desk;
  if (ledButton->tag() != 0) LedOff();
}

void TForm1::ReleaseOtherDesks(DeskPanel* desk) {
  if (!desk) return;
  ForEachDeskPanel(*this, [&](DeskPanel* other) {
    if (other->tag() == desk->tag()) return;
    ReconnectIfSpokenTo(*this, other);
    PutDeskButtonsUp(other);
  });
}

void TForm1::ReconnectSpokenDesk() {
  if (SelectedDesk && SelectedDesk->lineButton->text() == kLineOn) {
    SendSwitchRequest(LineConnect, SelectedDesk->tag(), false, false);
  }
}

namespace {

// Both LED registers change together, LedB first. Whether a register needs
// its toggle is decided when the write goes out, not before the wait for the
// port: the poll may light or put out the LED meanwhile. The picture and the
// mark follow only when every write needed was acknowledged.
void SwitchLed(TForm1& form, bool on) {
  DeskPanel* desk = form.SelectedDesk;
  if (!desk) return;
  if (form.SendLedSwitch(desk->tag(), on)) TForm1::ShowLed(desk->led, on);
}

}  // namespace

void TForm1::LedOn() { SwitchLed(*this, true); }

void TForm1::LedOff() { SwitchLed(*this, false); }

void TForm1::HearTheDeskExecute() {
  if (!SelectedDesk) return;
  SelectedDesk->listen->setChecked(true);
  SpeedButton1Click(SelectedDesk->listen);
}

void TForm1::UnHearDeskExecute() {
  if (!SelectedDesk) return;
  SelectedDesk->listen->setChecked(false);
  SpeedButton1Click(SelectedDesk->listen);
}

void TForm1::SpeakToDeskExecute() {
  if (!SelectedDesk) return;
  SelectedDesk->speak->setChecked(true);
  SpeedButton2Click(SelectedDesk->speak);
}

void TForm1::UnSpeakToDeskExecute() {
  if (!SelectedDesk) return;
  SelectedDesk->speak->setChecked(false);
  SpeedButton2Click(SelectedDesk->speak);
}

void TForm1::LedPowerOn1Click() { LedOn(); }

void TForm1::LedPowerOff1Click() { LedOff(); }
