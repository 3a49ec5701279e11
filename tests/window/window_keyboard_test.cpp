// The window of parts from the keyboard and at its edges: every command of the
// menu bar reached and run with keys only, Tab reaching every button, the key
// table, menus wide enough for their entries, a close that can be cancelled,
// and the window shown before the controller is met.
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>
#include <map>
#include <set>

#include "app/consolemenus.h"
#include "console/keyboardlayouts.h"
#include "console/lessonjournal.h"
#include "support/tabwalk.h"
#include "support/windowfixture.h"

namespace {

WindowOptions WithEmulator() {
  WindowOptions options;
  options.startEmulator = true;
  options.writeClassroom = true;
  return options;
}

// Ends every modal dialog a command opens (the timer, a name, a file, the
// settings, the key table) as its Escape would, while `until` is false.
class DialogCloser : public QObject {
 public:
  DialogCloser() {
    timer_.setInterval(20);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      if (QWidget* modal = QApplication::activeModalWidget()) {
        ++closed;
        if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
        else modal->close();
      }
    });
    timer_.start();
  }
  int closed = 0;

 private:
  QTimer timer_;
};

// A style that measures menu entries narrower than it draws them, as some
// styles and fonts do: the entries must still be shown whole.
class NarrowMenuStyle : public QProxyStyle {
 public:
  using QProxyStyle::QProxyStyle;
  QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                         const QWidget* widget) const override {
    QSize measured = QProxyStyle::sizeFromContents(type, option, size, widget);
    if (type == CT_MenuItem) measured.setWidth(measured.width() / 2);
    return measured;
  }
};

// Every command a menu reaches, its submenus' included.
void CollectEntries(QMenu* menu, std::vector<std::pair<QMenu*, QAction*>>& out) {
  for (QAction* action : menu->actions()) {
    if (action->isSeparator()) continue;
    out.emplace_back(menu, action);
  }
}

// Alt and a letter, as a Russian keyboard sends it.
void AltLetter(QWidget* widget, QChar letter) {
  const QChar upper = letter.toUpper();
  QTest::sendKeyEvent(QTest::Press, widget, static_cast<Qt::Key>(upper.unicode()),
                      QString(letter.toLower()), Qt::AltModifier);
  QTest::sendKeyEvent(QTest::Release, widget, static_cast<Qt::Key>(upper.unicode()),
                      QString(letter.toLower()), Qt::AltModifier);
}

// A key as the Latin layout sends it: `latin` is what the key writes.
void LatinKey(QWidget* widget, char32_t latin, Qt::KeyboardModifiers modifiers) {
  const auto key = static_cast<Qt::Key>(QChar::toUpper(latin));
  const QString text(QChar(static_cast<char16_t>(latin)));
  QTest::sendKeyEvent(QTest::Press, widget, key, text, modifiers);
  QTest::sendKeyEvent(QTest::Release, widget, key, text, modifiers);
}

QChar LetterOf(const QString& title) { return title.at(title.indexOf(QLatin1Char('&')) + 1); }

}  // namespace

class WindowKeyboardTest : public QObject {
  Q_OBJECT

 private slots:
  void everyMenuBarCommandRunsFromTheKeyboard();
  void menuLettersWorkWithTheLatinLayout();
  void menuLettersAreOnePerEntry();
  void tabReachesEveryButton();
  void f1ShowsEveryKey();
  void menusKeepTheirEntriesWhole();
  void closeQuestionsOfferCancel();
  void theWindowShowsBeforeTheControllerIsMet();
};

