// The lesson tools on the real window against the emulator: a monitoring
// round's listen frames in plan order, and the console driven by keys alone.
#include <QAction>
#include <QFile>
#include <QHelpEvent>
#include <QTableWidget>
#include <QTest>
#include <QToolTip>

#include "app/classlistdialog.h"
#include "app/lessontools.h"
#include "config/arrangementfile.h"
#include "config/cp1251.h"
#include "platform/system.h"
#include "support/consolechecks.h"

namespace {

QString ListenWrite(int deskNumber) {
  return QString::asprintf("84 00 %02X", 0x10 | (deskNumber - 1));
}

void Key(WindowFixture& fx, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QTest::keyClick(&fx.form(), key, modifiers);
}

}  // namespace

class LessonToolsTest : public QObject {
  Q_OBJECT

 private slots:
  void roundListensToThreeDesksInPlanOrder() {
    WindowOptions options = WithEmulator();
    options.extraSettings = {{"Lesson", "RoundSeconds", "3"}};
    WindowFixture fx(options);
    QVERIFY2(fx.Ok(), fx.Error().c_str());
    for (int n = 1; n <= kDeskCount; ++n) fx.ShowDesk(n, false);
    // Desk 9 first in the top row, desk 2 beside it, desk 5 below.
    fx.PlaceDesk(9, QPoint(8, 0));
    fx.PlaceDesk(2, QPoint(176, 4));
    fx.PlaceDesk(5, QPoint(8, 104));
    const size_t mark = fx.TraceMark();
    LessonTools& tools = fx.form().lessonTools();
    Key(fx, Qt::Key_F5);
    QCOMPARE(tools.round().state(), console::RoundState::Running);
    QVERIFY(tools.roundText().contains(QStringLiteral("стол 9"), Qt::CaseInsensitive));
    const QString expected = ListenWrite(9) + " | " + ListenWrite(2) + " | " + ListenWrite(5);
    QTRY_COMPARE_WITH_TIMEOUT(Writes(fx, mark), expected, 20000);
    QCOMPARE(ScreenMismatch(fx.form()), QString());
    // A teacher's click pauses the round; F5 goes on at the next desk (desk 9 again).
    fx.ClickButton(fx.form().teacher->inputButton);
    QCOMPARE(tools.round().state(), console::RoundState::Paused);
    const size_t paused = fx.TraceMark();
    Key(fx, Qt::Key_F5);
    QCOMPARE(Writes(fx, paused), ListenWrite(9));
    Key(fx, Qt::Key_F5, Qt::ShiftModifier);
    QCOMPARE(tools.round().state(), console::RoundState::Stopped);
    // The desk menu's entries start, pause and stop it too, and say which.
    QVERIFY(!(*fx.form().commands)[Command::StopRound]->isEnabled());
    (*fx.form().commands)[Command::Round]->trigger();
    QCOMPARE(tools.round().state(), console::RoundState::Running);
    emit fx.form().deskMenu->aboutToShow();
    QCOMPARE((*fx.form().commands)[Command::Round]->text(), QStringLiteral("Приостановить обход\tF5"));
    (*fx.form().commands)[Command::Round]->trigger();
    QCOMPARE(tools.round().state(), console::RoundState::Paused);
    (*fx.form().commands)[Command::StopRound]->trigger();
    QCOMPARE(tools.round().state(), console::RoundState::Stopped);
  }

