// The console's keys: which key does which command, and the text a tooltip
// shows for it. Function keys, arrows, Space and Ctrl with a digit only, so
// they act the same in the Russian and the Latin layouts and never clash with
// typing a name.
#pragma once

#include <QKeyEvent>
#include <QString>
#include <optional>

enum class KeyCommand {
  SelectLeft, SelectRight, SelectUp, SelectDown,
  Listen,        // Space: listen to the selected desk, or stop listening
  EditName,      // F2
  CancelName,    // Escape while a name is being edited
  Speak,         // F3
  LineButton,    // F4
  LedButton,     // F6
  AnswerCall,    // F7: listen to the desk that called first
  InputToLine,   // F8
  Input,         // F9
  TeacherLine,   // F10
  ResetAll, AllToLine, AllInPairs, AllLedsOff,  // Ctrl+1 .. Ctrl+4
  Round,         // F5: start, pause, resume
  StopRound,     // Shift+F5
  Timer,         // F11: set the timer, or stop it while it runs
  SaveAs,        // F12
  DeskMenu,      // the menu key or Shift+F10: the selected desk's menu
};

// The command of a key press outside name editing; none for other keys.
std::optional<KeyCommand> CommandForKey(int key, Qt::KeyboardModifiers modifiers);

// "F5", "Ctrl+1", "Пробел": for tooltips and accessible descriptions.
QString KeyText(KeyCommand command);
