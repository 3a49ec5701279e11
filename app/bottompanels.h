// The two panels under the plan: the teacher's ("Panel1": input, line,
// input to line) and the all-desks toolbar ("Panel2"). Their buttons run the
// console's shared commands; they draw only the teacher's three buttons.
#pragma once

#include <QFrame>
#include <QLabel>
#include <QToolButton>

#include "app/widgets.h"
#include "console/display.h"

class ControlDescriber;
class ConsoleCommands;

class TeacherPanel : public QFrame {
  Q_OBJECT
 public:
  // Names its controls for screen readers, with their keys.
  void DescribeControls(ControlDescriber& keys);
  TeacherPanel(const ConsoleCommands& commands, QWidget* parent);
  void Draw(const console::TeacherDisplay& shown);

  QLabel* label = nullptr;                   // "Label1"
  GlyphButton* inputToLineButton = nullptr;  // "SpeedButton51" "Вход->Линия"
  GlyphButton* inputButton = nullptr;        // "SpeedButton49" "Вход"
  GlyphButton* lineButton = nullptr;         // "SpeedButton50" "Линия"
};

class AllDesksBar : public QFrame {
  Q_OBJECT
 public:
  // Names its controls for screen readers, with their keys.
  void DescribeControls(ControlDescriber& keys);
  AllDesksBar(const ConsoleCommands& commands, const QList<QIcon>& images, QWidget* parent);

  QLabel* label = nullptr;                     // "Label2"
  QWidget* toolbar = nullptr;                  // "ToolBar1"
  QToolButton* resetButton = nullptr;          // "ToolButton2" "Сброс"
  QToolButton* allToLineButton = nullptr;      // "ToolButton4"
  QToolButton* allInPairsButton = nullptr;     // "ToolButton6"
  QToolButton* allLedsOffButton = nullptr;     // "ToolButton8"
  QWidget* gap = nullptr;                      // "ToolButton9"
  QToolButton* saveAsButton = nullptr;         // "ToolButton17"
  QToolButton* openButton = nullptr;           // "ToolButton14"
  QToolButton* standardClassroomButton = nullptr;  // "ToolButton12"
  QToolButton* saveButton = nullptr;           // "ToolButton10" "Сохранить в файл"
  QWidget* endGap = nullptr;                   // "ToolButton15"
  QToolButton* exitButton = nullptr;           // "ToolButton16" (hidden)
  QToolButton* settingsButton = nullptr;       // "SettingsButton" "Настройки…"
};
