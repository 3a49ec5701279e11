// The window on a 1920 x 1080 screen: maximized, the plan fills it, every
// click lands on the desk under the pointer and a drag stores described
// coordinates; the size the teacher leaves is kept for the next start.
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QScreen>
#include <QTest>

#include "app/consolemenus.h"
#include "app/heardgauge.h"
#include "app/namebox.h"
#include "config/inifile.h"
#include "support/consolechecks.h"
#include "support/screenmain.h"
#include "support/windowfixture.h"

namespace {

WindowOptions Movable() {
  WindowOptions options = WithEmulator();
  options.extraSettings = {{"Interface", "EnableToMoveDesks", "1"}};
  return options;
}

// A left click at a point of the window, on whatever control is there.
QWidget* ClickAt(QWidget& window, QPoint at) {
  QWidget* target = window.childAt(at);
  if (target == nullptr) return nullptr;
  QTest::mouseClick(target, Qt::LeftButton, Qt::NoModifier, target->mapFrom(&window, at));
  return target;
}

}  // namespace

class WindowScaleTest : public QObject {
  Q_OBJECT
 private slots:
  void maximizedThePlanFillsTheScreenAndClicksLandOnTheirDesk();
  void aDragAtTwiceTheSizeStoresDescribedCoordinates();
  void theSizeLeftIsKeptForTheNextStart();
  void menusAndTheStripGrowWithThePlan();
  void heardGaugesGrowWithTheirDesks();
};

void WindowScaleTest::maximizedThePlanFillsTheScreenAndClicksLandOnTheirDesk() {
  WindowFixture fx(WithEmulator());
  QVERIFY2(fx.Ok(), fx.Error().c_str());
  ConsoleWindow& form = fx.form();
  form.showMaximized();
  QTRY_COMPARE(form.frameGeometry(), form.screen()->availableGeometry());
  for (int n = 1; n <= kDeskCount; ++n) {
    DeskPanel* panel = fx.Desk(n);
    QVERIFY2(panel->width() >= 2 * console::kDeskPanelWidth &&
                 panel->height() >= 2 * console::kDeskPanelHeight,
             qPrintable(QStringLiteral("desk %1: %2 x %3").arg(n).arg(panel->width()).arg(panel->height())));
  }
  // The bottom panels grow with the plan and stay whole on the screen.
  QVERIFY(form.teacher->width() >= 2 * 345);
  QVERIFY(form.client->rect().contains(form.allDesks->geometry()));
  QVERIFY(form.rect().contains(form.status->geometry()));

  for (int n = 1; n <= kDeskCount; ++n) {
    const size_t mark = fx.TraceMark();
    const QPoint centre = fx.Desk(n)->listen->geometry().center();
    QCOMPARE(ClickAt(form, fx.Desk(n)->mapTo(&form, centre)), fx.Desk(n)->listen);
    QCOMPARE(Writes(fx, mark), QString::asprintf("84 00 %02X", 0x10 + n - 1));
    QVERIFY(fx.Desk(n)->listen->isChecked());
  }
  // The link picture is drawn through the scale: desks 1 and 2 joined get
  // their line from centre to centre of the enlarged panels, 5 pixels scaled.
  QCOMPARE(Play(fx, "b1"), QString());
  form.repaint();
  const QImage shown = form.grab().toImage();
  const QRect one(fx.Desk(1)->mapTo(&form, QPoint()), fx.Desk(1)->size());
  const QRect two(fx.Desk(2)->mapTo(&form, QPoint()), fx.Desk(2)->size());
  const int gapX = (one.right() + two.left()) / 2;
  int thickness = 0;
  for (int y = one.top(); y <= one.bottom(); ++y) thickness += shown.pixelColor(gapX, y) == colours::kLink;
  QVERIFY2(thickness >= 10 && thickness <= 11, qPrintable(QString::number(thickness)));
  QCOMPARE(shown.pixelColor(gapX, one.center().y()), colours::kLink);
}

