// Classroom files through the window: loading, open, save, save as, write
// failures, and hostile files.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QTest>
#include <random>

#include "config/cp1251.h"
#include "config/inifile.h"
#include "config/settings.h"
#include "platform/system.h"
#include "support/windowfixture.h"

using Kind = FakePrompter::Kind;

namespace {

std::string ReadBytes(const std::string& path) {
  std::string bytes;
  platform::ReadWholeFile(path, bytes);
  return bytes;
}

QStringList FileLines(const std::string& path) {
  QStringList lines =
      QString::fromStdString(cp1251::ToUtf8(ReadBytes(path))).split(QStringLiteral("\r\n"));
  if (!lines.isEmpty() && lines.back().isEmpty()) lines.removeLast();
  return lines;
}

std::string SettingsValue(WindowFixture& fx, const char* section, const char* key) {
  return ini::IniDocument::Load(fx.settingsPath()).ReadString(section, key, "<missing>");
}

void WriteUtf8File(const std::string& path, const std::string& utf8Text) {
  platform::ReplaceFileAtomically(path, cp1251::FromUtf8(utf8Text));
}

}  // namespace

class ClassroomFilesTest : public QObject {
  Q_OBJECT

 private slots:
  void loadAppliesFileAndSettings();
  void saveAsWritesNewFileInOrder();
  void saveKeepsForeignSectionsAndKeys();
  void saveWithoutCurrentFileFails();
  void saveAsIntoMissingFolderFails();
  void openCancelledPutsDesksBack();
  void nameBeingEditedTakesTheLoadedName();
  void unstorablePathsAreRefused_data();
  void unstorablePathsAreRefused();
  void hostileFilesLoad_data();
  void hostileFilesLoad();
};

void ClassroomFilesTest::loadAppliesFileAndSettings() {
  WindowOptions options;
  options.extraSettings = {{"NumDesk", "Desk3", "Очень длинная подпись стола"},
                           {"NumDesk", "Desk4", ""},
                           {"Desk2DeskCommIF", "dc5_6", "da"},
                           {"Interface", "EnableToMoveDesks", "0x10"},
                           {"Interface", "ClassRoomConfigurationFile", "room.cld"}};
  options.show = false;
  WindowFixture fx(options);
  QVERIFY2(fx.Ok(), fx.Error().c_str());
  // A name without a folder lies beside vormik.ini, not in the working folder.
  WriteUtf8File(fx.dir().File("room.cld"),
                "[Desk3]\r\nCoordinateLeft=0x20\r\nCoordinateTop=-40\r\nVisible=-1\r\n"
                "StudentName=Пётр Ёлкин\r\n[Desk9]\r\nCoordinateLeft=12abc\r\nCoordinateTop=900\r\n"
                "Visible=yes\r\nStudentName=\r\n");
  fx.room().ClassroomChanged = 1;
  fx.form().LoadClassroom();

  TForm1& form = fx.form();
  QCOMPARE(form.GroupBox[2]->title(), QStringLiteral("Очень длинная п"));
  QCOMPARE(form.GroupBox[3]->title(), QString());
  QCOMPARE(form.GroupBox[0]->title(), QStringLiteral("Стол 1"));
  QCOMPARE(fx.room().PairLinkCode[2], std::string("da"));
  QCOMPARE(fx.room().PairLinkCode[0], std::string("oo"));
  QCOMPARE(fx.room().MoveDesks, 16);
  QCOMPARE(form.GroupBox[2]->pos(), QPoint(32, -40));
  QVERIFY(!form.GroupBox[2]->isHidden());
  QCOMPARE(form.GroupBox[2]->nameBox->text(), QStringLiteral("Пётр Ёлкин"));
  QCOMPARE(form.GroupBox[8]->pos(), QPoint(0, 900));
  QVERIFY(form.GroupBox[8]->isHidden());
  QCOMPARE(form.GroupBox[8]->nameBox->text(), QString());
  for (int n : {1, 2, 4, 8, 16}) {
    QCOMPARE(form.GroupBox[n - 1]->pos(), QPoint(0, 0));
    QVERIFY(form.GroupBox[n - 1]->isHidden());
    QCOMPARE(form.GroupBox[n - 1]->nameBox->text(), QStringLiteral("***"));
  }
  QCOMPARE(form.windowTitle(), QStringLiteral("Vormik (room.cld)"));
  QCOMPARE(fx.room().ClassroomChanged, 1);  // loading never clears a pending change
}

