// The table of the console's commands.
#include "app/consolecommands.h"

#include <QKeySequence>
#include <QStringList>


namespace {

struct CommandRow {
  Command command;
  const char* objectName;
  const char* text;  // '&' marks the menu's Alt letter
  const char* tip;
  int image;  // in the window's image list; -1 for none
  std::optional<KeyCommand> key;  // run by the console's key table
  QKeySequence shortcut;          // run by Qt's shortcut (no key command)
  bool switching;                 // sends to the controller
};

const CommandRow kRows[] = {
    {Command::Open, "FileOpen1", "&Открыть...", "Открытие файла", 16, {}, QKeySequence(Qt::CTRL | Qt::Key_O), false},
    {Command::Save, "FileSave1", "&Сохранить", "Сохранить в файл", 12, {}, QKeySequence(Qt::CTRL | Qt::Key_S), false},
    {Command::SaveAs, "FileSaveAs1", "Сохранить &как...", "Сохранить как", 18, KeyCommand::SaveAs, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), false},
    {Command::StandardClassroom, "StandardClassroom1", "С&тандартный кабинет", "Создать стандартный кабинет", 13, {}, {}, true},
    {Command::Exit, "FileExit1", "&Выход", "Выход из программы", 17, {}, {}, false},

    {Command::ToggleListen, "ToggleListen1", "&Слушать / перестать", "Слушать выбранный стол или перестать", 0, KeyCommand::Listen, {}, true},
    {Command::ToggleSpeak, "ToggleSpeak1", "&Говорить / перестать", "Говорить с выбранным столом или перестать", 6, KeyCommand::Speak, {}, true},
    {Command::LineButton, "LineButton1", "&Линия и пара", "Подключить к линии, соединить в пару или разъединить", -1, KeyCommand::LineButton, {}, true},
    {Command::LedButton, "LedButton1", "Све&тодиод", "Выключить горящий светодиод выбранного стола", 5, KeyCommand::LedButton, {}, true},
    {Command::EditName, "EditName1", "&Имя ученика", "Изменить имя ученика за выбранным столом", -1, KeyCommand::EditName, {}, false},
    {Command::AnswerCall, "AnswerCall1", "&Ответить на вызов", "Слушать стол, вызвавший первым", -1, KeyCommand::AnswerCall, {}, true},
    {Command::DeskMenu, "DeskMenu1", "&Меню стола", "Меню выбранного стола", -1, KeyCommand::DeskMenu, {}, false},
    {Command::ListenDesk, "HearTheDesk", "Слушать", "Слушать выбранный стол", 0, {}, {}, true},
    {Command::StopListeningDesk, "UnHearDesk", "Перестать слушать", "Перестать слушать выбранный стол", 1, {}, {}, true},
    {Command::SpeakDesk, "SpeakToDesk", "Говорить", "Говорить с выбранным столом", 6, {}, {}, true},
    {Command::StopSpeakingDesk, "UnSpeakToDesk", "Перестать говорить", "Перестать говорить с выбранным столом", 7, {}, {}, true},
    {Command::JoinPair, "Desk2DeskComm", "Соединить в пару", "Соединить выбранный стол в пару", 2, {}, {}, true},
    {Command::PartPair, "Desk2DeskBrake", "Разъединить пару", "Разъединить пару выбранного стола", 3, {}, {}, true},
    {Command::PutOnLine, "ConnectToLine", "Подключить к линии", "Подключить выбранный стол к линии", -1, {}, {}, true},
    {Command::TakeOffLine, "DisconnectLine", "Отключить от линии", "Отключить выбранный стол от линии", -1, {}, {}, true},
    {Command::LedOn, "LedPowerOn1", "Включить светодиод", "Включить светодиод выбранного стола", 4, {}, {}, true},
    {Command::LedOff, "LedPowerOff1", "Выключить светодиод", "Выключить светодиод выбранного стола", 5, {}, {}, true},

    {Command::ResetAll, "ResetAll1", "С&брос всех столов", "Сброс", 15, KeyCommand::ResetAll, {}, true},
    {Command::AllToLine, "AllToLine1", "Все столы &к линии", "Подключить все столы к ЛИНИИ", 19, KeyCommand::AllToLine, {}, true},
    {Command::AllInPairs, "AllInPairs1", "Все столы в &пары", "Подключить все столы в ПАРЫ", 2, KeyCommand::AllInPairs, {}, true},
    {Command::AllLedsOff, "AllLedsOff1", "Выклю&чить все светодиоды", "Выключить все светодиоды", 5, KeyCommand::AllLedsOff, {}, true},
    {Command::InputToLine, "InputToLine1", "В&ход->Линия", "Подключить ВХОД к ЛИНИИ", -1, KeyCommand::InputToLine, {}, true},
    {Command::Input, "Input1", "Слушать вхо&д", "Слушать ВХОД", -1, KeyCommand::Input, {}, true},
    {Command::TeacherLine, "TeacherLine1", "Гово&рить в линию", "Говорить в ЛИНИЮ", -1, KeyCommand::TeacherLine, {}, true},

