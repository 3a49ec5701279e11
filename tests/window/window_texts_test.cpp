// At the described size everything is read whole: names on their panels,
// the status strip's messages, the lesson's messages again on request.
#include <QFontMetrics>
#include <QSignalBlocker>
#include <QTest>

#include "app/lessontools.h"
#include "app/namebox.h"
#include "support/consolechecks.h"
#include "support/windowfixture.h"

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

QTEST_MAIN(WindowTextsTest)
#include "window_texts_test.moc"
