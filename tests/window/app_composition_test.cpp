// The main window as built: control order, names, places, kinds, the
// toolbar, the popup menu and the wiring of every control to its handler.
#include <QElapsedTimer>
#include <QMenu>
#include <QTest>

#include "app/colours.h"
#include "link/Unwait.h"
#include "resources/glyphs.h"
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
  TForm1& form() { return fx_->form(); }

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
  void buttonsRunTheirHandlerOnClickOnly();
  void nameBoxKeysAndDoubleClick();
  void visibleDesksMaskFollowsHiddenPanels();
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
  for (int i = 0; i < kDeskCount; ++i) QCOMPARE(form().GroupBox[i]->tag(), i);
}

void AppCompositionTest::deskPanelsAsDesigned() {
  for (const DeskNames& d : kDesks) {
    DeskPanel* panel = fx_->Desk(d.desk);
    const QString where = QString("desk %1").arg(d.desk);
    QCOMPARE(panel->objectName(), QString("GroupBox%1").arg(d.desk));
    QCOMPARE(panel->size(), QSize(145, 75));
    QCOMPARE(panel->pos(), WindowFixture::StoredPosition(d.desk));
    QCOMPARE(panel->colour(), colours::kInfoBackground);
    QVERIFY(panel->font().bold());
    QVERIFY(!panel->isFlat());
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
    QCOMPARE(panel->listen->focusPolicy(), Qt::NoFocus);
    QCOMPARE(panel->lineButton->text(), QString("Откл."));
    QVERIFY(panel->lineButton->font().bold());

    QLineEdit* box = panel->nameBox;
    QVERIFY(box->isReadOnly());
    QVERIFY(!box->hasFrame());
    QVERIFY(box->font().bold());
    QCOMPARE(box->palette().color(QPalette::Base), colours::kInfoBackground);
    QCOMPARE(box->palette().color(QPalette::Text), colours::kNameText);

    const QList<QWidget*> inner = TForm1::InnerControls(panel);
    QCOMPARE(inner.size(), 5);
    QCOMPARE(form().PartnerOf(panel)->tag(), panel->tag() ^ 1);
    Q_UNUSED(where);
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
      {form().SpeedButton51, "SpeedButton51", QRect(8, 17, 110, 25), "Вход->Линия",
       "Подключить ВХОД к ЛИНИИ", 5},
      {form().SpeedButton49, "SpeedButton49", QRect(166, 17, 75, 25), "Вход", "Слушать ВХОД", 3},
      {form().SpeedButton50, "SpeedButton50", QRect(248, 17, 87, 25), "Линия", "Говорить в ЛИНИЮ",
       4},
  };
  for (const Row& r : rows) {
    QCOMPARE(r.button->objectName(), QString(r.name));
    QCOMPARE(r.button->parentWidget(), form().Panel1);
    QCOMPARE(r.button->geometry(), r.geometry);
    QCOMPARE(r.button->text(), QString::fromUtf8(r.caption));
    QCOMPARE(r.button->toolTip(), QString::fromUtf8(r.hint));
    QCOMPARE(r.button->groupIndex(), r.group);
    QVERIFY(r.button->isCheckable());
    QVERIFY(!r.button->icon().isNull());
    QCOMPARE(r.button->toolButtonStyle(), Qt::ToolButtonTextBesideIcon);
    QVERIFY(!r.button->font().bold());
  }
  QCOMPARE(form().Panel1->size(), QSize(345, 45));
  QCOMPARE(form().Label1->pos(), QPoint(176, 0));
  QVERIFY(form().Label1->text().contains("Учитель"));
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
      {form().ToolButton2, "ToolButton2", 0, "Сброс", 15, true},
      {form().ToolButton4, "ToolButton4", 32, "Подключить все столы к ЛИНИИ", 19, true},
      {form().ToolButton6, "ToolButton6", 64, "Подключить все столы в ПАРЫ", 2, true},
      {form().ToolButton8, "ToolButton8", 96, "Выключить все светодиоды", 5, true},
      {form().ToolButton9, "ToolButton9", 128, nullptr, -1, true},
      {form().ToolButton17, "ToolButton17", 153, "Сохранить как", 18, true},
      {form().ToolButton14, "ToolButton14", 185, "Открытие файла", 16, true},
      {form().ToolButton12, "ToolButton12", 217, "Создать стандартный кабинет", 13, true},
      {form().ToolButton10, "ToolButton10", 249, "Сохранить в файл", 12, false},
      {form().ToolButton15, "ToolButton15", 281, nullptr, -1, true},
      {form().ToolButton16, "ToolButton16", 297, "Выход из программы", 17, false},
  };
  QCOMPARE(form().ImageList1.size(), 20);
  for (const Row& r : rows) {
    QCOMPARE(r.widget->objectName(), QString(r.name));
    QCOMPARE(r.widget->parentWidget(), form().ToolBar1);
    QCOMPARE(r.widget->x(), r.left);
    QCOMPARE(r.widget->isHidden(), !r.visible);
    auto* button = qobject_cast<QToolButton*>(r.widget);
    QCOMPARE(button != nullptr, r.hint != nullptr);
    if (button == nullptr) continue;
    QCOMPARE(button->size(), QSize(32, 25));
    QCOMPARE(button->toolTip(), QString::fromUtf8(r.hint));
    QCOMPARE(button->icon().pixmap(16, 16).toImage(),
             form().ImageList1.at(r.image).pixmap(16, 16).toImage());
    // Toolbar buttons are none of the kinds the console walks pick.
    QVERIFY(qobject_cast<GlyphButton*>(button) == nullptr);
  }
  QCOMPARE(form().ToolBar1->geometry(), QRect(0, 13, 336, 37));
  // The images differ from one another (a shared default would hide a missing picture).
  for (int i = 0; i < 20; ++i) {
    for (int j = i + 1; j < 20; ++j) {
      QVERIFY2(form().ImageList1.at(i).pixmap(16, 16).toImage() !=
                   form().ImageList1.at(j).pixmap(16, 16).toImage(),
               qPrintable(QString("images %1 and %2").arg(i).arg(j)));
    }
  }
  // Ctrl+O opens a classroom file like the folder button (here: cancelled).
  QTest::keyClick(&form(), Qt::Key_O, Qt::ControlModifier);
  QCOMPARE(fx_->prompter().Count(FakePrompter::Kind::kOpenDialog), 1);
}

