// The console's pictures, drawn by the program: button glyphs, the 16 x 16
// image list and the bitmap resources "LED1ON" and "LED1OFF".
#pragma once

#include <QIcon>
#include <QList>
#include <QPixmap>
#include <QString>

namespace glyphs {

enum class Glyph { Headphones, Microphone, LedOn, LedOff, LoudspeakerWaves };

QIcon ButtonGlyph(Glyph glyph);
// The 20 pictures of the image list, by index (0 headphones ... 19 green tick).
QList<QIcon> ImageList();
// A bitmap resource by name: "LED1ON" or "LED1OFF"; a null pixmap otherwise.
QPixmap BitmapResource(const QString& name);

}  // namespace glyphs
