// Nothing the teacher made is lost, through the real window against the
// emulator: the save question before open, the standard classroom and close;
// the save keys and button; names kept when their box loses the focus.
#include <QSet>
#include <QTest>

#include "config/inifile.h"
#include "platform/system.h"
#include "support/consolechecks.h"

using Kind = FakePrompter::Kind;

namespace {

constexpr char kReset[] = "81 00 00 | 81 00 00 | 82 00 00 | 83 00 00 | 84 00 00";

std::string ReadBytes(const std::string& path) {
  std::string bytes;
  platform::ReadWholeFile(path, bytes);
  return bytes;
}

std::string SavedName(const std::string& path, int deskNumber) {
  return ini::IniDocument::Load(path).ReadString("Desk" + std::to_string(deskNumber), "StudentName",
                                                 "<none>");
}

void Rename(ConsoleWindow& form, int desk, const char* name) {
  form.Apply([desk, name](console::ConsoleModel& m) {
    m.BeginNameEditing(desk);
    m.TypeName(desk, name);
    m.PressEnterInName(desk);
  });
}

}  // namespace

class KeepingWorkTest : public QObject {
  Q_OBJECT

 private slots:
  void saveQuestionComesFirst_data();
  void saveQuestionComesFirst();
  void saveKeysAndButton();
  void nameBoxesKeepWhatWasTyped();
  void callListNamesEveryDeskWithTheCount();
  void unreadableSettingsOpenNoPort();
};

void KeepingWorkTest::saveQuestionComesFirst_data() {
  QTest::addColumn<QString>("command");
  QTest::addColumn<int>("answer");
  QTest::addColumn<bool>("saved");
  QTest::addColumn<bool>("wentOn");
  const char* commands[] = {"open", "standard", "close"};
  for (const char* command : commands) {
    QTest::addRow("%s, Да", command) << command << int(QMessageBox::Yes) << true << true;
    QTest::addRow("%s, Нет", command) << command << int(QMessageBox::No) << false << true;
    QTest::addRow("%s, Отмена", command) << command << int(QMessageBox::Cancel) << false << false;
  }
}

void KeepingWorkTest::saveQuestionComesFirst() {
  QFETCH(QString, command);
  QFETCH(int, answer);
  QFETCH(bool, saved);
  QFETCH(bool, wentOn);
  WindowOptions options = WithEmulator();
  options.askToSaveOnClose = true;
  WindowFixture fx(options);
  QVERIFY2(fx.Ok(), fx.Error().c_str());
  ConsoleWindow& form = fx.form();
  Rename(form, 2, "Смирнова");
  fx.PlaceDesk(6, QPoint(300, 300));
  const std::string other = fx.dir().File("other.cld");
  QVERIFY(platform::ReplaceFileAtomically(other, "[Desk9]\r\nVisible=1\r\nStudentName=X\r\n"));
  fx.prompter().threeWayAnswers = {static_cast<QMessageBox::StandardButton>(answer)};
  fx.prompter().yesNoAnswers = {true};  // "Продолжить?" of the standard classroom
  fx.prompter().openNames = {QString::fromStdString(other)};
  const size_t mark = fx.TraceMark();

  bool closed = false;
  if (command == "open") {
    fx.ClickButton(form.allDesks->openButton);
  } else if (command == "standard") {
    fx.ClickButton(form.allDesks->standardClassroomButton);
  } else {
    closed = fx.Close();
  }

  const FakePrompter::Record& first = fx.prompter().records.front();
  QCOMPARE(first.kind, Kind::kQuestion);
  QCOMPARE(first.caption, QString("Внимание!!!"));
  QCOMPARE(first.text, QString("Сохранить конфигурацию кабинета?"));
  QCOMPARE(SavedName(fx.classroomPath(), 3), saved ? "Смирнова" : "Ученик 3");
  QCOMPARE(fx.prompter().Count(Kind::kSaveDialog), 0);  // the current file, no dialog
  QTest::qWait(200);                                    // anything sent reaches the trace by now
  if (!wentOn) {
    // "Отмена": one question, nothing sent, everything as it was.
    QCOMPARE(fx.prompter().records.size(), size_t(1));
    QCOMPARE(Writes(fx, mark), QString());
    QVERIFY(form.isVisible());
    QVERIFY(form.isWindowModified());
    QCOMPARE(fx.Desk(6)->pos(), QPoint(300, 300));
    QCOMPARE(fx.Desk(3)->nameBox->text(), QString("Смирнова"));
    QCOMPARE(form.windowTitle().remove("[*]"),
             QString::fromStdString("Vormik (" + fx.classroomPath() + ")"));
    fx.room().ClassroomChanged = 0;  // lets the fixture close
    return;
  }
  if (command == "open") {
    QCOMPARE(Writes(fx, mark), QString());
    QCOMPARE(fx.Desk(9)->nameBox->text(), QString("X"));
    QVERIFY(!form.isWindowModified());
    QCOMPARE(form.windowTitle().remove("[*]"), QString::fromStdString("Vormik (" + other + ")"));
  } else if (command == "standard") {
    QCOMPARE(Writes(fx, mark), QString(kReset));  // the standard classroom's own frames
    QCOMPARE(form.windowTitle().remove("[*]"), QString("Vormik (новый кабинет)"));
    QVERIFY(form.isWindowModified());
    fx.room().ClassroomChanged = 0;
  } else {
    QVERIFY(closed);
  }
}

