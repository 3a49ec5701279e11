// The strip under the plan, in two rows: above, the tools' buttons and the
// offer to search for the controller; while students call, their calls in a
// row of their own across the strip; below, the
// link state and the tools' state, every message whole (wrapped when the
// strip is narrow, the strip then taller) with its text in the tooltip.
#pragma once

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>

#include <optional>
#include <vector>

#include "app/callsbar.h"
#include "app/messagelabel.h"
#include "app/widgets.h"
#include "console/display.h"
#include "link/linkstatus.h"

class ControlDescriber;
class ConsoleSession;

class StatusArea : public QFrame {
  Q_OBJECT
 public:
  // Names its controls for screen readers, with their keys.
  void DescribeControls(ControlDescriber& keys);
  // Where a part goes: the upper row's start, the lower row after the link
  // state (after the parts put there before), the upper row's end, or a row
  // of its own across the strip between the two (taking no room while hidden).
  enum class Place { Leading, AfterLinkState, Trailing, OwnRow };

  StatusArea(QAction* findController, QWidget* parent);
  void AddPart(QWidget* part, Place place, int stretch = 0);
  void DrawLinkState(const LinkStatusSnapshot& status);
  // Until the start-up exchange is over.
  void ShowConnecting(const QString& port);
  // The height the strip needs at `width` to show every message whole.
  int HeightFor(int width) const;
  // Whether the strip offers the search now: from the last link state drawn.
  bool OffersControllerSearch() const { return offersSearch_; }

  MessageLabel* linkLabel = nullptr;   // "LinkState"
  QToolButton* searchOffer = nullptr;  // "SearchController": while the controller is not found

 signals:
  // A message now needs another number of lines.
  void heightNeeded();
  // The link state's words, as shown.
  void linkStateShown(const QString& text);
  // The search for the controller is offered, or no longer.
  void controllerSearchOffered(bool offered);

 protected:
  bool event(QEvent* event) override;

 private:
  void ShowLinkText(const QString& colour, const QString& text);

  QHBoxLayout* tools_ = nullptr;     // the upper row: the tools and the calls
  QHBoxLayout* messages_ = nullptr;  // the lower row: the link state and the tools' state
  int leading_ = 0;
  bool offersSearch_ = false;
  int afterLink_ = 0;
  int ownRows_ = 0;
  int lastHeight_ = 0;
};

// The calling desks, first caller first, with their count; a click listens
// to the desk, and a new call beeps when the teacher asked for it.
class CallsView : public CallsBar {
  Q_OBJECT
 public:
  CallsView(ConsoleSession& session, QWidget* parent);
  void Draw(const console::ConsoleDisplay& shown);

 private:
  ConsoleSession& session_;
  size_t callsHeard_ = 0;
};
