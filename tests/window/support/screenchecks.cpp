// The window's controls and link picture set against its model's display,
// and the register copy against the emulator's registers.
#include "support/screenchecks.h"

#include <QStringList>

#include "view/colours.h"
#include "app/consolewindow.h"
#include "link/frame.h"
#include "view/linkgeometry.h"

namespace {

class Differences {
 public:
  template <typename T>
  void Compare(const QString& what, const T& shown, const T& expected) {
    if (shown == expected) return;
    lines_ << QStringLiteral("%1: shows %2, model %3").arg(what, Text(shown), Text(expected));
  }
  QString Joined() const { return lines_.join(QLatin1Char('\n')); }

 private:
  static QString Text(bool b) { return b ? QStringLiteral("yes") : QStringLiteral("no"); }
  static QString Text(const QString& s) { return QLatin1Char('"') + s + QLatin1Char('"'); }
  static QString Text(const QPoint& p) { return QStringLiteral("(%1, %2)").arg(p.x()).arg(p.y()); }
  static QString Text(const QColor& c) { return c.name(); }
  static QString Text(int v) { return QString::number(v, 16); }
  QStringList lines_;
};

linkgeometry::PanelRect RectOf(const console::DeskDisplay& desk) {
  return {desk.left, desk.top, console::kDeskPanelWidth, console::kDeskPanelHeight};
}

}  // namespace

QString ScreenMismatch(ConsoleWindow& window) {
  const console::ConsoleDisplay expected = window.model().Display();
  const QImage& picture = window.Surface();
  Differences out;
  // Probes outside the picture are left out.
  auto probe = [&](const QString& what, int x, int y, bool blue) {
    if (!picture.rect().contains(x, y)) return;
    out.Compare(what, picture.pixelColor(x, y) == colours::kLink, blue);
  };

  // Qt shows its modified mark in place of "[*]".
  out.Compare(QStringLiteral("title"), window.windowTitle().remove(QStringLiteral("[*]")),
              QString::fromStdString(window.model().WindowTitle()));
  out.Compare(QStringLiteral("unsaved mark"), window.isWindowModified(),
              window.model().classroomChanged());
  for (int d = 0; d < kDeskCount; ++d) {
    const console::DeskDisplay& e = expected.desks[d];
    const DeskPanel* panel = window.plan->desk(d);
    const QString desk = QStringLiteral("desk %1 ").arg(d + 1);
    out.Compare(desk + "shown", !panel->isHidden(), e.visible);
    out.Compare(desk + "place", panel->pos(), QPoint(e.left, e.top));
    out.Compare(desk + "label", panel->title(), QString::fromStdString(e.label));
    out.Compare(desk + "name", panel->nameBox->text(), QString::fromStdString(e.name));
    out.Compare(desk + "name editing", !panel->nameBox->isReadOnly(), e.editingName);
    out.Compare(desk + "selection look", panel->isFlat(), e.selected);
    out.Compare(desk + "selection mark", panel->marks().selected, e.selected);
    out.Compare(desk + "microphone mark", panel->marks().speaking, e.speakDown);
    out.Compare(desk + "call mark", panel->marks().calling, e.callOrder > 0);
    out.Compare(desk + "listen", panel->listen->isChecked(), e.listenDown);
    out.Compare(desk + "speak", panel->speak->isChecked(), e.speakDown);
    out.Compare(desk + "LED", panel->led->tag() != 0, e.ledOn);
    out.Compare(desk + "line caption", panel->lineButton->text(),
                QString::fromUtf8(console::LineCaptionText(e.line)));
    out.Compare(desk + "colour", panel->colour(),
                e.highlighted ? colours::kHighlight : colours::kInfoBackground);
    // The frame band is two pixels wide around the panel.
    if (e.visible) probe(desk + "frame", e.left - 1, e.top + 10, e.lineFrame);
  }
  out.Compare(QStringLiteral("input"), window.teacher->inputButton->isChecked(), expected.teacher.inputDown);
  out.Compare(QStringLiteral("line"), window.teacher->lineButton->isChecked(),
              expected.teacher.lineDown);
  out.Compare(QStringLiteral("input to line"), window.teacher->inputToLineButton->isChecked(),
              expected.teacher.inputToLineDown);
  for (int pair = 0; pair < kPairCount; ++pair) {
    const linkgeometry::LinkEnds ends =
        linkgeometry::PairLinkEnds(window.room().PairLinkCode[pair],
                                   RectOf(expected.desks[2 * pair]),
                                   RectOf(expected.desks[2 * pair + 1]));
    if (!ends.HasLength()) continue;
    probe(QStringLiteral("pair line %1").arg(pair + 1), (ends.start.x + ends.end.x) / 2,
          (ends.start.y + ends.end.y) / 2, expected.pairLinks[pair]);
  }
  return out.Joined();
}

QString RegisterMismatch(const SwitchRegisters& copy,
                         const testsupport::EmulatorRegisters& controller, int which) {
  auto word = [](uint8_t high, uint8_t low) { return int(high) << 8 | int(low); };
  Differences out;
  if (which & kLedARegister) {
    out.Compare(QStringLiteral("LedA"), word(copy.LedAHigh, copy.LedALow), int(controller.ledA));
  }
  if (which & kLineRegister) {
    out.Compare(QStringLiteral("Line"), word(copy.LineHigh, copy.LineLow), int(controller.line));
  }
  if (which & kLedBRegister) {
    out.Compare(QStringLiteral("LedB"), word(copy.LedBHigh, copy.LedBLow), int(controller.ledB));
  }
  if (which & kRouteRegister) {
    out.Compare(QStringLiteral("Route"), int(copy.Route), int(controller.route));
    out.Compare(QStringLiteral("Pairs"), int(copy.Pairs), int(controller.pairs));
  }
  return out.Joined();
}

int RegisterOfCommand(uint8_t command) {
  switch (command) {
    case frame::kLedA:
      return kLedARegister;
    case frame::kLine:
      return kLineRegister;
    case frame::kLedB:
      return kLedBRegister;
    case frame::kRoutePairs:
      return kRouteRegister;
    default:
      return 0;
  }
}