void ClassroomFilesTest::saveAsWritesNewFileInOrder() {
  WindowOptions options;
  options.writeClassroom = true;
  WindowFixture fx(options);
  QVERIFY2(fx.Ok(), fx.Error().c_str());
  TForm1& form = fx.form();
  form.GroupBox[4]->move(300, -7);
  form.GroupBox[6]->hide();
  // A name still being edited is saved as it stands.
  form.GroupBox[1]->nameBox->setReadOnly(false);
  form.GroupBox[1]->nameBox->setText(QStringLiteral("Сидорова Аня"));
  fx.room().ClassroomChanged = 1;
  form.RedrawLinks();
  fx.room().PairJoined[0] = 1;  // shows once save as has redrawn the links
  const QString target = QString::fromStdString(fx.dir().File("new room.cld"));
  fx.prompter().saveNames = {target};

  fx.ClickButton(form.ToolButton17);

  QCOMPARE(form.Surface().pixel(165, 37), colours::kLink.rgb());

  QCOMPARE(fx.prompter().Count(Kind::kSaveDialog), 1);
  QCOMPARE(fx.prompter().records.back().caption, QString::fromStdString(fx.classroomPath()));
  QCOMPARE(fx.prompter().records.back().text, QString::fromStdString(fx.dir().path()));
  QCOMPARE(fx.prompter().Count(Kind::kMessage), 0);
  QCOMPARE(SettingsValue(fx, "Interface", "ClassRoomConfigurationFile"), target.toStdString());
  QCOMPARE(form.windowTitle(), "Vormik (" + target + ")");
  QCOMPARE(fx.room().ClassroomChanged, 0);

  const QStringList lines = FileLines(target.toStdString());
  QCOMPARE(lines.size(), 16 * 5);
  for (int n = 1; n <= 16; ++n) {
    const DeskPanel* panel = form.GroupBox[n - 1];
    const int at = (n - 1) * 5;
    QCOMPARE(lines[at], QStringLiteral("[Desk%1]").arg(n));
    QCOMPARE(lines[at + 1], QStringLiteral("CoordinateLeft=%1").arg(panel->x()));
    QCOMPARE(lines[at + 2], QStringLiteral("CoordinateTop=%1").arg(panel->y()));
    QCOMPARE(lines[at + 3], QStringLiteral("Visible=%1").arg(n == 7 ? 0 : 1));
    QCOMPARE(lines[at + 4], "StudentName=" + panel->nameBox->text());
  }
  QCOMPARE(lines[4 * 5 + 1], QStringLiteral("CoordinateLeft=300"));
  QCOMPARE(lines[4 * 5 + 2], QStringLiteral("CoordinateTop=-7"));
  // Windows-1251 on disk.
  QVERIFY(ReadBytes(target.toStdString()).find(cp1251::FromUtf8("Сидорова Аня")) !=
          std::string::npos);

  // Loading the saved file back gives the same plan, the hidden desk included.
  form.GroupBox[4]->move(1, 1);
  form.GroupBox[6]->show();
  form.LoadClassroom();
  QCOMPARE(form.GroupBox[4]->pos(), QPoint(300, -7));
  QVERIFY(form.GroupBox[6]->isHidden());
  QCOMPARE(form.GroupBox[6]->pos(), WindowFixture::StoredPosition(7));
  QCOMPARE(form.GroupBox[1]->nameBox->text(), QStringLiteral("Сидорова Аня"));
}

