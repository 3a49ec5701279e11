// The menus and the key table.
#include "app/consolemenus.h"

#include <QDialogButtonBox>
#include <algorithm>
#include <QHeaderView>
#include <QStyle>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/consolecommands.h"

namespace {

void AddAll(QMenu* menu, const ConsoleCommands& commands, std::initializer_list<Command> list) {
  for (Command command : list) menu->addAction(commands[command]);
}

// The text a menu shows, without the Alt letter's mark and the key column.
QString PlainText(const QAction* action) {
  QString text = action->text().section(QLatin1Char('\t'), 0, 0);
  text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
  text.remove(QLatin1Char('&'));
  text.replace(QStringLiteral("\x01"), QStringLiteral("&"));
  return text;
}

}  // namespace

int WholeEntriesWidth(const QMenu* menu) {
  const QFontMetrics fm = menu->fontMetrics();
  const int margin = 2 * (menu->style()->pixelMetric(QStyle::PM_MenuHMargin, nullptr, menu) +
                          menu->style()->pixelMetric(QStyle::PM_MenuPanelWidth, nullptr, menu));
  // The icon's column, the gaps around the text and before the key: room to
  // spare, since styles and fonts round their own measures differently.
  const int iconColumn = menu->style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, menu) + 12;
  const int gap = 3 * fm.averageCharWidth();
  int widest = 0;
  for (const QAction* action : menu->actions()) {
    if (action->isSeparator() || !action->isVisible()) continue;
    const QString key = action->shortcut().isEmpty()
                            ? action->text().section(QLatin1Char('\t'), 1)
                            : action->shortcut().toString(QKeySequence::NativeText);
    int need = iconColumn + fm.boundingRect(PlainText(action)).width() + 2 * gap;
    if (!key.isEmpty()) need += fm.boundingRect(key).width() + gap;
    if (action->menu() != nullptr) need += gap;  // the submenu's arrow
    widest = std::max(widest, need);
  }
  return widest + margin;
}

void KeepEntriesWhole(QMenu* menu) {
  // Once for a menu, however many owners ask.
  if (menu->property("keptWhole").toBool()) return;
  menu->setProperty("keptWhole", true);
  QObject::connect(menu, &QMenu::aboutToShow, menu, [menu] {
    menu->setMinimumWidth(WholeEntriesWidth(menu));
    for (QAction* action : menu->actions()) {
      if (action->menu() != nullptr) action->menu()->setMinimumWidth(WholeEntriesWidth(action->menu()));
    }
  });
}

QMenu* BuildDeskMenu(const ConsoleCommands& commands, QWidget* parent) {
  auto* menu = new QMenu(parent);
  menu->setObjectName(QStringLiteral("PopupMenu1"));
  menu->setTitle(QStringLiteral("&Выбранный стол"));
  AddAll(menu, commands, {Command::ListenDesk, Command::StopListeningDesk});
  menu->addSeparator();
  AddAll(menu, commands, {Command::SpeakDesk, Command::StopSpeakingDesk});
  menu->addSeparator();
  AddAll(menu, commands, {Command::JoinPair, Command::PartPair});
  menu->addSeparator();
  AddAll(menu, commands, {Command::PutOnLine, Command::TakeOffLine});
  menu->addSeparator();
  AddAll(menu, commands, {Command::LedOn, Command::LedOff});
  // The round from the desk menu too, below the desk's own commands.
  menu->addSeparator();
  AddAll(menu, commands, {Command::Round, Command::StopRound});
  KeepEntriesWhole(menu);
  return menu;
}

QMenuBar* BuildMenuBar(const ConsoleCommands& commands, QMenu* deskMenu, QMenu* arrangements,
                       QMenu* classList, QWidget* parent) {
  auto* bar = new QMenuBar(parent);
  bar->setObjectName(QStringLiteral("MenuBar"));
  QMenu* file = bar->addMenu(QStringLiteral("&Файл"));
  file->setObjectName(QStringLiteral("FileMenu"));
  AddAll(file, commands, {Command::Open, Command::Save, Command::SaveAs, Command::StandardClassroom});
  file->addSeparator();
  file->addAction(commands[Command::Exit]);

  QMenu* desks = bar->addMenu(QStringLiteral("&Столы"));
  desks->setObjectName(QStringLiteral("DesksMenu"));
  AddAll(desks, commands, {Command::ToggleListen, Command::ToggleSpeak, Command::LineButton,
                           Command::LedButton, Command::EditName, Command::AnswerCall,
                           Command::DeskMenu});
  desks->addMenu(deskMenu);
  desks->addSeparator();
  AddAll(desks, commands, {Command::ResetAll, Command::AllToLine, Command::AllInPairs,
                           Command::AllLedsOff});
  desks->addSeparator();
  AddAll(desks, commands, {Command::InputToLine, Command::Input, Command::TeacherLine});

  QMenu* lesson = bar->addMenu(QStringLiteral("&Урок"));
  lesson->setObjectName(QStringLiteral("LessonMenuBar"));
  AddAll(lesson, commands, {Command::Round, Command::StopRound, Command::Timer});
  lesson->addSeparator();
  arrangements->setTitle(QStringLiteral("&Расстановки"));
  lesson->addMenu(arrangements);
  classList->setTitle(QStringLiteral("Список &класса"));
  lesson->addMenu(classList);
  lesson->addSeparator();
  AddAll(lesson, commands, {Command::CallLog, Command::LessonMessages, Command::ShowHeard,
                            Command::NewLesson});
  lesson->addSeparator();
  AddAll(lesson, commands, {Command::Report, Command::PlanPdf});

  QMenu* settings = bar->addMenu(QStringLiteral("&Настройки"));
  settings->setObjectName(QStringLiteral("SettingsMenu"));
  AddAll(settings, commands, {Command::Settings, Command::FindController});

  QMenu* help = bar->addMenu(QStringLiteral("Сп&равка"));
  help->setObjectName(QStringLiteral("HelpMenu"));
  help->addAction(commands[Command::KeyTable]);
  for (QMenu* menu : {file, desks, lesson, settings, help, arrangements, classList}) {
    KeepEntriesWhole(menu);
  }
  return bar;
}

KeyTableDialog::KeyTableDialog(const ConsoleCommands& commands, QWidget* parent)
    : QDialog(parent) {
  setObjectName(QStringLiteral("KeyTable"));
  setWindowTitle(QStringLiteral("Клавиши пульта"));
  auto* layout = new QVBoxLayout(this);
  auto* table = new QTableWidget(this);
  table->setObjectName(QStringLiteral("KeyTableRows"));
  table->setColumnCount(2);
  table->setHorizontalHeaderLabels({QStringLiteral("Команда"), QStringLiteral("Клавиша")});
  table->verticalHeader()->hide();
  table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  for (int i = 0; i < static_cast<int>(Command::Count); ++i) {
    const auto command = static_cast<Command>(i);
    const QString key = commands.KeyOf(command);
    if (key.isEmpty()) continue;
    const int row = table->rowCount();
    table->insertRow(row);
    table->setItem(row, 0, new QTableWidgetItem(PlainText(commands[command])));
    table->setItem(row, 1, new QTableWidgetItem(key));
  }
  const int arrows = table->rowCount();
  table->insertRow(arrows);
  table->setItem(arrows, 0, new QTableWidgetItem(QStringLiteral("Выбрать соседний стол")));
  table->setItem(arrows, 1, new QTableWidgetItem(QStringLiteral("← → ↑ ↓")));
  table->resizeColumnsToContents();
  table->horizontalHeader()->setStretchLastSection(true);
  layout->addWidget(table);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
  resize(520, 520);
}