    {Command::Round, "RoundStartPauseResume", "Начать обход", "Обход класса: слушать столы по очереди", -1, KeyCommand::Round, {}, true},
    {Command::StopRound, "RoundStop", "Остановить обход", "Остановить обход класса", -1, KeyCommand::StopRound, {}, false},
    {Command::Timer, "Timer1", "&Таймер...", "Таймер работы в парах или на линии", -1, KeyCommand::Timer, {}, false},
    {Command::SaveArrangement, "SaveArrangement1", "Сохранить текущую &расстановку...", "Сохранить текущие пары и линию под именем", -1, {}, {}, false},
    {Command::ClassListImport, "ClassListImport1", "&Загрузить список класса...", "Загрузить имена учеников из файла", -1, {}, {}, false},
    {Command::ClassListExport, "ClassListExport1", "Выгрузить список класса в &CSV...", "Выгрузить имена учеников в CSV", -1, {}, {}, false},
    {Command::CallLog, "CallLog1", "&Журнал вызовов...", "Журнал вызовов этого урока", -1, {}, {}, false},
    {Command::ShowHeard, "ShowHeard1", "Показывать, сколько с&лушали каждый стол", "Показывать на столах, сколько их слушали", -1, {}, {}, false},
    {Command::NewLesson, "NewLesson1", "&Новый урок", "Начать запись нового урока", -1, {}, {}, false},
    {Command::Report, "Report1", "&Отчёт об уроке (PDF)", "Сохранить отчёт об уроке в PDF", -1, {}, {}, false},
    {Command::PlanPdf, "PlanPdf1", "&Печать плана (PDF)", "Сохранить план кабинета в PDF", -1, {}, {}, false},
    {Command::LessonMessages, "LessonMessages1", "Сооб&щения урока...",
     "Последние сообщения строки состояния за этот урок", -1, {}, {}, false},

    {Command::Settings, "Settings1", "&Настройки...", "Настройки...", 10, {}, QKeySequence(Qt::CTRL | Qt::Key_Comma), false},
    {Command::FindController, "FindController1", "Найти &контроллер", "Проверить другие порты и найти, где отвечает контроллер", -1, {}, {}, false},
    {Command::KeyTable, "KeyTable1", "&Клавиши...", "Таблица клавиш пульта", -1, {}, QKeySequence(Qt::Key_F1), false},
};

static_assert(std::size(kRows) == static_cast<size_t>(Command::Count), "a row for every command");

const CommandRow& RowOf(Command command) {
  for (const CommandRow& row : kRows) {
    if (row.command == command) return row;
  }
  return kRows[0];
}

}  // namespace

ConsoleCommands::ConsoleCommands(const QList<QIcon>& images, QObject* parent) : QObject(parent) {
  for (const CommandRow& row : kRows) {
    auto* action = new QAction(QString::fromUtf8(row.text), this);
    action->setObjectName(QString::fromLatin1(row.objectName));
    action->setToolTip(QString::fromUtf8(row.tip));
    if (row.image >= 0) action->setIcon(images.value(row.image));
    if (!row.shortcut.isEmpty()) action->setShortcut(row.shortcut);
    // Keys of the console's table are taken by its key filter; the menu only shows them.
    if (row.key && row.shortcut.isEmpty()) action->setText(action->text() + QLatin1Char('\t') + KeyText(*row.key));
    actions_[static_cast<size_t>(row.command)] = action;
  }
  operator[](Command::ShowHeard)->setCheckable(true);
}

QString ConsoleCommands::KeyOf(Command command) const {
  const CommandRow& row = RowOf(command);
  QStringList keys;
  if (row.key) keys << KeyText(*row.key);
  if (!row.shortcut.isEmpty()) keys << row.shortcut.toString(QKeySequence::NativeText);
  return keys.join(QStringLiteral(", "));
}

std::optional<KeyCommand> ConsoleCommands::KeyCommandOf(Command command) {
  return RowOf(command).key;
}

QList<QAction*> ConsoleCommands::All() const { return QList<QAction*>(actions_.begin(), actions_.end()); }

QList<QAction*> ConsoleCommands::Switching() const {
  QList<QAction*> switching;
  for (const CommandRow& row : kRows) {
    if (row.switching) switching << operator[](row.command);
  }
  return switching;
}
