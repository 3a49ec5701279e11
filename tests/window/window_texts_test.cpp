// At the described size everything is read whole: names on their panels,
// the status strip's messages, the lesson's messages again on request.
#include <QApplication>
#include <QFontMetrics>
#include <QMenu>
#include <QSignalBlocker>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleFactory>
#include <QTest>
#include <QTimer>

#include "app/lessontools.h"
#include "app/namebox.h"
#include "console/calllist.h"
#include "support/consolechecks.h"
#include "support/windowfixture.h"
#include "tests/support/filetext.h"

namespace {

void Rename(WindowFixture& fx, int desk, const std::string& name) {
  fx.form().Apply([&](console::ConsoleModel& m) {
    m.BeginNameEditing(desk);
    m.TypeName(desk, name);
    m.PressEnterInName(desk);
  });
}

// A message is whole when its label has the height its wrapped lines need
// and lies inside the strip, and the strip inside the window.
QString NotWhole(ConsoleWindow& form, QLabel* label) {
  if (label->heightForWidth(label->width()) > label->height()) {
    return QStringLiteral("cut: %1 (%2 > %3)")
        .arg(label->text())
        .arg(label->heightForWidth(label->width()))
        .arg(label->height());
  }
  const QRect inStrip(label->mapTo(form.status, QPoint()), label->size());
  if (!form.status->rect().contains(inStrip)) return QStringLiteral("outside the strip: ") + label->text();
  if (!form.rect().contains(form.status->geometry())) return QStringLiteral("strip outside the window");
  if (label->toolTip().isEmpty() || label->accessibleName().isEmpty()) return QStringLiteral("no tooltip");
  return {};
}

}  // namespace

class WindowTextsTest : public QObject {
  Q_OBJECT
 private slots:
  void namesUpToFortyLettersAreShownWhole();
  void statusMessagesAreWholeAtTheDescribedWidth();
  void roundAndTimerTextsAreWholeBesideTheLinkState();
  void everyCallerIsReadableWithLongNames_data();
  void everyCallerIsReadableWithLongNames();
};

void WindowTextsTest::namesUpToFortyLettersAreShownWhole() {
  WindowOptions options;
  options.writeClassroom = true;
  WindowFixture fx(options);
  QVERIFY2(fx.Ok(), fx.Error().c_str());
  const struct {
    const char* name;
    bool whole;
  } rows[] = {
      {"Ли Юн", true},
      {"Ёлкин Пётр", true},
      {"Григорьева Ксения", true},
      {"Петрова-Водкина Анна-Мария", true},
      {"Щёкина-Воробьёва Алёна", true},
      {"Константинопольская Александра-Виктория", true},  // 39 letters
      {"Христорождественская-Новосельцева Ефросинья-Александра Алексеевна", false},
  };
  int desk = 0;
  for (const auto& row : rows) {
    Rename(fx, desk, row.name);
    DeskPanel* panel = fx.Desk(desk + 1);
    auto* box = static_cast<NameBox*>(panel->nameBox);
    const QString name = QString::fromUtf8(row.name);
    QCOMPARE(box->text(), name);
    QCOMPARE(panel->size(), QSize(console::kDeskPanelWidth, console::kDeskPanelHeight));
    const console::NameLayout& layout = box->nameLayout();
    QCOMPARE(layout.elided, !row.whole);
    QStringList lines;
    QFont font = box->font();
    font.setPixelSize(layout.fontPixels);
    const QFontMetrics metrics(font);
    for (const std::string& line : layout.lines) {
      lines << QString::fromStdString(line);
      QVERIFY2(metrics.horizontalAdvance(lines.last()) <= box->width(), qPrintable(lines.last()));
    }
    QVERIFY2(layout.fontPixels >= NameBox::kSmallestFontPixels, row.name);
    if (row.whole) {
      QCOMPARE(lines.join(QLatin1Char(' ')).replace(QStringLiteral("- "), QStringLiteral("-")), name);
    }
    // The box stays on its panel, clear of the LED and the lower row.
    QVERIFY(panel->rect().contains(box->geometry()));
    QVERIFY(!box->geometry().intersects(panel->led->geometry()));
    QVERIFY(!box->geometry().intersects(panel->listen->geometry()));
    QVERIFY(!box->geometry().intersects(panel->lineButton->geometry()));
    // Whole in the tooltip and for screen readers (the box's text) always.
    QVERIFY(box->toolTip().contains(name));
    ++desk;
  }
  // A name that fits shows in the described box as before; Tab passing
  // through leaves it shown from its start.
  auto* first = static_cast<NameBox*>(fx.Desk(1)->nameBox);
  QVERIFY(!first->ShowsLines());
  QCOMPARE(first->geometry(), QRect(6, 16, 100, 21));
  first->setFocus(Qt::TabFocusReason);
  first->end(false);
  fx.Desk(2)->nameBox->setFocus(Qt::TabFocusReason);
  QCOMPARE(first->cursorPosition(), 0);
}