void WindowKeyboardTest::everyMenuBarCommandRunsFromTheKeyboard() {
  WindowFixture fx(WithEmulator());
  QVERIFY2(fx.Ok(), fx.Error().c_str());
  ConsoleWindow& form = fx.form();
  form.activateWindow();
  std::set<QAction*> run;
  for (QAction* action : form.commands->All()) {
    connect(action, &QAction::triggered, &form, [&run, action] { run.insert(action); });
  }
  DialogCloser closer;
  const QList<QAction*> tops = form.menuBar->actions();
  QCOMPARE(tops.size(), 5);
  std::set<QAction*> offered;
  for (QAction* top : tops) {
    QMenu* menu = top->menu();
    std::vector<std::pair<QMenu*, QAction*>> entries;
    CollectEntries(menu, entries);
    for (const auto& [owner, entry] : entries) {
      if (entry->objectName() == QLatin1String("FileExit1")) {
        offered.insert(entry);  // run last, below
        continue;
      }
      // Alt and the title's letter open the menu; Down walks to the entry.
      const QChar letter = LetterOf(top->text()).toUpper();
      // Back from a dialog the window is the active one again, as the desktop makes it.
      form.activateWindow();
      QTRY_VERIFY(form.isActiveWindow());
      AltLetter(&form, letter);
      QTRY_VERIFY2(menu->isVisible(), qPrintable(top->text() + " before " + entry->text()));
      for (int step = 0; menu->activeAction() != entry && step < 40; ++step) {
        QTest::keyClick(menu, Qt::Key_Down);
      }
      QVERIFY2(menu->activeAction() == entry, qPrintable(entry->text()));
      if (QMenu* sub = entry->menu()) {
        // A submenu: Right opens it, and each of its commands is run the same way.
        QTest::keyClick(menu, Qt::Key_Right);
        QTRY_VERIFY2(sub->isVisible(), qPrintable(sub->title()));
        QTest::keyClick(menu, Qt::Key_Escape);
        QTest::keyClick(menu, Qt::Key_Escape);
        continue;
      }
      offered.insert(entry);
      QTest::keyClick(menu, Qt::Key_Return);
      QTRY_VERIFY2(!menu->isVisible(), qPrintable(entry->text()));
      // What the command left open for the keyboard is put away as a teacher would.
      if (form.deskMenu->isVisible()) form.deskMenu->close();
      if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
      for (int d = 0; d < kDeskCount; ++d) {
        if (form.model().EditingName(d)) QTest::keyClick(fx.Desk(d + 1)->nameBox, Qt::Key_Escape);
      }
    }
  }
  // The submenus' commands, through the same keys: the desk menu's, the
  // arrangements' (filled as it opens), the class list's.
  for (QMenu* sub : {form.deskMenu, form.toolsBar->arrangementsMenu, form.toolsBar->classListMenu}) {
    for (int i = 0;; ++i) {
      form.activateWindow();
      QTRY_VERIFY(form.isActiveWindow());
      sub->popup(QPoint(10, 10));
      QTRY_VERIFY(sub->isVisible());
      QList<QAction*> entries;
      for (QAction* a : sub->actions()) {
        if (!a->isSeparator() && a->isEnabled()) entries << a;
      }
      if (i >= entries.size()) {
        sub->close();
        break;
      }
      offered.insert(entries[i]);
      for (int step = 0; sub->activeAction() != entries[i] && step < 40; ++step) {
        QTest::keyClick(sub, Qt::Key_Down);
      }
      QTest::keyClick(sub, Qt::Key_Return);
      QTRY_VERIFY(!sub->isVisible());
    }
  }
  for (QAction* action : offered) {
    if (action->objectName() == QLatin1String("FileExit1")) continue;
    if (!action->isEnabled() && run.count(action) == 0) continue;  // e.g. stop with no round
    QVERIFY2(run.count(action) == 1 || action->objectName().isEmpty(),
             qPrintable(action->objectName() + " " + action->text()));
  }
  // Every command of the table is in the menu bar somewhere.
  for (QAction* action : form.commands->All()) {
    QVERIFY2(offered.count(action) == 1 || !action->isEnabled(), qPrintable(action->objectName()));
  }
  QVERIFY(closer.closed >= 5);  // timer, arrangement name, two file dialogs, settings, key table
  // The exit command closes the console from the keyboard too.
  AltLetter(&form, QChar(u'Ф'));
  QMenu* file = form.menuBar->actions().front()->menu();
  QTRY_VERIFY(file->isVisible());
  QTest::keyClick(file, Qt::Key_Up);  // the last entry
  QCOMPARE(file->activeAction()->objectName(), QStringLiteral("FileExit1"));
  QTest::keyClick(file, Qt::Key_Return);
  QTRY_VERIFY(!form.isVisible());
}

