// The console's keys: the key table's commands taken wherever the focus is in
// the window (outside dialogs and name typing), the selection moved by the
// arrows with its focus mark, and the key added to each control's tooltip.
// The selected desk's commands (listen, speak, line, LED, name, call, menu)
// are connected here, for the keys and the menu bar alike.
#pragma once

#include <QObject>
#include <QString>
#include <optional>
#include <utility>
#include <vector>

#include "app/controldescriber.h"
#include "app/lessonkeys.h"
#include "console/deskorder.h"

class ConsoleCommands;
class ConsoleSession;
class DeskPlan;
class QHelpEvent;
class QKeyEvent;
class QMenu;
class QWidget;

class ConsoleKeys : public QObject {
  Q_OBJECT
 public:
  ConsoleKeys(ConsoleSession& session, DeskPlan& plan, const ConsoleCommands& commands,
              QMenu& deskMenu, QWidget& window);
  ~ConsoleKeys() override;

  void Run(KeyCommand command);
  // The parts describe their controls through it; a described key is added
  // to the tooltip that shows.
  ControlDescriber& describer() { return describer_; }
  // The entries of `list` come and go: the list's key answers for them.
  void SetKeyedList(QWidget* list) { keyedList_ = list; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ConnectDeskCommands();
  bool HandleKey(QKeyEvent* event);
  bool ShowToolTip(QWidget* control, QHelpEvent* event);
  void MoveSelection(console::Direction direction);
  int SelectedVisibleDesk();
  void ShowFocusMark(bool shown);

  ConsoleSession& session_;
  DeskPlan& plan_;
  const ConsoleCommands& commands_;
  QMenu& deskMenu_;
  QWidget& window_;
  QWidget* keyedList_ = nullptr;
  bool focusMark_ = false;
  ControlDescriber describer_;
};
