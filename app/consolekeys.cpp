// The key table's commands, the selection by arrows and the keyed tooltips.
#include "app/consolekeys.h"

#include <QAbstractButton>
#include <QApplication>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QTextDocument>
#include <QToolTip>

#include "app/consolecommands.h"
#include "app/consolesession.h"
#include "app/deskplan.h"

ConsoleKeys::ConsoleKeys(ConsoleSession& session, DeskPlan& plan, const ConsoleCommands& commands,
                         QMenu& deskMenu, QWidget& window)
    : QObject(&window),
      session_(session),
      plan_(plan),
      commands_(commands),
      deskMenu_(deskMenu),
      window_(window) {
  ConnectDeskCommands();
  qApp->installEventFilter(this);
}

ConsoleKeys::~ConsoleKeys() { qApp->removeEventFilter(this); }

void ConsoleKeys::ConnectDeskCommands() {
  using console::ConsoleModel;
  auto onDesk = [this](Command command, auto operation) {
    connect(commands_[command], &QAction::triggered, this, [this, operation] {
      const int desk = SelectedVisibleDesk();
      if (desk < 0) return;
      session_.Apply([&](ConsoleModel& m) { operation(m, desk); });
    });
  };
  onDesk(Command::ToggleListen, [](ConsoleModel& m, int d) { m.ToggleListening(d); });
  onDesk(Command::ToggleSpeak, [](ConsoleModel& m, int d) { m.ToggleSpeaking(d); });
  onDesk(Command::LineButton, [](ConsoleModel& m, int d) { m.PressLineButton(d); });
  onDesk(Command::LedButton, [](ConsoleModel& m, int d) { m.PressLedButton(d); });
  connect(commands_[Command::EditName], &QAction::triggered, this, [this] {
    const int desk = SelectedVisibleDesk();
    if (desk < 0) return;
    session_.Apply([desk](ConsoleModel& m) { m.BeginNameEditing(desk); });
    plan_.FocusName(desk);
  });
  connect(commands_[Command::AnswerCall], &QAction::triggered, this, [this] {
    if (session_.model().calls().empty()) return;
    session_.Apply([](ConsoleModel& m) { m.ListenTo(m.calls().front().desk); });
  });
  connect(commands_[Command::DeskMenu], &QAction::triggered, this, [this] {
    const int desk = SelectedVisibleDesk();
    if (desk < 0) return;
    session_.Changed();
    deskMenu_.popup(plan_.DeskCentre(desk));
  });
}

bool ConsoleKeys::eventFilter(QObject* watched, QEvent* event) {
  auto* widget = qobject_cast<QWidget*>(watched);
  if (widget == nullptr || widget->window() != &window_) return false;
  switch (event->type()) {
    case QEvent::KeyPress:
      return HandleKey(static_cast<QKeyEvent*>(event));
    case QEvent::MouseButtonPress:
      // The mouse is back in use: the keyboard's mark goes until the next arrow.
      ShowFocusMark(false);
      return false;
    case QEvent::ToolTip:
      return ShowToolTip(widget, static_cast<QHelpEvent*>(event));
    default:
      return false;
  }
}

void ConsoleKeys::ShowFocusMark(bool shown) {
  if (focusMark_ == shown) return;
  focusMark_ = shown;
  plan_.SetFocusMarkShown(shown);
}

bool ConsoleKeys::ShowToolTip(QWidget* control, QHelpEvent* event) {
  // The call list's entries come and go; the list's key answers the first of them.
  QWidget* keyed = keyedList_ != nullptr && control->parentWidget() == keyedList_ ? keyedList_ : control;
  const QString key = describer_.KeyOf(keyed);
  if (!key.isEmpty()) {
    // The control's own tooltip stays as it is; the key is added to what shows.
    const QString base =
        control->toolTip().isEmpty() ? control->accessibleName() : control->toolTip();
    QString text = QStringLiteral("%1 (%2)").arg(base, key);
    // A student's name is shown as typed, never read as markup.
    if (Qt::mightBeRichText(text))
      text = QStringLiteral("<span>%1</span>").arg(text.toHtmlEscaped());
    QToolTip::showText(event->globalPos(), text, control);
    return true;
  }
  return false;
}

