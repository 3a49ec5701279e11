// Start-up and shutdown of the main window: settings file, client size,
// command line, first contact with the controller, the poll, the close question.
#include <QDir>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include "config/inifile.h"
#include "config/settings.h"
#include "platform/system.h"
#include "resources/glyphs.h"
#include "support/screenmain.h"
#include "support/windowfixture.h"
#include "tests/support/filetext.h"

using Kind = FakePrompter::Kind;
using testsupport::TraceLine;

namespace {

using testsupport::FileText;

bool WriteText(const std::string& path, const std::string& bytes) {
  return platform::ReplaceFileAtomically(path, bytes);
}

// The client size of the settings is the plan's; the status strip lies below it.
// The described client area lies under the menu bar.
int PlanHeight(ConsoleWindow& form) { return form.status->y() - form.client->y(); }

std::vector<uint8_t> Frame(uint8_t command) {
  const uint8_t sum = static_cast<uint8_t>(0x86 + command);
  return {0x55, 0x30, command, 0x00, 0x00, sum};
}

std::string Hex(const std::vector<TraceLine>& lines) {
  std::string text;
  for (const TraceLine& l : lines) text += testsupport::HexText(l.rx) + " | ";
  return text;
}

}  // namespace

class AppStartupTest : public QObject {
  Q_OBJECT

 private slots:
  void firstStartWritesTheDefaultSettings();
  void anExistingSettingsFileIsNeverRewritten();
  void clientSizeAndBottomPanels_data();
  void clientSizeAndBottomPanels();
  void commandLineClassroomFile();
  void missingPortDeviceOpensSilently();
  void closeAsksOnlyWhenTheClassroomChanged();
  void failedSaveAtCloseKeepsTheWindowOpen();
  void startupAgainstAnsweringController();
  void readThreadStopKeepsThePollSilent();
  void pollTurnsTheDeskLedOn();
  void probeFailureSendsNoReset();
  void shownOnScreenOnceTheWindowIsExposed();
};

void AppStartupTest::firstStartWritesTheDefaultSettings() {
  WindowOptions options;
  options.writeSettings = false;
  WindowFixture fx(options);
  QVERIFY2(fx.Ok(), fx.Error().c_str());
  QCOMPARE(FileText(fx.settingsPath()), settings::DefaultSettingsText());
  QCOMPARE(fx.form().width(), 700);
  QCOMPARE(PlanHeight(fx.form()), 500);
  QCOMPARE(fx.prompter().records.size(), size_t{0});
}

void AppStartupTest::anExistingSettingsFileIsNeverRewritten() {
  // Keys missing on purpose: the program must still leave the file alone.
  WindowOptions options;
  options.settingsText =
      "[Communication]\r\nPortName=/nonexistent/tty\r\nReadThreadStop=1\r\n"
      "[Interface]\r\nMainFormWidth=640\r\n";
  WindowFixture fx(options);
  QVERIFY2(fx.Ok(), fx.Error().c_str());
  QCOMPARE(fx.form().width(), 640);
  QCOMPARE(PlanHeight(fx.form()), 500);
  QVERIFY(fx.Close());
  QCOMPARE(FileText(fx.settingsPath()), options.settingsText);
}

void AppStartupTest::clientSizeAndBottomPanels_data() {
  QTest::addColumn<QString>("width");
  QTest::addColumn<QString>("height");
  QTest::addColumn<int>("expectedWidth");
  QTest::addColumn<int>("expectedHeight");
  QTest::addColumn<int>("messages");
  QTest::addColumn<QString>("firstMessageNames");
  QTest::newRow("defaults") << QString() << QString() << 700 << 500 << 0 << QString();
  QTest::newRow("wide") << "900"
                        << "500" << 900 << 500 << 0 << QString();
  QTest::newRow("odd width halves toward zero") << "901"
                                                << "640" << 901 << 640 << 0 << QString();
  QTest::newRow("hexadecimal") << "0x384"
                               << "500" << 900 << 500 << 0 << QString();
  QTest::newRow("word as width") << "abc"
                                 << "500" << 700 << 500 << 1 << "MainFormWidth=abc";
  QTest::newRow("empty height") << "800"
                                << "" << 800 << 500 << 1 << "MainFormHeight=";
  QTest::newRow("negative width") << "-5"
                                  << "500" << 700 << 500 << 1 << "MainFormWidth=-5";
  QTest::newRow("absurd height") << "700"
                                 << "200000" << 700 << 500 << 1 << "MainFormHeight=200000";
  QTest::newRow("both bad") << "x"
                            << "0" << 700 << 500 << 2 << "MainFormWidth=x";
}

