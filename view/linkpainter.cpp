// Painting the pair lines and line frames.
#include "view/linkpainter.h"

#include <QPainter>
#include <QPen>

#include "view/colours.h"
#include "view/linkgeometry.h"

namespace view {

namespace {

constexpr int kPairLinePenWidth = 5;
constexpr int kFrameMargin = 2;  // the band shown around a framed panel

linkgeometry::PanelRect RectOf(const console::DeskDisplay& desk, QSize panelSize) {
  return {desk.left, desk.top, panelSize.width(), panelSize.height()};
}

}  // namespace

void PaintLinks(QImage& surface, const console::ConsoleDisplay& shown,
                const std::string (&pairLinkCodes)[kPairCount], QSize panelSize) {
  if (surface.isNull()) return;
  QPainter painter(&surface);
  painter.fillRect(surface.rect(), colours::kButtonFace);
  PaintLinks(painter, shown, pairLinkCodes, panelSize);
}

void PaintLinks(QPainter& painter, const console::ConsoleDisplay& shown,
                const std::string (&pairLinkCodes)[kPairCount], QSize panelSize) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setPen(QPen(colours::kLink, kPairLinePenWidth, Qt::SolidLine, Qt::RoundCap,
                      Qt::RoundJoin));
  for (int pair = 0; pair < kPairCount; ++pair) {
    if (!shown.pairLinks[pair]) continue;
    const linkgeometry::LinkEnds ends =
        linkgeometry::PairLinkEnds(pairLinkCodes[pair], RectOf(shown.desks[2 * pair], panelSize),
                                   RectOf(shown.desks[2 * pair + 1], panelSize));
    // A line without length leaves no mark.
    if (!ends.HasLength()) continue;
    painter.drawLine(QPoint(ends.start.x, ends.start.y), QPoint(ends.end.x, ends.end.y));
  }

  // Each frame covers the panel and a 2-pixel band around it.
  for (const console::DeskDisplay& desk : shown.desks) {
    if (!desk.lineFrame) continue;
    const QRect frame(desk.left - kFrameMargin, desk.top - kFrameMargin,
                      panelSize.width() + 2 * kFrameMargin, panelSize.height() + 2 * kFrameMargin);
    painter.fillRect(frame, colours::kLink);
  }
  painter.restore();
}

}  // namespace view
