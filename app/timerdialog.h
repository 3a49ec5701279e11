// The small dialog that sets the lesson timer: minutes and what happens at the end.
#pragma once

#include <QDialog>
#include <optional>

#include "console/lessontimer.h"

class QComboBox;
class QSpinBox;

struct TimerChoice {
  int minutes = 10;
  console::TimerEndAction action = console::TimerEndAction::Nothing;
};

class TimerDialog : public QDialog {
  Q_OBJECT
 public:
  TimerDialog(const TimerChoice& initial, QWidget* parent);
  TimerChoice choice() const;

  // Shows the dialog; nothing when it was cancelled.
  static std::optional<TimerChoice> Ask(const TimerChoice& initial, QWidget* parent);

  QSpinBox* minutesBox = nullptr;
  QComboBox* endBox = nullptr;
};
