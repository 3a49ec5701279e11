// The guided first lesson's window: the step, what to do, and the way out.
// It only shows what PracticeGuide says; it takes no focus from the console,
// so every step can be done with the keys.
#pragma once

#include <QLabel>
#include <QPushButton>
#include <QWidget>

#include "console/practiceguide.h"

class PracticeGuidePanel : public QWidget {
  Q_OBJECT

 public:
  explicit PracticeGuidePanel(QWidget* window);

  void ShowStep(console::GuideStep step);

  QLabel* titleLabel = nullptr;        // "GuideTitle"
  QLabel* instructionLabel = nullptr;  // "GuideInstruction"
  QPushButton* restartButton = nullptr;  // "GuideRestart" "Начать сначала"
  QPushButton* closeButton = nullptr;    // "GuideClose" "Закрыть"

 signals:
  void restartRequested();
};
