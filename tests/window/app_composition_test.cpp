// The main window as built: control order, names, places, kinds, the
// toolbar, the popup menu, the name boxes' keys and the poll's LED marks.
#include <QElapsedTimer>
#include <QMenu>
#include <QTest>

#include "view/colours.h"
#include "app/waitdialog.h"
#include "resources/glyphs.h"
#include "support/screenchecks.h"
#include "support/windowfixture.h"

using Kind = FakePrompter::Kind;

namespace {

struct DeskNames {
  int desk;
  const char* listen;
  const char* speak;
  const char* led;
  const char* line;
  const char* name;
};

// Desks 15 and 16 carry the numbers of controls added after the others.
const DeskNames kDesks[] = {
    {1, "SpeedButton1", "SpeedButton2", "SpeedButton3", "Button1", "Edit1"},
    {2, "SpeedButton4", "SpeedButton5", "SpeedButton6", "Button2", "Edit2"},
    {4, "SpeedButton10", "SpeedButton11", "SpeedButton12", "Button4", "Edit4"},
    {5, "SpeedButton19", "SpeedButton20", "SpeedButton21", "Button7", "Edit7"},
    {9, "SpeedButton31", "SpeedButton32", "SpeedButton33", "Button11", "Edit11"},
    {14, "SpeedButton46", "SpeedButton47", "SpeedButton48", "Button16", "Edit16"},
    {15, "SpeedButton16", "SpeedButton17", "SpeedButton18", "Button6", "Edit6"},
    {16, "SpeedButton13", "SpeedButton14", "SpeedButton15", "Button5", "Edit5"},
};

}  // namespace

class AppCompositionTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<WindowFixture> fx_;
  ConsoleWindow& form() { return fx_->form(); }

 private slots:
  void init() {
    WindowOptions options;
    // The panels as composed, before a classroom is loaded; elsewhere all
    // sixteen desks shown at the stored layout.
    options.show = QByteArray(QTest::currentTestFunction()) != "deskPanelsAsDesigned";
    options.writeClassroom = true;
    fx_ = std::make_unique<WindowFixture>(options);
    QVERIFY2(fx_->Ok(), fx_->Error().c_str());
  }
  void cleanup() { fx_.reset(); }

  void controlOrderPutsDesks16And15AfterDesk4();
  void deskPanelsAsDesigned();
  void teacherPanel();
  void toolbar();
  void popupMenuEntriesAndRightClick();
  void nameBoxKeysAndDoubleClick();
  void indicatorUpdateChangesOnlyTheReportedDesks();
  void waitDialogClosesItself();
};

void AppCompositionTest::controlOrderPutsDesks16And15AfterDesk4() {
  QStringList names;
  for (QWidget* w : form().Controls()) names << w->objectName();
  const QStringList expected = {
      "GroupBox1",  "GroupBox2",  "GroupBox3",  "GroupBox4",  "GroupBox16", "GroupBox15",
      "GroupBox5",  "GroupBox6",  "GroupBox7",  "GroupBox8",  "GroupBox9",  "GroupBox10",
      "GroupBox11", "GroupBox12", "GroupBox13", "GroupBox14", "Panel1",     "Panel2"};
  QCOMPARE(names, expected);
  // The keyboard follows the same sequence.
  const auto& controls = form().Controls();
  for (size_t i = 0; i + 1 < controls.size(); ++i) {
    QWidget* next = controls[i]->nextInFocusChain();
    // The chain passes through the inner controls of a panel before the next panel.
    while (next != nullptr && next != controls[i + 1] && controls[i]->isAncestorOf(next)) {
      next = next->nextInFocusChain();
    }
    QVERIFY2(next == controls[i + 1], qPrintable(controls[i]->objectName()));
  }
  // Tags are desk indexes whatever the creation order.
  for (int i = 0; i < kDeskCount; ++i) QCOMPARE(form().plan->desk(i)->tag(), i);
}