void AppCompositionTest::popupMenuEntriesAndRightClick() {
  QStringList entries;
  for (QAction* a : form().PopupMenu1->actions()) entries << (a->isSeparator() ? "-" : a->text());
  const QStringList expected = {
      "HearTheDesk", "UnHearDesk",     "-", "SpeakToDesk",   "UnSpeakToDesk",      "-",
      "Desk2Desk",   "Desk2DeskBrake", "-", "ConnectToLine", "DisconnectFromLine", "-",
      "LedPowerOn",  "LedPowerOff"};
  QCOMPARE(entries, expected);
  QCOMPARE(form().HearTheDesk->property("category").toString(), QString("Communication"));

  // A right press on desk 7 selects it first, then offers the menu.
  DeskPanel* desk = fx_->Desk(7);
  QVERIFY(form().SelectedDesk != desk);
  QTest::mousePress(desk, Qt::RightButton, Qt::NoModifier, QPoint(70, 5));
  QCOMPARE(form().SelectedDesk, desk);
  QVERIFY(QTest::qWaitFor([&] { return form().PopupMenu1->isVisible(); }, 2000));
  form().PopupMenu1->close();
  QTest::mouseRelease(desk, Qt::RightButton, Qt::NoModifier, QPoint(70, 5));

  // A left press selects without a menu.
  QTest::mousePress(fx_->Desk(3), Qt::LeftButton, Qt::NoModifier, QPoint(70, 5));
  QTest::mouseRelease(fx_->Desk(3), Qt::LeftButton, Qt::NoModifier, QPoint(70, 5));
  QCOMPARE(form().SelectedDesk, fx_->Desk(3));
  QVERIFY(!form().PopupMenu1->isVisible());
}

void AppCompositionTest::buttonsRunTheirHandlerOnClickOnly() {
  // No controller: any request ends in the connection question, answered No.
  // Putting buttons down from code must send nothing.
  for (int n = 1; n <= kDeskCount; ++n) {
    fx_->Desk(n)->listen->setChecked(true);
    fx_->Desk(n)->speak->setChecked(true);
    fx_->Desk(n)->listen->setChecked(false);
    fx_->Desk(n)->speak->setChecked(false);
  }
  // The LED button acts only on a lit LED.
  // A lit LED, on screen and in the register copy, so that a click has a write to send.
  TForm1::ShowLed(fx_->Desk(9)->led, true);
  form().room().SwitchState.LedAHigh = 0x01;
  form().room().SwitchState.LedBHigh = 0x01;
  form().SpeedButton49->setChecked(true);
  form().SpeedButton49->setChecked(false);
  QCOMPARE(fx_->prompter().Count(Kind::kQuestion), 0);

  struct Click {
    const char* what;
    QAbstractButton* button;
    DeskPanel* selects;  // nullptr when the click selects no desk
  };
  const Click clicks[] = {
      {"listen of desk 16", fx_->Desk(16)->listen, fx_->Desk(16)},
      {"speak of desk 15", fx_->Desk(15)->speak, fx_->Desk(15)},
      {"LED of desk 9", fx_->Desk(9)->led, fx_->Desk(9)},
      {"line of desk 6", fx_->Desk(6)->lineButton, fx_->Desk(6)},
      {"teacher input", form().SpeedButton49, nullptr},
      {"reset", form().ToolButton2, nullptr},
  };
  for (const Click& c : clicks) {
    const int before = fx_->prompter().Count(Kind::kQuestion, "Ошибка связи");
    fx_->ClickButton(c.button);
    QVERIFY2(fx_->prompter().Count(Kind::kQuestion, "Ошибка связи") == before + 1, c.what);
    const FakePrompter::Record& asked = fx_->prompter().records.back();
    QCOMPARE(asked.text, QString("Проверьте соединение с COM портом! Повторить попытку?"));
    QCOMPARE(asked.icon, QMessageBox::Critical);
    if (c.selects != nullptr) QVERIFY2(form().SelectedDesk == c.selects, c.what);
  }
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
  QCOMPARE(form().EditedName, other);
  // A click on the window background ends the editing.
  QTest::mouseClick(&form(), Qt::LeftButton, Qt::NoModifier, QPoint(350, 420));
  QVERIFY(other->isReadOnly());
}

