// The console's own font.
#include "app/classicfont.h"

#include <QFontDatabase>
#include <QStringList>

QFont ClassicFont() {
  // A family the system lacks is not simply skipped: Qt searches for it and
  // its stand-ins at each font's first use. Named only where it is there.
  static const QStringList families =
      QFontDatabase::hasFamily(QStringLiteral("MS Sans Serif"))
          ? QStringList{QStringLiteral("MS Sans Serif"), QStringLiteral("DejaVu Sans")}
          : QStringList{QStringLiteral("DejaVu Sans")};
  QFont font;
  font.setFamilies(families);
  font.setPixelSize(11);
  return font;
}
