// Classroom files through the window's toolbar: save as and open, from the
// click through the file dialog to the file on disk and the panels.
#include <QTest>

#include "config/cp1251.h"
#include "config/inifile.h"
#include "platform/system.h"
#include "support/consolechecks.h"

using Kind = FakePrompter::Kind;

namespace {

std::string ReadBytes(const std::string& path) {
  std::string bytes;
  platform::ReadWholeFile(path, bytes);
  return bytes;
}

std::string CurrentFile(WindowFixture& fx) {
  return ini::IniDocument::Load(fx.settingsPath())
      .ReadString("Interface", "ClassRoomConfigurationFile", "<missing>");
}

}  // namespace

class ClassroomFilesTest : public QObject {
  Q_OBJECT

 private slots:
  void saveAsWritesANewFileThatLoadsBack();
  void openCancelledChangesNothing();
};

void ClassroomFilesTest::saveAsWritesANewFileThatLoadsBack() {
  WindowOptions options;
  options.writeClassroom = true;
  WindowFixture fx(options);
  QVERIFY2(fx.Ok(), fx.Error().c_str());
  ConsoleWindow& form = fx.form();
  fx.PlaceDesk(5, QPoint(300, -7));
  fx.ShowDesk(7, false);
  // A name still being edited is saved as it stands.
  form.Apply([](console::ConsoleModel& m) {
    m.BeginNameEditing(1);
    m.TypeName(1, "Сидорова Аня");
  });
  fx.room().ClassroomChanged = 1;
  fx.room().SwitchState.Pairs = 0x01;  // shows once save as has redrawn the window
  const QString target = QString::fromStdString(fx.dir().File("new room.cld"));
  fx.prompter().saveNames = {target};

  fx.ClickButton(form.allDesks->saveAsButton);

  QVERIFY(BlueAt(fx, 165, 37));
  QCOMPARE(fx.prompter().Count(Kind::kSaveDialog), 1);
  QCOMPARE(fx.prompter().records.back().caption, QString::fromStdString(fx.classroomPath()));
  QCOMPARE(fx.prompter().records.back().text, QString::fromStdString(fx.dir().path()));
  QCOMPARE(fx.prompter().Count(Kind::kMessage), 0);
  QCOMPARE(CurrentFile(fx), target.toStdString());
  QCOMPARE(form.windowTitle().remove("[*]"), "Vormik (" + target + ")");
  QVERIFY(!form.isWindowModified());
  QCOMPARE(ScreenMismatch(form), QString());

  // Windows-1251 on disk, the desks in order with their keys in order.
  QStringList lines = QString::fromStdString(cp1251::ToUtf8(ReadBytes(target.toStdString())))
                          .split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
  QCOMPARE(lines.size(), 16 * 5);
  for (int n = 1; n <= 16; ++n) {
    const DeskPanel* panel = fx.Desk(n);
    const QStringList expected = {
        QStringLiteral("[Desk%1]").arg(n), QStringLiteral("CoordinateLeft=%1").arg(panel->x()),
        QStringLiteral("CoordinateTop=%1").arg(panel->y()),
        QStringLiteral("Visible=%1").arg(n == 7 ? 0 : 1), "StudentName=" + panel->nameBox->text()};
    QCOMPARE(lines.mid((n - 1) * 5, 5), expected);
  }
  QCOMPARE(lines[4 * 5 + 1], QStringLiteral("CoordinateLeft=300"));
  QCOMPARE(lines[4 * 5 + 2], QStringLiteral("CoordinateTop=-7"));
  QCOMPARE(lines[1 * 5 + 4], QStringLiteral("StudentName=Сидорова Аня"));

  // Loading the saved file back gives the same plan, the hidden desk included.
  fx.PlaceDesk(5, QPoint(1, 1));
  fx.ShowDesk(7, true);
  form.Apply([](console::ConsoleModel& m) {
    m.EndNameEditing();
    m.LoadClassroom();
  });
  QCOMPARE(fx.Desk(5)->pos(), QPoint(300, -7));
  QVERIFY(fx.Desk(7)->isHidden());
  QCOMPARE(fx.Desk(7)->pos(), WindowFixture::StoredPosition(7));
  QCOMPARE(fx.Desk(2)->nameBox->text(), QStringLiteral("Сидорова Аня"));
}

void ClassroomFilesTest::openCancelledChangesNothing() {
  WindowOptions options;
  options.writeClassroom = true;
  WindowFixture fx(options);
  QVERIFY2(fx.Ok(), fx.Error().c_str());
  ConsoleWindow& form = fx.form();
  fx.PlaceDesk(6, QPoint(400, 400));
  fx.ShowDesk(3, false);
  form.Apply([](console::ConsoleModel& m) {
    m.BeginNameEditing(10);
    m.TypeName(10, "Другое имя");
    m.PressEnterInName(10);
  });
  const std::string settingsBefore = ReadBytes(fx.settingsPath());
  const std::string classroomBefore = ReadBytes(fx.classroomPath());

  // "Нет" to the save question, then the open dialog cancelled: the plan on
  // screen stays as the teacher left it, still to be saved.
  fx.prompter().threeWayAnswers = {QMessageBox::No};
  fx.ClickButton(form.allDesks->openButton);

  QCOMPARE(fx.prompter().Count(Kind::kOpenDialog), 1);
  QCOMPARE(fx.Desk(6)->pos(), QPoint(400, 400));
  QVERIFY(fx.Desk(3)->isHidden());
  QCOMPARE(fx.Desk(11)->nameBox->text(), QStringLiteral("Другое имя"));
  QCOMPARE(fx.room().ClassroomChanged, 1);
  QVERIFY(form.isWindowModified());
  QCOMPARE(ReadBytes(fx.settingsPath()), settingsBefore);
  QCOMPARE(ReadBytes(fx.classroomPath()), classroomBefore);

  // Confirming another file makes it current and loads it; nothing is left to save.
  const std::string other = fx.dir().File("other.cld");
  QVERIFY(platform::ReplaceFileAtomically(
      other, "[Desk1]\r\nCoordinateLeft=50\r\nCoordinateTop=60\r\nVisible=1\r\n"));
  fx.prompter().threeWayAnswers = {QMessageBox::No};
  fx.prompter().openNames = {QString::fromStdString(other)};
  fx.ClickButton(form.allDesks->openButton);
  QCOMPARE(CurrentFile(fx), other);
  QCOMPARE(fx.Desk(1)->pos(), QPoint(50, 60));
  QCOMPARE(fx.Desk(1)->nameBox->text(), QStringLiteral("***"));
  QVERIFY(fx.Desk(6)->isHidden());
  QCOMPARE(form.windowTitle().remove("[*]"), QString::fromStdString("Vormik (" + other + ")"));
  QVERIFY(!form.isWindowModified());
  QCOMPARE(ReadBytes(fx.classroomPath()), classroomBefore);
  QCOMPARE(ScreenMismatch(form), QString());
}

QTEST_MAIN(ClassroomFilesTest)
#include "classroom_files_test.moc"