  void arrowsAndSpaceListenToEveryVisibleDesk() {
    WindowFixture fx(WithEmulator());
    QVERIFY2(fx.Ok(), fx.Error().c_str());
    fx.ShowDesk(6, false);
    console::ConsoleModel& model = fx.form().model();
    // A snake over the four rows of the stored layout; desk 6 is passed over.
    const std::vector<std::pair<Qt::Key, int>> walk = {
        {Qt::Key_Right, 2},  {Qt::Key_Right, 3},  {Qt::Key_Right, 4}, {Qt::Key_Down, 8},
        {Qt::Key_Left, 7},   {Qt::Key_Left, 5},   {Qt::Key_Down, 9},  {Qt::Key_Right, 10},
        {Qt::Key_Right, 11}, {Qt::Key_Right, 12}, {Qt::Key_Down, 16}, {Qt::Key_Left, 15},
        {Qt::Key_Left, 14},  {Qt::Key_Left, 13},  {Qt::Key_Up, 9}};
    Key(fx, Qt::Key_Up);  // the selection starts on desk 1 and stays there
    QCOMPARE(model.selectedDesk(), 0);
    QVERIFY(fx.Desk(1)->marks().keyboardFocus);
    size_t mark = fx.TraceMark();
    Key(fx, Qt::Key_Space);
    QCOMPARE(Writes(fx, mark), ListenWrite(1));
    std::vector<bool> heard(kDeskCount, false);
    heard[0] = true;
    for (const auto& [key, desk] : walk) {
      Key(fx, key);
      QCOMPARE(model.selectedDesk() + 1, desk);
      if (heard[desk - 1]) continue;
      mark = fx.TraceMark();
      Key(fx, Qt::Key_Space);
      QCOMPARE(Writes(fx, mark), ListenWrite(desk));
      QVERIFY(model.Display().desks[desk - 1].listenDown);
      QVERIFY(fx.Desk(desk)->marks().keyboardFocus);
      heard[desk - 1] = true;
    }
    for (int n = 1; n <= kDeskCount; ++n) QCOMPARE(heard[n - 1], n != 6);
    // Back on desk 9: Space listens to it again, and a second Space stops listening.
    Key(fx, Qt::Key_Space);
    QVERIFY(model.Display().desks[8].listenDown);
    Key(fx, Qt::Key_Space);
    QVERIFY(!model.Display().desks[8].listenDown);
    QCOMPARE(ScreenMismatch(fx.form()), QString());
    // A click puts the mouse back in charge: the keyboard's mark goes.
    QTest::mouseClick(fx.Desk(9), Qt::LeftButton, Qt::NoModifier, QPoint(70, 40));
    QVERIFY(!fx.Desk(9)->marks().keyboardFocus);
  }

  void keysDoNotFireWhileANameIsTyped() {
    WindowFixture fx(WithEmulator());
    QVERIFY2(fx.Ok(), fx.Error().c_str());
    console::ConsoleModel& model = fx.form().model();
    const std::string before = model.plan()[0].studentName;
    Key(fx, Qt::Key_F2);
    QVERIFY(model.EditingName(0));
    QLineEdit* box = fx.Desk(1)->nameBox;
    const size_t mark = fx.TraceMark();
    QTest::keyClicks(box, QStringLiteral("a b"));
    for (Qt::Key key : {Qt::Key_Space, Qt::Key_F5, Qt::Key_F3, Qt::Key_Right})
      QTest::keyClick(box, key);
    QCOMPARE(Writes(fx, mark), QString());
    QCOMPARE(fx.form().lessonTools().round().state(), console::RoundState::Stopped);
    QCOMPARE(model.selectedDesk(), 0);
    // Escape gives the edit up; F2 and Enter confirm a new name.
    QTest::keyClick(box, Qt::Key_Escape);
    QVERIFY(!model.EditingName(0));
    QCOMPARE(model.plan()[0].studentName, before);
    Key(fx, Qt::Key_F2);
    box->setText(QStringLiteral("Новое имя"));
    emit box->textEdited(box->text());
    QTest::keyClick(box, Qt::Key_Return);
    QCOMPARE(QString::fromStdString(model.plan()[0].studentName), QStringLiteral("Новое имя"));
    QVERIFY(model.classroomChanged());
  }

  void keysReachTheTeacherPanelAndAllDesks() {
    WindowFixture fx(WithEmulator());
    QVERIFY2(fx.Ok(), fx.Error().c_str());
    struct Row {
      Qt::Key key;
      Qt::KeyboardModifiers modifiers;
      QString writes;
    };
    // Each row from a reset controller; the writes are those of the matching clicks.
    const Row rows[] = {
        {Qt::Key_F9, Qt::NoModifier, "84 00 20"},                        // "Вход"
        {Qt::Key_F10, Qt::NoModifier, "84 00 40"},                       // "Линия"
        {Qt::Key_F8, Qt::NoModifier, "84 00 80"},                        // "Вход->Линия"
        {Qt::Key_3, Qt::ControlModifier, "82 00 00 | 84 FF 00"},         // all in pairs
        {Qt::Key_F4, Qt::NoModifier, "84 01 00 | 82 00 00 | 82 00 00"},  // desk 1's line button
        {Qt::Key_F3, Qt::NoModifier, "84 00 50"},                        // speak to desk 1
    };
    for (const Row& r : rows) {
      QCOMPARE(Play(fx, "nofaults reset"), QString());
      const size_t mark = fx.TraceMark();
      Key(fx, r.key, r.modifiers);
      QCOMPARE(Writes(fx, mark), r.writes);
      QCOMPARE(ScreenMismatch(fx.form()), QString());
    }
    const size_t mark = fx.TraceMark();
    Key(fx, Qt::Key_1, Qt::ControlModifier);
    QCOMPARE(Writes(fx, mark), QStringLiteral("81 00 00 | 82 00 00 | 83 00 00 | 84 00 00"));
  }

