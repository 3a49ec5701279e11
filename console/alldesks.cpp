// The all-desks toolbar: reset, all desks to the line, all desks in pairs, all LEDs off.
#include <QMessageBox>

#include "app/Unmane.h"
#include "console/walks.h"
#include "link/switchstate.h"

using namespace console;

namespace {

// The teacher's three buttons, noted before an all-desks command and put back after it.
struct TeacherButtons {
  bool input;
  bool line;
  bool inputToLine;
};

TeacherButtons NoteTeacherButtons(const TForm1& form) {
  return {form.SpeedButton49->isChecked(), form.SpeedButton50->isChecked(),
          form.SpeedButton51->isChecked()};
}

void ShowAllLedsOff(const TForm1& form) {
  ForEachGlyphButton(form, [](GlyphButton* button) {
    if (button->groupIndex() == kLedGroup) TForm1::ShowLed(button, false);
  });
}

void PutAllGlyphButtonsUp(const TForm1& form) {
  ForEachGlyphButton(form, [](GlyphButton* button) { button->setChecked(false); });
}

}  // namespace

void TForm1::ToolButton2Click() {
  EndNameEditing();
  if (!SendSwitchRequest(ResetAll, 0, false, false)) return;
  ShowAllLedsOff(*this);
  PutAllGlyphButtonsUp(*this);
  SetAllLineCaptions(*this, kLineOff);
  ClearDeskHighlight();
  RedrawLinks();
}

void TForm1::ToolButton4Click() {
  if (!SpeedButton50->isChecked() && !SpeedButton51->isChecked()) {
    prompter().ShowMessage(QStringLiteral("Внимание!!!"),
                           QStringLiteral("Подключите сигнал на линию!"), QMessageBox::Warning);
    return;
  }
  const TeacherButtons before = NoteTeacherButtons(*this);
  EndNameEditing();
  if (!SendSwitchRequest(AllToLine, 0, false, false)) return;
  // The LED registers are untouched by this command, so the LED buttons keep
  // their pictures and marks in agreement with them.
  PutAllGlyphButtonsUp(*this);
  SetAllLineCaptions(*this, kLineOn);
  ClearDeskHighlight();
  RedrawLinks();
  if (before.input) SpeedButton49->setChecked(true);
  if (before.line) SpeedButton50->setChecked(true);
  if (before.inputToLine) SpeedButton51->setChecked(true);
}

void TForm1::ToolButton6Click() {
  const TeacherButtons before = NoteTeacherButtons(*this);
  EndNameEditing();
  if (!SendSwitchRequest(AllInPairs, 0, false, false)) return;
  PutAllGlyphButtonsUp(*this);
  // The controller now has no desk on the line and joins only the pairs with
  // both panels shown; the captions and marks of the others must say so.
  SetAllLineCaptions(*this, kLineOff, kLineOn);
  const uint8_t joinedPairs = room().SwitchState.Pairs;
  for (int pair = 0; pair < kPairCount; ++pair) {
    if (joinedPairs & (1u << pair)) continue;
    room().PairJoined[pair] = 0;
    for (DeskPanel* desk : {GroupBox[2 * pair], GroupBox[2 * pair + 1]}) {
      if (desk && desk->lineButton && desk->lineButton->text() == kLinePair)
        desk->lineButton->setText(kLineOff);
    }
  }
  // The odd desk of each pair; DrawPairLink passes over a pair with a hidden panel.
  for (int deskIndex = 0; deskIndex < kDeskCount; deskIndex += 2) DrawPairLink(GroupBox[deskIndex]);
  ClearDeskHighlight();
  RedrawLinks();
  if (before.input) SpeedButton49->setChecked(true);
  if (before.inputToLine) SpeedButton51->setChecked(true);
  if (before.line) SpeedButton50->setChecked(true);
}

void TForm1::ToolButton8Click() {
  EndNameEditing();
  if (!SendSwitchRequest(AllLedsOff, 0, false, false)) return;
  ShowAllLedsOff(*this);
}
