// Selecting desk panels with the mouse and dragging them, through real mouse
// events on the panels.
#include <QApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QTest>

#include "view/colours.h"
#include "support/windowfixture.h"

namespace {

// A mouse event on a panel at a point given in the panel's coordinates when
// the gesture began; the global position carries the displacement.
void Send(DeskPanel* panel, QEvent::Type type, QPoint globalStart, QPoint offset,
          Qt::MouseButton button, Qt::MouseButtons held) {
  const QPoint global = globalStart + offset;
  QMouseEvent event(type, QPointF(panel->mapFromGlobal(global)), QPointF(global), button, held,
                    Qt::NoModifier);
  QApplication::sendEvent(panel, &event);
}

// Press with the left button, move in steps to `by`, release there.
void Drag(DeskPanel* panel, QPoint by) {
  const QPoint start = panel->mapToGlobal(QPoint(30, 8));
  Send(panel, QEvent::MouseButtonPress, start, {}, Qt::LeftButton, Qt::LeftButton);
  Send(panel, QEvent::MouseMove, start, by / 2, Qt::NoButton, Qt::LeftButton);
  Send(panel, QEvent::MouseMove, start, by, Qt::NoButton, Qt::LeftButton);
  Send(panel, QEvent::MouseButtonRelease, start, by, Qt::LeftButton, Qt::NoButton);
}

bool IsBlue(const QImage& image, int x, int y) {
  return image.pixel(x, y) == colours::kLink.rgb();
}

}  // namespace

class ViewDraggingTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<WindowFixture> Make(int enableToMoveDesks) {
    WindowOptions options;
    options.writeClassroom = true;
    options.extraSettings = {
        {"Interface", "EnableToMoveDesks", std::to_string(enableToMoveDesks)}};
    return std::make_unique<WindowFixture>(options);
  }

 private slots:
  void dragDownMarksTheClassroomChanged();
  void dragToTheRightOnlyDoesNot();
  void dragBackToTheStartLeavesTheFlag();
  void disabledDraggingStillSelects();
  void rightButtonSelectsButDoesNotMove();
  void linksFollowADraggedDesk();
};

void ViewDraggingTest::dragDownMarksTheClassroomChanged() {
  auto fx = Make(1);
  QVERIFY2(fx->Ok(), fx->Error().c_str());
  DeskPanel* desk6 = fx->Desk(6);
  fx->Desk(3)->setFlat(true);  // the mark of an earlier selection
  Drag(desk6, QPoint(0, 40));
  QCOMPARE(desk6->pos(), WindowFixture::StoredPosition(6) + QPoint(0, 40));
  QCOMPARE(fx->room().ClassroomChanged, 1);
  QCOMPARE(fx->form().model().selectedDesk(), 5);
  for (int n = 1; n <= 16; ++n) QCOMPARE(fx->Desk(n)->isFlat(), n == 6);
  // Out of the window: the panel stops at the plan's edge, whole, and on top
  // of its neighbours.
  Drag(desk6, QPoint(-250, -300));
  QCOMPARE(desk6->pos(), QPoint(0, 0));
  Drag(desk6, QPoint(2000, 2000));
  QCOMPARE(desk6->geometry().bottomRight(), QPoint(699, 449));
  QCOMPARE(fx->form().client->childAt(desk6->geometry().center()), static_cast<QWidget*>(desk6));
}

void ViewDraggingTest::dragToTheRightOnlyDoesNot() {
  auto fx = Make(1);
  QVERIFY2(fx->Ok(), fx->Error().c_str());
  Drag(fx->Desk(6), QPoint(60, 0));
  QCOMPARE(fx->Desk(6)->pos(), WindowFixture::StoredPosition(6) + QPoint(60, 0));
  // A sideways move is a change of the plan too: it must not be lost.
  QCOMPARE(fx->room().ClassroomChanged, 1);
}