void AppCompositionTest::deskPanelsAsDesigned() {
  for (const DeskNames& d : kDesks) {
    DeskPanel* panel = fx_->Desk(d.desk);
    QCOMPARE(panel->objectName(), QString("GroupBox%1").arg(d.desk));
    QCOMPARE(panel->size(), QSize(145, 75));
    QCOMPARE(panel->pos(), WindowFixture::StoredPosition(d.desk));
    QCOMPARE(panel->colour(), colours::kInfoBackground);
    QVERIFY(panel->font().bold());
    // The selection mark starts on desk 1, the selected desk.
    QCOMPARE(panel->marks().selected, d.desk == 1);
    QVERIFY(panel->hasMouseTracking());
    QCOMPARE(panel->title(), QString::number(d.desk));  // before any classroom is loaded

    QCOMPARE(panel->listen->objectName(), QString(d.listen));
    QCOMPARE(panel->speak->objectName(), QString(d.speak));
    QCOMPARE(panel->led->objectName(), QString(d.led));
    QCOMPARE(panel->lineButton->objectName(), QString(d.line));
    QCOMPARE(panel->nameBox->objectName(), QString(d.name));

    const int shift = d.desk == 1 ? -1 : 0;
    QCOMPARE(panel->listen->geometry(), QRect(92 + shift, 49 + shift, 23, 22));
    QCOMPARE(panel->speak->geometry(), QRect(117 + shift, 49 + shift, 23, 22));
    QCOMPARE(panel->led->geometry(), QRect(117, 8, 23, 22));
    QCOMPARE(panel->lineButton->geometry(), QRect(5 + shift, 49 + shift, 56, 22));
    QCOMPARE(panel->nameBox->geometry(), QRect(6, 16, 100, 21));

    QCOMPARE(panel->listen->groupIndex(), 1);
    QCOMPARE(panel->speak->groupIndex(), 2);
    QCOMPARE(panel->led->groupIndex(), 0);
    QVERIFY(panel->listen->isCheckable() && panel->speak->isCheckable());
    QVERIFY(!panel->led->isCheckable());
    QCOMPARE(panel->led->tag(), 0);
    QCOMPARE(panel->led->icon().pixmap(16, 16).toImage(),
             glyphs::BitmapResource("LED1OFF").toImage());
    // Tab reaches it; a click leaves the keyboard where it was (in a name box).
    QCOMPARE(panel->listen->focusPolicy(), Qt::TabFocus);
    QCOMPARE(panel->lineButton->text(), QString("Откл."));
    QVERIFY(panel->lineButton->font().bold());

    QLineEdit* box = panel->nameBox;
    QVERIFY(box->isReadOnly());
    QVERIFY(!box->hasFrame());
    QVERIFY(box->font().bold());
    // The box shows its panel's colour through itself.
    QCOMPARE(box->palette().color(QPalette::Base).alpha(), 0);
    const QImage look = panel->grab().toImage();
    const QPoint inBox = box->geometry().center() + QPoint(45, 0);
    QCOMPARE(look.pixelColor(inBox), look.pixelColor(box->geometry().right() + 4, inBox.y()));
    QCOMPARE(box->palette().color(QPalette::Text), colours::kNameText);

    QCOMPARE(ConsoleWindow::InnerControls(panel).size(), 5);
  }
}

void AppCompositionTest::teacherPanel() {
  struct Row {
    GlyphButton* button;
    const char* name;
    QRect geometry;
    const char* caption;
    const char* hint;
    int group;
  };
  const Row rows[] = {
      {form().teacher->inputToLineButton, "SpeedButton51", QRect(8, 17, 110, 25), "Вход->Линия",
       "Подключить ВХОД к ЛИНИИ", 5},
      {form().teacher->inputButton, "SpeedButton49", QRect(166, 17, 75, 25), "Вход", "Слушать ВХОД", 3},
      {form().teacher->lineButton, "SpeedButton50", QRect(248, 17, 87, 25), "Линия", "Говорить в ЛИНИЮ",
       4},
  };
  for (const Row& r : rows) {
    QCOMPARE(r.button->objectName(), QString(r.name));
    QCOMPARE(r.button->parentWidget(), form().teacher);
    QCOMPARE(r.button->geometry(), r.geometry);
    QCOMPARE(r.button->text(), QString::fromUtf8(r.caption));
    QCOMPARE(r.button->toolTip(), QString::fromUtf8(r.hint));
    QCOMPARE(r.button->groupIndex(), r.group);
    QVERIFY(r.button->isCheckable());
    QVERIFY(!r.button->icon().isNull());
    QCOMPARE(r.button->toolButtonStyle(), Qt::ToolButtonTextBesideIcon);
    QVERIFY(!r.button->font().bold());
  }
  QCOMPARE(form().teacher->size(), QSize(345, 45));
  QCOMPARE(form().teacher->label->pos(), QPoint(176, 0));
  QVERIFY(form().teacher->label->text().contains("Учитель"));
}

