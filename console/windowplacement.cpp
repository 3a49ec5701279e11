// Fitting the kept window into the screens there are now.
#include "console/windowplacement.h"

#include <algorithm>

namespace console {

namespace {

long long Overlap(const PlanRect& a, const PlanRect& b) {
  const long long w =
      std::min(a.left + a.width, b.left + b.width) - std::max(a.left, b.left);
  const long long h =
      std::min(a.top + a.height, b.top + b.height) - std::max(a.top, b.top);
  return w > 0 && h > 0 ? w * h : 0;
}

int PrimaryScreen(const std::vector<Screen>& screens) {
  for (size_t i = 0; i < screens.size(); ++i) {
    if (screens[i].primary) return static_cast<int>(i);
  }
  return 0;
}

int ScreenHolding(const PlanRect& frame, const std::vector<Screen>& screens) {
  int best = -1;
  long long bestArea = 0;
  for (size_t i = 0; i < screens.size(); ++i) {
    const long long area = Overlap(frame, screens[i].available);
    if (area > bestArea) {
      bestArea = area;
      best = static_cast<int>(i);
    }
  }
  return best;
}

// Moves `at` so that [at, at + length) lies in [start, start + room).
int Inside(int at, int length, int start, int room) {
  return std::max(start, std::min(at, start + room - length));
}

}  // namespace

WindowPlacement PlaceWindow(const KeptWindow& kept, PlanSize describedFrame,
                            const std::vector<Screen>& screens) {
  WindowPlacement placement;
  placement.maximized = kept.maximized;
  if (screens.empty()) {
    placement.frame = kept.frame.value_or(PlanRect{0, 0, describedFrame.width, describedFrame.height});
    return placement;
  }
  const int held = kept.frame ? ScreenHolding(*kept.frame, screens) : -1;
  placement.screen = held >= 0 ? held : PrimaryScreen(screens);
  const PlanRect area = screens[placement.screen].available;
  const PlanSize wanted = kept.frame ? PlanSize{kept.frame->width, kept.frame->height} : describedFrame;
  PlanRect& frame = placement.frame;
  frame.width = std::max(1, std::min(wanted.width, area.width));
  frame.height = std::max(1, std::min(wanted.height, area.height));
  if (held >= 0) {
    frame.left = Inside(kept.frame->left, frame.width, area.left, area.width);
    frame.top = Inside(kept.frame->top, frame.height, area.top, area.height);
  } else {
    frame.left = area.left + (area.width - frame.width) / 2;
    frame.top = area.top + (area.height - frame.height) / 2;
  }
  return placement;
}

KeptWindowChange ChangeToKeep(const KeptWindow& read, const KeptWindow& left) {
  KeptWindowChange change;
  // A maximized window keeps the frame it had before it was maximized.
  if (left.frame && !(read.frame && *read.frame == *left.frame)) change.frame = left.frame;
  if (left.maximized != read.maximized) change.maximized = left.maximized;
  return change;
}

}  // namespace console