// The same keys with the Latin layout on: Alt and the key of each title's
// letter open its menu, wherever the focus is; in "Урок" the keys of "Р" and
// "К" open its submenus. Ctrl with that key is not taken for it.
void WindowKeyboardTest::menuLettersWorkWithTheLatinLayout() {
  WindowFixture fx(WithEmulator());
  QVERIFY2(fx.Ok(), fx.Error().c_str());
  ConsoleWindow& form = fx.form();
  form.activateWindow();
  QTRY_VERIFY(form.isActiveWindow());
  const QList<QAction*> tops = form.menuBar->actions();
  QWidget* focusAt[] = {&form, fx.Desk(3)->listen, fx.Desk(1)->nameBox, form.allDesks};
  for (int i = 0; i < tops.size(); ++i) {
    QMenu* menu = tops[i]->menu();
    const char32_t latin = console::LatinKeyOfRussianLetter(LetterOf(tops[i]->text()).unicode());
    QVERIFY2(latin != 0, qPrintable(tops[i]->text()));
    QWidget* at = focusAt[i % 4];
    at->setFocus(Qt::OtherFocusReason);
    LatinKey(at, latin, Qt::ControlModifier);
    QVERIFY2(!menu->isVisible(), qPrintable(tops[i]->text()));
    LatinKey(at, latin, Qt::AltModifier);
    QTRY_VERIFY2(menu->isVisible(), qPrintable(tops[i]->text()));
    QTest::keyClick(menu, Qt::Key_Escape);
    QTRY_VERIFY(!menu->isVisible());
    QTest::keyClick(form.menuBar, Qt::Key_Escape);
  }
  QMenu* lesson = tops[2]->menu();
  for (QMenu* sub : {form.toolsBar->arrangementsMenu, form.toolsBar->classListMenu}) {
    LatinKey(&form, console::LatinKeyOfRussianLetter(LetterOf(tops[2]->text()).unicode()),
             Qt::AltModifier);
    QTRY_VERIFY(lesson->isVisible());
    LatinKey(lesson, console::LatinKeyOfRussianLetter(LetterOf(sub->title()).unicode()),
             Qt::NoModifier);
    QTRY_VERIFY2(sub->isVisible(), qPrintable(sub->title()));
    QTest::keyClick(sub, Qt::Key_Escape);
    QTest::keyClick(lesson, Qt::Key_Escape);
    QTRY_VERIFY(!lesson->isVisible());
    QTest::keyClick(form.menuBar, Qt::Key_Escape);
  }
  // A Latin letter in a menu, typed with the Russian layout on.
  QMenu menu(&form);
  QAction* csv = menu.addAction(QStringLiteral("Выгрузить в &CSV"));
  menu.addAction(QStringLiteral("&Сохранить"));
  QSignalSpy exported(csv, &QAction::triggered);
  menu.popup(QPoint(10, 10));
  QTRY_VERIFY(menu.isVisible());
  QTest::sendKeyEvent(QTest::Click, &menu, static_cast<Qt::Key>(u'С'), QStringLiteral("с"),
                      Qt::NoModifier);
  QCOMPARE(exported.count(), 0);  // "С" is its own entry's letter
  menu.close();
  menu.actions().last()->setText(QStringLiteral("Со&хранить"));
  menu.popup(QPoint(10, 10));
  QTRY_VERIFY(menu.isVisible());
  QTest::sendKeyEvent(QTest::Click, &menu, static_cast<Qt::Key>(u'С'), QStringLiteral("с"),
                      Qt::NoModifier);
  QTRY_COMPARE(exported.count(), 1);
  // A dialog's letters: a label's takes its field, a button's presses it.
  QDialog dialog(&form);
  auto* first = new QLineEdit(&dialog);
  auto* label = new QLabel(QStringLiteral("&Столбец:"), &dialog);
  auto* column = new QLineEdit(&dialog);
  label->setBuddy(column);
  auto* yes = new QPushButton(QStringLiteral("&Да"), &dialog);
  auto* box = new QVBoxLayout(&dialog);
  for (QWidget* w : std::initializer_list<QWidget*>{first, label, column, yes}) box->addWidget(w);
  QSignalSpy pressed(yes, &QPushButton::clicked);
  dialog.show();
  dialog.activateWindow();
  QTRY_VERIFY(dialog.isActiveWindow());
  first->setFocus();
  LatinKey(first, console::LatinKeyOfRussianLetter(U'С'), Qt::AltModifier);
  QTRY_VERIFY(column->hasFocus());
  LatinKey(column, console::LatinKeyOfRussianLetter(U'Д'), Qt::AltModifier);
  QTRY_COMPARE(pressed.count(), 1);
  QVERIFY(!form.menuBar->activeAction());
}

