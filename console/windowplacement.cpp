// Fitting the kept window into the screens there are now.
#include "console/windowplacement.h"

#include <algorithm>
#include <exception>

#include "config/settings.h"

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

KeptWindow ReadKeptWindow(const ini::IniDocument& settings) {
  KeptWindow kept;
  int values[4] = {};
  const char* keys[4] = {settings::kWindowLeft, settings::kWindowTop, settings::kWindowWidth,
                         settings::kWindowHeight};
  bool all = true;
  for (int i = 0; i < 4; ++i) {
    const std::string text = settings.ReadString(settings::kInterface, keys[i], "");
    all = all && ini::ParseInteger(text, values[i]);
  }
  if (all && values[2] > 0 && values[3] > 0) kept.frame = PlanRect{values[0], values[1], values[2], values[3]};
  kept.maximized = settings.ReadInteger(settings::kInterface, settings::kWindowMaximized, 0) != 0;
  return kept;
}

std::string SaveKeptWindow(const std::string& settingsPath, const KeptWindowChange& change) {
  if (!change.Any()) return {};
  ini::IniDocument document;
  const ini::LoadResult loaded = ini::IniDocument::TryLoad(settingsPath, document);
  const std::string file = "«" + settingsPath + "»";
  if (!loaded.ok() && loaded.status != ini::LoadStatus::Missing) {
    return "Файл настроек " + file + " не удалось прочитать; размер окна не сохранён.";
  }
  if (change.frame) {
    document.WriteInteger(settings::kInterface, settings::kWindowLeft, change.frame->left);
    document.WriteInteger(settings::kInterface, settings::kWindowTop, change.frame->top);
    document.WriteInteger(settings::kInterface, settings::kWindowWidth, change.frame->width);
    document.WriteInteger(settings::kInterface, settings::kWindowHeight, change.frame->height);
  }
  if (change.maximized) {
    document.WriteInteger(settings::kInterface, settings::kWindowMaximized, *change.maximized ? 1 : 0);
  }
  try {
    document.Save(settingsPath);
  } catch (const std::exception&) {
    return "Не удалось записать файл настроек " + file + "; размер окна не сохранён.";
  }
  return {};
}

}  // namespace console
