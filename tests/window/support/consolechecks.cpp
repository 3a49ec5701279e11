// Clicks written as words, played on the real window.
#include "support/consolechecks.h"

#include <QApplication>
#include <QMouseEvent>
#include <QRegularExpression>

QString Play(WindowFixture& fx, const QString& words) {
  static const QRegularExpression kWord(QStringLiteral("^([a-z]+)(\\d*)$"));
  ConsoleWindow& form = fx.form();
  for (const QString& word : words.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
    const QRegularExpressionMatch m = kWord.match(word);
    const QString verb = m.captured(1);
    const int desk = m.captured(2).toInt();
    if (!m.hasMatch() || (m.capturedLength(2) > 0 && (desk < 1 || desk > kDeskCount))) return word;
    QAbstractButton* button = nullptr;
    if (desk > 0) {
      DeskPanel* panel = fx.Desk(desk);
      if (verb == "l") button = panel->listen;
      if (verb == "s") button = panel->speak;
      if (verb == "b") button = panel->lineButton;
      if (verb == "e") button = panel->led;
      if (verb == "on" || verb == "off") {
        form.Apply([desk](console::ConsoleModel& model) { model.SelectDesk(desk - 1); });
        (*form.commands)[verb == "on" ? Command::LedOn : Command::LedOff]->trigger();
        continue;
      }
      if (verb == "hide" || verb == "show") {
        fx.ShowDesk(desk, verb == "show");
        continue;
      }
    } else {
      if (verb == "in") button = form.teacher->inputButton;
      if (verb == "ln") button = form.teacher->lineButton;
      if (verb == "il") button = form.teacher->inputToLineButton;
      if (verb == "reset") button = form.allDesks->resetButton;
      if (verb == "allline") button = form.allDesks->allToLineButton;
      if (verb == "pairs") button = form.allDesks->allInPairsButton;
      if (verb == "ledsoff") button = form.allDesks->allLedsOffButton;
      if ((verb == "silent" || verb == "nofaults") && fx.emulator() != nullptr) {
        if (!fx.emulator()->Send(verb == "silent" ? "fault silent on" : "fault all off")) {
          return word;
        }
        continue;
      }
    }
    if (button == nullptr) return word;
    fx.ClickButton(button);
  }
  return QString();
}

void SendMouse(QWidget* on, QEvent::Type type, QPoint global, Qt::MouseButton button,
               Qt::MouseButtons held) {
  QMouseEvent event(type, QPointF(on->mapFromGlobal(global)), QPointF(global), button, held,
                    Qt::NoModifier);
  QApplication::sendEvent(on, &event);
}
