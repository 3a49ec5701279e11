// The console's control kinds: glyph buttons and desk panels.
#include "app/widgets.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPalette>

GlyphButton::GlyphButton(int groupIndex, bool checkable, QWidget* parent)
    : QToolButton(parent), groupIndex_(groupIndex) {
  setCheckable(checkable);
  // The glyph buttons never take the keyboard focus away from a name box.
  setFocusPolicy(Qt::NoFocus);
  setIconSize(QSize(16, 16));
}

void GlyphButton::paintEvent(QPaintEvent* event) {
  QToolButton::paintEvent(event);
  if (!isChecked()) return;
  // The style's own look of a down toggle is too faint to read at a glance
  // in front of a class: mark it with a green frame and tint.
  QPainter painter(this);
  painter.setPen(QPen(QColor(0, 110, 0), 2));
  painter.setBrush(QColor(0, 160, 0, 60));
  painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 3, 3);
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
