// Desk highlighting, partner mirroring and the student name boxes (display and editing).
#include <QVariant>

#include "app/Unmane.h"
#include "app/colours.h"
#include "console/names.h"
#include "console/walks.h"

using namespace console;

namespace {

constexpr int kEnterCharacter = 13;

bool IsEnter(int key) {
  return key == kEnterCharacter || key == Qt::Key_Return || key == Qt::Key_Enter;
}

void BeginEditing(QLineEdit* box) {
  box->setProperty(kTextBeforeEditing, box->text());
  box->setReadOnly(false);
  box->setFrame(true);
  SetNameBoxColour(box, colours::kWindow);
}

void ForgetEditingStart(QLineEdit* box) { box->setProperty(kTextBeforeEditing, QVariant()); }

// Only a box being edited loses its change; a read-only box keeps its text
// (QLineEdit::undo would otherwise act even on a read-only box).
void DiscardEditing(QLineEdit* box) {
  if (box->isReadOnly()) return;
  const QVariant before = box->property(kTextBeforeEditing);
  if (before.isValid()) {
    box->setText(before.toString());
  } else {
    box->undo();
  }
  ForgetEditingStart(box);
}

}  // namespace

void TForm1::HighlightSelectedDesk() {
  ClearDeskHighlight();
  if (!SelectedDesk) return;
  SetDeskColour(SelectedDesk, colours::kHighlight);
  if (room().PairJoined[SelectedDesk->tag() / 2] != 0) {
    SetDeskColour(PartnerOf(SelectedDesk), colours::kHighlight);
  }
}

void TForm1::ClearDeskHighlight() {
  ForEachDeskPanel(*this, [](DeskPanel* panel) { SetDeskColour(panel, colours::kInfoBackground); });
}

void TForm1::EndNameEditing() {
  ForEachInnerControl(*this, [](QWidget* w) {
    auto* box = qobject_cast<QLineEdit*>(w);
    if (!box) return;
    DiscardEditing(box);
    box->setReadOnly(true);
    box->setFrame(false);
    if (DeskPanel* panel = PanelOf(box)) SetNameBoxColour(box, panel->colour());
  });
}

void TForm1::FormClick() { EndNameEditing(); }

void TForm1::Edit1DblClick(QLineEdit* box) {
  if (!box) return;
  EndNameEditing();
  EditedName = box;
  box->setFrame(true);
  EditedNameDesk = PanelOf(box);
  // EndNameEditing has made every box read-only, so this box always opens.
  BeginEditing(box);
}

void TForm1::Edit1KeyPress(QLineEdit* box, int key) {
  if (!box || !IsEnter(key)) return;
  EditedName = box;
  box->setFrame(true);
  EditedNameDesk = PanelOf(box);
  if (box->isReadOnly()) {
    BeginEditing(box);
    return;
  }
  // Confirm: the typed text stays and the plan now differs from its file.
  ForgetEditingStart(box);
  box->setReadOnly(true);
  box->setFrame(false);
  if (EditedNameDesk) SetNameBoxColour(box, EditedNameDesk->colour());
  room().ClassroomChanged = 1;
}

void TForm1::MirrorToPartner(DeskPanel* desk) {
  if (!desk) return;
  DeskPanel* partner = PartnerOf(desk);
  if (!partner) return;
  const bool joined = room().PairJoined[desk->tag() / 2] != 0;
  if (!joined) return;
  bool listening = false;
  bool speaking = false;
  for (QWidget* w : InnerControls(desk)) {
    if (auto* button = qobject_cast<GlyphButton*>(w)) {
      if (button->groupIndex() == kListenGroup && button->isChecked()) listening = true;
      if (button->groupIndex() == kSpeakGroup && button->isChecked()) speaking = true;
    }
  }
  for (QWidget* w : InnerControls(partner)) {
    if (auto* button = qobject_cast<GlyphButton*>(w)) {
      if (button->groupIndex() == kListenGroup) button->setChecked(listening);
      if (button->groupIndex() == kSpeakGroup) button->setChecked(speaking);
    }
  }
}

void TForm1::CopyColourToPartner(DeskPanel* desk) {
  if (!desk) return;
  SetDeskColour(PartnerOf(desk), desk->colour());
}