  void everyControlHasARussianAccessibleName() {
    WindowFixture fx(WithEmulator());
    QVERIFY2(fx.Ok(), fx.Error().c_str());
    QList<QWidget*> controls;
    for (QWidget* c : fx.form().Controls()) controls << c << ConsoleWindow::InnerControls(c);
    for (QWidget* c : fx.form().allDesks->toolbar->findChildren<QToolButton*>()) controls << c;
    LessonToolsBar& tools = *fx.form().toolsBar;
    controls << tools.roundButton << tools.timerButton << tools.arrangementsButton
             << tools.classListButton;
    for (QWidget* c : controls) {
      if (qobject_cast<QToolButton*>(c) == nullptr && qobject_cast<QPushButton*>(c) == nullptr &&
          qobject_cast<QLineEdit*>(c) == nullptr && qobject_cast<DeskPanel*>(c) == nullptr)
        continue;
      QVERIFY2(c->accessibleName().contains(QRegularExpression(QStringLiteral("[А-Яа-я]"))),
               qPrintable(c->objectName()));
      QVERIFY2(!c->accessibleDescription().isEmpty(), qPrintable(c->objectName()));
    }
  }
  void tooltipsNameTheKeysAndKeepTheirOwnText() {
    WindowFixture fx(WithEmulator());
    QVERIFY2(fx.Ok(), fx.Error().c_str());
    ConsoleWindow& w = fx.form();
    const std::pair<QWidget*, const char*> rows[] = {
        {w.allDesks->resetButton, "Сброс (Ctrl+1)"},
        {w.allDesks->allToLineButton, "Подключить все столы к ЛИНИИ (Ctrl+2)"},
        {w.teacher->inputButton, "Слушать ВХОД (F9)"},
        {w.allDesks->openButton, "Открытие файла (Ctrl+O)"},
        {w.allDesks->saveAsButton, "Сохранить как (F12)"},
        {fx.Desk(1)->listen, "Слушать стол (Пробел)"},
        {fx.Desk(16)->lineButton, "Соединить стол в пару с соседним (F4)"},
        {w.toolsBar->timerButton, "Таймер работы в парах или на линии (F11)"},
    };
    for (const auto& [control, shown] : rows) {
      const QString own = control->toolTip();
      QHelpEvent help(QEvent::ToolTip, QPoint(2, 2), control->mapToGlobal(QPoint(2, 2)));
      QApplication::sendEvent(control, &help);
      QTRY_COMPARE(QToolTip::text(), QString::fromUtf8(shown));
      QCOMPARE(control->toolTip(), own);
      QToolTip::hideText();
    }
  }

  void classListPreviewShowsWhatEachDeskGets() {
    std::array<console::DeskPlanEntry, kDeskCount> plan{};
    plan[1] = {"Стол 2", "", 10, 0, true};
    plan[0] = {"Стол 1", "", 200, 0, true};
    const std::vector<console::ImportRow> rows =
        console::PlanNameImport({"Анна", std::string(45, 'x'), "Zoe 中", "Борис"}, plan);
    ClassListDialog dialog(rows, plan, nullptr);
    const QStringList expected[] = {
        {"Стол 2", "Анна", "будет вписано"},
        {"Стол 1", QString(40, QLatin1Char('x')), "будет обрезано до 40 символов"},
        {"—", "Zoe 中", "не хватает столов"},
        {"—", "Борис", "не хватает столов"},
    };
    QCOMPARE(dialog.table->rowCount(), 4);
    for (int r = 0; r < 4; ++r) {
      QStringList shown;
      for (int c = 0; c < 3; ++c) shown << dialog.table->item(r, c)->text();
      QCOMPARE(shown, expected[r]);
    }
    // A refused name is said so, with its character.
    plan[3] = {"Стол 4", "", 10, 100, true};
    ClassListDialog refused(console::PlanNameImport({"a", "b", "Zoe 中"}, plan), plan, nullptr);
    QVERIFY(refused.table->item(2, 2)->text().contains(QStringLiteral("«中»")));
  }

  void spaceStaysWithTheFirstStartHint() {
    WindowFixture fx;  // no classroom file: an empty plan and the hint
    QVERIFY2(fx.Ok(), fx.Error().c_str());
    QVERIFY(fx.form().plan->firstStartHint()->isVisible());
    auto* open = fx.form().plan->firstStartHint()->findChild<QPushButton*>(QStringLiteral("HintOpen"));
    QVERIFY(open != nullptr);
    QTest::keyClick(open, Qt::Key_Space);
    QCOMPARE(fx.prompter().Count(FakePrompter::Kind::kOpenDialog), 1);
  }

