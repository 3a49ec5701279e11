// Selecting a desk panel with the mouse and dragging it to a new place.
#include <QMouseEvent>

#include "app/Unmane.h"

namespace {

QPoint GlobalPosition(const QMouseEvent* event) { return event->globalPosition().toPoint(); }

}  // namespace

void TForm1::GroupBox1MouseDown(DeskPanel* panel, QMouseEvent* event) {
  if (panel == nullptr) return;
  SelectedDesk = panel;
  for (QWidget* control : Controls()) {
    if (auto* desk = qobject_cast<DeskPanel*>(control)) desk->setFlat(false);
  }
  panel->setFlat(true);
  EndNameEditing();

  // Only the left button moves a panel; any button selects it.
  dragPanel_ = nullptr;
  if (event != nullptr && event->button() == Qt::LeftButton) {
    dragPanel_ = panel;
    dragStartGlobal_ = GlobalPosition(event);
    dragStartPos_ = panel->pos();
    dragStartTop_ = panel->y();
  }
}

void TForm1::GroupBox1MouseMove(DeskPanel* panel, QMouseEvent* event) {
  if (panel == nullptr) return;
  SelectedDesk = panel;
  if (room().MoveDesks == 0) return;
  if (event == nullptr || dragPanel_ != panel || !(event->buttons() & Qt::LeftButton)) return;

  // No snapping and no clamping: the panel follows the pointer anywhere.
  panel->move(dragStartPos_ + (GlobalPosition(event) - dragStartGlobal_));
  RedrawLinks();
}

void TForm1::GroupBox1MouseUp(DeskPanel* panel, QMouseEvent* event) {
  // A release of another button leaves a left-button drag going.
  if (event != nullptr && event->button() != Qt::LeftButton) return;
  DeskPanel* dragged = dragPanel_;
  dragPanel_ = nullptr;
  if (dragged == nullptr || dragged != panel || room().MoveDesks == 0) return;
  RedrawLinks();
  // Only a change of the top edge counts as a change of the plan.
  if (dragged->y() != dragStartTop_) room().ClassroomChanged = 1;
}