void WindowTextsTest::statusMessagesAreWholeAtTheDescribedWidth() {
  WindowOptions options;
  options.writeClassroom = true;
  WindowFixture fx(options);  // no controller: the link is lost
  QVERIFY2(fx.Ok(), fx.Error().c_str());
  ConsoleWindow& form = fx.form();
  QCOMPARE(form.width(), 700);
  QTRY_VERIFY(form.status->linkLabel->accessibleName().contains(QStringLiteral("не найдено")));
  QCOMPARE(NotWhole(form, form.status->linkLabel), QString());

  // The lesson's messages can be read again, the link's loss among them.
  (*form.commands)[Command::LessonMessages]->trigger();
  QVERIFY(fx.prompter().Count(FakePrompter::Kind::kMessage) >= 1);
  QVERIFY2(fx.prompter().Texts(FakePrompter::Kind::kMessage).contains(QStringLiteral("не найдено")),
           qPrintable(fx.prompter().Texts(FakePrompter::Kind::kMessage)));
}

void WindowTextsTest::roundAndTimerTextsAreWholeBesideTheLinkState() {
  WindowFixture fx(WithEmulator());
  QVERIFY2(fx.Ok(), fx.Error().c_str());
  ConsoleWindow& form = fx.form();
  // The round paused: its hint to press F5 is there whole.
  (*form.commands)[Command::Round]->trigger();
  (*form.commands)[Command::Round]->trigger();
  QCOMPARE(form.lessonTools().round().state(), console::RoundState::Paused);
  QVERIFY(form.toolsBar->roundLabel->text().contains(QStringLiteral("F5")));
  // The longest of the timer's ends beside it (the tools' redraws held off
  // meanwhile: the timer is not running).
  const QSignalBlocker held(&form.lessonTools());
  form.toolsBar->timerLabel->SetMessage(
      QStringLiteral("Время вышло: подключить все столы к линии не удалось."));
  QTRY_COMPARE(NotWhole(form, form.toolsBar->roundLabel), QString());
  QCOMPARE(NotWhole(form, form.toolsBar->timerLabel), QString());
  QCOMPARE(NotWhole(form, form.status->linkLabel), QString());
  // The plan kept its described size: the strip took the room it needed.
  QCOMPARE(form.client->size(), QSize(700, 500));
}

void WindowTextsTest::everyCallerIsReadableWithLongNames_data() {
  QTest::addColumn<QString>("style");
  QTest::newRow("Fusion") << QStringLiteral("Fusion");
  QTest::newRow("Windows") << QStringLiteral("Windows");
}

