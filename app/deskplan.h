// The desk plan: the sixteen desk panels over the picture of the pair lines
// and line frames, drawn from the console model's display. Presses, drags,
// double clicks and name typing on the desks go to the model as operations.
#pragma once

#include <QFrame>
#include <QImage>
#include <QTimer>
#include <QWidget>
#include <array>
#include <optional>
#include <vector>

#include "app/widgets.h"
#include "console/display.h"
#include "console/lessonreport.h"
#include "console/planscale.h"
#include "view/clickpairs.h"
#include "view/deskdrag.h"

class ControlDescriber;
class ConsoleSession;
class QLineEdit;

class DeskPlan : public QWidget {
  Q_OBJECT
 public:
  // Names its controls for screen readers, with their keys.
  void DescribeControls(ControlDescriber& keys);
  DeskPlan(ConsoleSession& session, QWidget* parent);

  // By desk index ("GroupBox1".."GroupBox16").
  DeskPanel* desk(int index) const { return desks_[static_cast<size_t>(index)]; }
  const std::array<DeskPanel*, kDeskCount>& desks() const { return desks_; }
  // The desk panels in control order: desks 1..4, 16, 15, 5..14.
  const std::vector<QWidget*>& ControlOrder() const { return order_; }
  // Shown over an empty plan without a classroom file.
  QFrame* firstStartHint() const { return firstStartHint_; }
  // The link picture behind the desk panels.
  const QImage& Surface() const { return surface_; }

  void Draw(const console::ConsoleDisplay& shown);
  // The heard gauges on the desks, from the lesson's record.
  void ShowHeard(bool shown);
  void DrawHeard(const std::array<console::HeardGauge, kDeskCount>& heard);
  // The name box of a desk takes the keyboard, its text selected.
  void FocusName(int desk);
  // The middle of a desk's panel on the screen, where its menu opens.
  QPoint DeskCentre(int desk) const;
  // Whether the selected desk shows the keyboard's focus mark.
  void SetFocusMarkShown(bool shown);
  // The plan drawn at `plan`'s scale over the whole client area it covers.
  void PlaceIn(const console::PlanScale& plan);
  const console::PlanScale& planScale() const { return plan_; }

 signals:
  // A right press on a desk, after it has selected the desk.
  void deskMenuRequested(const QPoint& globalPosition);
  void openRequested();
  void standardClassroomRequested();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildDeskPanel(int deskNumber, const QIcon& headphones, const QIcon& microphone);
  void BuildFirstStartHint();
  void PlaceFirstStartHint();
  void ConnectDesk(DeskPanel* panel);
  void DrawDesk(DeskPanel* panel, const console::DeskDisplay& shown);
  void PlaceDesk(DeskPanel* panel, const console::DeskDisplay& shown);
  void DrawMarks();
  void StartBlinkingForNewCalls(const console::ConsoleDisplay& shown);
  void RefuseNameCharacter(QLineEdit* box, const QString& character);
  bool FilterNameBoxEvent(int desk, QLineEdit* box, QEvent* event);
  void PressOnDesk(DeskPanel* panel, QMouseEvent* event);
  void MoveOverDesk(DeskPanel* panel, QMouseEvent* event);
  void ReleaseOnDesk(DeskPanel* panel, QMouseEvent* event);
  int DeskOf(QObject* control) const;
  static void ShowLed(GlyphButton* led, bool on);
  static void SetNameBoxColour(QLineEdit* box, const QColor& colour);

  ConsoleSession& session_;
  std::array<DeskPanel*, kDeskCount> desks_{};
  std::vector<QWidget*> order_;
  QFrame* firstStartHint_ = nullptr;
  QImage surface_;
  QTimer blinkTimer_;
  bool blinkBright_ = true;
  bool focusMark_ = false;
  int planHeight_ = 0;
  console::PlanScale plan_;
  std::optional<console::ConsoleDisplay> drawn_;
  view::DeskDrag drag_;
  view::ClickPairs nameClicks_;  // double clicks on name boxes
};
