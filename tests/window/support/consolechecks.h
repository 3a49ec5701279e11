// Shorthands of the console tests: the line captions, a fixture with the
// emulator and a full classroom, the writes the controller saw, the picture,
// and clicks written as short words.
#pragma once

#include <QEvent>
#include <QPoint>
#include <QString>
#include <QStringList>

#include "view/colours.h"
#include "support/screenchecks.h"
#include "support/windowfixture.h"

inline const QString kOff = QStringLiteral("Откл.");
inline const QString kOn = QStringLiteral("Вкл.");
inline const QString kPair = QStringLiteral("Пара");

inline WindowOptions WithEmulator() {
  WindowOptions options;
  options.startEmulator = true;
  options.writeClassroom = true;
  return options;
}

// The register writes the controller saw since the mark: "84 00 12 | 82 00 04".
inline QString Writes(const WindowFixture& fx, size_t mark) {
  QStringList out;
  for (const auto& frame : fx.FramesSince(mark)) {
    out << QString::asprintf("%02X %02X %02X", frame.rx[2], frame.rx[3], frame.rx[4]);
  }
  return out.join(QStringLiteral(" | "));
}

// Whether the link picture is blue at a point (a frame band or a pair line).
inline bool BlueAt(WindowFixture& fx, int x, int y) {
  return fx.form().Surface().pixelColor(x, y) == colours::kLink;
}

// Plays clicks written as words, separated by spaces; "" when all were known,
// else the first unknown word. N is a desk number 1..16:
//   lN, sN, bN, eN   the listen, speak, line and LED buttons of desk N
//   in, ln, il       the teacher's "Вход", "Линия", "Вход->Линия"
//   reset, allline, pairs, ledsoff   the all-desks toolbar
//   onN, offN        the menu's LED entries on desk N (selected first)
//   hideN, showN     desk N leaves or joins the plan
//   silent, nofaults the emulator falls silent, answers again
QString Play(WindowFixture& fx, const QString& words);

// A mouse event at a point of the screen, sent straight to `on` (a press,
// move or release of a drag at any scale).
void SendMouse(QWidget* on, QEvent::Type type, QPoint global, Qt::MouseButton button,
               Qt::MouseButtons held);
