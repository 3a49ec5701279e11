// The lesson tools' parts of the window: the buttons of the round, the timer,
// the arrangements and the class lists, and the round's and timer's state.
// They ask the teacher (the timer, a name, a file) and draw LessonTools.
#pragma once

#include <QLabel>
#include <QMenu>
#include <QToolButton>
#include <QWidget>

#include "app/messagelabel.h"

class ControlDescriber;
class ConsoleCommands;
class LessonTools;

class LessonToolsBar : public QObject {
  Q_OBJECT
 public:
  // Names its controls for screen readers, with their keys.
  void DescribeControls(ControlDescriber& keys);
  // The commands' round, timer, arrangement and class-list entries run here.
  LessonToolsBar(LessonTools& tools, const ConsoleCommands& commands, QWidget* window);

  // The two parts for the status strip.
  QWidget* buttons() const { return buttons_; }
  QWidget* state() const { return state_; }

  // The timer button and F11: the dialog, or a stop while the timer runs.
  void TimerCommand();
  // The round's commands say what they will do now.
  void DescribeRound();
  void Draw();

  QToolButton* roundButton = nullptr;
  QToolButton* timerButton = nullptr;
  QToolButton* arrangementsButton = nullptr;
  QToolButton* classListButton = nullptr;
  MessageLabel* roundLabel = nullptr;
  MessageLabel* timerLabel = nullptr;
  QMenu* arrangementsMenu = nullptr;  // "ArrangementsMenu"
  QMenu* classListMenu = nullptr;     // "ClassListMenu"

 private:
  void BuildButtons();
  void BuildMenus();
  void FillArrangementsMenu();
  void AskArrangementName();
  void AskClassListToImport();
  void AskClassListExportFile();

  LessonTools& tools_;
  const ConsoleCommands& commands_;
  QWidget* window_;
  QWidget* buttons_ = nullptr;
  QWidget* state_ = nullptr;
};
