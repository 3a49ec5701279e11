// The console's control kinds: glyph buttons and desk panels.
#include "app/widgets.h"

#include <QMouseEvent>
#include <QPalette>

GlyphButton::GlyphButton(int groupIndex, bool checkable, QWidget* parent)
    : QToolButton(parent), groupIndex_(groupIndex) {
  setCheckable(checkable);
  // The glyph buttons never take the keyboard focus away from a name box.
  setFocusPolicy(Qt::NoFocus);
  setIconSize(QSize(16, 16));
}

DeskPanel::DeskPanel(int deskIndex, QWidget* parent) : QGroupBox(parent), tag_(deskIndex) {
  setAutoFillBackground(true);
  // Moves without a pressed button select the desk too.
  setMouseTracking(true);
}

QColor DeskPanel::colour() const { return palette().color(QPalette::Window); }

void DeskPanel::setColour(const QColor& colour) {
  QPalette p = palette();
  p.setColor(QPalette::Window, colour);
  setPalette(p);
}

void DeskPanel::mousePressEvent(QMouseEvent* event) {
  emit mousePressed(this, event);
  event->accept();
}

void DeskPanel::mouseMoveEvent(QMouseEvent* event) {
  emit mouseMoved(this, event);
  event->accept();
}

void DeskPanel::mouseReleaseEvent(QMouseEvent* event) {
  emit mouseReleased(this, event);
  event->accept();
}