void ClassroomFilesTest::saveKeepsForeignSectionsAndKeys() {
  WindowOptions options;
  options.writeClassroom = true;
  options.show = false;
  WindowFixture fx(options);
  QVERIFY2(fx.Ok(), fx.Error().c_str());
  WriteUtf8File(fx.classroomPath(),
                "[School]\r\nRoom=214\r\n[Desk4]\r\nColour=red\r\nCoordinateLeft=5\r\n"
                "[Desk9]\r\nVisible=1\r\n");
  fx.room().ClassroomChanged = 1;

  fx.form().ToolButton10Click();

  QCOMPARE(fx.prompter().Count(Kind::kMessage), 0);
  QCOMPARE(fx.room().ClassroomChanged, 0);
  const QStringList lines = FileLines(fx.classroomPath());
  QVERIFY(lines.size() >= 7);
  QCOMPARE(lines[0], QStringLiteral("[School]"));
  QCOMPARE(lines[1], QStringLiteral("Room=214"));
  QCOMPARE(lines[2], QStringLiteral("[Desk4]"));
  QCOMPARE(lines[3], QStringLiteral("Colour=red"));
  QCOMPARE(lines[4], QStringLiteral("CoordinateLeft=%1").arg(fx.form().GroupBox[3]->x()));
  const ini::IniDocument saved = ini::IniDocument::Load(fx.classroomPath());
  // Missing keys are appended to their sections, missing sections at the end.
  QCOMPARE(saved.ReadString("Desk9", "StudentName", "<missing>"),
           fx.form().GroupBox[8]->nameBox->text().toStdString());
  QCOMPARE(saved.ReadInteger("Desk16", "CoordinateTop", -1), fx.form().GroupBox[15]->y());
  // Save alone touches neither caption nor settings.
  QCOMPARE(SettingsValue(fx, "Interface", "ClassRoomConfigurationFile"), fx.classroomPath());
}

void ClassroomFilesTest::saveWithoutCurrentFileFails() {
  WindowFixture fx;
  QVERIFY2(fx.Ok(), fx.Error().c_str());
  TForm1& form = fx.form();
  fx.room().ClassroomChanged = 1;
  form.setWindowTitle(QStringLiteral("before"));

  // Save as, dialog cancelled: it proposes an empty name, then the save fails.
  QVERIFY(!form.ToolButton17Click());
  QCOMPARE(fx.prompter().Count(Kind::kSaveDialog), 1);
  QCOMPARE(fx.prompter().records.front().caption, QString());
  // Plain save fails the same way.
  form.ToolButton10Click();

  QCOMPARE(fx.prompter().Count(Kind::kMessage, QStringLiteral("Ошибка")), 2);
  for (const FakePrompter::Record& record : fx.prompter().records) {
    if (record.kind != Kind::kMessage) continue;
    QCOMPARE(record.text, QStringLiteral("Unable to write to ***"));
    QCOMPARE(record.icon, QMessageBox::Critical);
  }
  QCOMPARE(fx.room().ClassroomChanged, 1);
  QCOMPARE(form.windowTitle(), QStringLiteral("before"));
  // "***" names no file: nothing is created under that name.
  QVERIFY(!QFile::exists(QString::fromStdString(fx.dir().File("***"))));
  QVERIFY(!QFile::exists(QStringLiteral("***")));
}

void ClassroomFilesTest::saveAsIntoMissingFolderFails() {
  WindowOptions options;
  options.writeClassroom = true;
  WindowFixture fx(options);
  QVERIFY2(fx.Ok(), fx.Error().c_str());
  const std::string before = ReadBytes(fx.classroomPath());
  const std::string target = fx.dir().File("no-such-folder/room.cld");
  fx.prompter().saveNames = {QString::fromStdString(target)};
  fx.room().ClassroomChanged = 1;
  fx.form().setWindowTitle(QStringLiteral("before"));
  fx.form().RedrawLinks();
  fx.room().PairJoined[0] = 1;  // a redraw would draw this pair's line

  QVERIFY(!fx.form().ToolButton17Click());

  QCOMPARE(fx.prompter().Count(Kind::kMessage), 1);
  QCOMPARE(fx.prompter().records.back().text, QString::fromStdString("Unable to write to " + target));
  QCOMPARE(fx.room().ClassroomChanged, 1);
  QCOMPARE(fx.form().windowTitle(), QStringLiteral("before"));
  QCOMPARE(fx.form().Surface().pixel(165, 37), colours::kButtonFace.rgb());  // no redraw
  // The chosen name stays stored; the old file is untouched.
  QCOMPARE(SettingsValue(fx, "Interface", "ClassRoomConfigurationFile"), target);
  QCOMPARE(ReadBytes(fx.classroomPath()), before);
}

