// The console window on the screens there are: opened at the size and place
// the teacher left it (fitted into a smaller screen, brought back from a
// monitor that is gone), never made smaller than described unless the
// screen is, and its size and state read back at the close.
#pragma once

#include <QSize>
#include <QWidget>
#include <vector>

#include "console/windowplacement.h"

std::vector<console::Screen> ScreensNow();

// The frame around the client: known once the window is shown, none before.
QMargins FrameOf(const QWidget& window);

// The window's size at the described client size: the plan's and the status area's.
struct WindowSizes {
  QSize described;  // client size at scale 1
  QSize smallest;   // the least it may be made on its screen
};
WindowSizes SizesFor(QSize describedClient, int statusHeight, const QRect& availableArea,
                     const QMargins& frame);

// Sets the window's geometry (and maximized state) from what was kept.
void PlaceKeptWindow(QWidget& window, const console::KeptWindow& kept, QSize describedWindow);

// The window as the teacher leaves it: its normal geometry and whether maximized.
console::KeptWindow WindowAsLeft(const QWidget& window);
