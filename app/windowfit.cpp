// Placing the console window on the screens there are.
#include "app/windowfit.h"

#include <QGuiApplication>
#include <QScreen>

namespace {

console::PlanRect FromQRect(const QRect& r) { return {r.x(), r.y(), r.width(), r.height()}; }
QRect ToQRect(const console::PlanRect& r) { return QRect(r.left, r.top, r.width, r.height); }

}  // namespace

QMargins FrameOf(const QWidget& window) {
  const QRect frame = window.frameGeometry();
  const QRect client = window.geometry();
  return QMargins(client.left() - frame.left(), client.top() - frame.top(),
                  frame.right() - client.right(), frame.bottom() - client.bottom());
}

std::vector<console::Screen> ScreensNow() {
  std::vector<console::Screen> screens;
  const QScreen* primary = QGuiApplication::primaryScreen();
  for (const QScreen* screen : QGuiApplication::screens()) {
    screens.push_back({FromQRect(screen->availableGeometry()), screen == primary});
  }
  return screens;
}

WindowSizes SizesFor(QSize describedClient, int statusHeight, const QRect& availableArea,
                     const QMargins& frame) {
  const console::PlanSize room{
      availableArea.width() - frame.left() - frame.right(),
      availableArea.height() - frame.top() - frame.bottom() - statusHeight};
  const console::PlanSize smallest = console::SmallestClient(
      {describedClient.width(), describedClient.height()}, room);
  return {QSize(describedClient.width(), describedClient.height() + statusHeight),
          QSize(smallest.width, smallest.height + statusHeight)};
}

void PlaceKeptWindow(QWidget& window, const console::KeptWindow& kept, QSize describedWindow) {
  const QMargins frame = FrameOf(window);
  // The rules work on the frame: all of it, title bar too, goes on the screen.
  console::KeptWindow framed = kept;
  if (kept.frame) framed.frame = FromQRect(ToQRect(*kept.frame).marginsAdded(frame));
  const QSize describedFrame = describedWindow.grownBy(frame);
  const console::WindowPlacement placed = console::PlaceWindow(
      framed, {describedFrame.width(), describedFrame.height()}, ScreensNow());
  window.setGeometry(ToQRect(placed.frame).marginsRemoved(frame));
  if (placed.maximized) {
    window.setWindowState(window.windowState() | Qt::WindowMaximized);
  }
}

console::KeptWindow WindowAsLeft(const QWidget& window) {
  const QRect normal = window.isMaximized() || window.isFullScreen() ? window.normalGeometry()
                                                                     : window.geometry();
  console::KeptWindow left;
  if (normal.isValid()) left.frame = FromQRect(normal);
  left.maximized = window.isMaximized();
  return left;
}