void AppCompositionTest::visibleDesksMaskFollowsHiddenPanels() {
  QCOMPARE(form().VisibleDesksMask(), uint16_t{0xFFFF});
  fx_->Desk(3)->hide();
  fx_->Desk(16)->hide();
  QCOMPARE(form().VisibleDesksMask(), uint16_t{0xFFFF & ~(1u << 2) & ~(1u << 15)});
  // A window not on screen still counts its shown panels.
  form().hide();
  QCOMPARE(form().VisibleDesksMask(), uint16_t{0xFFFF & ~(1u << 2) & ~(1u << 15)});
}

void AppCompositionTest::indicatorUpdateChangesOnlyTheReportedDesks() {
  struct Step {
    uint8_t high, low;
    std::vector<int> ledsOn;  // desk numbers whose LED mark is 1 afterwards
  };
  const Step steps[] = {
      {0x00, 0x01, {1}},      {0x00, 0x01, {1}},  // the same report changes nothing
      {0x00, 0x09, {1, 4}},                       // desk 4 joins
      {0x20, 0x08, {4, 14}},                      // desk 1 off, desk 14 (SpeedButton48) on
      {0xC0, 0x00, {15, 16}},                     // the two desks created out of order
  };
  for (const Step& s : steps) {
    form().UpdateIndicators(s.high, s.low);
    uint16_t expectedBits = 0;
    for (int n : s.ledsOn) expectedBits |= static_cast<uint16_t>(1u << (n - 1));
    for (int n = 1; n <= kDeskCount; ++n) {
      const bool on = (expectedBits >> (n - 1)) & 1u;
      GlyphButton* led = fx_->Desk(n)->led;
      QVERIFY2(led->tag() == (on ? 1 : 0), qPrintable(QString("desk %1").arg(n)));
      QCOMPARE(led->icon().pixmap(16, 16).toImage(),
               glyphs::BitmapResource(on ? "LED1ON" : "LED1OFF").toImage());
    }
    const SwitchRegisters& state = fx_->room().SwitchState;
    QCOMPARE(state.LedBLow, static_cast<uint8_t>(expectedBits & 0xFF));
    QCOMPARE(state.LedBHigh, static_cast<uint8_t>(expectedBits >> 8));
    QCOMPARE(state.LedALow, state.LedBLow);
    QCOMPARE(state.LedAHigh, state.LedBHigh);
  }
  QCOMPARE(fx_->room().SwitchState.LineLow, uint8_t{0});
  QCOMPARE(fx_->room().SwitchState.Route, uint8_t{0});
}

void AppCompositionTest::waitDialogClosesItself() {
  TFmWait dialog;
  QCOMPARE(dialog.windowTitle(), QString("Ожидание..."));
  QCOMPARE(dialog.size(), QSize(187, 64));
  QCOMPARE(dialog.Label1->pos(), QPoint(24, 8));
  QCOMPARE(dialog.Label1->text(), QString("Идет обработка команды..."));
  QCOMPARE(dialog.Button1->geometry(), QRect(56, 32, 75, 25));
  QCOMPARE(dialog.Timer1->interval(), 1000);
  QElapsedTimer elapsed;
  elapsed.start();
  QCOMPARE(dialog.exec(), int(QDialog::Rejected));
  // The timer closed it: not at once, and (a bound against a hang only) not never.
  QVERIFY(elapsed.elapsed() >= 900);
  QVERIFY(elapsed.elapsed() < 30000);

  TFmWait second;
  QTimer::singleShot(0, second.Button1, [&] { second.Button1->click(); });
  QCOMPARE(second.exec(), int(QDialog::Accepted));
}

QTEST_MAIN(AppCompositionTest)
#include "app_composition_test.moc"