  void arrangementSavedInTheFileAndAppliedWithTheDesksFrames() {
    WindowFixture fx(WithEmulator());
    QVERIFY2(fx.Ok(), fx.Error().c_str());
    LessonTools& tools = fx.form().lessonTools();
    std::string before;
    QVERIFY(platform::ReadWholeFile(fx.classroomPath(), before));
    QCOMPARE(Play(fx, "b3 b9"), QString());  // pairs 3-4 and 9-10 joined
    QCOMPARE(tools.SaveArrangement(QStringLiteral("Пары")), QString());
    std::string after;
    QVERIFY(platform::ReadWholeFile(fx.classroomPath(), after));
    QCOMPARE(after.substr(0, before.size()), before);
    QCOMPARE(tools.Arrangements().size(), size_t{1});

    QCOMPARE(Play(fx, "reset"), QString());
    const size_t mark = fx.TraceMark();
    tools.ApplyArrangement(tools.Arrangements().front());
    QCOMPARE(Writes(fx, mark), QStringLiteral("84 02 00 | 82 00 00 | 82 00 00 | "
                                              "84 12 00 | 82 00 00 | 82 00 00"));
    QCOMPARE(ScreenMismatch(fx.form()), QString());
    QVERIFY(tools.roundText().contains(QStringLiteral("применена")));
    // A controller that stops answering: the first refused join ends the apply.
    QCOMPARE(Play(fx, "reset silent"), QString());
    tools.ApplyArrangement(tools.Arrangements().front());
    QVERIFY(tools.roundText().contains(QStringLiteral("не полностью")));
    QCOMPARE(Play(fx, "nofaults"), QString());
    QCOMPARE(ScreenMismatch(fx.form()), QString());
  }

  void classListImportedIntoVisibleDesksAndExported() {
    WindowFixture fx(WithEmulator());
    QVERIFY2(fx.Ok(), fx.Error().c_str());
    fx.ShowDesk(2, false);
    const std::string list = cp1251::FromUtf8("Орлова Анна;5А\r\nПетров Иван;5А\r\n");
    const std::string listPath = fx.dir().File("class.csv");
    QVERIFY(platform::ReplaceFileAtomically(listPath, list));
    LessonTools& tools = fx.form().lessonTools();
    QVERIFY(tools.ImportClassList(QString::fromStdString(listPath), false));
    // Desk 2 is hidden: the second name goes to desk 3.
    QCOMPARE(fx.Desk(1)->nameBox->text(), QStringLiteral("Орлова Анна"));
    QCOMPARE(fx.Desk(2)->nameBox->text(), QStringLiteral("Ученик 2"));
    QCOMPARE(fx.Desk(3)->nameBox->text(), QStringLiteral("Петров Иван"));
    QVERIFY(fx.form().isWindowModified());
    const QString csvPath = QString::fromStdString(fx.dir().File("out.csv"));
    QVERIFY(tools.ExportClassList(csvPath));
    QFile csv(csvPath);
    QVERIFY(csv.open(QIODevice::ReadOnly));
    const QByteArray bytes = csv.readAll();
    QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
    QVERIFY(bytes.contains(QStringLiteral("Петров Иван;").toUtf8()));
    // A file that is not there is refused with a message.
    QVERIFY(!tools.ImportClassList(QString::fromStdString(fx.dir().File("none.txt")), false));
    QCOMPARE(fx.prompter().Count(FakePrompter::Kind::kMessage), 1);
  }

  void timerCountsDownInTheStripAndStopsEarly() {
    WindowFixture fx(WithEmulator());
    QVERIFY2(fx.Ok(), fx.Error().c_str());
    LessonTools& tools = fx.form().lessonTools();
    tools.StartTimer(2, console::TimerEndAction::Reset);
    QVERIFY(tools.timerText().startsWith(QStringLiteral("Таймер: 0")));
    QTRY_VERIFY_WITH_TIMEOUT(tools.timerText().startsWith(QStringLiteral("Таймер: 01:5")), 5000);
    const size_t mark = fx.TraceMark();
    Key(fx, Qt::Key_F11);  // a running timer: F11 stops it
    QCOMPARE(tools.timerText(), QString());
    QVERIFY(tools.roundText().contains(QStringLiteral("остановлен")));
    QCOMPARE(Writes(fx, mark), QString());
    tools.StartTimer(91, console::TimerEndAction::Nothing);
    QCOMPARE(fx.prompter().Count(FakePrompter::Kind::kMessage), 1);
    QCOMPARE(tools.timerText(), QString());
  }
};

QTEST_MAIN(LessonToolsTest)
#include "lesson_tools_test.moc"
