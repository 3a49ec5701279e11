// Pair lines and line frames, painted into the window's persistent surface
// behind the desk panels.
#include <QPainter>
#include <QPen>

#include "app/Unmane.h"
#include "app/colours.h"
#include "view/linkgeometry.h"

namespace {

constexpr int kPairLinePenWidth = 5;
constexpr int kDefaultPenWidth = 1;
constexpr int kFrameMargin = 2;  // the band shown around a framed panel
const char kPairCaption[] = "Пара";

linkgeometry::PanelRect RectOf(const QWidget* panel) {
  return {panel->x(), panel->y(), panel->width(), panel->height()};
}

bool IsShown(const QWidget* panel) { return panel != nullptr && !panel->isHidden(); }

bool LineBitSet(const SwitchRegisters& state, int deskIndex) {
  const uint8_t bits = deskIndex < 8 ? state.LineLow : state.LineHigh;
  return (bits >> (deskIndex % 8)) & 1;
}

}  // namespace

void TForm1::DrawPairLink(DeskPanel* panel) {
  // The pen always goes back to 1 pixel, whichever way the routine ends.
  struct PenWidthRestore {
    int& width;
    ~PenWidthRestore() { width = kDefaultPenWidth; }
  } restore{penWidth_};

  if (panel == nullptr) return;
  const int deskIndex = panel->tag();
  if (deskIndex < 0 || deskIndex >= kDeskCount) return;
  const int pair = deskIndex / 2;
  DeskPanel* odd = GroupBox[2 * pair];
  DeskPanel* even = GroupBox[2 * pair + 1];
  if (!IsShown(odd) || !IsShown(even)) return;

  room().PairJoined[pair] = 1;

  const linkgeometry::LinkEnds ends =
      linkgeometry::PairLinkEnds(room().PairLinkCode[pair], RectOf(odd), RectOf(even));
  penPosition_ = QPoint(ends.start.x, ends.start.y);
  penColour_ = colours::kLink;
  penWidth_ = kPairLinePenWidth;
  // A line without length leaves no mark, as the platform's line primitive does.
  if (ends.HasLength() && !surface_.isNull()) {
    QPainter painter(&surface_);
    painter.setRenderHint(QPainter::Antialiasing, false);
    QPen pen(penColour_, penWidth_, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(pen);
    painter.drawLine(penPosition_, QPoint(ends.end.x, ends.end.y));
  }
  penPosition_ = QPoint(ends.end.x, ends.end.y);

  const QString caption = QString::fromUtf8(kPairCaption);
  if (odd->lineButton) odd->lineButton->setText(caption);
  if (even->lineButton) even->lineButton->setText(caption);
  update();
}

void TForm1::DrawLineFrame(DeskPanel* panel) {
  if (panel == nullptr) return;
  fillColour_ = colours::kLink;
  penColour_ = colours::kLink;
  if (!surface_.isNull()) {
    // Right and bottom are exclusive: the rectangle covers the panel and a
    // 2-pixel band around it, outline included.
    const QRect frame(panel->x() - kFrameMargin, panel->y() - kFrameMargin,
                      panel->width() + 2 * kFrameMargin, panel->height() + 2 * kFrameMargin);
    QPainter painter(&surface_);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(frame, fillColour_);
    if (penWidth_ > 0) {
      QPen outline(penColour_, penWidth_);
      outline.setJoinStyle(Qt::MiterJoin);
      painter.setPen(outline);
      painter.setBrush(Qt::NoBrush);
      // A 1-pixel outline on the edge pixels of the same rectangle.
      painter.drawRect(frame.adjusted(0, 0, -1, -1));
    }
  }
  fillColour_ = colours::kButtonFace;
  update();
}

void TForm1::RedrawLinks() {
  if (!surface_.isNull()) {
    QPainter painter(&surface_);
    if (!fillColour_.isValid()) fillColour_ = colours::kButtonFace;
    painter.fillRect(QRect(0, 0, surface_.width(), surface_.height()), fillColour_);
  }
  for (int pair = 0; pair < kPairCount; ++pair) {
    if (room().PairJoined[pair] != 0 && IsShown(GroupBox[2 * pair]) &&
        IsShown(GroupBox[2 * pair + 1])) {
      DrawPairLink(GroupBox[2 * pair]);
    }
  }
  for (int desk = 0; desk < kDeskCount; ++desk) {
    if (LineBitSet(room().SwitchState, desk) && IsShown(GroupBox[desk])) {
      DrawLineFrame(GroupBox[desk]);
    }
  }
  update();
}
