// Draws the application icon (a headset on a blue tile, with a desk's call
// light) and writes it as PNGs: `vormik-icon FOLDER SIZE...` -> FOLDER/vormik-SIZE.png.
#include <QColor>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QString>
#include <cstdio>
#include <cstdlib>

namespace {

// Drawn on a 256 x 256 grid and scaled, so every size has the same shapes.
constexpr double kGrid = 256.0;

QImage DrawIcon(int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / kGrid, size / kGrid);

  QLinearGradient tile(0, 16, 0, 240);
  tile.setColorAt(0, QColor(0x2e, 0x7d, 0xc4));
  tile.setColorAt(1, QColor(0x16, 0x4a, 0x80));
  p.setPen(Qt::NoPen);
  p.setBrush(tile);
  p.drawRoundedRect(QRectF(12, 12, 232, 232), 44, 44);

  const QColor white(0xfa, 0xfa, 0xfa);
  // Head band: the upper half of a circle around the head.
  QPen band(white, 20, Qt::SolidLine, Qt::RoundCap);
  p.setPen(band);
  p.setBrush(Qt::NoBrush);
  p.drawArc(QRectF(52, 56, 152, 152), 0 * 16, 180 * 16);

  // Ear cups.
  p.setPen(Qt::NoPen);
  p.setBrush(white);
  p.drawRoundedRect(QRectF(36, 122, 44, 76), 16, 16);
  p.drawRoundedRect(QRectF(176, 122, 44, 76), 16, 16);

  // Microphone boom from the left cup to the mouth.
  QPainterPath boom;
  boom.moveTo(62, 196);
  boom.cubicTo(70, 226, 100, 226, 122, 222);
  p.setPen(QPen(white, 12, Qt::SolidLine, Qt::RoundCap));
  p.drawPath(boom);
  p.setPen(Qt::NoPen);
  p.drawEllipse(QPointF(130, 221), 15, 15);

  // The desk's call light, as on the console's LED buttons.
  p.setBrush(white);
  p.drawEllipse(QPointF(200, 56), 30, 30);
  p.setBrush(QColor(0xe5, 0x39, 0x35));
  p.drawEllipse(QPointF(200, 56), 22, 22);
  return image;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fputs("usage: vormik-icon FOLDER SIZE...\n", stderr);
    return 2;
  }
  const QString folder = QString::fromLocal8Bit(argv[1]);
  for (int i = 2; i < argc; ++i) {
    const int size = std::atoi(argv[i]);
    const QString path = QStringLiteral("%1/vormik-%2.png").arg(folder).arg(size);
    if (size < 8 || size > 1024 || !DrawIcon(size).save(path, "PNG")) {
      std::fprintf(stderr, "vormik-icon: cannot write %s\n", path.toLocal8Bit().constData());
      return 1;
    }
  }
  return 0;
}
