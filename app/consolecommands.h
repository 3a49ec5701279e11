// Every command of the console as one QAction, made once here with its text,
// key and tooltip. The menu bar, the desk menu, the toolbar's and panels'
// buttons and the key table all use these same actions; what a command does
// is connected by the window that composes the parts.
#pragma once

#include <QAction>
#include <QList>
#include <QObject>
#include <array>

#include "app/lessonkeys.h"

enum class Command {
  // The file of the classroom.
  Open, Save, SaveAs, StandardClassroom, Exit,
  // The selected desk.
  ToggleListen, ToggleSpeak, LineButton, LedButton, EditName, AnswerCall, DeskMenu,
  ListenDesk, StopListeningDesk, SpeakDesk, StopSpeakingDesk, JoinPair, PartPair,
  PutOnLine, TakeOffLine, LedOn, LedOff,
  // All desks and the teacher.
  ResetAll, AllToLine, AllInPairs, AllLedsOff, InputToLine, Input, TeacherLine,
  // The lesson.
  Round, StopRound, Timer, SaveArrangement, ClassListImport, ClassListExport, CallLog,
  ShowHeard, NewLesson, Report, PlanPdf, LessonMessages,
  // Settings and help.
  Settings, FindController, KeyTable,
  Count
};

class ConsoleCommands : public QObject {
  Q_OBJECT
 public:
  // `images`: the window's image list, drawn once.
  ConsoleCommands(const QList<QIcon>& images, QObject* parent);

  QAction* operator[](Command command) const { return actions_[static_cast<size_t>(command)]; }
  // The key a command is run with ("F5", "Ctrl+O"), or "" when it has none.
  QString KeyOf(Command command) const;
  // The console's key command that runs `command`, if it has one.
  static std::optional<KeyCommand> KeyCommandOf(Command command);
  // Every command, in the order of the table.
  QList<QAction*> All() const;
  // The commands that switch the controller: they wait while it is met.
  QList<QAction*> Switching() const;

 private:
  std::array<QAction*, static_cast<size_t>(Command::Count)> actions_{};
};