void ClassroomFilesTest::openCancelledPutsDesksBack() {
  WindowOptions options;
  options.writeClassroom = true;
  WindowFixture fx(options);
  QVERIFY2(fx.Ok(), fx.Error().c_str());
  TForm1& form = fx.form();
  form.GroupBox[5]->move(400, 400);
  form.GroupBox[2]->hide();
  form.GroupBox[10]->nameBox->setText(QStringLiteral("Другое имя"));
  fx.room().ClassroomChanged = 1;
  const std::string settingsBefore = ReadBytes(fx.settingsPath());

  fx.ClickButton(form.ToolButton14);

  QCOMPARE(fx.prompter().Count(Kind::kOpenDialog), 1);
  QCOMPARE(form.GroupBox[5]->pos(), WindowFixture::StoredPosition(6));
  QVERIFY(!form.GroupBox[2]->isHidden());
  QCOMPARE(form.GroupBox[10]->nameBox->text(), QStringLiteral("Ученик 11"));
  QCOMPARE(fx.room().ClassroomChanged, 1);
  QCOMPARE(ReadBytes(fx.settingsPath()), settingsBefore);

  // Confirming another file makes it current and loads it.
  const std::string other = fx.dir().File("other.cld");
  WriteUtf8File(other, "[Desk1]\r\nCoordinateLeft=50\r\nCoordinateTop=60\r\nVisible=1\r\n");
  fx.prompter().openNames = {QString::fromStdString(other)};
  form.ToolButton14Click();
  QCOMPARE(SettingsValue(fx, "Interface", "ClassRoomConfigurationFile"), other);
  QCOMPARE(form.GroupBox[0]->pos(), QPoint(50, 60));
  QCOMPARE(form.GroupBox[0]->nameBox->text(), QStringLiteral("***"));
  QVERIFY(form.GroupBox[5]->isHidden());
  QCOMPARE(form.windowTitle(), QString::fromStdString("Vormik (" + other + ")"));
  QCOMPARE(fx.room().ClassroomChanged, 1);
}

// Loading sets names without ending an edit; discarding that edit afterwards
// must give back the loaded name, not the one from before the load.
void ClassroomFilesTest::nameBeingEditedTakesTheLoadedName() {
  WindowOptions options;
  options.writeClassroom = true;
  WindowFixture fx(options);
  QVERIFY2(fx.Ok(), fx.Error().c_str());
  TForm1& form = fx.form();
  QLineEdit* box = fx.Desk(1)->nameBox;
  const std::string other = fx.dir().File("b.cld");
  WriteUtf8File(other, "[Desk1]\r\nVisible=1\r\nStudentName=Новое имя\r\n");

  form.Edit1KeyPress(box, 13);  // Enter: desk 1's name box is being edited
  QVERIFY(!box->isReadOnly());
  fx.prompter().openNames = {QString::fromStdString(other)};
  form.ToolButton14Click();
  QCOMPARE(box->text(), QStringLiteral("Новое имя"));
  QVERIFY(!box->isReadOnly());  // the load leaves the edit open

  QTest::keyClicks(box, QStringLiteral(" typo"));
  form.FormClick();
  QCOMPARE(box->text(), QStringLiteral("Новое имя"));
  QVERIFY(box->isReadOnly());

  // A later save writes the loaded name, not the old one.
  form.ToolButton10Click();
  QCOMPARE(ini::IniDocument::Load(other).ReadString("Desk1", "StudentName", ""),
           std::string("Новое имя"));
}

void ClassroomFilesTest::unstorablePathsAreRefused_data() {
  QTest::addColumn<QString>("name");
  QTest::newRow("accented letter") << QStringLiteral("josé");
  QTest::newRow("Chinese") << QStringLiteral("教室");
}

// vormik.ini would keep such a path with '?' in place of the letters, naming
// no file: the choice is refused with a warning and nothing is stored.
void ClassroomFilesTest::unstorablePathsAreRefused() {
  QFETCH(QString, name);
  WindowOptions options;
  options.writeClassroom = true;
  WindowFixture fx(options);
  QVERIFY2(fx.Ok(), fx.Error().c_str());
  TForm1& form = fx.form();
  const QString folder = QString::fromStdString(fx.dir().File("")) + name;
  QVERIFY(QDir().mkpath(folder));
  const QString chosen = folder + "/a.cld";
  const std::string settingsBefore = ReadBytes(fx.settingsPath());
  const std::string classroomBefore = ReadBytes(fx.classroomPath());
  const QString expected =
      "Имя файла содержит символы, которые нельзя сохранить в vormik.ini: " + chosen +
      ". Выберите файл в другой папке или переименуйте его.";

  // Open: as after a cancel, the current plan comes back.
  form.GroupBox[5]->move(400, 400);
  fx.prompter().openNames = {chosen};
  form.ToolButton14Click();
  QCOMPARE(fx.prompter().Count(Kind::kMessage, QStringLiteral("Vormik")), 1);
  QCOMPARE(fx.prompter().records.back().text, expected);
  QCOMPARE(fx.prompter().records.back().icon, QMessageBox::Warning);
  QCOMPARE(form.GroupBox[5]->pos(), WindowFixture::StoredPosition(6));
  QCOMPARE(ReadBytes(fx.settingsPath()), settingsBefore);

  // Save as: the command is abandoned, nothing is written anywhere.
  fx.room().ClassroomChanged = 1;
  form.setWindowTitle(QStringLiteral("before"));
  fx.prompter().saveNames = {chosen};
  QVERIFY(!form.ToolButton17Click());
  QCOMPARE(fx.prompter().Count(Kind::kMessage), 2);
  QCOMPARE(fx.prompter().records.back().text, expected);
  QCOMPARE(ReadBytes(fx.settingsPath()), settingsBefore);
  QCOMPARE(ReadBytes(fx.classroomPath()), classroomBefore);
  QVERIFY(!QFile::exists(chosen));
  QCOMPARE(fx.room().ClassroomChanged, 1);
  QCOMPARE(form.windowTitle(), QStringLiteral("before"));
}