bool ConsoleKeys::HandleKey(QKeyEvent* event) {
  // Dialogs (a question, the wait, the timer) and open menus take their own keys.
  if (QApplication::activeModalWidget() != nullptr || QApplication::activePopupWidget() != nullptr)
    return false;
  const console::ConsoleModel& m = session_.model();
  bool typingName = false;
  for (int d = 0; d < kDeskCount; ++d) typingName = typingName || m.EditingName(d);
  const std::optional<KeyCommand> command = CommandForKey(event->key(), event->modifiers());
  if (typingName) {
    // Every key belongs to the name; Escape gives up the edit.
    if (command != KeyCommand::CancelName) return false;
    Run(KeyCommand::CancelName);
    return true;
  }
  if (!command || *command == KeyCommand::CancelName) return false;
  if (*command == KeyCommand::Listen) {
    // With no desk on the plan Space stays with the focused button (the
    // first-start hint's), and so it does on a button reached by Tab outside the plan.
    if (console::PlanOrder(m.plan()).empty()) return false;
    auto* focused = qobject_cast<QAbstractButton*>(QApplication::focusWidget());
    if (focused != nullptr && !plan_.isAncestorOf(focused)) return false;
  }
  // Nothing is switched while the controller is being met.
  if (!session_.Started()) return true;
  const bool moves = *command == KeyCommand::SelectLeft || *command == KeyCommand::SelectRight ||
                     *command == KeyCommand::SelectUp || *command == KeyCommand::SelectDown;
  // A held key repeats only the arrows; a repeated Space would toggle the desk on and off.
  if (event->isAutoRepeat() && !moves) return true;
  Run(*command);
  return true;
}

int ConsoleKeys::SelectedVisibleDesk() {
  console::ConsoleModel& m = session_.model();
  if (m.plan()[m.selectedDesk()].visible) return m.selectedDesk();
  const int first = console::NearestDesk(m.plan(), -1, console::Direction::Right);
  if (first >= 0) m.SelectDesk(first);
  return first;
}

void ConsoleKeys::MoveSelection(console::Direction direction) {
  console::ConsoleModel& m = session_.model();
  const int from = m.plan()[m.selectedDesk()].visible ? m.selectedDesk() : -1;
  const int to = console::NearestDesk(m.plan(), from, direction);
  if (to < 0) return;
  m.SelectDesk(to);
  focusMark_ = true;
  plan_.SetFocusMarkShown(true);
  session_.Changed();
}

void ConsoleKeys::Run(KeyCommand command) {
  using console::Direction;
  switch (command) {
    case KeyCommand::SelectLeft:
      MoveSelection(Direction::Left);
      return;
    case KeyCommand::SelectRight:
      MoveSelection(Direction::Right);
      return;
    case KeyCommand::SelectUp:
      MoveSelection(Direction::Up);
      return;
    case KeyCommand::SelectDown:
      MoveSelection(Direction::Down);
      return;
    case KeyCommand::CancelName:
      session_.Apply([](console::ConsoleModel& m) {
        for (int d = 0; d < kDeskCount; ++d) {
          if (m.EditingName(d)) m.CancelNameEditing(d);
        }
      });
      window_.setFocus(Qt::ShortcutFocusReason);
      return;
    default:
      break;
  }
  for (QAction* action : commands_.All()) {
    const auto index = static_cast<Command>(commands_.All().indexOf(action));
    if (ConsoleCommands::KeyCommandOf(index) == command) {
      if (action->isEnabled()) action->trigger();
      return;
    }
  }
}
