// The console's pictures, drawn with QPainter on a 16 x 16 grid at any size: button glyphs, the
// image list and the two LED bitmaps.
#include "resources/glyphs.h"

#include <QApplication>
#include <QIconEngine>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygon>
#include <QStyle>
#include <QStyleOption>
#include <functional>

namespace glyphs {
namespace {

constexpr int kSize = 16;

const QColor kOutline(40, 40, 40);
const QColor kStrike(220, 0, 0);

QImage DrawImage(const std::function<void(QPainter&)>& paint) {
  QImage image(kSize, kSize, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing, true);
  paint(p);
  return image;
}

// A picture drawn anew at every size and device pixel ratio it is asked
// for, so that an enlarged plan and a 4K screen get it sharp, not blown up.
// At 16 x 16 it is the very image DrawImage gives; other modes than Normal
// are made from it by the style, as for a picture icon.
class PaintedGlyph : public QIconEngine {
 public:
  explicit PaintedGlyph(std::function<void(QPainter&)> paint) : paint_(std::move(paint)) {}
  QIconEngine* clone() const override { return new PaintedGlyph(paint_); }
  QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override { return size; }
  QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    return scaledPixmap(size, mode, state, 1.0);
  }
  // `size` is in device pixels already, as QIcon asks for it.
  QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State, qreal scale) override {
    const QSize pixels = size;
    if (pixels.isEmpty()) return QPixmap();
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
      QPainter p(&image);
      p.setRenderHint(QPainter::Antialiasing, true);
      p.scale(qreal(pixels.width()) / kSize, qreal(pixels.height()) / kSize);
      paint_(p);
    }
    QPixmap drawn = QPixmap::fromImage(image);
    if (mode != QIcon::Normal && qApp != nullptr) {
      QStyleOption option(0);
      option.palette = QGuiApplication::palette();
      const QPixmap generated = QApplication::style()->generatedIconPixmap(mode, drawn, &option);
      if (!generated.isNull()) drawn = generated;
    }
    drawn.setDevicePixelRatio(scale);
    return drawn;
  }
  void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
    const qreal ratio = painter->device() != nullptr ? painter->device()->devicePixelRatioF() : 1.0;
    painter->drawPixmap(rect, scaledPixmap((QSizeF(rect.size()) * ratio).toSize(), mode, state, ratio));
  }

 private:
  std::function<void(QPainter&)> paint_;
};

QIcon Draw(std::function<void(QPainter&)> paint) {
  return QIcon(new PaintedGlyph(std::move(paint)));
}

void Headphones(QPainter& p) {
  p.setPen(QPen(kOutline, 1.6));
  p.setBrush(Qt::NoBrush);
  p.drawArc(QRectF(2.5, 1.5, 11, 11), 0 * 16, 180 * 16);
  p.setPen(QPen(kOutline, 1));
  p.setBrush(QColor(60, 60, 160));
  p.drawRoundedRect(QRectF(1.5, 7.5, 3.5, 6.5), 1, 1);
  p.drawRoundedRect(QRectF(11, 7.5, 3.5, 6.5), 1, 1);
}

void Microphone(QPainter& p) {
  p.setPen(QPen(kOutline, 1));
  p.setBrush(QColor(90, 90, 90));
  p.drawRoundedRect(QRectF(5.5, 1.5, 5, 8), 2.5, 2.5);
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(kOutline, 1.3));
  p.drawArc(QRectF(3.5, 4, 9, 8), 180 * 16, 180 * 16);
  p.drawLine(QPointF(8, 12), QPointF(8, 14.5));
  p.drawLine(QPointF(5, 14.5), QPointF(11, 14.5));
}

void Led(QPainter& p, bool on) {
  QRadialGradient glow(QPointF(6.5, 6), 7);
  if (on) {
    glow.setColorAt(0, QColor(255, 200, 200));
    glow.setColorAt(0.4, QColor(255, 30, 30));
    glow.setColorAt(1, QColor(200, 0, 0));
  } else {
    glow.setColorAt(0, QColor(150, 60, 60));
    glow.setColorAt(1, QColor(80, 0, 0));
  }
  p.setPen(QPen(kOutline, 1));
  p.setBrush(glow);
  p.drawEllipse(QRectF(2.5, 2.5, 11, 11));
}

void Strike(QPainter& p) {
  p.setPen(QPen(kStrike, 2));
  p.drawLine(QPointF(2, 2), QPointF(14, 14));
}

void Face(QPainter& p, QPointF centre, const QColor& colour) {
  p.setPen(QPen(kOutline, 1));
  p.setBrush(colour);
  p.drawEllipse(centre, 3.6, 3.6);
  p.setBrush(kOutline);
  p.drawEllipse(centre + QPointF(-1.2, -0.8), 0.5, 0.5);
  p.drawEllipse(centre + QPointF(1.2, -0.8), 0.5, 0.5);
  p.setBrush(Qt::NoBrush);
  p.drawArc(QRectF(centre.x() - 1.8, centre.y() - 0.5, 3.6, 2.6), 200 * 16, 140 * 16);
}

