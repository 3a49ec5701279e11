// The key table of the console.
#include "app/lessonkeys.h"

namespace {

struct Binding {
  int key;
  Qt::KeyboardModifiers modifiers;
  KeyCommand command;
  const char* text;  // shown to the teacher; the first binding of a command is shown
};

const Binding kBindings[] = {
    {Qt::Key_Left, Qt::NoModifier, KeyCommand::SelectLeft, "←"},
    {Qt::Key_Right, Qt::NoModifier, KeyCommand::SelectRight, "→"},
    {Qt::Key_Up, Qt::NoModifier, KeyCommand::SelectUp, "↑"},
    {Qt::Key_Down, Qt::NoModifier, KeyCommand::SelectDown, "↓"},
    {Qt::Key_Space, Qt::NoModifier, KeyCommand::Listen, "Пробел"},
    {Qt::Key_F2, Qt::NoModifier, KeyCommand::EditName, "F2"},
    {Qt::Key_Escape, Qt::NoModifier, KeyCommand::CancelName, "Esc"},
    {Qt::Key_F3, Qt::NoModifier, KeyCommand::Speak, "F3"},
    {Qt::Key_F4, Qt::NoModifier, KeyCommand::LineButton, "F4"},
    {Qt::Key_F6, Qt::NoModifier, KeyCommand::LedButton, "F6"},
    {Qt::Key_F7, Qt::NoModifier, KeyCommand::AnswerCall, "F7"},
    {Qt::Key_F8, Qt::NoModifier, KeyCommand::InputToLine, "F8"},
    {Qt::Key_F9, Qt::NoModifier, KeyCommand::Input, "F9"},
    {Qt::Key_F10, Qt::NoModifier, KeyCommand::TeacherLine, "F10"},
    {Qt::Key_1, Qt::ControlModifier, KeyCommand::ResetAll, "Ctrl+1"},
    {Qt::Key_2, Qt::ControlModifier, KeyCommand::AllToLine, "Ctrl+2"},
    {Qt::Key_3, Qt::ControlModifier, KeyCommand::AllInPairs, "Ctrl+3"},
    {Qt::Key_4, Qt::ControlModifier, KeyCommand::AllLedsOff, "Ctrl+4"},
    {Qt::Key_F5, Qt::NoModifier, KeyCommand::Round, "F5"},
    {Qt::Key_F5, Qt::ShiftModifier, KeyCommand::StopRound, "Shift+F5"},
    {Qt::Key_F11, Qt::NoModifier, KeyCommand::Timer, "F11"},
    {Qt::Key_F12, Qt::NoModifier, KeyCommand::SaveAs, "F12"},
    {Qt::Key_Menu, Qt::NoModifier, KeyCommand::DeskMenu, "Shift+F10"},
    {Qt::Key_F10, Qt::ShiftModifier, KeyCommand::DeskMenu, "Shift+F10"},
};

// The keypad's digits arrive with KeypadModifier; Ctrl+keypad 1 is Ctrl+1.
constexpr Qt::KeyboardModifiers kCompared =
    Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;

}  // namespace

std::optional<KeyCommand> CommandForKey(int key, Qt::KeyboardModifiers modifiers) {
  for (const Binding& b : kBindings) {
    if (b.key == key && (modifiers & kCompared) == b.modifiers) return b.command;
  }
  return std::nullopt;
}

QString KeyText(KeyCommand command) {
  for (const Binding& b : kBindings) {
    if (b.command == command) return QString::fromUtf8(b.text);
  }
  return {};
}