void KeepingWorkTest::saveKeysAndButton() {
  WindowFixture fx(WithEmulator());
  QVERIFY2(fx.Ok(), fx.Error().c_str());
  ConsoleWindow& form = fx.form();
  QVERIFY(form.allDesks->saveButton->isVisible());
  QCOMPARE((*form.commands)[Command::Save]->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_S));
  QCOMPARE((*form.commands)[Command::SaveAs]->shortcut(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));

  // Ctrl+S and the toolbar's save button write the current file, no dialog.
  Rename(form, 0, "Первый");
  QTest::keyClick(&form, Qt::Key_S, Qt::ControlModifier);
  QCOMPARE(SavedName(fx.classroomPath(), 1), std::string("Первый"));
  QVERIFY(!form.isWindowModified());
  Rename(form, 0, "Второй");
  fx.ClickButton(form.allDesks->saveButton);
  QCOMPARE(SavedName(fx.classroomPath(), 1), std::string("Второй"));
  QCOMPARE(fx.prompter().Count(Kind::kSaveDialog), 0);

  // The standard classroom has no file: the save asks for one, and a cancel
  // writes nothing, neither the class's file nor the settings.
  fx.prompter().yesNoAnswers = {true};
  fx.ClickButton(form.allDesks->standardClassroomButton);
  const std::string classBefore = ReadBytes(fx.classroomPath());
  const std::string settingsBefore = ReadBytes(fx.settingsPath());
  fx.ClickButton(form.allDesks->saveButton);
  QTest::keyClick(&form, Qt::Key_S, Qt::ControlModifier);
  QTest::keyClick(&form, Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
  QCOMPARE(fx.prompter().Count(Kind::kSaveDialog), 3);
  QCOMPARE(fx.prompter().Count(Kind::kMessage), 0);
  QCOMPARE(ReadBytes(fx.classroomPath()), classBefore);
  QCOMPARE(ReadBytes(fx.settingsPath()), settingsBefore);
  QVERIFY(form.isWindowModified());
  QCOMPARE(form.windowTitle().remove("[*]"), QString("Vormik (новый кабинет)"));
  fx.room().ClassroomChanged = 0;
}

void KeepingWorkTest::nameBoxesKeepWhatWasTyped() {
  WindowFixture fx(WithEmulator());
  QVERIFY2(fx.Ok(), fx.Error().c_str());
  ConsoleWindow& form = fx.form();
  form.activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(&form));
  QLineEdit* first = fx.Desk(1)->nameBox;
  QLineEdit* second = fx.Desk(2)->nameBox;
  QLineEdit* third = fx.Desk(3)->nameBox;

  // Tab: the focus leaves, the name stays.
  QTest::mouseDClick(first, Qt::LeftButton);
  QVERIFY(first->hasFocus());
  first->selectAll();
  QTest::keyClicks(first, "Tab name");
  QTest::keyClick(first, Qt::Key_Tab);
  QVERIFY(!first->hasFocus());
  QVERIFY(first->isReadOnly());
  QCOMPARE(form.model().plan()[0].studentName, std::string("Tab name"));
  QVERIFY(form.isWindowModified());

  // A double click on the next name right after Enter opens that one, and
  // what is typed goes to it; the name before is kept.
  QTest::mouseDClick(second, Qt::LeftButton);
  second->selectAll();
  QTest::keyClicks(second, "Enter name");
  QTest::keyClick(second, Qt::Key_Return);
  QTest::mouseDClick(third, Qt::LeftButton);
  QVERIFY(form.model().EditingName(2));
  QVERIFY(!form.model().EditingName(1));
  QVERIFY(third->hasFocus());
  third->selectAll();
  QTest::keyClicks(third, "Third");
  // A double click on another name while this one is open keeps this one.
  QTest::mouseDClick(first, Qt::LeftButton);
  QCOMPARE(form.model().plan()[1].studentName, std::string("Enter name"));
  QCOMPARE(form.model().plan()[2].studentName, std::string("Third"));
  QVERIFY(form.model().EditingName(0));

  // A click on a desk panel keeps it too; a long name then shows from its start.
  first->selectAll();
  first->insert(QStringLiteral("Александра Константиновна Петропавловская"));
  QTest::mouseClick(fx.Desk(7), Qt::LeftButton, Qt::NoModifier, QPoint(70, 5));
  QVERIFY(first->isReadOnly());
  QCOMPARE(first->text(), QString("Александра Константиновна Петропавловская"));
  QCOMPARE(first->cursorPosition(), 0);

  // The box takes no more than the file keeps.
  QTest::mouseDClick(second, Qt::LeftButton);
  QCOMPARE(second->maxLength(), 2047);
  second->selectAll();
  second->insert(QString(5000, QChar(u'ж')));
  QCOMPARE(second->text().size(), 2047);
  QTest::keyClick(second, Qt::Key_Return);
  QCOMPARE(form.model().plan()[1].studentName.size(), size_t(2047 * 2));  // UTF-8
  // Nor a NUL, which would end the name in the file. (The same box again,
  // right after Enter: it opens.)
  QTest::mouseDClick(second, Qt::LeftButton);
  QVERIFY(!second->isReadOnly());
  second->selectAll();
  QTest::keyClicks(second, "ab");
  second->insert(QString(QChar(u'\0')));
  QCOMPARE(second->text(), QString("ab"));
  QCOMPARE(ScreenMismatch(form), QString());
  fx.room().ClassroomChanged = 0;
}

