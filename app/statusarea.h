// The strip under the plan: the link state, the offer to search for the
// controller and the parts that other tools add (each its own widget, placed
// by the strip), and the students' calls.
#pragma once

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>

#include <optional>
#include <vector>

#include "app/widgets.h"
#include "console/display.h"
#include "link/linkstatus.h"

class ConsoleSession;

class StatusArea : public QFrame {
  Q_OBJECT
 public:
  // Where a part goes: before the link state, right after it (after the
  // parts put there before), or at the end of the strip.
  enum class Place { Leading, AfterLinkState, Trailing };

  StatusArea(QAction* findController, QWidget* parent);
  void AddPart(QWidget* part, Place place, int stretch = 0);
  void DrawLinkState(const LinkStatusSnapshot& status);
  // Until the start-up exchange is over.
  void ShowConnecting(const QString& port);

  QLabel* linkLabel = nullptr;       // "LinkState"
  QToolButton* searchOffer = nullptr;  // "SearchController": while the controller is not found

 private:
  QHBoxLayout* layout_ = nullptr;
  int leading_ = 0;
  int afterLink_ = 0;
};

// The calling desks, first caller first; a click listens to the desk.
class CallsView : public CallStrip {
  Q_OBJECT
 public:
  CallsView(ConsoleSession& session, QWidget* parent);
  void Draw(const console::ConsoleDisplay& shown);

  QWidget* list = nullptr;  // "CallList": one button per calling desk

 private:
  ConsoleSession& session_;
  std::optional<std::vector<console::Call>> drawn_;
  size_t callsHeard_ = 0;
};
