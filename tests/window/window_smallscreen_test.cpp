// A 1280 x 800 laptop: a window described larger than the screen, or kept on
// a monitor that is gone, comes up whole on the screen there is.
#include <QScreen>
#include <QTest>

#include "config/inifile.h"
#include "support/screenmain.h"
#include "support/windowfixture.h"

class WindowSmallScreenTest : public QObject {
  Q_OBJECT
 private slots:
  void aLargerDescribedWindowIsScaledOntoTheScreen() {
    WindowOptions options;
    options.writeClassroom = true;
    options.extraSettings = {{"Interface", "MainFormWidth", "1900"},
                             {"Interface", "MainFormHeight", "1000"}};
    WindowFixture fx(options);
    QVERIFY2(fx.Ok(), fx.Error().c_str());
    ConsoleWindow& form = fx.form();
    const QRect area = form.screen()->availableGeometry();
    QCOMPARE(area.size(), QSize(1280, 800));
    QVERIFY2(area.contains(form.frameGeometry()),
             qPrintable(QStringLiteral("%1,%2 %3x%4").arg(form.x()).arg(form.y()).arg(form.width()).arg(form.height())));
    QVERIFY(form.minimumWidth() <= area.width() && form.minimumHeight() <= area.height());
    // All of it scaled down: the bottom panels and the strip too.
    QVERIFY(fx.Desk(1)->width() < console::kDeskPanelWidth);
    QVERIFY(form.client->rect().contains(form.allDesks->geometry()));
    QVERIFY(form.rect().contains(form.status->geometry()));
  }

  void aWindowKeptOnAMonitorThatIsGoneComesBackToThisOne() {
    WindowOptions options;
    options.extraSettings = {{"Interface", "WindowLeft", "2500"}, {"Interface", "WindowTop", "100"},
                             {"Interface", "WindowWidth", "900"}, {"Interface", "WindowHeight", "700"}};
    WindowFixture fx(options);
    QVERIFY2(fx.Ok(), fx.Error().c_str());
    ConsoleWindow& form = fx.form();
    QVERIFY(form.screen()->availableGeometry().contains(form.frameGeometry()));
    QCOMPARE(form.size(), QSize(900, 700));
    // Nothing changed by the teacher: the settings keep their bytes.
    QVERIFY(fx.Close());
    QVERIFY(!ini::IniDocument::Load(fx.settingsPath())
                 .ReadString("Interface", "WindowLeft", "")
                 .empty());
    QCOMPARE(ini::IniDocument::Load(fx.settingsPath()).ReadInteger("Interface", "WindowLeft", 0), 2500);
  }
};

int main(int argc, char** argv) {
  WindowSmallScreenTest test;
  return RunOnScreens(argc, argv, test, {{0, 0, 1280, 800}});
}

#include "window_smallscreen_test.moc"
