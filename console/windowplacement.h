// Where the window opens: the size and place the teacher left it at, fitted
// into the screens there are now. Qt-free, so the rules are tested as a table.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "config/inifile.h"

#include "console/planscale.h"

namespace console {

// The window as kept between starts: its rectangle on the screen (the
// caller decides whether the title bar is in it) and whether it was
// maximized. No rectangle kept: opened at its described size.
struct KeptWindow {
  std::optional<PlanRect> frame;
  bool maximized = false;
};

struct Screen {
  PlanRect available;  // without the task bar
  bool primary = false;
};

struct WindowPlacement {
  PlanRect frame;  // wholly inside `screen`'s available area
  int screen = -1;
  bool maximized = false;
};

// The screen the kept frame stood on (the one holding most of it), or the
// primary one when none holds any of it (a monitor that is gone). A frame
// larger than that screen's area is fitted into it; one that sticks out is
// moved in; without a kept place the window is centred. `describedFrame` is
// the frame at the described client size, used when nothing is kept.
WindowPlacement PlaceWindow(const KeptWindow& kept, PlanSize describedFrame,
                            const std::vector<Screen>& screens);

// What to write back at the close: only values that differ from the ones
// read at the start, so an unchanged window leaves the settings file as it is.
struct KeptWindowChange {
  std::optional<PlanRect> frame;
  std::optional<bool> maximized;
  bool Any() const { return frame.has_value() || maximized.has_value(); }
};
KeptWindowChange ChangeToKeep(const KeptWindow& read, const KeptWindow& left);

// The window kept in section "Interface" (WindowLeft, WindowTop, WindowWidth,
// WindowHeight, WindowMaximized); a frame only when all four are numbers and
// the size is positive.
KeptWindow ReadKeptWindow(const ini::IniDocument& settings);
// Writes the change into the settings file, every other byte as it was;
// nothing when there is no change. "" or the Russian reason it was not saved.
std::string SaveKeptWindow(const std::string& settingsPath, const KeptWindowChange& change);

}  // namespace console
