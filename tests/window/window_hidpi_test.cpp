// A 4K screen at QT_SCALE_FACTOR=2: the plan scales as on any screen and its
// lines and glyphs are drawn at the device's resolution, not blown up.
#include <QApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QTest>

#include "support/consolechecks.h"
#include "support/screenmain.h"
#include "support/windowfixture.h"

class WindowHiDpiTest : public QObject {
  Q_OBJECT
 private slots:
  void maximizedClicksAndDragsLandOnTheirDesk() {
    WindowOptions options = WithEmulator();
    options.extraSettings = {{"Interface", "EnableToMoveDesks", "1"}};
    WindowFixture fx(options);
    QVERIFY2(fx.Ok(), fx.Error().c_str());
    ConsoleWindow& form = fx.form();
    QCOMPARE(form.devicePixelRatioF(), 2.0);
    form.showMaximized();
    QTRY_VERIFY(form.isMaximized() && form.width() >= 1900);
    QTRY_VERIFY(fx.Desk(1)->width() >= 2 * console::kDeskPanelWidth);
    for (int n = 1; n <= kDeskCount; ++n) {
      QVERIFY(fx.Desk(n)->height() >= 2 * console::kDeskPanelHeight);
      const size_t mark = fx.TraceMark();
      QTest::mouseClick(fx.Desk(n)->listen, Qt::LeftButton);
      QCOMPARE(Writes(fx, mark), QString::asprintf("84 00 %02X", 0x10 + n - 1));
    }
    // A drag of twice the displacement stores the described one.
    const double scale = double(fx.Desk(6)->width()) / console::kDeskPanelWidth;
    const QPoint start = fx.Desk(6)->mapToGlobal(QPoint(60, 16));
    const QPoint by(qRound(40 * scale), qRound(20 * scale));
    SendMouse(fx.Desk(6), QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
    SendMouse(fx.Desk(6), QEvent::MouseMove, start + by, Qt::NoButton, Qt::LeftButton);
    SendMouse(fx.Desk(6), QEvent::MouseButtonRelease, start + by, Qt::LeftButton, Qt::NoButton);
    const console::DeskDisplay moved = form.model().Display().desks[5];
    QCOMPARE(QPoint(moved.left, moved.top), WindowFixture::StoredPosition(6) + QPoint(40, 20));
  }

  void linesAndGlyphsAreDrawnAtTheDevicesResolution() {
    WindowFixture fx(WithEmulator());
    QVERIFY2(fx.Ok(), fx.Error().c_str());
    ConsoleWindow& form = fx.form();
    // A glyph asked for at its size on this screen is drawn with twice the pixels.
    GlyphButton* listen = fx.Desk(1)->listen;
    const QPixmap glyph = listen->icon().pixmap(listen->iconSize(), form.devicePixelRatioF());
    QCOMPARE(glyph.size(), listen->iconSize() * 2);
    QVERIFY(glyph.toImage() != listen->icon().pixmap(listen->iconSize(), 1.0).toImage().scaled(glyph.size()));
    // A slanting pair line at the described size: drawn at the device's
    // resolution its edge steps by single device pixels, which an enlarged
    // picture (every pixel doubled) never does.
    fx.room().PairLinkCode[0] = "ac";
    QCOMPARE(Play(fx, "b1"), QString());
    form.repaint();
    const QImage shown = form.grab().toImage();
    QCOMPARE(shown.devicePixelRatio(), 2.0);
    const QPoint gapTop = fx.Desk(1)->mapTo(&form, QPoint(console::kDeskPanelWidth + 2, 0)) * 2;
    // The line crosses the 23-pixel gap between the panels about 35 to 41
    // pixels down; within each pair of device rows (one described pixel)
    // its left edge moves when drawn sharp, and never when enlarged.
    const int gapWidth = 2 * 23 - 4;
    int withinPairSteps = 0;
    int previous = -1;
    for (int y = gapTop.y() + 2 * 30; y < gapTop.y() + 2 * 46; ++y) {
      int x = gapTop.x();
      while (x < gapTop.x() + gapWidth && shown.pixelColor(x, y) != colours::kLink) ++x;
      const bool found = x < gapTop.x() + gapWidth;
      if (found && previous >= 0 && (y - gapTop.y()) % 2 == 1 && x != previous) ++withinPairSteps;
      previous = found ? x : -1;
    }
    QVERIFY2(withinPairSteps > 0, "the line's edge moves in doubled pixels");
  }
};

int main(int argc, char** argv) {
  WindowHiDpiTest test;
  return RunOnScreens(argc, argv, test, {{0, 0, 3840, 2160}}, 2.0);
}

#include "window_hidpi_test.moc"