// A letter two entries of one menu share only moves between them: in the menu
// bar and in each of its menus, every entry has a letter of its own (the
// round's two entries, whose texts change with the round, go by the arrows).
void WindowKeyboardTest::menuLettersAreOnePerEntry() {
  WindowFixture fx(WithEmulator());
  QVERIFY2(fx.Ok(), fx.Error().c_str());
  ConsoleWindow& form = fx.form();
  const std::set<QAction*> byArrows{(*form.commands)[Command::Round],
                                    (*form.commands)[Command::StopRound]};
  std::vector<const QWidget*> menus{form.menuBar};
  for (QAction* top : form.menuBar->actions()) menus.push_back(top->menu());
  for (const QWidget* menu : menus) {
    std::map<QChar, QString> taken;
    for (QAction* entry : menu->actions()) {
      if (entry->isSeparator() || byArrows.count(entry) == 1) continue;
      const QString text = entry->text().section(QLatin1Char('\t'), 0, 0);
      const int mark = text.indexOf(QLatin1Char('&'));
      QVERIFY2(mark >= 0 && mark + 1 < text.size(), qPrintable(text));
      const QChar letter = text.at(mark + 1).toUpper();
      QVERIFY2(taken.emplace(letter, text).second,
               qPrintable(text + " and " + taken[letter] + " share " + letter));
    }
  }
}

void WindowKeyboardTest::tabReachesEveryButton() {
  WindowFixture fx(WithEmulator());
  QVERIFY2(fx.Ok(), fx.Error().c_str());
  ConsoleWindow& form = fx.form();
  form.activateWindow();
  // One call, so that the call list has a button to reach.
  form.UpdateIndicators(0x00, 0x04);
  QTRY_VERIFY(!form.calls->list->findChildren<QToolButton*>().isEmpty());
  const QStringList missed = ButtonsTabMisses(form, fx.Desk(1)->listen);
  QVERIFY2(missed.isEmpty(), qPrintable(missed.join(QStringLiteral(", "))));
}

void WindowKeyboardTest::f1ShowsEveryKey() {
  WindowFixture fx(WithEmulator());
  QVERIFY2(fx.Ok(), fx.Error().c_str());
  QStringList shown;
  QTimer::singleShot(0, [&shown] {
    auto* table = QApplication::activeModalWidget()->findChild<QTableWidget*>("KeyTableRows");
    for (int row = 0; table != nullptr && row < table->rowCount(); ++row) {
      shown << table->item(row, 1)->text().split(QStringLiteral(", "));
    }
    QApplication::activeModalWidget()->close();
  });
  fx.form().activateWindow();
  QTest::keyClick(&fx.form(), Qt::Key_F1);
  // Each key of the key table, and the file keys.
  for (const char* key : {"Пробел", "F2", "F3", "F4", "F5", "Shift+F5", "F6", "F7", "F8", "F9",
                          "F10", "F11", "F12", "Shift+F10", "Ctrl+1", "Ctrl+4", "Ctrl+O",
                          "Ctrl+S", "F1"}) {
    QVERIFY2(shown.contains(QString::fromUtf8(key)), key);
  }
}

