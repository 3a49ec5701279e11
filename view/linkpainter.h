// Pair lines and line frames painted from the console's display into the
// picture behind the desk panels.
#pragma once

#include <QImage>
#include <QPainter>
#include <QSize>
#include <string>

#include "console/display.h"

namespace view {

// Fills the picture with the window colour, draws the link line of every
// joined pair whose panels both show (its ends from the pair's link code),
// then a frame around every shown desk on the line.
void PaintLinks(QImage& surface, const console::ConsoleDisplay& shown,
                const std::string (&pairLinkCodes)[kPairCount], QSize panelSize);
// The lines and frames alone, in the plan's coordinates, through whatever
// transform `painter` has: a scaled plan is drawn at the device's resolution.
void PaintLinks(QPainter& painter, const console::ConsoleDisplay& shown,
                const std::string (&pairLinkCodes)[kPairCount], QSize panelSize);

}  // namespace view
