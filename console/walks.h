// Walks over the window's controls and the small decisions the console handlers share.
#pragma once

#include <QColor>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QString>
#include <QWidget>

#include "app/Unmane.h"
#include "app/widgets.h"
#include "link/switchstate.h"

namespace console {

// The three line states, compared and assigned as exact texts.
inline const QString kLineOff = QStringLiteral("Откл.");
inline const QString kLineOn = QStringLiteral("Вкл.");
inline const QString kLinePair = QStringLiteral("Пара");

// Group indices of the glyph buttons.
inline constexpr int kLedGroup = 0;
inline constexpr int kListenGroup = 1;
inline constexpr int kSpeakGroup = 2;

// The desk panel a desk control belongs to; nullptr outside the desks.
inline DeskPanel* PanelOf(QWidget* control) {
  for (QWidget* w = control ? control->parentWidget() : nullptr; w; w = w->parentWidget()) {
    if (auto* panel = qobject_cast<DeskPanel*>(w)) return panel;
  }
  return nullptr;
}

// Calls visit(control) for every control inside every control of the window,
// in control order. Hidden desks are visited like any other.
template <typename Visit>
void ForEachInnerControl(const TForm1& form, Visit visit) {
  for (QWidget* control : form.Controls()) {
    for (QWidget* inner : TForm1::InnerControls(control)) visit(inner);
  }
}

template <typename Visit>
void ForEachGlyphButton(const TForm1& form, Visit visit) {
  ForEachInnerControl(form, [&](QWidget* w) {
    if (auto* button = qobject_cast<GlyphButton*>(w)) visit(button);
  });
}

template <typename Visit>
void ForEachPushButton(const TForm1& form, Visit visit) {
  ForEachInnerControl(form, [&](QWidget* w) {
    if (auto* button = qobject_cast<QPushButton*>(w)) visit(button);
  });
}

template <typename Visit>
void ForEachDeskPanel(const TForm1& form, Visit visit) {
  for (QWidget* control : form.Controls()) {
    if (auto* panel = qobject_cast<DeskPanel*>(control)) visit(panel);
  }
}

// The desk the teacher listens to: the last listen button down met in control
// order (so desk 16 before 15, and 15 before 5). index is 99 when none is down.
struct ListenedDeskResult {
  int index = kNoListenedDesk;
  bool found = false;
};

inline ListenedDeskResult ListenedDesk(const TForm1& form) {
  ListenedDeskResult result;
  ForEachGlyphButton(form, [&](GlyphButton* button) {
    if (button->groupIndex() != kListenGroup || !button->isChecked()) return;
    if (DeskPanel* panel = PanelOf(button)) {
      result.index = panel->tag() & 0xFF;
      result.found = true;
    }
  });
  return result;
}

// Puts up every glyph button of the given group index, all desks included.
inline void PutGroupUp(const TForm1& form, int groupIndex) {
  ForEachGlyphButton(form, [&](GlyphButton* button) {
    if (button->groupIndex() == groupIndex) button->setChecked(false);
  });
}

// Puts up every toggle button inside every control: the desks' listen and
// speak buttons and, when asked, the teacher's three buttons.
inline void PutAllToggleButtonsUp(const TForm1& form, bool teacherButtonsToo) {
  ForEachGlyphButton(form, [&](GlyphButton* button) {
    if (!button->isCheckable()) return;
    if (!teacherButtonsToo && !PanelOf(button)) return;
    button->setChecked(false);
  });
}

// Puts up every toggle button of one desk (its LED button never stays down).
inline void PutDeskButtonsUp(DeskPanel* panel) {
  for (QWidget* w : TForm1::InnerControls(panel)) {
    if (auto* button = qobject_cast<GlyphButton*>(w)) {
      if (button->isCheckable()) button->setChecked(false);
    }
  }
}

// Speaking to a desk on the line took it off the line; whatever ends the
// speaking puts it back (the answer is not waited for: the caption stays).
inline void ReconnectIfSpokenTo(TForm1& form, DeskPanel* panel) {
  if (panel->speak->isChecked() && panel->lineButton->text() == kLineOn) {
    form.SendSwitchRequest(LineConnect, panel->tag(), false, false);
  }
}

// The same for every desk, in control order.
inline void ReconnectSpokenDesks(TForm1& form) {
  ForEachDeskPanel(form, [&](DeskPanel* panel) { ReconnectIfSpokenTo(form, panel); });
}

// Replaces the caption of every line button that reads `from` (every one when
// `from` is empty) with `to`.
inline void SetAllLineCaptions(const TForm1& form, const QString& to,
                               const QString& from = QString()) {
  ForEachPushButton(form, [&](QPushButton* button) {
    if (from.isEmpty() || button->text() == from) button->setText(to);
  });
}

// A name box's background is its palette's base colour.
inline QColor NameBoxColour(const QLineEdit* box) { return box->palette().color(QPalette::Base); }

inline void SetNameBoxColour(QLineEdit* box, const QColor& colour) {
  QPalette palette = box->palette();
  palette.setColor(QPalette::Base, colour);
  box->setPalette(palette);
}

// A desk panel and its name box take the same colour.
inline void SetDeskColour(DeskPanel* panel, const QColor& colour) {
  if (!panel) return;
  panel->setColour(colour);
  if (panel->nameBox) SetNameBoxColour(panel->nameBox, colour);
}

}  // namespace console