void TwoFaces(QPainter& p) {
  Face(p, QPointF(5, 6), QColor(255, 220, 120));
  Face(p, QPointF(11, 10), QColor(150, 200, 255));
}

void Loudspeaker(QPainter& p) {
  p.setPen(QPen(kOutline, 1));
  p.setBrush(QColor(90, 90, 90));
  QPolygonF body;
  body << QPointF(1.5, 6) << QPointF(4.5, 6) << QPointF(8, 2.5) << QPointF(8, 13.5)
       << QPointF(4.5, 10) << QPointF(1.5, 10);
  p.drawPolygon(body);
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(QColor(0, 90, 200), 1.2));
  p.drawArc(QRectF(6, 5, 5, 6), -50 * 16, 100 * 16);
  p.drawArc(QRectF(5, 2.5, 9, 11), -50 * 16, 100 * 16);
}

void WalkingFigure(QPainter& p) {
  p.setPen(QPen(kOutline, 1.5));
  p.setBrush(kOutline);
  p.drawEllipse(QPointF(8.5, 2.5), 1.6, 1.6);
  p.drawLine(QPointF(8, 5), QPointF(7, 10));
  p.drawLine(QPointF(7, 10), QPointF(4.5, 14.5));
  p.drawLine(QPointF(7, 10), QPointF(10, 14.5));
  p.drawLine(QPointF(7.8, 6), QPointF(4.5, 8.5));
  p.drawLine(QPointF(7.8, 6), QPointF(11, 8));
}

void Picture(QPainter& p) {
  p.setPen(QPen(kOutline, 1));
  p.setBrush(QColor(170, 210, 255));
  p.drawRect(QRectF(1.5, 2.5, 13, 11));
  p.setBrush(QColor(60, 160, 60));
  QPolygonF hill;
  hill << QPointF(2, 13) << QPointF(6, 7) << QPointF(9, 11) << QPointF(11, 9) << QPointF(14, 13);
  p.drawPolygon(hill);
  p.setBrush(QColor(255, 220, 0));
  p.setPen(Qt::NoPen);
  p.drawEllipse(QPointF(11, 5.5), 1.5, 1.5);
}

void Key(QPainter& p) {
  p.setPen(QPen(QColor(150, 110, 0), 1.5));
  p.setBrush(QColor(240, 200, 60));
  p.drawEllipse(QPointF(4.5, 8), 3, 3);
  p.drawLine(QPointF(7.5, 8), QPointF(14.5, 8));
  p.drawLine(QPointF(12, 8), QPointF(12, 11));
  p.drawLine(QPointF(14, 8), QPointF(14, 10.5));
}

void DiskWithWindow(QPainter& p) {
  p.setPen(QPen(kOutline, 1));
  p.setBrush(QColor(160, 160, 170));
  p.drawEllipse(QRectF(0.5, 3.5, 10, 10));
  p.setBrush(Qt::white);
  p.drawEllipse(QPointF(5.5, 8.5), 1.2, 1.2);
  p.setBrush(QColor(255, 255, 255));
  p.drawRect(QRectF(7.5, 1.5, 8, 7));
  p.setBrush(QColor(0, 0, 140));
  p.drawRect(QRectF(7.5, 1.5, 8, 2));
}

void Document(QPainter& p) {
  p.setPen(QPen(kOutline, 1));
  p.setBrush(Qt::white);
  QPolygonF page;
  page << QPointF(3.5, 1.5) << QPointF(10, 1.5) << QPointF(13.5, 5) << QPointF(13.5, 14.5)
       << QPointF(3.5, 14.5);
  p.drawPolygon(page);
  p.drawLine(QPointF(10, 1.5), QPointF(10, 5));
  p.drawLine(QPointF(10, 5), QPointF(13.5, 5));
}

void DocumentWithArrow(QPainter& p) {
  Document(p);
  p.setPen(QPen(kStrike, 1.6));
  p.drawLine(QPointF(5, 10), QPointF(11, 10));
  p.drawLine(QPointF(8.5, 7.5), QPointF(11, 10));
  p.drawLine(QPointF(8.5, 12.5), QPointF(11, 10));
}

void DocumentWithBurst(QPainter& p) {
  Document(p);
  p.setPen(QPen(QColor(230, 170, 0), 1.2));
  const QPointF c(8.5, 9.5);
  for (int i = 0; i < 8; ++i) {
    QTransform t;
    t.rotate(i * 45);
    p.drawLine(c + t.map(QPointF(1, 0)), c + t.map(QPointF(3.5, 0)));
  }
}

void BlueZero(QPainter& p) {
  p.setPen(QPen(QColor(0, 0, 220), 2));
  p.setBrush(Qt::NoBrush);
  p.drawEllipse(QRectF(4, 2, 8, 12));
}

