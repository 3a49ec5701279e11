// The lesson tools' buttons, menus, questions and state in the status strip.
#include "app/lessontoolsbar.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QInputDialog>

#include "app/consolecommands.h"
#include "app/controldescriber.h"
#include "app/lessonkeys.h"
#include "app/lessontools.h"
#include "app/timerdialog.h"
#include "app/widgets.h"

LessonToolsBar::LessonToolsBar(LessonTools& tools, const ConsoleCommands& commands,
                               QWidget* window)
    : QObject(window), tools_(tools), commands_(commands), window_(window) {
  BuildButtons();
  BuildMenus();
  connect(commands[Command::Round], &QAction::triggered, this,
          [this] { tools_.StartPauseResumeRound(); });
  connect(commands[Command::StopRound], &QAction::triggered, this, [this] { tools_.StopRound(); });
  connect(commands[Command::Timer], &QAction::triggered, this, &LessonToolsBar::TimerCommand);
  connect(commands[Command::SaveArrangement], &QAction::triggered, this,
          &LessonToolsBar::AskArrangementName);
  connect(commands[Command::ClassListImport], &QAction::triggered, this,
          &LessonToolsBar::AskClassListToImport);
  connect(commands[Command::ClassListExport], &QAction::triggered, this,
          &LessonToolsBar::AskClassListExportFile);
  connect(&tools_, &LessonTools::statusChanged, this, &LessonToolsBar::Draw);
  Draw();
}

void LessonToolsBar::BuildButtons() {
  buttons_ = new QWidget(window_);
  buttons_->setObjectName(QStringLiteral("LessonToolButtons"));
  auto* row = new QHBoxLayout(buttons_);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(6);
  auto button = [&](const char* name, const char* text, const char* hint) {
    QToolButton* b = NewStripButton(buttons_, QString::fromLatin1(name), QString::fromUtf8(text),
                                    QString::fromUtf8(hint));
    row->addWidget(b);
    return b;
  };
  roundButton = button("RoundButton", "Обход", "Обход класса: слушать столы по очереди");
  roundButton->setCheckable(true);
  timerButton = button("TimerButton", "Таймер", "Таймер работы в парах или на линии");
  arrangementsButton = button("ArrangementsButton", "Расстановки",
                              "Сохранить или применить расстановку пар и линии");
  classListButton = button("ClassListButton", "Список", "Загрузить или выгрузить список класса");

  state_ = new QWidget(window_);
  state_->setObjectName(QStringLiteral("LessonToolState"));
  auto* labels = new QHBoxLayout(state_);
  labels->setContentsMargins(0, 0, 0, 0);
  labels->setSpacing(6);
  // Whole, wrapped when narrow, with the text in the tooltip.
  roundLabel = new MessageLabel(state_);
  roundLabel->setObjectName(QStringLiteral("RoundState"));
  timerLabel = new MessageLabel(state_);
  timerLabel->setObjectName(QStringLiteral("TimerState"));
  for (QLabel* label : {roundLabel, timerLabel}) labels->addWidget(label, 1);

  // The button's own toggled look must not run the command twice.
  connect(roundButton, &QToolButton::clicked, this,
          [this] { commands_[Command::Round]->trigger(); });
  connect(timerButton, &QToolButton::clicked, this,
          [this] { commands_[Command::Timer]->trigger(); });
}

void LessonToolsBar::BuildMenus() {
  arrangementsMenu = new QMenu(arrangementsButton);
  arrangementsMenu->setObjectName(QStringLiteral("ArrangementsMenu"));
  arrangementsButton->setMenu(arrangementsMenu);
  arrangementsButton->setPopupMode(QToolButton::InstantPopup);
  // Read from the file each time: it is where they live.
  connect(arrangementsMenu, &QMenu::aboutToShow, this, &LessonToolsBar::FillArrangementsMenu);

  classListMenu = new QMenu(classListButton);
  classListMenu->setObjectName(QStringLiteral("ClassListMenu"));
  classListMenu->addAction(commands_[Command::ClassListImport]);
  classListMenu->addAction(commands_[Command::ClassListExport]);
  classListButton->setMenu(classListMenu);
  classListButton->setPopupMode(QToolButton::InstantPopup);
}

