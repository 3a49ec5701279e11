// The console's keys: which key does which command, and the text a tooltip
// shows for it. Function keys, arrows, Space and Ctrl with a digit only, so
// they act the same in the Russian and the Latin layouts and never clash with
// typing a name.
#pragma once

#include <QKeyEvent>
#include <QString>
#include <optional>

// The keys of each command are in the table of lessonkeys.cpp and in README.md.
enum class KeyCommand {
  SelectLeft,
  SelectRight,
  SelectUp,
  SelectDown,
  Listen,  // listen to the selected desk, or stop listening
  EditName,
  CancelName,  // only while a name is being edited
  Speak,
  LineButton,
  LedButton,
  AnswerCall,  // listen to the desk that called first
  InputToLine,
  Input,
  TeacherLine,
  ResetAll,
  AllToLine,
  AllInPairs,
  AllLedsOff,
  Round,  // start, pause, resume
  StopRound,
  Timer,  // set the timer, or stop it while it runs
  SaveAs,
  DeskMenu,
};

// The command of a key press outside name editing; none for other keys.
std::optional<KeyCommand> CommandForKey(int key, Qt::KeyboardModifiers modifiers);

// "F5", "Ctrl+1", "Пробел": for tooltips and accessible descriptions.
QString KeyText(KeyCommand command);