void ClassroomFilesTest::hostileFilesLoad_data() {
  QTest::addColumn<QByteArray>("bytes");
  std::mt19937 random(7);
  QByteArray binary(256 * 1024, '\0');
  for (char& c : binary) c = static_cast<char>(random());
  QByteArray noEquals;
  for (int i = 0; i < 20000; ++i) noEquals += "[Desk1]\r\nCoordinateLeft 5\r\nVisible\r\n=\r\n";
  QByteArray longValues = "[Desk2]\r\nStudentName=" + QByteArray(300000, 'x') +
                          "\r\nCoordinateLeft=" + QByteArray(100000, '7') + "\r\n";
  QByteArray oddBytes = "[Desk3]\r\nStudentName=\x98\x98\xd0\xa0\xff";
  oddBytes.append('\0');
  oddBytes += "\x01zz\r\nVisible=1\r\n[\xff\xfe]\r\n\x98=\x98\r\n";
  QByteArray big = "[Desk4]\r\nVisible=1\r\nCoordinateLeft=44\r\n";
  while (big.size() < 4 * 1024 * 1024) big += "[Junk]\r\nKey=ValueValueValueValue\r\nLine\n\r\r";
  big += "[Desk4]\r\nVisible=0\r\n";
  QTest::newRow("binary") << binary;
  QTest::newRow("lines without equals") << noEquals;
  QTest::newRow("very long values") << longValues;
  QTest::newRow("bytes outside Windows-1251") << oddBytes;
  QTest::newRow("four megabytes") << big;
}

void ClassroomFilesTest::hostileFilesLoad() {
  QFETCH(QByteArray, bytes);
  WindowOptions options;
  options.writeClassroom = true;
  options.show = false;
  WindowFixture fx(options);
  QVERIFY2(fx.Ok(), fx.Error().c_str());
  QVERIFY(platform::ReplaceFileAtomically(fx.classroomPath(), bytes.toStdString()));

  QElapsedTimer timer;
  timer.start();
  fx.form().LoadClassroom();
  // Only a hang fails here; speed is measured elsewhere.
  QVERIFY2(timer.elapsed() < 60000, "loading a hostile file hung");

  // The file's readable parts apply; the rest falls back to the defaults.
  const QString tag = QString::fromLatin1(QTest::currentDataTag());
  TForm1& form = fx.form();
  if (tag == "four megabytes") {
    QVERIFY(!form.GroupBox[3]->isHidden());
    QCOMPARE(form.GroupBox[3]->x(), 44);
  }
  if (tag == "very long values") {
    QVERIFY(form.GroupBox[1]->nameBox->text().size() <= int(ini::kMaxValueLength));
    QCOMPARE(form.GroupBox[1]->x(), 0);  // too long to be an integer
  }
  if (tag == "bytes outside Windows-1251") QVERIFY(!form.GroupBox[2]->isHidden());
  if (tag == "lines without equals") {
    QCOMPARE(form.GroupBox[0]->pos(), QPoint(0, 0));
    QVERIFY(form.GroupBox[0]->isHidden());
  }
  // Saving the plan back works whatever the file held.
  fx.form().ToolButton10Click();
  QCOMPARE(fx.prompter().Count(Kind::kMessage), 0);
}

QTEST_MAIN(ClassroomFilesTest)
#include "classroom_files_test.moc"