// All sixteen desks call, each with a long name, at the described size:
// every call is read whole in the strip or in the count's list, first
// caller first, and the count says how many only the list shows.
void WindowTextsTest::everyCallerIsReadableWithLongNames() {
  QFETCH(QString, style);
  const QString before = QApplication::style()->name();
  QApplication::setStyle(QStyleFactory::create(style));
  struct StyleBack {
    QString name;
    ~StyleBack() { QApplication::setStyle(QStyleFactory::create(name)); }
  } back{before};
  const char* surnames[] = {"Константинопольская", "Преображенская",  "Воскресенская",
                            "Богоявленская",       "Рождественская",  "Вознесенская",
                            "Благовещенская",      "Троицкая-Сергиевская", "Покровская-Стрешнева",
                            "Никольская-Заречная", "Успенская-Водкина", "Введенская-Петрова",
                            "Крестовоздвиженская", "Сретенская-Голицына", "Михайловская-Орлова",
                            "Георгиевская-Смирных"};
  WindowOptions options;
  options.writeClassroom = true;
  WindowFixture fx(options);
  QVERIFY2(fx.Ok(), fx.Error().c_str());
  ConsoleWindow& form = fx.form();
  QCOMPARE(form.width(), 700);
  QStringList names;
  for (int d = 0; d < kDeskCount; ++d) {
    names << QString::fromUtf8(surnames[d]) + QStringLiteral(" Александра-Виктория");
    QVERIFY(names.last().size() <= 40);
    Rename(fx, d, names.last().toStdString());
  }
  form.UpdateIndicators(0xFF, 0xFF);
  const std::vector<console::Call> calls = form.model().Display().calls;
  QCOMPARE(calls.size(), size_t(kDeskCount));

  // The strip: the first callers, each entry whole inside the strip; whole
  // or short, the whole entry for screen readers and in the tooltip.
  CallsBar& bar = *form.calls;
  QVERIFY(bar.isVisible());
  // The calls take a row of the strip; the window grows by it, the plan keeps its size.
  QTRY_COMPARE(form.status->height(), form.status->HeightFor(form.width()));
  QCOMPARE(form.client->size(), QSize(700, 500));
  const int shown = bar.ShownEntries();
  // At least the first callers are in the strip itself.
  QVERIFY2(shown >= 2, qPrintable(QString::number(shown)));
  for (int i = 0; i < kDeskCount; ++i) {
    const int desk = calls[i].desk;
    auto* entry = bar.list->findChild<QToolButton*>(QStringLiteral("Call%1").arg(desk + 1));
    QVERIFY(entry != nullptr);
    QCOMPARE(entry->isVisible(), i < shown);
    const QString whole = QStringLiteral("%1 · %2 · < 1 мин").arg(desk + 1).arg(names[desk]);
    QCOMPARE(entry->accessibleName(), whole);
    QVERIFY(entry->toolTip().contains(names[desk]));
    if (!entry->isVisible()) continue;
    const QString expected =
        bar.ShowsShortEntries()
            ? QString::fromStdString(console::CompactCallEntry(desk, names[desk].toStdString(), 0))
            : whole;
    QCOMPARE(entry->text(), expected);
    QVERIFY2(entry->width() >= entry->sizeHint().width(), qPrintable(entry->text()));
    const QRect inWindow(entry->mapTo(&form, QPoint()), entry->size());
    QVERIFY2(form.rect().contains(inWindow), qPrintable(entry->text()));
  }
  // The count says how many only its list shows, and the list has them all
  // whole, first caller first.
  QCOMPARE(bar.count->text(),
           QString::fromStdString(console::CallCountText(kDeskCount, kDeskCount - shown)));
  QCOMPARE(bar.count->accessibleName(), bar.count->text());
  QVERIFY(bar.count->isVisible());
  QVERIFY(bar.count->width() >= bar.count->sizeHint().width());
  QVERIFY(form.rect().contains(QRect(bar.count->mapTo(&form, QPoint()), bar.count->size())));
  const QList<QAction*> listed = bar.allCalls->actions();
  QCOMPARE(listed.size(), kDeskCount);
  for (int i = 0; i < kDeskCount; ++i) {
    const int desk = calls[i].desk;
    QCOMPARE(listed[i]->text(), QStringLiteral("%1 · %2 · < 1 мин").arg(desk + 1).arg(names[desk]));
  }

  // The list from the keyboard: Tab reaches the count, Space opens the list
  // whole on the screen, Enter on its first entry listens to the first caller.
  bool reachable = false;
  for (QWidget* w = form.nextInFocusChain(); w != &form; w = w->nextInFocusChain()) {
    reachable = reachable || w == bar.count;
  }
  QVERIFY(reachable);
  QVERIFY(bar.count->focusPolicy() & Qt::TabFocus);
  bool opened = false;
  bool wholeOnScreen = false;
  QTimer::singleShot(0, bar.allCalls, [&] {
    opened = bar.allCalls->isVisible();
    for (QAction* item : listed) {
      const QRect at = bar.allCalls->actionGeometry(item);
      const int text = bar.allCalls->fontMetrics().horizontalAdvance(item->text());
      wholeOnScreen = at.width() > text && bar.allCalls->rect().contains(at);
      if (!wholeOnScreen) break;
    }
    QTest::keyClick(bar.allCalls, Qt::Key_Down);
    QTest::keyClick(bar.allCalls, Qt::Key_Return);
  });
  const QSignalSpy answered(&bar, &CallsBar::answer);
  bar.count->setFocus(Qt::TabFocusReason);
  QTest::keyClick(bar.count, Qt::Key_Space);
  QVERIFY(opened);
  QVERIFY(wholeOnScreen);
  QTRY_COMPARE(answered.size(), 1);
  QCOMPARE(answered.front().front().toInt(), calls.front().desk);

  // The window grew for the calls' row by itself: closing keeps no new size.
  QVERIFY(form.height() > 524);
  const std::string settings = testsupport::FileText(fx.settingsPath());
  QVERIFY(fx.Close());
  QVERIFY(testsupport::FileText(fx.settingsPath()) == settings);
}

QTEST_MAIN(WindowTextsTest)
#include "window_texts_test.moc"
