// The lesson tools in the window: the monitoring round, the timer, the
// arrangements and the class lists, their buttons and status in the strip,
// and the keys that run the console without a mouse. It owns the timer that
// ticks the Qt-free tools' clock; everything they decide lives in console/.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/lessonkeys.h"
#include "config/arrangementfile.h"
#include "console/consoleobserver.h"
#include "console/deskorder.h"
#include "console/lessontimer.h"
#include "console/monitoringround.h"

class ConsoleWindow;
class Prompter;
class QHelpEvent;
class QAction;
class QLabel;
class QMenu;
class QToolButton;

class LessonTools : public QObject, private console::ConsoleObserver {
  Q_OBJECT
 public:
  static constexpr int kTickMs = 250;

  LessonTools(ConsoleWindow& window, Prompter& prompter, std::string settingsPath);
  ~LessonTools() override;

  console::MonitoringRound& round() { return *round_; }
  console::LessonTimer& timer() { return *timer_; }

  // Moves the round and the timer on; the tick timer calls it.
  void Tick();
  void Run(KeyCommand command);

  void StartPauseResumeRound();
  void StopRound();
  void StartTimer(int minutes, console::TimerEndAction action);
  void StopTimer();
  // The timer button and F11: the dialog, or a stop while the timer runs.
  void TimerCommand();
  // "" when saved; else the reason, also shown as a message.
  QString SaveArrangement(const QString& name);
  std::vector<classroom::Arrangement> Arrangements() const;
  void ApplyArrangement(const classroom::Arrangement& arrangement);
  // Reads a list file and, after the preview (skipped when `preview` is
  // false), puts its names into the plan. False when nothing went in.
  bool ImportClassList(const QString& path, bool preview = true);
  bool ExportClassList(const QString& path);
  // The export's suggested name: the class's own ("5А.csv").
  QString ClassListFileName() const;

  // Whether the selected desk shows the keyboard's focus mark.
  bool FocusMarkShown() const { return focusMark_; }
  // The strip's texts as shown.
  QString roundText() const;
  QString timerText() const;

  // The round's entries at the foot of the desk menu.
  QAction* roundAction = nullptr;
  QAction* stopRoundAction = nullptr;
  QToolButton* roundButton = nullptr;
  QToolButton* timerButton = nullptr;
  QToolButton* arrangementsButton = nullptr;
  QToolButton* classListButton = nullptr;
  QLabel* roundLabel = nullptr;
  QLabel* timerLabel = nullptr;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void OperationStarting() override { operated_ = true; }
  void BuildButtons();
  void BuildMenus();
  void DescribeControls();
  void Describe(QWidget* control, const QString& name, const QString& description,
                std::optional<KeyCommand> key = std::nullopt);
  bool HandleKey(QKeyEvent* event);
  bool ShowToolTip(QWidget* control, QHelpEvent* event);
  void MoveSelection(console::Direction direction);
  int SelectedVisibleDesk();
  void FillArrangementsMenu();
  void AskArrangementName();
  void AskClassListToImport();
  void AskClassListExportFile();
  void Say(const QString& text);
  void Warn(const QString& text);
  void RefreshStatus();
  // The round's menu entries say what they will do now.
  void DescribeRoundActions();
  int ReadRoundSeconds() const;

  ConsoleWindow& window_;
  Prompter& prompter_;
  std::string settingsPath_;
  QElapsedTimer clock_;
  QTimer ticker_;
  std::unique_ptr<console::MonitoringRound> round_;
  std::unique_ptr<console::LessonTimer> timer_;
  QMenu* arrangementsMenu_ = nullptr;
  QMenu* classListMenu_ = nullptr;
  bool focusMark_ = false;
  bool operated_ = false;
  bool ticking_ = false;
  QString message_;  // the last tool's result, shown while the round has nothing to say
  int lastTimerMinutes_ = 10;
  console::TimerEndAction lastTimerAction_ = console::TimerEndAction::Nothing;
  // The key each control's tooltip names.
  std::vector<std::pair<QWidget*, QString>> keyHints_;
};