void LessonToolsBar::DescribeRound() {
  const console::RoundState state = tools_.round().state();
  const QString text = state == console::RoundState::Running  ? QStringLiteral("Приостановить обход")
                       : state == console::RoundState::Paused ? QStringLiteral("Продолжить обход")
                                                              : QStringLiteral("Начать обход");
  commands_[Command::Round]->setText(text + QLatin1Char('\t') +
                                     commands_.KeyOf(Command::Round));
  commands_[Command::StopRound]->setEnabled(state != console::RoundState::Stopped);
}

void LessonToolsBar::Draw() {
  const QString roundShown = tools_.roundText();
  roundLabel->SetMessage(roundShown);
  roundButton->setChecked(tools_.round().state() == console::RoundState::Running);
  const QString timerShown = tools_.timerText();
  timerLabel->SetMessage(timerShown);
  const bool red = tools_.timerWarning();
  const QString style = red ? QStringLiteral("color: #c00000; font-weight: bold;") : QString();
  if (timerLabel->styleSheet() != style) timerLabel->setStyleSheet(style);
  timerLabel->setProperty("warning", red);
  DescribeRound();
}

void LessonToolsBar::TimerCommand() {
  if (tools_.timer().Running()) {
    tools_.StopTimer();
    return;
  }
  const std::optional<TimerChoice> choice =
      TimerDialog::Ask({tools_.lastTimerMinutes(), tools_.lastTimerAction()}, window_);
  if (choice) tools_.StartTimer(choice->minutes, choice->action);
}

void LessonToolsBar::FillArrangementsMenu() {
  arrangementsMenu->clear();
  arrangementsMenu->addAction(commands_[Command::SaveArrangement]);
  arrangementsMenu->addSeparator();
  const std::vector<classroom::Arrangement> saved = tools_.Arrangements();
  if (saved.empty()) {
    arrangementsMenu->addAction(QStringLiteral("Сохранённых расстановок нет"))->setEnabled(false);
    return;
  }
  for (const classroom::Arrangement& a : saved) {
    // '&' would become a mnemonic.
    QString text = QStringLiteral("Применить «%1»").arg(QString::fromStdString(a.name));
    text.replace(QLatin1Char('&'), QStringLiteral("&&"));
    arrangementsMenu->addAction(text, this, [this, a] { tools_.ApplyArrangement(a); });
  }
}

void LessonToolsBar::AskArrangementName() {
  bool ok = false;
  const QString name = QInputDialog::getText(window_, QStringLiteral("Расстановка"),
                                             QStringLiteral("Название расстановки:"),
                                             QLineEdit::Normal, QString(), &ok);
  if (ok) tools_.SaveArrangement(name);
}

void LessonToolsBar::AskClassListToImport() {
  const QString path =
      QFileDialog::getOpenFileName(window_, QStringLiteral("Список класса"), QString(),
                                   QStringLiteral("Списки класса (*.txt *.csv *.xlsx *.ods *.xls);;Все файлы (*)"));
  if (!path.isEmpty()) tools_.ImportClassList(path);
}

void LessonToolsBar::AskClassListExportFile() {
  QString path =
      QFileDialog::getSaveFileName(window_, QStringLiteral("Выгрузить список класса"),
                                   tools_.ClassListFileName(), QStringLiteral("CSV (*.csv)"));
  if (path.isEmpty()) return;
  if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".csv");
  tools_.ExportClassList(path);
}

void LessonToolsBar::DescribeControls(ControlDescriber& keys) {
  keys.Describe(roundButton, QStringLiteral("Обход класса"),
                QStringLiteral("Слушать видимые столы по очереди; пауза и продолжение; "
                               "остановить — Shift+F5."),
                KeyText(KeyCommand::Round));
  keys.Describe(timerButton, QStringLiteral("Таймер"),
                QStringLiteral("Запустить таймер или остановить идущий."), KeyText(KeyCommand::Timer));
  keys.Describe(arrangementsButton, QStringLiteral("Расстановки"),
                QStringLiteral("Сохранить текущие пары и линию под именем или применить сохранённую."));
  keys.Describe(classListButton, QStringLiteral("Список класса"),
                QStringLiteral("Загрузить имена учеников из файла или выгрузить их в CSV."));
  keys.Describe(roundLabel, QStringLiteral("Обход"), QStringLiteral("Состояние обхода класса."));
  keys.Describe(timerLabel, QStringLiteral("Таймер"), QStringLiteral("Оставшееся время таймера."));
}