void WindowScaleTest::aDragAtTwiceTheSizeStoresDescribedCoordinates() {
  WindowFixture fx(Movable());
  QVERIFY2(fx.Ok(), fx.Error().c_str());
  ConsoleWindow& form = fx.form();
  form.resize(1400, form.height() - form.client->height() + 1000);
  QTRY_COMPARE(fx.Desk(6)->width(), 2 * console::kDeskPanelWidth);
  DeskPanel* desk6 = fx.Desk(6);
  const QPoint start = desk6->mapToGlobal(QPoint(60, 16));
  SendMouse(desk6, QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
  SendMouse(desk6, QEvent::MouseMove, start + QPoint(40, 20), Qt::NoButton, Qt::LeftButton);
  SendMouse(desk6, QEvent::MouseMove, start + QPoint(80, 40), Qt::NoButton, Qt::LeftButton);
  SendMouse(desk6, QEvent::MouseButtonRelease, start + QPoint(80, 40), Qt::LeftButton, Qt::NoButton);
  const QPoint described = WindowFixture::StoredPosition(6) + QPoint(40, 20);
  const console::DeskDisplay moved = form.model().Display().desks[5];
  QCOMPARE(QPoint(moved.left, moved.top), described);
  QCOMPARE(desk6->pos(), described * 2);
  QCOMPARE(fx.room().ClassroomChanged, 1);
  // Saved, the file holds the described place, so it opens the same anywhere.
  form.Apply([](console::ConsoleModel& m) { m.SaveCurrentClassroom(); });
  const ini::IniDocument file = ini::IniDocument::Load(fx.classroomPath());
  QCOMPARE(file.ReadInteger("Desk6", "CoordinateLeft", -1), described.x());
  QCOMPARE(file.ReadInteger("Desk6", "CoordinateTop", -1), described.y());
}

void WindowScaleTest::theSizeLeftIsKeptForTheNextStart() {
  WindowOptions options = WithEmulator();
  WindowFixture fx(options);
  QVERIFY2(fx.Ok(), fx.Error().c_str());
  // Untouched, the settings file stays as it was.
  const ini::IniDocument before = ini::IniDocument::Load(fx.settingsPath());
  fx.form().setGeometry(100, 80, 1200, 900);
  fx.form().showMaximized();
  QTRY_VERIFY(fx.form().isMaximized());
  QVERIFY(fx.Close());
  const ini::IniDocument after = ini::IniDocument::Load(fx.settingsPath());
  QCOMPARE(after.ReadInteger("Interface", "WindowWidth", 0), 1200);
  QCOMPARE(after.ReadInteger("Interface", "WindowHeight", 0), 900);
  QCOMPARE(after.ReadInteger("Interface", "WindowLeft", 0), 100);
  QCOMPARE(after.ReadInteger("Interface", "WindowMaximized", 0), 1);
  QCOMPARE(after.ReadString("Interface", "MainFormWidth", ""), before.ReadString("Interface", "MainFormWidth", ""));
}

// Maximized, the menu bar, every menu and the status strip are drawn at a
// larger font, each entry and message still whole and the plan still twice
// its size; back at the described size they are as they were.
void WindowScaleTest::menusAndTheStripGrowWithThePlan() {
  WindowFixture fx(WithEmulator());
  QVERIFY2(fx.Ok(), fx.Error().c_str());
  ConsoleWindow& form = fx.form();
  const int described = form.menuBar->font().pixelSize();
  // The parts' menus (not the menu bar's own overflow menu, which has no name).
  QList<QMenu*> menus = form.findChildren<QMenu*>();
  menus.removeIf([](QMenu* menu) { return menu->objectName().isEmpty(); });
  QVERIFY(menus.size() >= 9);
  form.showMaximized();
  QTRY_COMPARE(form.frameGeometry(), form.screen()->availableGeometry());
  const int grown = form.menuBar->font().pixelSize();
  QVERIFY2(grown > described && grown <= described * console::kChromeScaleCap,
           qPrintable(QStringLiteral("%1 -> %2").arg(described).arg(grown)));
  QCOMPARE(form.status->font().pixelSize(), grown);
  QCOMPARE(form.status->linkLabel->font().pixelSize(), grown);
  QVERIFY(fx.Desk(1)->width() >= 2 * console::kDeskPanelWidth);
  // Every title of the menu bar on it, every menu's entries whole.
  for (QAction* title : form.menuBar->actions()) {
    QVERIFY2(form.menuBar->rect().contains(form.menuBar->actionGeometry(title)), qPrintable(title->text()));
  }
  for (QMenu* menu : menus) {
    QCOMPARE(menu->font().pixelSize(), grown);
    menu->popup(form.mapToGlobal(QPoint(10, 10)));
    QTRY_VERIFY(menu->isVisible());
    QVERIFY2(menu->width() >= WholeEntriesWidth(menu), qPrintable(menu->objectName()));
    menu->close();
  }
  // The strip's messages whole at the larger font.
  QTRY_COMPARE(form.status->height(), form.status->HeightFor(form.width()));
  QLabel* link = form.status->linkLabel;
  QVERIFY(link->heightForWidth(link->width()) <= link->height());

  form.showNormal();
  QTRY_COMPARE(form.client->size(), QSize(700, 500));
  QCOMPARE(form.menuBar->font().pixelSize(), described);
  QCOMPARE(form.status->font().pixelSize(), described);
  for (QMenu* menu : menus) QCOMPARE(menu->font().pixelSize(), described);
}

// The plan draws the record's heard gauges on its desks, bar and figure in
// proportion at twice the size.
void WindowScaleTest::heardGaugesGrowWithTheirDesks() {
  WindowFixture fx(WithEmulator());
  QVERIFY2(fx.Ok(), fx.Error().c_str());
  ConsoleWindow& form = fx.form();
  form.resize(1400, form.height() - form.client->height() + 1000);
  QTRY_COMPARE(fx.Desk(1)->width(), 2 * console::kDeskPanelWidth);
  std::array<console::HeardGauge, kDeskCount> heard{};
  heard[0].permille = 1000;
  heard[0].figure = "12:00";
  form.plan->ShowHeard(true);
  form.plan->DrawHeard(heard);
  HeardGaugeWidget* gauge = fx.Desk(1)->heard;
  QVERIFY(gauge->isVisible());
  QCOMPARE(gauge->size(), QSize(2 * 106, 2 * 10));
  QCOMPARE(gauge->gauge().figure, std::string("12:00"));
  const QImage drawn = gauge->grab().toImage();
  const int barEnd = 2 * 66;
  const int middle = drawn.height() / 2;
  QCOMPARE(drawn.pixelColor(barEnd - 3, middle), QColor(0, 150, 0));
  QVERIFY(drawn.pixelColor(barEnd + 2, middle) != QColor(0, 150, 0));
  form.plan->ShowHeard(false);
  QVERIFY(gauge->isHidden());
}

int main(int argc, char** argv) {
  WindowScaleTest test;
  return RunOnScreens(argc, argv, test, {{0, 0, 1920, 1080}});
}

#include "window_scale_test.moc"