void WindowKeyboardTest::menusKeepTheirEntriesWhole() {
  WindowFixture fx(WithEmulator());
  QVERIFY2(fx.Ok(), fx.Error().c_str());
  ConsoleWindow& form = fx.form();
  QList<QMenu*> menus{form.deskMenu};
  for (QAction* top : form.menuBar->actions()) menus << top->menu();
  // A large font and another style: the entries still fit, their keys beside them.
  std::unique_ptr<QStyle> windows(QStyleFactory::create(QStringLiteral("Windows")));
  NarrowMenuStyle narrow(QStyleFactory::create(QStringLiteral("Fusion")));
  for (QStyle* style : {QApplication::style(), windows.get(), static_cast<QStyle*>(&narrow)}) {
    for (int pixels : {11, 19}) {
      for (QMenu* menu : menus) {
        QFont font = menu->font();
        font.setPixelSize(pixels);
        menu->setFont(font);
        if (style != QApplication::style()) menu->setStyle(style);
        menu->popup(QPoint(0, 0));
        QTRY_VERIFY(menu->isVisible());
        const QFontMetrics fm = menu->fontMetrics();
        for (QAction* action : menu->actions()) {
          if (action->isSeparator()) continue;
          QString text = action->text().section(QLatin1Char('\t'), 0, 0).remove(QLatin1Char('&'));
          const QString key = action->shortcut().isEmpty()
                                  ? action->text().section(QLatin1Char('\t'), 1)
                                  : action->shortcut().toString(QKeySequence::NativeText);
          const int need = fm.horizontalAdvance(text) + fm.horizontalAdvance(key) + 2 * fm.height();
          QVERIFY2(menu->actionGeometry(action).width() >= need,
                   qPrintable(QStringLiteral("%1 at %2 px").arg(text).arg(pixels)));
        }
        menu->close();
        menu->setStyle(nullptr);
      }
    }
  }
}

void WindowKeyboardTest::closeQuestionsOfferCancel() {
  WindowOptions options = WithEmulator();
  options.askToSaveOnClose = true;
  WindowFixture fx(options);
  QVERIFY2(fx.Ok(), fx.Error().c_str());
  ConsoleWindow& form = fx.form();
  fx.ClickButton(fx.Desk(2)->listen);  // a desk event: the report is offered
  fx.room().ClassroomChanged = 1;      // a changed plan: saving it is offered
  FakePrompter& prompter = fx.prompter();
  // The plan's question cancelled; then the plan saved and the report's cancelled.
  prompter.threeWayAnswers = {QMessageBox::Cancel, QMessageBox::No, QMessageBox::Cancel};
  for (int attempt = 0; attempt < 2; ++attempt) {
    QVERIFY(!form.close());
    QVERIFY(form.isVisible());
    QVERIFY(form.controllerPort().Usable());
    // Nothing lost: the console still switches and the lesson goes on.
    const size_t mark = fx.TraceMark();
    fx.ClickButton(fx.Desk(4)->listen);
    QVERIFY(!fx.FramesSince(mark).empty());
  }
  QCOMPARE(prompter.Count(FakePrompter::Kind::kQuestion, QStringLiteral("Отчёт об уроке")), 1);
  QVERIFY(form.session().journal().record().HadDeskEvents());
  prompter.threeWayAnswers = {QMessageBox::No, QMessageBox::No};
  QVERIFY(form.close());
}

void WindowKeyboardTest::theWindowShowsBeforeTheControllerIsMet() {
  WindowOptions options = WithEmulator();
  options.show = false;
  WindowFixture fx(options);
  QVERIFY2(fx.Ok(), fx.Error().c_str());
  ConsoleWindow& form = fx.form();
  form.show();
  // Shown: the switching waits and the strip says what is going on; the
  // controller is met only from the event loop, behind the window.
  QVERIFY(!form.session().Started());
  QVERIFY(form.status->linkLabel->text().contains(QStringLiteral("Подключение к контроллеру")));
  QVERIFY(!form.plan->isEnabled());
  QVERIFY(!form.teacher->isEnabled());
  QVERIFY(!(*form.commands)[Command::ResetAll]->isEnabled());
  QCOMPARE(fx.TraceMark(), size_t{0});
  QTest::keyClick(&form, Qt::Key_1, Qt::ControlModifier);  // all reset: waits
  QVERIFY(QTest::qWaitForWindowExposed(&form));
  QTRY_VERIFY_WITH_TIMEOUT(form.session().Started(), 10000);
  // The start-up's probe and reset, and nothing of the key pressed meanwhile.
  QString commands;
  for (const auto& frame : fx.FramesSince(0)) commands += QString::number(frame.rx[2], 16) + ' ';
  QCOMPARE(commands, QStringLiteral("81 81 82 83 84 "));
  QVERIFY(form.plan->isEnabled());
  QVERIFY(form.teacher->isEnabled());
  QVERIFY(!form.status->linkLabel->text().contains(QStringLiteral("Подключение к контроллеру")));
}

QTEST_MAIN(WindowKeyboardTest)
#include "window_keyboard_test.moc"
