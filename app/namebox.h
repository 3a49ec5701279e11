// A desk's name box. While the name is edited it is the plain one-line box
// of the described panel. Otherwise a name that fits is shown as the box
// always showed it, from its start; a longer one takes the free part of the
// panel beside the LED button, word-wrapped at the largest font that shows
// it whole, and only beyond the smallest font is it cut with an ellipsis.
// The whole name is always the box's text (for the tooltip and screen readers).
#pragma once

#include <QLineEdit>

#include "console/namefit.h"
#include "console/planscale.h"

class NameBox : public QLineEdit {
  Q_OBJECT
 public:
  // Described geometry on the panel: the edit box, and the area a long name takes.
  static constexpr console::PlanRect kEditRect{6, 16, 100, 21};
  static constexpr console::PlanRect kLongNameRect{6, 14, 108, 34};
  static constexpr int kFontPixels = 11;
  static constexpr int kSmallestFontPixels = 8;

  explicit NameBox(QWidget* parent);

  // The plan's scale: the box's geometry and fonts follow it.
  void SetPlanScale(const console::PlanScale& plan);
  // How the name is laid out while it is not edited.
  const console::NameLayout& nameLayout() const { return layout_; }
  // True while the box shows its own wrapped lines instead of the edit line.
  bool ShowsLines() const { return showsLines_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void changeEvent(QEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  void Relayout();
  QFont FontOf(int pixels) const;

  console::PlanScale plan_;
  console::NameLayout layout_;
  bool showsLines_ = false;
  bool relayingOut_ = false;
};
