// A desk panel dragged with the left mouse button: where it started (in the
// plan's described coordinates) and where the pointer's displacement puts it
// now, the displacement taken back to the plan's scale.
#pragma once

#include <QPoint>

namespace view {

class DeskDrag {
 public:
  void Start(int desk, QPoint pointerGlobal, QPoint panelPosition) {
    desk_ = desk;
    startPointer_ = pointerGlobal;
    startPosition_ = panelPosition;
  }
  void Cancel() { desk_ = -1; }
  bool Dragging(int desk) const { return desk_ >= 0 && desk_ == desk; }
  int desk() const { return desk_; }
  QPoint startPosition() const { return startPosition_; }
  // The panel follows the pointer by its displacement since the press;
  // `toPlan` turns a displacement on the screen into one of the plan.
  template <typename ToPlan>
  QPoint PositionFor(QPoint pointerGlobal, ToPlan toPlan) const {
    return startPosition_ + toPlan(pointerGlobal - startPointer_);
  }
  QPoint PositionFor(QPoint pointerGlobal) const {
    return PositionFor(pointerGlobal, [](QPoint delta) { return delta; });
  }

 private:
  int desk_ = -1;
  QPoint startPointer_;
  QPoint startPosition_;
};

}  // namespace view
