// The lesson tools' buttons, keys, dialogs and status, wired to the Qt-free
// round, timer, arrangements and class lists.
#include "app/lessontools.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QTextDocument>
#include <QToolButton>
#include <QToolTip>

#include "app/classlistdialog.h"
#include "app/consolewindow.h"
#include "app/prompter.h"
#include "app/timerdialog.h"
#include "config/inifile.h"
#include "config/settings.h"
#include "config/settingsload.h"
#include "console/arrangements.h"
#include "console/classlist.h"
#include "platform/system.h"
#include "sheets/classlistfile.h"

namespace {

const QString kCaption = QStringLiteral("Vormik");

QString Utf8(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

LessonTools::LessonTools(ConsoleWindow& window, Prompter& prompter, std::string settingsPath)
    : window_(window), prompter_(prompter), settingsPath_(std::move(settingsPath)) {
  clock_.start();
  const console::MillisecondClock clock = [this] { return clock_.elapsed(); };
  round_ = std::make_unique<console::MonitoringRound>(window_.model(), clock, ReadRoundSeconds());
  timer_ = std::make_unique<console::LessonTimer>(window_.model(), clock);
  window_.model().AddObserver(this);
  BuildButtons();
  BuildMenus();
  DescribeControls();
  qApp->installEventFilter(this);
  ticker_.setInterval(kTickMs);
  connect(&ticker_, &QTimer::timeout, this, &LessonTools::Tick);
  ticker_.start();
  RefreshStatus();
}

LessonTools::~LessonTools() {
  qApp->removeEventFilter(this);
  window_.model().RemoveObserver(this);
}

int LessonTools::ReadRoundSeconds() const {
  return settings::ReadRoundSeconds(settings::LoadSettings(settingsPath_).document);
}

// ---------------------------------------------------------------------------
// Controls

void LessonTools::BuildButtons() {
  auto* strip = window_.statusStrip;
  auto* layout = qobject_cast<QHBoxLayout*>(strip->layout());
  auto button = [&](const char* name, const char* text, const char* hint) {
    auto* b = new QToolButton(strip);
    b->setObjectName(QString::fromLatin1(name));
    b->setText(QString::fromUtf8(text));
    b->setToolTip(QString::fromUtf8(hint));
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::NoFocus);
    return b;
  };
  roundButton = button("RoundButton", "Обход", "Обход класса: слушать столы по очереди");
  roundButton->setCheckable(true);
  timerButton = button("TimerButton", "Таймер", "Таймер работы в парах или на линии");
  arrangementsButton = button("ArrangementsButton", "Расстановки",
                              "Сохранить или применить расстановку пар и линии");
  classListButton = button("ClassListButton", "Список", "Загрузить или выгрузить список класса");
  int at = 0;
  for (QToolButton* b : {roundButton, timerButton, arrangementsButton, classListButton}) {
    layout->insertWidget(at++, b);
  }
  roundLabel = new QLabel(strip);
  roundLabel->setObjectName(QStringLiteral("RoundState"));
  timerLabel = new QLabel(strip);
  timerLabel->setObjectName(QStringLiteral("TimerState"));
  for (QLabel* label : {roundLabel, timerLabel}) label->setTextFormat(Qt::PlainText);
  // After the link state, before the calls.
  const int linkAt = layout->indexOf(window_.linkLabel);
  layout->insertWidget(linkAt + 1, roundLabel);
  layout->insertWidget(linkAt + 2, timerLabel);

  connect(roundButton, &QToolButton::clicked, this, [this] { StartPauseResumeRound(); });
  connect(timerButton, &QToolButton::clicked, this, [this] { TimerCommand(); });
}

void LessonTools::BuildMenus() {
  arrangementsMenu_ = new QMenu(arrangementsButton);
  arrangementsMenu_->setObjectName(QStringLiteral("ArrangementsMenu"));
  arrangementsButton->setMenu(arrangementsMenu_);
  arrangementsButton->setPopupMode(QToolButton::InstantPopup);
  // Read from the file each time: it is where they live.
  connect(arrangementsMenu_, &QMenu::aboutToShow, this, &LessonTools::FillArrangementsMenu);

  classListMenu_ = new QMenu(classListButton);
  classListMenu_->setObjectName(QStringLiteral("ClassListMenu"));
  classListMenu_->addAction(QStringLiteral("Загрузить список класса..."), this,
                            &LessonTools::AskClassListToImport);
  classListMenu_->addAction(QStringLiteral("Выгрузить список класса в CSV..."), this,
                            &LessonTools::AskClassListExportFile);
  classListButton->setMenu(classListMenu_);
  classListButton->setPopupMode(QToolButton::InstantPopup);

  // The round from the desk menu too, below the desk's own commands.
  window_.deskMenu->addSeparator();
  roundAction = window_.deskMenu->addAction(QString(), this, [this] { StartPauseResumeRound(); });
  roundAction->setObjectName(QStringLiteral("RoundStartPauseResume"));
  stopRoundAction = window_.deskMenu->addAction(QStringLiteral("Остановить обход\tShift+F5"), this,
                                                [this] { StopRound(); });
  stopRoundAction->setObjectName(QStringLiteral("RoundStop"));
  connect(window_.deskMenu, &QMenu::aboutToShow, this, &LessonTools::DescribeRoundActions);
  DescribeRoundActions();
}

void LessonTools::DescribeRoundActions() {
  const console::RoundState state = round_->state();
  const QString text = state == console::RoundState::Running  ? QStringLiteral("Приостановить обход")
                       : state == console::RoundState::Paused ? QStringLiteral("Продолжить обход")
                                                              : QStringLiteral("Начать обход");
  roundAction->setText(text + QStringLiteral("\tF5"));
  stopRoundAction->setEnabled(state != console::RoundState::Stopped);
}

void LessonTools::Describe(QWidget* control, const QString& name, const QString& description,
                           std::optional<KeyCommand> key) {
  if (control == nullptr) return;
  control->setAccessibleName(name);
  QString full = description;
  if (key) {
    full += QStringLiteral(" Клавиша: %1.").arg(KeyText(*key));
    keyHints_.emplace_back(control, KeyText(*key));
  }
  control->setAccessibleDescription(full);
}

void LessonTools::DescribeControls() {
  ConsoleWindow& w = window_;
  for (DeskPanel* panel : w.desks) {
    const QString n = QString::number(panel->tag() + 1);
    Describe(panel, QStringLiteral("Стол %1").arg(n),
             QStringLiteral("Стол ученика; стрелки выбирают стол, меню стола — Shift+F10."));
    Describe(panel->listen, QStringLiteral("Слушать стол %1").arg(n),
             QStringLiteral("Слушать стол или перестать слушать."), KeyCommand::Listen);
    Describe(panel->speak, QStringLiteral("Говорить со столом %1").arg(n),
             QStringLiteral("Говорить со столом или перестать."), KeyCommand::Speak);
    Describe(panel->led, QStringLiteral("Светодиод стола %1").arg(n),
             QStringLiteral("Выключить горящий светодиод стола."), KeyCommand::LedButton);
    Describe(panel->lineButton, QStringLiteral("Линия и пара стола %1").arg(n),
             QStringLiteral("Подключить к линии, соединить в пару или разъединить."),
             KeyCommand::LineButton);
    Describe(panel->nameBox, QStringLiteral("Имя ученика за столом %1").arg(n),
             QStringLiteral("Enter подтверждает, Esc отменяет правку."), KeyCommand::EditName);
  }
  Describe(w.inputToLineButton, QStringLiteral("Вход->Линия"),
           QStringLiteral("Подключить ВХОД к ЛИНИИ."), KeyCommand::InputToLine);
  Describe(w.inputButton, QStringLiteral("Вход"), QStringLiteral("Слушать ВХОД."),
           KeyCommand::Input);
  Describe(w.teacherLineButton, QStringLiteral("Линия"), QStringLiteral("Говорить в ЛИНИЮ."),
           KeyCommand::TeacherLine);
  Describe(w.resetButton, QStringLiteral("Сброс"), QStringLiteral("Сбросить все столы."),
           KeyCommand::ResetAll);
  Describe(w.allToLineButton, QStringLiteral("Все столы к линии"),
           QStringLiteral("Подключить все столы к ЛИНИИ."), KeyCommand::AllToLine);
  Describe(w.allInPairsButton, QStringLiteral("Все столы в пары"),
           QStringLiteral("Подключить все столы в ПАРЫ."), KeyCommand::AllInPairs);
  Describe(w.allLedsOffButton, QStringLiteral("Выключить все светодиоды"),
           QStringLiteral("Выключить светодиоды всех столов."), KeyCommand::AllLedsOff);
  Describe(w.saveAsButton, QStringLiteral("Сохранить как"),
           QStringLiteral("Сохранить кабинет в файл."), KeyCommand::SaveAs);
  Describe(w.openButton, QStringLiteral("Открыть"),
           QStringLiteral("Открыть файл кабинета. Клавиша: Ctrl+O."));
  keyHints_.emplace_back(w.openButton, QStringLiteral("Ctrl+O"));
  Describe(w.standardClassroomButton, QStringLiteral("Стандартный кабинет"),
           QStringLiteral("Создать стандартный кабинет из 16 столов."));
  Describe(w.saveButton, QStringLiteral("Сохранить"),
           QStringLiteral("Сохранить кабинет в текущий файл. Клавиша: Ctrl+S."));
  keyHints_.emplace_back(w.saveButton, QStringLiteral("Ctrl+S"));
  Describe(w.settingsButton, QStringLiteral("Настройки"),
           QStringLiteral("Порт контроллера, опрос, звук вызова, обход. Клавиша: Ctrl+,."));
  Describe(w.searchOffer, QStringLiteral("Найти контроллер"),
           QStringLiteral("Проверить порты по очереди и найти тот, на котором отвечает контроллер."));
  Describe(w.exitButton, QStringLiteral("Выход"), QStringLiteral("Выход из программы."));
  Describe(w.linkLabel, QStringLiteral("Связь с контроллером"),
           QStringLiteral("Порт и что контроллер сделал последним."));
  Describe(w.callList, QStringLiteral("Вызовы"),
           QStringLiteral("Вызывающие столы по порядку вызова."), KeyCommand::AnswerCall);
  Describe(roundButton, QStringLiteral("Обход класса"),
           QStringLiteral("Слушать видимые столы по очереди; пауза и продолжение; "
                          "остановить — Shift+F5."),
           KeyCommand::Round);
  Describe(timerButton, QStringLiteral("Таймер"),
           QStringLiteral("Запустить таймер или остановить идущий."), KeyCommand::Timer);
  Describe(arrangementsButton, QStringLiteral("Расстановки"),
           QStringLiteral("Сохранить текущие пары и линию под именем или применить сохранённую."));
  Describe(classListButton, QStringLiteral("Список класса"),
           QStringLiteral("Загрузить имена учеников из файла или выгрузить их в CSV."));
  Describe(roundLabel, QStringLiteral("Обход"), QStringLiteral("Состояние обхода класса."));
  Describe(timerLabel, QStringLiteral("Таймер"), QStringLiteral("Оставшееся время таймера."));
}

// ---------------------------------------------------------------------------
// Keys and tooltips

bool LessonTools::eventFilter(QObject* watched, QEvent* event) {
  auto* widget = qobject_cast<QWidget*>(watched);
  if (widget == nullptr || widget->window() != &window_) return false;
  switch (event->type()) {
    case QEvent::KeyPress:
      return HandleKey(static_cast<QKeyEvent*>(event));
    case QEvent::MouseButtonPress:
      // The mouse is back in use: the keyboard's mark goes until the next arrow.
      if (focusMark_) {
        focusMark_ = false;
        window_.Redraw();
      }
      return false;
    case QEvent::ToolTip:
      return ShowToolTip(widget, static_cast<QHelpEvent*>(event));
    default:
      return false;
  }
}

bool LessonTools::ShowToolTip(QWidget* control, QHelpEvent* event) {
  // The call list's entries come and go; the list's key answers the first of them.
  const QWidget* keyed = control->parentWidget() == window_.callList ? window_.callList : control;
  for (const auto& [hinted, key] : keyHints_) {
    if (hinted != keyed) continue;
    // The control's own tooltip stays as it is; the key is added to what shows.
    const QString base =
        control->toolTip().isEmpty() ? control->accessibleName() : control->toolTip();
    QString text = QStringLiteral("%1 (%2)").arg(base, key);
    // A student's name is shown as typed, never read as markup.
    if (Qt::mightBeRichText(text))
      text = QStringLiteral("<span>%1</span>").arg(text.toHtmlEscaped());
    QToolTip::showText(event->globalPos(), text, control);
    return true;
  }
  return false;
}

bool LessonTools::HandleKey(QKeyEvent* event) {
  // Dialogs (a question, the wait, the timer) take their own keys.
  if (QApplication::activeModalWidget() != nullptr) return false;
  const console::ConsoleModel& m = window_.model();
  bool typingName = false;
  for (int d = 0; d < kDeskCount; ++d) typingName = typingName || m.EditingName(d);
  const std::optional<KeyCommand> command = CommandForKey(event->key(), event->modifiers());
  if (typingName) {
    // Every key belongs to the name; Escape gives up the edit.
    if (command != KeyCommand::CancelName) return false;
    Run(KeyCommand::CancelName);
    return true;
  }
  if (!command || *command == KeyCommand::CancelName) return false;
  // With no desk on the plan Space stays with the focused button (the first-start hint's).
  if (*command == KeyCommand::Listen && console::PlanOrder(m.plan()).empty()) return false;
  const bool moves = *command == KeyCommand::SelectLeft || *command == KeyCommand::SelectRight ||
                     *command == KeyCommand::SelectUp || *command == KeyCommand::SelectDown;
  // A held key repeats only the arrows; a repeated Space would toggle the desk on and off.
  if (event->isAutoRepeat() && !moves) return true;
  Run(*command);
  return true;
}

int LessonTools::SelectedVisibleDesk() {
  console::ConsoleModel& m = window_.model();
  if (m.plan()[m.selectedDesk()].visible) return m.selectedDesk();
  const int first = console::NearestDesk(m.plan(), -1, console::Direction::Right);
  if (first >= 0) m.SelectDesk(first);
  return first;
}

void LessonTools::MoveSelection(console::Direction direction) {
  console::ConsoleModel& m = window_.model();
  const int from = m.plan()[m.selectedDesk()].visible ? m.selectedDesk() : -1;
  const int to = console::NearestDesk(m.plan(), from, direction);
  if (to < 0) return;
  m.SelectDesk(to);
  focusMark_ = true;
  window_.Redraw();
}

void LessonTools::Run(KeyCommand command) {
  using console::ConsoleModel;
  using console::Direction;
  ConsoleWindow& w = window_;
  auto onDesk = [this, &w](auto operation) {
    const int desk = SelectedVisibleDesk();
    if (desk < 0) return;
    w.Apply([&](ConsoleModel& m) { operation(m, desk); });
  };
  switch (command) {
    case KeyCommand::SelectLeft:
      MoveSelection(Direction::Left);
      return;
    case KeyCommand::SelectRight:
      MoveSelection(Direction::Right);
      return;
    case KeyCommand::SelectUp:
      MoveSelection(Direction::Up);
      return;
    case KeyCommand::SelectDown:
      MoveSelection(Direction::Down);
      return;
    case KeyCommand::Listen:
      onDesk([](ConsoleModel& m, int d) { m.ToggleListening(d); });
      return;
    case KeyCommand::Speak:
      onDesk([](ConsoleModel& m, int d) { m.ToggleSpeaking(d); });
      return;
    case KeyCommand::LineButton:
      onDesk([](ConsoleModel& m, int d) { m.PressLineButton(d); });
      return;
    case KeyCommand::LedButton:
      onDesk([](ConsoleModel& m, int d) { m.PressLedButton(d); });
      return;
    case KeyCommand::EditName: {
      const int desk = SelectedVisibleDesk();
      if (desk < 0) return;
      w.Apply([desk](ConsoleModel& m) { m.BeginNameEditing(desk); });
      w.desks[static_cast<size_t>(desk)]->nameBox->setFocus(Qt::ShortcutFocusReason);
      w.desks[static_cast<size_t>(desk)]->nameBox->selectAll();
      return;
    }
    case KeyCommand::CancelName:
      w.Apply([](ConsoleModel& m) {
        for (int d = 0; d < kDeskCount; ++d) {
          if (m.EditingName(d)) m.CancelNameEditing(d);
        }
      });
      w.setFocus(Qt::ShortcutFocusReason);
      return;
    case KeyCommand::AnswerCall:
      if (w.model().calls().empty()) return;
      w.Apply([](ConsoleModel& m) { m.ListenTo(m.calls().front().desk); });
      return;
    case KeyCommand::InputToLine:
      w.Apply([](ConsoleModel& m) { m.ToggleInputToLine(); });
      return;
    case KeyCommand::Input:
      w.Apply([](ConsoleModel& m) { m.ToggleInput(); });
      return;
    case KeyCommand::TeacherLine:
      w.Apply([](ConsoleModel& m) { m.ToggleLine(); });
      return;
    case KeyCommand::ResetAll:
      w.Apply([](ConsoleModel& m) { m.ResetAll(); });
      return;
    case KeyCommand::AllToLine:
      w.Apply([](ConsoleModel& m) { m.AllToLine(); });
      return;
    case KeyCommand::AllInPairs:
      w.Apply([](ConsoleModel& m) { m.AllInPairs(); });
      return;
    case KeyCommand::AllLedsOff:
      w.Apply([](ConsoleModel& m) { m.AllLedsOff(); });
      return;
    case KeyCommand::Round:
      StartPauseResumeRound();
      return;
    case KeyCommand::StopRound:
      StopRound();
      return;
    case KeyCommand::Timer:
      TimerCommand();
      return;
    case KeyCommand::SaveAs:
      w.Apply([](ConsoleModel& m) { m.SaveClassroomAs(); });
      return;
    case KeyCommand::DeskMenu: {
      const int desk = SelectedVisibleDesk();
      if (desk < 0) return;
      w.Redraw();
      DeskPanel* panel = w.desks[static_cast<size_t>(desk)];
      w.deskMenu->popup(panel->mapToGlobal(panel->rect().center()));
      return;
    }
  }
}

// ---------------------------------------------------------------------------
// Round and timer

void LessonTools::Tick() {
  if (ticking_) return;
  ticking_ = true;
  operated_ = false;
  round_->Tick();
  const console::TimerEvent event = timer_->Tick();
  // The warning sounds only where the teacher asked for sounds.
  if (event == console::TimerEvent::WarningBegan && window_.CallSoundOn()) QApplication::beep();
  if (operated_) window_.Apply([](console::ConsoleModel&) {});
  RefreshStatus();
  ticking_ = false;
}

void LessonTools::StartPauseResumeRound() {
  if (round_->state() == console::RoundState::Stopped) {
    // The setting may have changed since the last round.
    round_->SetStepSeconds(ReadRoundSeconds());
  }
  message_.clear();
  window_.Apply([this](console::ConsoleModel&) { round_->StartPauseResume(); });
  RefreshStatus();
}

void LessonTools::StopRound() {
  round_->Stop();
  RefreshStatus();
}

void LessonTools::StartTimer(int minutes, console::TimerEndAction action) {
  if (!timer_->Start(minutes, action)) {
    Warn(QStringLiteral("Таймер ставится на 1–90 минут."));
    return;
  }
  lastTimerMinutes_ = minutes;
  lastTimerAction_ = action;
  RefreshStatus();
}

void LessonTools::StopTimer() {
  if (timer_->Running()) Say(QStringLiteral("Таймер остановлен."));
  timer_->Stop();
  RefreshStatus();
}

void LessonTools::TimerCommand() {
  if (timer_->Running()) {
    StopTimer();
    return;
  }
  const std::optional<TimerChoice> choice =
      TimerDialog::Ask({lastTimerMinutes_, lastTimerAction_}, &window_);
  if (choice) StartTimer(choice->minutes, choice->action);
}

QString LessonTools::roundText() const { return roundLabel->text(); }
QString LessonTools::timerText() const { return timerLabel->text(); }

void LessonTools::RefreshStatus() {
  const console::RoundStatus round = round_->Status();
  const QString roundShown = round.text.empty() ? message_ : Utf8(round.text);
  if (roundLabel->text() != roundShown) roundLabel->setText(roundShown);
  roundButton->setChecked(round.state == console::RoundState::Running);
  const console::TimerStatus timer = timer_->Status();
  const QString timerShown = Utf8(timer.text);
  if (timerLabel->text() != timerShown) timerLabel->setText(timerShown);
  const QString style =
      timer.red ? QStringLiteral("color: #c00000; font-weight: bold;") : QString();
  if (timerLabel->styleSheet() != style) timerLabel->setStyleSheet(style);
  timerLabel->setProperty("warning", timer.red);
}

void LessonTools::Say(const QString& text) {
  message_ = text;
  RefreshStatus();
}

void LessonTools::Warn(const QString& text) {
  prompter_.ShowMessage(kCaption, text, QMessageBox::Warning);
}

// ---------------------------------------------------------------------------
// Arrangements

std::vector<classroom::Arrangement> LessonTools::Arrangements() const {
  const std::string path = window_.model().ClassroomFilePath();
  if (path.empty()) return {};
  return classroom::ReadArrangements(ini::IniDocument::Load(path));
}

QString LessonTools::SaveArrangement(const QString& name) {
  const std::string path = window_.model().ClassroomFilePath();
  QString problem;
  if (path.empty()) {
    problem = QStringLiteral(
        "Кабинет ещё не сохранён в файл. Сохраните его (F12), "
        "затем сохраните расстановку.");
  } else {
    const classroom::Arrangement arrangement =
        console::CaptureArrangement(window_.model(), name.trimmed().toStdString());
    problem = Utf8(classroom::SaveArrangementToFile(path, arrangement));
  }
  if (!problem.isEmpty()) {
    Warn(problem);
    return problem;
  }
  Say(QStringLiteral("Расстановка «%1» сохранена.").arg(name.trimmed()));
  return {};
}

void LessonTools::ApplyArrangement(const classroom::Arrangement& arrangement) {
  console::ArrangementOutcome outcome;
  window_.Apply(
      [&](console::ConsoleModel& m) { outcome = console::ApplyArrangement(m, arrangement); });
  Say(Utf8(outcome.text));
}

void LessonTools::FillArrangementsMenu() {
  arrangementsMenu_->clear();
  arrangementsMenu_->addAction(QStringLiteral("Сохранить текущую расстановку..."), this,
                               &LessonTools::AskArrangementName);
  arrangementsMenu_->addSeparator();
  const std::vector<classroom::Arrangement> saved = Arrangements();
  if (saved.empty()) {
    arrangementsMenu_->addAction(QStringLiteral("Сохранённых расстановок нет"))->setEnabled(false);
    return;
  }
  for (const classroom::Arrangement& a : saved) {
    // '&' would become a mnemonic.
    QString text = QStringLiteral("Применить «%1»").arg(Utf8(a.name));
    text.replace(QLatin1Char('&'), QStringLiteral("&&"));
    arrangementsMenu_->addAction(text, this, [this, a] { ApplyArrangement(a); });
  }
}

void LessonTools::AskArrangementName() {
  bool ok = false;
  const QString name = QInputDialog::getText(&window_, QStringLiteral("Расстановка"),
                                             QStringLiteral("Название расстановки:"),
                                             QLineEdit::Normal, QString(), &ok);
  if (ok) SaveArrangement(name);
}

// ---------------------------------------------------------------------------
// Class lists

bool LessonTools::ImportClassList(const QString& path, bool preview) {
  const sheets::ClassListFile file = sheets::ReadClassListFile(path.toStdString());
  if (!file.problem.empty()) {
    Warn(Utf8(file.problem));
    return false;
  }
  ClassListDialog dialog(file.table, window_.model().plan(), &window_);
  if (dialog.rows().empty()) {
    Warn(QStringLiteral("В файле «%1» нет ни одного имени.").arg(path));
    return false;
  }
  if (preview && dialog.exec() != QDialog::Accepted) return false;
  int imported = 0;
  window_.Apply([&](console::ConsoleModel& m) { imported = console::ImportNames(m, dialog.rows()); });
  Say(QStringLiteral("Список класса: вписано имён — %1 из %2.").arg(imported).arg(dialog.rows().size()));
  return imported > 0;
}

bool LessonTools::ExportClassList(const QString& path) {
  if (!platform::ReplaceFileAtomically(path.toStdString(),
                                       console::ExportNamesCsv(window_.model().plan()))) {
    Warn(QStringLiteral("Не удалось записать файл «%1».").arg(path));
    return false;
  }
  Say(QStringLiteral("Список класса выгружен в «%1».").arg(QFileInfo(path).fileName()));
  return true;
}

void LessonTools::AskClassListToImport() {
  const QString path =
      QFileDialog::getOpenFileName(&window_, QStringLiteral("Список класса"), QString(),
                                   QStringLiteral("Списки класса (*.txt *.csv *.xlsx *.ods *.xls);;Все файлы (*)"));
  if (!path.isEmpty()) ImportClassList(path);
}

QString LessonTools::ClassListFileName() const {
  return Utf8(console::ClassNameOf(window_.model().ClassroomFilePath())) + QStringLiteral(".csv");
}

void LessonTools::AskClassListExportFile() {
  QString path =
      QFileDialog::getSaveFileName(&window_, QStringLiteral("Выгрузить список класса"),
                                   ClassListFileName(), QStringLiteral("CSV (*.csv)"));
  if (path.isEmpty()) return;
  if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".csv");
  ExportClassList(path);
}