void RedCross(QPainter& p) {
  p.setPen(QPen(kStrike, 3, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(3.5, 3.5), QPointF(12.5, 12.5));
  p.drawLine(QPointF(12.5, 3.5), QPointF(3.5, 12.5));
}

void OpenFolder(QPainter& p) {
  p.setPen(QPen(QColor(130, 100, 0), 1));
  p.setBrush(QColor(230, 190, 70));
  QPolygonF back;
  back << QPointF(1.5, 3.5) << QPointF(6, 3.5) << QPointF(7.5, 5) << QPointF(13.5, 5)
       << QPointF(13.5, 13.5) << QPointF(1.5, 13.5);
  p.drawPolygon(back);
  p.setBrush(QColor(255, 225, 120));
  QPolygonF front;
  front << QPointF(1.5, 13.5) << QPointF(4, 7.5) << QPointF(15.5, 7.5) << QPointF(13.5, 13.5);
  p.drawPolygon(front);
}

void DoorWithFigure(QPainter& p) {
  p.setPen(QPen(kOutline, 1));
  p.setBrush(QColor(150, 90, 40));
  p.drawRect(QRectF(1.5, 1.5, 7, 13));
  p.setBrush(Qt::black);
  p.drawRect(QRectF(2.5, 2.5, 5, 11));
  p.setPen(QPen(QColor(0, 120, 0), 1.4));
  p.setBrush(QColor(0, 120, 0));
  p.drawEllipse(QPointF(11.5, 3.5), 1.3, 1.3);
  p.drawLine(QPointF(11, 5.5), QPointF(10.5, 10));
  p.drawLine(QPointF(10.5, 10), QPointF(8.5, 14.5));
  p.drawLine(QPointF(10.5, 10), QPointF(13, 14.5));
  p.drawLine(QPointF(11, 6.5), QPointF(14, 8.5));
}

void Floppy(QPainter& p) {
  p.setPen(QPen(kOutline, 1));
  p.setBrush(QColor(40, 70, 160));
  QPolygonF body;
  body << QPointF(1.5, 1.5) << QPointF(13, 1.5) << QPointF(14.5, 3) << QPointF(14.5, 14.5)
       << QPointF(1.5, 14.5);
  p.drawPolygon(body);
  p.setBrush(QColor(210, 210, 210));
  p.drawRect(QRectF(4.5, 1.5, 7, 5));
  p.setBrush(Qt::white);
  p.drawRect(QRectF(3.5, 9, 9, 5.5));
}

void GreenTick(QPainter& p) {
  p.setPen(QPen(QColor(0, 160, 0), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  QPolygonF tick;
  tick << QPointF(2.5, 8.5) << QPointF(6.5, 12.5) << QPointF(13.5, 3.5);
  p.drawPolyline(tick);
}

}  // namespace

QIcon ButtonGlyph(Glyph glyph) {
  switch (glyph) {
    case Glyph::Headphones:
      return Draw(Headphones);
    case Glyph::Microphone:
      return Draw(Microphone);
    case Glyph::LedOn:
      return Draw([](QPainter& p) { Led(p, true); });
    case Glyph::LedOff:
      return Draw([](QPainter& p) { Led(p, false); });
    case Glyph::LoudspeakerWaves:
      return Draw(Loudspeaker);
  }
  return QIcon();
}

QList<QIcon> ImageList() {
  const std::function<void(QPainter&)> painters[] = {
      Headphones,  // 0
      [](QPainter& p) {
        Headphones(p);
        Strike(p);
      },         // 1
      TwoFaces,  // 2
      [](QPainter& p) {
        TwoFaces(p);
        Strike(p);
      },                                   // 3
      [](QPainter& p) { Led(p, true); },   // 4
      [](QPainter& p) { Led(p, false); },  // 5
      Microphone,                          // 6
      [](QPainter& p) {
        Microphone(p);
        Strike(p);
      },                  // 7
      WalkingFigure,      // 8
      Picture,            // 9
      Key,                // 10
      DiskWithWindow,     // 11
      DocumentWithArrow,  // 12
      DocumentWithBurst,  // 13
      BlueZero,           // 14
      RedCross,           // 15
      OpenFolder,         // 16
      DoorWithFigure,     // 17
      Floppy,             // 18
      GreenTick,          // 19
  };
  QList<QIcon> images;
  for (const auto& paint : painters) images.append(Draw(paint));
  return images;
}

QPixmap BitmapResource(const QString& name) {
  // Drawn once (as images, which may outlive the application object).
  if (name == QLatin1String("LED1ON")) {
    static const QImage on = DrawImage([](QPainter& p) { Led(p, true); });
    return QPixmap::fromImage(on);
  }
  if (name == QLatin1String("LED1OFF")) {
    static const QImage off = DrawImage([](QPainter& p) { Led(p, false); });
    return QPixmap::fromImage(off);
  }
  return QPixmap();
}

}  // namespace glyphs
