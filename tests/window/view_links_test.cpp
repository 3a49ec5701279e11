// Pair lines and line frames as pixels of the window's surface, drawn from
// the register copy.
#include <QTest>

#include "view/colours.h"
#include "support/windowfixture.h"

namespace {

bool IsBlue(const QImage& image, int x, int y) {
  return image.pixel(x, y) == colours::kLink.rgb();
}

int BlueCount(const QImage& image) {
  int count = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) count += IsBlue(image, x, y);
  }
  return count;
}

void SetLineBit(ClassroomState& room, int deskIndex) {
  if (deskIndex < 8) {
    room.SwitchState.LineLow |= uint8_t(1u << deskIndex);
  } else {
    room.SwitchState.LineHigh |= uint8_t(1u << (deskIndex - 8));
  }
}

void JoinPair(ClassroomState& room, int pairIndex) {
  room.SwitchState.Pairs |= uint8_t(1u << pairIndex);
}

}  // namespace

class ViewLinksTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<WindowFixture> fx_;
  ConsoleWindow& form() { return fx_->form(); }
  ClassroomState& room() { return fx_->room(); }
  const QImage& surface() { return fx_->form().Surface(); }

 private slots:
  void init() {
    WindowOptions options;
    options.writeClassroom = true;  // the stored layout, all desks shown
    fx_ = std::make_unique<WindowFixture>(options);
    QVERIFY2(fx_->Ok(), fx_->Error().c_str());
  }
  void cleanup() { fx_.reset(); }

  void centreLineCrossesTheGap();
  void cornerCodeRunsAlongTheBottomEdges();
  void unknownSecondLetterDrawsNothing();
  void hiddenPartnerGetsNoLine();
  void frameIsATwoPixelBand();
  void hiddenDeskGetsNoFrameUntilShown();
  void redrawClearsWhatIsNoLongerSet();
  void windowShowsTheSurface();
};

void ViewLinksTest::centreLineCrossesTheGap() {
  JoinPair(room(), 0);
  form().Redraw();
  // "oo": (80, 37) to (248, 37), 5 pixels wide.
  for (int x = 153; x <= 175; ++x) QVERIFY2(IsBlue(surface(), x, 37), qPrintable(QString::number(x)));
  for (int y = 35; y <= 39; ++y) QVERIFY(IsBlue(surface(), 165, y));
  QVERIFY(!IsBlue(surface(), 165, 33));
  QVERIFY(!IsBlue(surface(), 165, 41));
  QVERIFY(IsBlue(surface(), 80, 37));
  QVERIFY(IsBlue(surface(), 248, 37));
  QVERIFY(!IsBlue(surface(), 260, 37));  // ends at the second centre
  QVERIFY(!IsBlue(surface(), 60, 37));
  // No other pair and no frame was drawn.
  QVERIFY(!IsBlue(surface(), 480, 37));
  QVERIFY(!IsBlue(surface(), 6, 30));
}

void ViewLinksTest::cornerCodeRunsAlongTheBottomEdges() {
  room().PairLinkCode[0] = "cd";
  JoinPair(room(), 0);
  form().Redraw();
  for (int x = 153; x <= 176; ++x) QVERIFY2(IsBlue(surface(), x, 75), qPrintable(QString::number(x)));
  QVERIFY(!IsBlue(surface(), 165, 37));
  QVERIFY(!IsBlue(surface(), 165, 70));
  QVERIFY(!IsBlue(surface(), 120, 75));

  // A code for pair 7-8 ("db"): bottom-left of desk 7 to top-right of desk 8.
  room().PairLinkCode[3] = "db";
  JoinPair(room(), 3);
  form().Redraw();
  // From (376, 179) to (689, 104): the midpoint lies on the line.
  QVERIFY(IsBlue(surface(), 532, 141));
}

void ViewLinksTest::unknownSecondLetterDrawsNothing() {
  room().PairLinkCode[2] = "oO";
  JoinPair(room(), 2);
  form().Redraw();
  QCOMPARE(BlueCount(surface()), 0);

  // An unknown first letter starts at the centre.
  room().PairLinkCode[2] = "?o";
  form().Redraw();
  QVERIFY(IsBlue(surface(), 165, 104 + 37));
}

void ViewLinksTest::hiddenPartnerGetsNoLine() {
  fx_->ShowDesk(16, false);
  JoinPair(room(), 7);
  form().Redraw();
  QCOMPARE(BlueCount(surface()), 0);
}

void ViewLinksTest::frameIsATwoPixelBand() {
  // Pair 5-6 joined as well: the band looks the same with lines drawn first.
  JoinPair(room(), 2);
  SetLineBit(room(), 5);   // desk 6 at (176, 104)
  SetLineBit(room(), 10);  // desk 11 at (376, 208), high byte
  form().Redraw();
  struct Probe {
    int x, y;
    bool blue;
  };
  const Probe desk6[] = {
      {173, 130, false}, {174, 130, true}, {175, 130, true},   // left edge
      {321, 130, true},  {322, 130, true}, {323, 130, false},  // right edge
      {250, 101, false}, {250, 102, true}, {250, 103, true},   // top edge
      {250, 179, true},  {250, 180, true}, {250, 181, false},  // bottom edge
      {174, 102, true},  {322, 180, true}, {173, 101, false},  // corners
  };
  for (const Probe& p : desk6) {
    QVERIFY2(IsBlue(surface(), p.x, p.y) == p.blue,
             qPrintable(QStringLiteral("(%1, %2)").arg(p.x).arg(p.y)));
  }
  QVERIFY(IsBlue(surface(), 375, 250));
  QVERIFY(IsBlue(surface(), 522, 250));
  QVERIFY(!IsBlue(surface(), 373, 250));
  // Desk 5 has no frame: its left side shows background.
  QVERIFY(!IsBlue(surface(), 6, 130));
}

void ViewLinksTest::hiddenDeskGetsNoFrameUntilShown() {
  SetLineBit(room(), 6);  // desk 7 at (376, 104)
  fx_->ShowDesk(7, false);
  QCOMPARE(BlueCount(surface()), 0);
  fx_->ShowDesk(7, true);
  QVERIFY(IsBlue(surface(), 375, 130));
  QVERIFY(IsBlue(surface(), 374, 130));
}

void ViewLinksTest::redrawClearsWhatIsNoLongerSet() {
  JoinPair(room(), 0);
  SetLineBit(room(), 12);
  form().Redraw();
  QVERIFY(BlueCount(surface()) > 0);
  room().SwitchState.Pairs = 0;
  room().SwitchState.LineHigh = 0;
  form().Redraw();
  QCOMPARE(BlueCount(surface()), 0);
  QCOMPARE(surface().pixel(165, 37), colours::kButtonFace.rgb());
}

void ViewLinksTest::windowShowsTheSurface() {
  JoinPair(room(), 0);
  form().Redraw();
  QTest::qWait(50);
  // The described client area, under the menu bar.
  const QImage shown = form().client->grab().toImage();
  // The stretch in the gap shows; under the panels it is covered.
  QVERIFY(IsBlue(shown, 165, 37));
  QVERIFY(!IsBlue(shown, 100, 37));
}

QTEST_MAIN(ViewLinksTest)
#include "view_links_test.moc"