void KeepingWorkTest::callListNamesEveryDeskWithTheCount() {
  WindowOptions options;
  options.writeClassroom = true;
  WindowFixture fx(options);
  QVERIFY2(fx.Ok(), fx.Error().c_str());
  ConsoleWindow& form = fx.form();
  form.UpdateIndicators(0xFF, 0xFF);  // all sixteen desks call
  // All sixteen listed whole in the count's menu, first caller first.
  QVERIFY2(form.calls->count->text().startsWith(QStringLiteral("Вызовов: 16 · ещё ")),
           qPrintable(form.calls->count->text()));
  QVERIFY(form.calls->count->isVisible());
  const QList<QAction*> listed = form.calls->allCalls->actions();
  QCOMPARE(listed.size(), 16);
  QSet<QString> desks;
  for (QAction* entry : listed) {
    const QRegularExpressionMatch m =
        QRegularExpression("^(\\d+) · Ученик (\\d+) · < 1 мин$").match(entry->text());
    QVERIFY2(m.hasMatch() && m.captured(1) == m.captured(2), qPrintable(entry->text()));
    desks.insert(m.captured(1));
  }
  QCOMPARE(desks.size(), 16);
  // The strip shows the entries that fit, each whole; the rest the count holds.
  const QList<QToolButton*> entries = form.calls->list->findChildren<QToolButton*>();
  QCOMPARE(entries.size(), 16);
  int shown = 0;
  for (QToolButton* entry : entries) {
    if (!entry->isVisible()) continue;
    ++shown;
    QVERIFY2(entry->width() >= entry->sizeHint().width(), qPrintable(entry->text()));
    QVERIFY2(form.calls->list->rect().contains(entry->geometry()), qPrintable(entry->text()));
  }
  // As many as fit: the first one left out would not have had room (the
  // room depends on the style's and the font's measures).
  QVERIFY(shown < 16);
  const int spacing = form.calls->list->layout()->spacing();
  int used = 0;
  for (int i = 0; i <= shown; ++i) used += (i > 0 ? spacing : 0) + entries[i]->sizeHint().width();
  QVERIFY2(used > form.calls->list->width(),
           qPrintable(QStringLiteral("%1 shown, the next fits in %2 px").arg(shown).arg(
               form.calls->list->width())));
  QCOMPARE(form.calls->ShownEntries(), shown);
  QCOMPARE(form.calls->count->text(), QStringLiteral("Вызовов: 16 · ещё %1").arg(16 - shown));
  auto* fifth = form.calls->list->findChild<QToolButton*>("Call5");
  QVERIFY(fifth != nullptr);
  QCOMPARE(fifth->text(), QStringLiteral("5 · Ученик 5 · < 1 мин"));
  QVERIFY(fifth->toolTip().contains(QStringLiteral("Ученик 5")));

  // The teacher's live microphone is red like a desk's.
  form.teacher->lineButton->setChecked(true);
  const QImage line = form.teacher->lineButton->grab().toImage();
  form.teacher->lineButton->setChecked(false);
  const QColor edge = line.pixelColor(1, line.height() / 2);
  QVERIFY2(edge.red() > 150 && edge.green() < 80, qPrintable(edge.name()));
  // Every desk glyph button says what it does.
  for (int n = 1; n <= 16; ++n) {
    QVERIFY(!fx.Desk(n)->listen->toolTip().isEmpty());
    QVERIFY(!fx.Desk(n)->speak->toolTip().isEmpty());
    QVERIFY(!fx.Desk(n)->led->toolTip().isEmpty());
  }
}

void KeepingWorkTest::unreadableSettingsOpenNoPort() {
  WindowOptions options;
  options.startEmulator = true;
  options.settingsAsFolder = true;
  WindowFixture fx(options);
  QVERIFY2(fx.Ok(), fx.Error().c_str());
  QCOMPARE(fx.prompter().Count(Kind::kMessage), 1);
  QVERIFY2(fx.prompter().Texts(Kind::kMessage).contains("Порт контроллера не открыт"),
           qPrintable(fx.prompter().Texts(Kind::kMessage)));
  QVERIFY(!fx.form().controllerPort().Usable());
  QVERIFY(QFileInfo(QString::fromStdString(fx.settingsPath())).isDir());
}

QTEST_MAIN(KeepingWorkTest)
#include "keeping_work_test.moc"