void AppCompositionTest::toolbar() {
  struct Row {
    QWidget* widget;
    const char* name;
    int left;
    const char* hint;  // nullptr for a separator
    int image;
    bool visible;
  };
  const Row rows[] = {
      {form().allDesks->resetButton, "ToolButton2", 0, "Сброс", 15, true},
      {form().allDesks->allToLineButton, "ToolButton4", 32, "Подключить все столы к ЛИНИИ", 19, true},
      {form().allDesks->allInPairsButton, "ToolButton6", 64, "Подключить все столы в ПАРЫ", 2, true},
      {form().allDesks->allLedsOffButton, "ToolButton8", 96, "Выключить все светодиоды", 5, true},
      {form().allDesks->gap, "ToolButton9", 128, nullptr, -1, true},
      {form().allDesks->saveAsButton, "ToolButton17", 153, "Сохранить как", 18, true},
      {form().allDesks->openButton, "ToolButton14", 185, "Открытие файла", 16, true},
      {form().allDesks->standardClassroomButton, "ToolButton12", 217, "Создать стандартный кабинет", 13, true},
      {form().allDesks->saveButton, "ToolButton10", 249, "Сохранить в файл", 12, true},
      {form().allDesks->endGap, "ToolButton15", 281, nullptr, -1, true},
      {form().allDesks->exitButton, "ToolButton16", 297, "Выход из программы", 17, false},
  };
  QCOMPARE(form().imageList.size(), 20);
  for (const Row& r : rows) {
    QCOMPARE(r.widget->objectName(), QString(r.name));
    QCOMPARE(r.widget->parentWidget(), form().allDesks->toolbar);
    QCOMPARE(r.widget->x(), r.left);
    QCOMPARE(r.widget->isHidden(), !r.visible);
    auto* button = qobject_cast<QToolButton*>(r.widget);
    QCOMPARE(button != nullptr, r.hint != nullptr);
    if (button == nullptr) continue;
    QCOMPARE(button->size(), QSize(32, 25));
    QCOMPARE(button->toolTip(), QString::fromUtf8(r.hint));
    QCOMPARE(button->icon().pixmap(16, 16).toImage(),
             form().imageList.at(r.image).pixmap(16, 16).toImage());
    // Toolbar buttons are none of the kinds the console walks pick.
    QVERIFY(qobject_cast<GlyphButton*>(button) == nullptr);
  }
  QCOMPARE(form().allDesks->toolbar->geometry(), QRect(0, 13, 336, 37));
  // The images differ from one another (a shared default would hide a missing picture).
  for (int i = 0; i < 20; ++i) {
    for (int j = i + 1; j < 20; ++j) {
      QVERIFY2(form().imageList.at(i).pixmap(16, 16).toImage() !=
                   form().imageList.at(j).pixmap(16, 16).toImage(),
               qPrintable(QString("images %1 and %2").arg(i).arg(j)));
    }
  }
  // Ctrl+O opens a classroom file like the folder button (here: cancelled).
  QTest::keyClick(&form(), Qt::Key_O, Qt::ControlModifier);
  QCOMPARE(fx_->prompter().Count(FakePrompter::Kind::kOpenDialog), 1);
}

void AppCompositionTest::popupMenuEntriesAndRightClick() {
  QStringList entries;
  for (QAction* a : form().deskMenu->actions()) entries << (a->isSeparator() ? "-" : a->text());
  const QStringList expected = {
      "Слушать",          "Перестать слушать",  "-", "Говорить",
      "Перестать говорить", "-",                "Соединить в пару", "Разъединить пару",
      "-",                "Подключить к линии", "Отключить от линии", "-",
      "Включить светодиод", "Выключить светодиод", "-", "Начать обход\tF5",
      "Остановить обход\tShift+F5"};
  QCOMPARE(entries, expected);

  // A right press on desk 7 selects it first, then offers the menu.
  DeskPanel* desk = fx_->Desk(7);
  QVERIFY(form().model().selectedDesk() != 6);
  QTest::mousePress(desk, Qt::RightButton, Qt::NoModifier, QPoint(70, 5));
  QCOMPARE(form().model().selectedDesk(), 6);
  QVERIFY(QTest::qWaitFor([&] { return form().deskMenu->isVisible(); }, 2000));
  form().deskMenu->close();
  QTest::mouseRelease(desk, Qt::RightButton, Qt::NoModifier, QPoint(70, 5));

  // A left press selects without a menu.
  QTest::mousePress(fx_->Desk(3), Qt::LeftButton, Qt::NoModifier, QPoint(70, 5));
  QTest::mouseRelease(fx_->Desk(3), Qt::LeftButton, Qt::NoModifier, QPoint(70, 5));
  QCOMPARE(form().model().selectedDesk(), 2);
  QVERIFY(!form().deskMenu->isVisible());
}

