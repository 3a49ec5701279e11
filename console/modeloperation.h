// What every operation of the console model shares: one operation at a
// time, and what it puts right on its way out. Included by the model's own
// source files only.
#pragma once

#include "console/consolemodel.h"
#include "console/deskbits.h"

namespace console {

// One teacher operation: refuses to start inside another (a dialog of the
// first may dispatch a click), and on its way out puts back on the line a
// desk whose speaking the operation ended without doing so itself, and
// writes the copy to a controller that came back meanwhile.
class ConsoleModel::Operation {
 public:
  explicit Operation(ConsoleModel& model)
      : model_(model), refused_(model.busy_), before_(model.room_.SwitchState) {
    model_.busy_ = true;
    if (refused_) return;
    model_.guard_.BeginOperation();
    if (!model_.quietOperation_) {
      model_.roundHeard_ = 0;
      model_.NotifyOperationStarting();
    }
  }
  ~Operation() {
    if (refused_) return;
    model_.ReturnDesksNoLongerSpokenTo();
    if (!DecodeRoute(model_.room_.SwitchState.Route).speaking) model_.lineBeforeTalk_ = false;
    model_.DropEndedCalls();
    model_.busy_ = false;
    if (model_.restorePending_) model_.RestoreController();
    model_.NotifyRegistersChanged(before_);
  }
  Operation(const Operation&) = delete;
  Operation& operator=(const Operation&) = delete;
  bool refused() const { return refused_; }

 private:
  ConsoleModel& model_;
  bool refused_;
  SwitchRegisters before_;
};

template <typename Body>
inline void ConsoleModel::OnDesk(int desk, Body body) {
  Operation op(*this);
  if (op.refused() || !ValidDesk(desk)) return;
  EndNameEditing();
  SelectDesk(desk);
  body(Display());
}

template <typename Body>
inline void ConsoleModel::OnTeacher(Body body) {
  Operation op(*this);
  if (op.refused()) return;
  EndNameEditing();
  body(Display());
}

}  // namespace console
