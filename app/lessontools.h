// The lesson tools without their controls: the monitoring round, the timer,
// the arrangements and the class lists, and the tick that moves the Qt-free
// tools' clock. Everything they decide lives in console/; the window's tools
// part draws their state and asks the teacher.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/prompter.h"
#include "config/arrangementfile.h"
#include "console/consolemodel.h"
#include "console/consoleobserver.h"
#include "console/lessontimer.h"
#include "console/monitoringround.h"
#include "console/statusmessages.h"

class QWidget;

class LessonTools : public QObject, private console::ConsoleObserver {
  Q_OBJECT
 public:
  static constexpr int kTickMs = 250;
  using Operation = std::function<void(console::ConsoleModel&)>;
  // How the tools reach the rest of the console.
  struct Wiring {
    std::function<void(const Operation&)> apply;  // runs an operation and draws it
    std::function<bool()> callSoundOn;
  };

  LessonTools(console::ConsoleModel& model, Prompter& prompter, std::string settingsPath,
              Wiring wiring);
  ~LessonTools() override;

  void SetDialogParent(QWidget* parent) { dialogParent_ = parent; }
  console::MonitoringRound& round() { return *round_; }
  console::LessonTimer& timer() { return *timer_; }

  // Moves the round and the timer on; the tick timer calls it.
  void Tick();
  void StartPauseResumeRound();
  void StopRound();
  void StartTimer(int minutes, console::TimerEndAction action);
  void StopTimer();
  int lastTimerMinutes() const { return lastTimerMinutes_; }
  console::TimerEndAction lastTimerAction() const { return lastTimerAction_; }
  // "" when saved; else the reason, also shown as a message.
  QString SaveArrangement(const QString& name);
  std::vector<classroom::Arrangement> Arrangements() const;
  void ApplyArrangement(const classroom::Arrangement& arrangement);
  // Reads a list file and, after the preview (skipped when `preview` is
  // false), puts its names into the plan. False when nothing went in.
  bool ImportClassList(const QString& path, bool preview = true);
  bool ExportClassList(const QString& path);

  // The texts the tools' part shows: the round's state or the last tool's
  // result, and the timer.
  QString roundText() const;
  QString timerText() const;
  bool timerWarning() const;
  // The link's state as the strip shows it: kept with the lesson's messages.
  void NoteLinkState(const QString& text);
  // The lesson's last messages, oldest first, each with its time of day.
  QStringList LessonMessages() const;

 signals:
  // The round, the timer or the last result changed.
  void statusChanged();

 private:
  void OperationStarting() override { operated_ = true; }
  void Say(const QString& text);
  void Warn(const QString& text);
  int ReadRoundSeconds() const;

  console::ConsoleModel& model_;
  Prompter& prompter_;
  std::string settingsPath_;
  Wiring wiring_;
  QPointer<QWidget> dialogParent_;
  QElapsedTimer clock_;
  QTimer ticker_;
  std::unique_ptr<console::MonitoringRound> round_;
  std::unique_ptr<console::LessonTimer> timer_;
  bool operated_ = false;
  bool ticking_ = false;
  // The last tool's result (shown while the round has nothing to say, for a
  // while) and the lesson's messages.
  console::StatusMessages messages_;
  int lastTimerMinutes_ = 10;
  console::TimerEndAction lastTimerAction_ = console::TimerEndAction::Nothing;
};