void ViewDraggingTest::dragBackToTheStartLeavesTheFlag() {
  auto fx = Make(7);  // any non-zero value enables dragging
  QVERIFY2(fx->Ok(), fx->Error().c_str());
  DeskPanel* desk = fx->Desk(11);
  const QPoint start = desk->mapToGlobal(QPoint(20, 5));
  Send(desk, QEvent::MouseButtonPress, start, {}, Qt::LeftButton, Qt::LeftButton);
  Send(desk, QEvent::MouseMove, start, QPoint(15, 30), Qt::NoButton, Qt::LeftButton);
  QCOMPARE(desk->pos(), WindowFixture::StoredPosition(11) + QPoint(15, 30));
  Send(desk, QEvent::MouseMove, start, {}, Qt::NoButton, Qt::LeftButton);
  Send(desk, QEvent::MouseButtonRelease, start, {}, Qt::LeftButton, Qt::NoButton);
  QCOMPARE(desk->pos(), WindowFixture::StoredPosition(11));
  QCOMPARE(fx->room().ClassroomChanged, 0);

  fx->room().ClassroomChanged = 1;
  Drag(desk, QPoint(9, 0));
  QCOMPARE(fx->room().ClassroomChanged, 1);
  // A move with no button held moves nothing.
  Send(desk, QEvent::MouseMove, desk->mapToGlobal(QPoint(5, 5)), QPoint(0, 50), Qt::NoButton,
       Qt::NoButton);
  QCOMPARE(desk->pos(), WindowFixture::StoredPosition(11) + QPoint(9, 0));
}

void ViewDraggingTest::disabledDraggingStillSelects() {
  auto fx = Make(0);
  QVERIFY2(fx->Ok(), fx->Error().c_str());
  Drag(fx->Desk(6), QPoint(0, 40));
  QCOMPARE(fx->Desk(6)->pos(), WindowFixture::StoredPosition(6));
  QCOMPARE(fx->room().ClassroomChanged, 0);
  QCOMPARE(fx->form().model().selectedDesk(), 5);
  QVERIFY(fx->Desk(6)->isFlat());

  // A move over another desk selects it, and the selection mark goes with it:
  // the menu and the LED commands act on the desk that is marked.
  Send(fx->Desk(9), QEvent::MouseMove, fx->Desk(9)->mapToGlobal(QPoint(5, 5)), {}, Qt::NoButton,
       Qt::NoButton);
  QCOMPARE(fx->form().model().selectedDesk(), 8);
  QVERIFY(!fx->Desk(6)->marks().selected);
  QVERIFY(fx->Desk(9)->marks().selected);
}

void ViewDraggingTest::rightButtonSelectsButDoesNotMove() {
  auto fx = Make(1);
  QVERIFY2(fx->Ok(), fx->Error().c_str());
  DeskPanel* desk = fx->Desk(16);
  const QPoint start = desk->mapToGlobal(QPoint(30, 8));
  Send(desk, QEvent::MouseButtonPress, start, {}, Qt::RightButton, Qt::RightButton);
  fx->form().deskMenu->close();
  QCOMPARE(fx->form().model().selectedDesk(), 15);
  QVERIFY(desk->isFlat());
  Send(desk, QEvent::MouseMove, start, QPoint(0, 40), Qt::NoButton, Qt::RightButton);
  Send(desk, QEvent::MouseButtonRelease, start, QPoint(0, 40), Qt::RightButton, Qt::NoButton);
  QCOMPARE(desk->pos(), WindowFixture::StoredPosition(16));
  QCOMPARE(fx->room().ClassroomChanged, 0);
}

void ViewDraggingTest::linksFollowADraggedDesk() {
  auto fx = Make(1);
  QVERIFY2(fx->Ok(), fx->Error().c_str());
  fx->room().SwitchState.Pairs = 1u << 2;    // pair 5-6
  fx->room().SwitchState.LineLow = 1u << 5;  // desk 6 on the line
  fx->form().Redraw();
  const QImage& surface = fx->form().Surface();
  QVERIFY(IsBlue(surface, 164, 141));
  QVERIFY(IsBlue(surface, 174, 130));

  Drag(fx->Desk(6), QPoint(0, 40));

  // Now from (80, 141) to (248, 181): at x = 164 the line is at y = 161.
  QVERIFY(IsBlue(surface, 164, 161));
  QVERIFY(!IsBlue(surface, 164, 141));
  // The frame stands around the new place and is gone from the old one.
  QVERIFY(IsBlue(surface, 174, 170));
  QVERIFY(IsBlue(surface, 250, 220));
  QVERIFY(!IsBlue(surface, 250, 221));
  QVERIFY(!IsBlue(surface, 250, 102));
  QCOMPARE(fx->Desk(5)->lineButton->text(), QStringLiteral("Пара"));
}

QTEST_MAIN(ViewDraggingTest)
#include "view_dragging_test.moc"