void AppStartupTest::clientSizeAndBottomPanels() {
  QFETCH(QString, width);
  QFETCH(QString, height);
  QFETCH(int, expectedWidth);
  QFETCH(int, expectedHeight);
  QFETCH(int, messages);
  QFETCH(QString, firstMessageNames);
  WindowOptions options;
  if (!width.isNull())
    options.extraSettings.emplace_back("Interface", "MainFormWidth", width.toStdString());
  if (!height.isNull()) {
    options.extraSettings.emplace_back("Interface", "MainFormHeight", height.toStdString());
  }
  WindowFixture fx(options);
  QVERIFY2(fx.Ok(), fx.Error().c_str());
  ConsoleWindow& form = fx.form();

  QCOMPARE(form.width(), expectedWidth);
  QCOMPARE(PlanHeight(form), expectedHeight);
  QCOMPARE(form.client->y(), form.menuBar->height());
  QCOMPARE(form.height(), form.menuBar->height() + expectedHeight + form.status->height());
  // Resizable, but never below the described size on a screen that holds it.
  QCOMPARE(form.minimumSize(), form.size());
  QCOMPARE(form.maximumSize(), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
  QCOMPARE(form.Surface().size(), form.client->size());

  QCOMPARE(form.teacher->y(), expectedHeight - 50);
  QCOMPARE(form.allDesks->y(), expectedHeight - 50);
  QCOMPARE(form.teacher->x(), expectedWidth / 2 - form.teacher->width() - 5);
  QCOMPARE(form.allDesks->x(), form.teacher->x() + form.teacher->width() + 15);

  QCOMPARE(fx.prompter().Count(Kind::kMessage), messages);
  if (messages > 0) {
    // The message names the key and the value that were refused, and the fallback.
    const QString text = fx.prompter().records.front().text;
    QVERIFY2(text.contains(firstMessageNames + " "), qPrintable(text));
    QVERIFY2(text.contains(firstMessageNames.startsWith("MainFormWidth") ? "700" : "500"),
             qPrintable(text));
  }
}

void AppStartupTest::commandLineClassroomFile() {
  // An existing file becomes the classroom file before the window is shown.
  {
    testsupport::TempDir other;
    const std::string cld = other.File("room.cld");
    QVERIFY(WriteText(cld,
                      "[Desk5]\r\nCoordinateLeft=33\r\nCoordinateTop=44\r\nVisible=1\r\n"
                      "StudentName=Petrov\r\n"));
    WindowOptions options;
    options.arguments = {cld, "ignored"};
    options.show = false;
    WindowFixture fx(options);
    QVERIFY2(fx.Ok(), fx.Error().c_str());
    const ini::IniDocument stored = ini::IniDocument::Load(fx.settingsPath());
    QCOMPARE(stored.ReadString("Interface", "ClassRoomConfigurationFile", "***"), cld);
    fx.form().show();
    // The classroom is loaded once the controller has been met behind the window.
    QTRY_VERIFY(fx.form().session().Started());
    QCOMPARE(fx.Desk(5)->pos(), QPoint(33, 44));
    QCOMPARE(fx.Desk(5)->nameBox->text(), QString("Petrov"));
    QVERIFY(fx.Desk(1)->isHidden());
  }
  // A path vormik.ini cannot keep unchanged is refused with a warning, and the
  // last classroom stays current.
  {
    testsupport::TempDir other;
    const std::string folder = other.File("José 教室");
    QVERIFY(QDir().mkpath(QString::fromStdString(folder)));
    const std::string cld = folder + testsupport::TempDir::kSeparator + "room.cld";
    QVERIFY(WriteText(cld, "[Desk5]\r\nVisible=1\r\n"));
    WindowOptions options;
    options.settingsText =
        "[Communication]\r\nPortName=/nonexistent/tty\r\nReadThreadStop=1\r\n"
        "[Interface]\r\nClassRoomConfigurationFile=/old/room.cld\r\n";
    options.arguments = {cld};
    options.show = false;
    WindowFixture fx(options);
    QVERIFY2(fx.Ok(), fx.Error().c_str());
    QCOMPARE(FileText(fx.settingsPath()), options.settingsText);
    QCOMPARE(fx.prompter().Count(Kind::kMessage, QStringLiteral("Vormik")), 1);
    QCOMPARE(fx.prompter().records.back().icon, QMessageBox::Warning);
    QCOMPARE(fx.prompter().records.back().text,
             QString::fromStdString("Имя файла содержит символы, которые нельзя сохранить в "
                                    "vormik.ini: " +
                                    cld + ". Выберите файл в другой папке или переименуйте его."));
  }
  // A missing file changes nothing in the settings file; it is named once,
  // and so is the stored classroom that is missing too.
  {
    WindowOptions options;
    options.settingsText =
        "[Communication]\r\nPortName=/nonexistent/tty\r\nReadThreadStop=1\r\n"
        "[Interface]\r\nClassRoomConfigurationFile=/old/room.cld\r\n";
    // Absolute as the system writes it: the console names it so.
#ifdef Q_OS_WIN
    const std::string missing = "C:\\nonexistent\\room.cld";
#else
    const std::string missing = "/nonexistent/room.cld";
#endif
    options.arguments = {missing};
    WindowFixture fx(options);
    QVERIFY2(fx.Ok(), fx.Error().c_str());
    QCOMPARE(FileText(fx.settingsPath()), options.settingsText);
    QCOMPARE(fx.prompter().Texts(Kind::kMessage),
             QString::fromStdString("Vormik: Файл кабинета «" + missing + "» не найден.\n"
                                    "Vormik: Файл кабинета «/old/room.cld» не найден.\n"));
    QCOMPARE(fx.form().windowTitle().remove("[*]"), QString("Vormik (***)"));
  }
  // A file of another kind is refused the same way: the last classroom stays.
  {
    testsupport::TempDir other;
    const std::string notes = other.File("notes.cld");
    QVERIFY(WriteText(notes, "[Notes]\r\nText=1\r\n"));
    WindowOptions options;
    options.writeClassroom = true;
    options.arguments = {notes};
    WindowFixture fx(options);
    QVERIFY2(fx.Ok(), fx.Error().c_str());
    QCOMPARE(fx.prompter().Count(Kind::kMessage), 1);
    QVERIFY(fx.prompter().Texts(Kind::kMessage).contains("«" + QString::fromStdString(notes) + "»"));
    QCOMPARE(fx.form().model().classroomFile(), fx.classroomPath());
    QVERIFY(fx.Desk(16)->isVisible());
  }
}

void AppStartupTest::missingPortDeviceOpensSilently() {
  WindowOptions options;
  options.portName = "/dev/vormik-no-such-device";
  options.readThreadStop = 0;
  WindowFixture fx(options);
  QVERIFY2(fx.Ok(), fx.Error().c_str());
  QTest::qWait(700);  // a poll or two against the missing port
  QVERIFY(fx.form().isVisible());
  QCOMPARE(fx.prompter().records.size(), size_t{0});
}

void AppStartupTest::closeAsksOnlyWhenTheClassroomChanged() {
  {
    WindowFixture fx;
    QVERIFY2(fx.Ok(), fx.Error().c_str());
    QVERIFY(fx.Close());
    QCOMPARE(fx.prompter().Count(Kind::kQuestion), 0);
    QCOMPARE(fx.prompter().Count(Kind::kSaveDialog), 0);
  }
  {
    // No: nothing saved, the window closes.
    WindowOptions options;
    options.askToSaveOnClose = true;
    WindowFixture fx(options);
    QVERIFY2(fx.Ok(), fx.Error().c_str());
    fx.room().ClassroomChanged = 1;
    fx.prompter().yesNoAnswers = {false};
    QVERIFY(fx.Close());
    QCOMPARE(fx.prompter().Count(Kind::kQuestion, "Внимание!!!"), 1);
    const FakePrompter::Record& question = fx.prompter().records.front();
    QCOMPARE(question.text, QString("Сохранить конфигурацию кабинета?"));
    QCOMPARE(question.icon, QMessageBox::Question);
    QCOMPARE(fx.prompter().Count(Kind::kSaveDialog), 0);
  }
  {
    // Yes: the current file is saved, without a dialog.
    WindowOptions options;
    options.askToSaveOnClose = true;
    options.writeClassroom = true;
    WindowFixture fx(options);
    QVERIFY2(fx.Ok(), fx.Error().c_str());
    fx.form().Apply([](console::ConsoleModel& m) {
      m.BeginNameEditing(1);
      m.TypeName(1, "Sidorov");
      m.PressEnterInName(1);
    });
    fx.prompter().yesNoAnswers = {true};
    QVERIFY(fx.Close());
    QCOMPARE(fx.prompter().Count(Kind::kSaveDialog), 0);
    const ini::IniDocument saved = ini::IniDocument::Load(fx.classroomPath());
    QCOMPARE(saved.ReadString("Desk2", "StudentName", ""), std::string("Sidorov"));
  }
  {
    // Yes for a plan without a file (the standard classroom): save as runs
    // and writes the chosen file.
    WindowOptions options;
    options.askToSaveOnClose = true;
    options.writeClassroom = true;
    WindowFixture fx(options);
    QVERIFY2(fx.Ok(), fx.Error().c_str());
    fx.prompter().yesNoAnswers = {true, true};  // "Продолжить?", then the save question
    fx.ClickButton(fx.form().allDesks->standardClassroomButton);
    const std::string target = fx.dir().File("saved.cld");
    fx.prompter().saveNames = {QString::fromStdString(target)};
    QVERIFY(fx.Close());
    QCOMPARE(fx.prompter().Count(Kind::kSaveDialog), 1);
    const ini::IniDocument saved = ini::IniDocument::Load(target);
    QCOMPARE(saved.ReadString("Desk2", "StudentName", ""), std::string("Ученик 2"));
  }
}

void AppStartupTest::failedSaveAtCloseKeepsTheWindowOpen() {
  WindowOptions options;
  options.askToSaveOnClose = true;
  options.startEmulator = true;
  options.writeClassroom = true;
  WindowFixture fx(options);
  QVERIFY2(fx.Ok(), fx.Error().c_str());
  // The standard classroom has no file yet: "Да" at the close asks for one.
  fx.prompter().yesNoAnswers = {true, true, true};
  fx.ClickButton(fx.form().allDesks->standardClassroomButton);
  fx.prompter().saveNames = {QString::fromStdString(fx.dir().File("missing-folder/x.cld")),
                             QString::fromStdString(fx.dir().File("good.cld"))};
  QVERIFY(!fx.Close());
  QVERIFY(fx.form().isVisible());
  QVERIFY(fx.prompter().Count(Kind::kMessage) >= 1);
  QCOMPARE(fx.room().ClassroomChanged, 1);
  // The window that stayed is still a working console.
  const size_t mark = fx.TraceMark();
  fx.ClickButton(fx.Desk(3)->listen);
  QCOMPARE(fx.FramesSince(mark).size(), size_t(1));
  QVERIFY(fx.Desk(3)->listen->isChecked());
  QCOMPARE(fx.prompter().Count(Kind::kQuestion, "Ошибка связи"), 0);
  // A second close asks again, and a save that works lets the window go.
  QVERIFY(fx.Close());
  QCOMPARE(fx.prompter().Texts(Kind::kQuestion).count("Сохранить конфигурацию кабинета?"), 2);
  QVERIFY(platform::FileExists(fx.dir().File("good.cld")));
}

void AppStartupTest::startupAgainstAnsweringController() {
  WindowOptions options;
  options.startEmulator = true;
  options.readThreadStop = 0;
  WindowFixture fx(options);
  QVERIFY2(fx.Ok(), fx.Error().c_str());
  // Generous: polls come every ~half second.
  std::vector<TraceLine> polls;
  QVERIFY(QTest::qWaitFor(
      [&] {
        polls = fx.PollsSince(0);
        return polls.size() >= 2;
      },
      10000));

  const std::vector<TraceLine> all = fx.emulator()->Trace();
  // The probe, then the four writes of the reset, then nothing but polls.
  const std::vector<std::vector<uint8_t>> expected = {Frame(0x81), Frame(0x81), Frame(0x82),
                                                      Frame(0x83), Frame(0x84)};
  QVERIFY2(all.size() >= expected.size() + 2, Hex(all).c_str());
  for (size_t i = 0; i < expected.size(); ++i) {
    QVERIFY2(all[i].IsFrame() && all[i].rx == expected[i], Hex(all).c_str());
    QVERIFY(all[i].Answered());
  }
  for (size_t i = expected.size(); i < all.size(); ++i) {
    QVERIFY2(all[i].IsPoll(), Hex(all).c_str());
  }
  // The settling pause: the first poll comes no sooner than ~500 ms after the reset.
  const long gap = all[expected.size()].ms - all[expected.size() - 1].ms;
  QVERIFY2(gap >= 450, std::to_string(gap).c_str());
  QCOMPARE(fx.prompter().records.size(), size_t{0});
}

void AppStartupTest::readThreadStopKeepsThePollSilent() {
  WindowOptions options;
  options.startEmulator = true;
  options.readThreadStop = 2;  // any non-zero value
  WindowFixture fx(options);
  QVERIFY2(fx.Ok(), fx.Error().c_str());
  QTest::qWait(1500);
  QCOMPARE(fx.PollsSince(0).size(), size_t{0});
  QCOMPARE(fx.FramesSince(0).size(), size_t{5});  // probe and reset only
}

void AppStartupTest::pollTurnsTheDeskLedOn() {
  WindowOptions options;
  options.startEmulator = true;
  options.readThreadStop = 0;
  options.writeClassroom = true;
  WindowFixture fx(options);
  QVERIFY2(fx.Ok(), fx.Error().c_str());
  GlyphButton* led = fx.Desk(1)->led;
  QCOMPARE(led->tag(), 0);
  QVERIFY2(fx.emulator()->Send("led 1 on"), fx.emulator()->Error().c_str());
  QVERIFY(QTest::qWaitFor([&] { return led->tag() == 1; }, 5000));
  QCOMPARE(led->icon().pixmap(16, 16).toImage(), glyphs::BitmapResource("LED1ON").toImage());
  QCOMPARE(fx.room().SwitchState.LedALow & 0x01, 0x01);
  QCOMPARE(fx.room().SwitchState.LedBLow & 0x01, 0x01);
  // No other desk moved.
  for (int n = 2; n <= kDeskCount; ++n) QCOMPARE(fx.Desk(n)->led->tag(), 0);

  QVERIFY(fx.emulator()->Send("led 1 off"));
  QVERIFY(QTest::qWaitFor([&] { return led->tag() == 0; }, 5000));
  QCOMPARE(fx.room().SwitchState.LedBLow & 0x01, 0x00);
}

void AppStartupTest::probeFailureSendsNoReset() {
  // A silent controller: the probe goes out once, no reset, no message.
  WindowOptions options;
  options.startEmulator = true;
  options.emulatorOptions = {"--silent"};
  WindowFixture fx(options);
  QVERIFY2(fx.Ok(), fx.Error().c_str());
  const std::vector<TraceLine> frames = fx.FramesSince(0);
  QCOMPARE(frames.size(), size_t{1});
  QVERIFY(frames[0].rx == Frame(0x81));
  QCOMPARE(fx.prompter().records.size(), size_t{0});
}

// What waits for the first picture (the program's icon) is told once the
// window is on the screen, and the controller is still met behind it.
void AppStartupTest::shownOnScreenOnceTheWindowIsExposed() {
  WindowOptions options;
  options.startEmulator = true;
  options.show = false;
  WindowFixture fx(options);
  QVERIFY2(fx.Ok(), fx.Error().c_str());
  QSignalSpy shown(&fx.form(), &ConsoleWindow::shownOnScreen);
  QCoreApplication::processEvents();
  QCOMPARE(shown.count(), 0);
  QVERIFY(!fx.form().session().Started());
  fx.form().show();
  QVERIFY(QTest::qWaitForWindowExposed(&fx.form()));
  QTRY_COMPARE(shown.count(), 1);
  QTRY_VERIFY_WITH_TIMEOUT(fx.form().session().Started(), 30000);
  QCOMPARE(shown.count(), 1);
  QCOMPARE(fx.emulator()->Trace().front().rx, Frame(0x81));
}

int main(int argc, char** argv) {
  // A screen that holds every described size of the table.
  AppStartupTest test;
  return RunOnScreens(argc, argv, test, {{0, 0, 1920, 1080}});
}
#include "app_startup_test.moc"