void AppCompositionTest::nameBoxKeysAndDoubleClick() {
  QLineEdit* box = fx_->Desk(16)->nameBox;  // Edit5
  QCOMPARE(box->text(), QString("Ученик 16"));
  box->setFocus();
  // Other keys reach the box unchanged: read-only, so nothing is typed.
  QTest::keyClick(box, Qt::Key_A);
  QCOMPARE(box->text(), QString("Ученик 16"));
  QVERIFY(box->isReadOnly());
  // Enter opens the box for editing; typing works then; Enter confirms.
  QTest::keyClick(box, Qt::Key_Return);
  QVERIFY(!box->isReadOnly());
  box->selectAll();
  QTest::keyClicks(box, "Ivanov");
  QCOMPARE(box->text(), QString("Ivanov"));
  QTest::keyClick(box, Qt::Key_Enter);
  QVERIFY(box->isReadOnly());
  QCOMPARE(box->text(), QString("Ivanov"));
  QCOMPARE(fx_->room().ClassroomChanged, 1);

  QLineEdit* other = fx_->Desk(2)->nameBox;
  QTest::mouseDClick(other, Qt::LeftButton);
  QVERIFY(!other->isReadOnly());
  QVERIFY(form().model().EditingName(1));
  other->selectAll();
  QTest::keyClicks(other, "xy");
  // A click on the window background ends the editing and keeps what was typed.
  QTest::mouseClick(&form(), Qt::LeftButton, Qt::NoModifier, QPoint(350, 420));
  QVERIFY(other->isReadOnly());
  QCOMPARE(other->text(), QString("xy"));
  QCOMPARE(form().model().plan()[1].studentName, std::string("xy"));
  // Escape leaves the box with the name it had.
  QTest::mouseDClick(other, Qt::LeftButton);
  other->selectAll();
  QTest::keyClicks(other, "zz");
  QTest::keyClick(other, Qt::Key_Escape);
  QVERIFY(other->isReadOnly());
  QCOMPARE(other->text(), QString("xy"));
  QCOMPARE(ScreenMismatch(form()), QString());
}

void AppCompositionTest::indicatorUpdateChangesOnlyTheReportedDesks() {
  struct Step {
    uint8_t high, low;
    uint16_t ledsOn;  // bit n - 1 for desk n
  };
  const Step steps[] = {
      {0x00, 0x01, 0x0001}, {0x00, 0x01, 0x0001},  // the same report changes nothing
      {0x20, 0x08, 0x2008},                        // desk 1 off, desks 4 and 14 on
      {0xC0, 0x00, 0xC000},                        // the two desks created out of order
  };
  for (const Step& s : steps) {
    form().UpdateIndicators(s.high, s.low);
    const SwitchRegisters& state = fx_->room().SwitchState;
    QCOMPARE(int(state.LedBHigh) << 8 | state.LedBLow, int(s.ledsOn));
    QCOMPARE(int(state.LedAHigh) << 8 | state.LedALow, int(s.ledsOn));
    QCOMPARE(ScreenMismatch(form()), QString());
    for (int n = 1; n <= kDeskCount; ++n) {
      const bool on = (s.ledsOn >> (n - 1)) & 1u;
      QVERIFY2(fx_->Desk(n)->led->icon().pixmap(16, 16).toImage() ==
                   glyphs::BitmapResource(on ? "LED1ON" : "LED1OFF").toImage(),
               qPrintable(QString("desk %1").arg(n)));
    }
  }
  QCOMPARE(fx_->room().SwitchState.LineLow, uint8_t{0});
  QCOMPARE(fx_->room().SwitchState.Route, uint8_t{0});
}

void AppCompositionTest::waitDialogClosesItself() {
  WaitDialog dialog;
  QCOMPARE(dialog.windowTitle(), QString("Ожидание..."));
  QCOMPARE(dialog.size(), QSize(187, 64));
  QCOMPARE(dialog.message->pos(), QPoint(24, 8));
  QCOMPARE(dialog.message->text(), QString("Идет обработка команды..."));
  QCOMPARE(dialog.okButton->geometry(), QRect(56, 32, 75, 25));
  QCOMPARE(dialog.closeTimer->interval(), 1000);
  QElapsedTimer elapsed;
  elapsed.start();
  QCOMPARE(dialog.exec(), int(QDialog::Rejected));
  // The timer closed it: not at once, and (a bound against a hang only) not never.
  QVERIFY(elapsed.elapsed() >= 900);
  QVERIFY(elapsed.elapsed() < 30000);

  WaitDialog second;
  QTimer::singleShot(0, second.okButton, [&] { second.okButton->click(); });
  QCOMPARE(second.exec(), int(QDialog::Accepted));
}

QTEST_MAIN(AppCompositionTest)
#include "app_composition_test.moc"
