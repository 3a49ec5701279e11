// The lesson's record in the window: the "Урок" menu in the status strip
// (call log, who has been heard, a new lesson, the report and the plan as
// PDF) over the journal the console keeps. How long each desk was heard it
// hands on by signals; the desk plan draws the gauges.
#pragma once

#include <QLabel>
#include <QObject>
#include <QPointer>
#include <QToolButton>
#include <array>
#include <memory>
#include <string>

#include "app/calllogdialog.h"
#include "config/desks.h"
#include "console/lessonjournal.h"
#include "console/lessonreport.h"

class ConsoleCommands;
class Prompter;
class QAction;
class QFrame;
class QMenu;
class QTimer;

class LessonRecordPanel : public QObject {
  Q_OBJECT
 public:
  LessonRecordPanel(QWidget* window, console::LessonJournal& journal, console::ConsoleModel& model,
                    Prompter& prompter, const std::string& settingsPath,
                    const ConsoleCommands& commands, bool practice = false);
  ~LessonRecordPanel() override;

  console::LessonJournal& journal() { return *journal_; }
  // After every redraw: the gauges and an open call log follow the record.
  void Refresh();
  // The window closes: offers the report when the lesson had events. False
  // when the teacher chose "Отмена" (or Escape): the console stays open.
  bool OfferReport();
  // The menu button and the journal's problem, for the status strip.
  QWidget* part() const { return part_; }
  // The report and the plan as PDF in the lessons folder; the path, or ""
  // when it failed (the reason shown).
  QString SaveReport();
  QString SavePlan();
  void StartNewLesson();
  void ShowCallLog();
  void SetHeardShown(bool shown);
  bool heardShown() const { return heardShown_; }

  QToolButton* menuButton = nullptr;  // "LessonMenu" in the status strip
  QLabel* problemLabel = nullptr;     // "LessonProblem": the journal cannot be written
  QMenu* menu = nullptr;
  QAction* callLogAction = nullptr;
  QAction* showHeardAction = nullptr;
  QAction* newLessonAction = nullptr;
  QAction* reportAction = nullptr;
  QAction* planAction = nullptr;
  CallLogDialog* callLog() const { return callLog_; }

 signals:
  // The teacher turned the heard gauges on or off.
  void heardShownChanged(bool shown);
  // How long each desk was heard, while the gauges are shown.
  void heardChanged(const std::array<console::HeardGauge, kDeskCount>& heard);

 private:
  void BuildMenu(const ConsoleCommands& commands);
  void ShowProblem(const QString& text);
  // The lessons folder with its separator; "" with the Russian reason when unusable.
  QString LessonsFolder(QString& problem) const;

  QWidget* window_;
  console::ConsoleModel& model_;
  Prompter& prompter_;
  std::string settingsPath_;
  bool practice_ = false;  // the practice class: its report says so
  console::LessonJournal* journal_;
  QWidget* part_ = nullptr;
  QPointer<CallLogDialog> callLog_;
  QTimer* tick_ = nullptr;
  bool heardShown_ = false;
};
