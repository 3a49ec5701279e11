// The console window: its parts put in place, the shared commands connected
// to the console, the model's display handed to every part, start and close.
#include "app/consolewindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QMouseEvent>
#include <QGuiApplication>
#include <QResizeEvent>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <cmath>

#include "app/classicfont.h"
#include "app/consolemenus.h"
#include "app/eitherlayoutmnemonics.h"
#include "app/lessontools.h"
#include "app/scaledcontrols.h"
#include "app/settingsdialog.h"
#include "app/windowfit.h"
#include "console/practicefolder.h"
#include "resources/glyphs.h"
#include "view/colours.h"

namespace {

// The bottom panels' described sizes (their places follow the described rule).
constexpr int kTeacherPanelHeight = 45;
constexpr int kAllDesksPanelWidth = 336;
constexpr int kAllDesksPanelHeight = 46;
constexpr int kConnectAtLatestMs = 1000;

}  // namespace

ConsoleWindow::ConsoleWindow(ConsoleSession& session, QWidget* parent)
    : QWidget(parent), session_(session) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("Vormik"));
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
  setFont(ClassicFont());
  QPalette background = palette();
  background.setColor(QPalette::Window, colours::kButtonFace);
  setPalette(background);
  imageList = glyphs::ImageList();
  session_.SetDialogParent(this);
  BuildParts();
  // The plan starts as the window was designed, until a classroom is loaded.
  for (DeskPanel* panel : plan->desks()) {
    session_.model().PlaceDesk(panel->tag(), panel->x(), panel->y(), !panel->isHidden());
  }
  // Every part's menu shows its entries whole, whatever the style and font.
  for (QMenu* menu : findChildren<QMenu*>()) KeepEntriesWhole(menu);
  // Their Alt letters on the same keys with the Latin layout on.
  new EitherLayoutMnemonics(*menuBar);
  describedChrome_ = menuBar->sizeHint().height() + status->HeightFor(session_.clientWidth());
  PlaceOnScreen(session_.KeptWindow());
  PlaceParts();
  ConnectCommands();
  DescribeControls();
  connect(&session_, &ConsoleSession::changed, this, &ConsoleWindow::Redraw);
  // Until the controller has been met the strip says it is being connected.
  connect(&session_, &ConsoleSession::linkStateChanged, status,
          [this](const LinkStatusSnapshot& link) {
            if (session_.Started()) status->DrawLinkState(link);
          });
  // A message that now takes another line: the window grows by it where it
  // can, so the plan keeps its scale; else the plan gives up the room.
  connect(status, &StatusArea::heightNeeded, this, [this] {
    const int needed = menuBar->sizeHint().height() + client->height() + status->HeightFor(width());
    if (!isMaximized() && !isFullScreen() && needed != height() && screen() != nullptr &&
        needed <= screen()->availableGeometry().height()) {
      grownForStrip_ += needed - height();
      resize(width(), needed);
    } else {
      PlaceParts();
    }
  });
  connect(&session_, &ConsoleSession::started, this, [this] {
    ShowSwitchingReady(true);
    // The keys start on the plan (arrows and Space on the desks), not on
    // whichever button the window's activation happened to give the focus.
    QWidget* focused = QApplication::focusWidget();
    if (isActiveWindow() && (focused == nullptr || !plan->isAncestorOf(focused))) {
      plan->setFocus(Qt::OtherFocusReason);
    }
  });
  connect(&session_, &ConsoleSession::closeAgain, this, &QWidget::close, Qt::QueuedConnection);
  status->ShowConnecting(QString::fromStdString(session_.controllerPort().portName()));
  ShowSwitchingReady(session_.Started());
  Redraw();
}

ConsoleWindow::~ConsoleWindow() { session_.SetDialogParent(nullptr); }

void ConsoleWindow::BuildParts() {
  commands = new ConsoleCommands(imageList, this);
  // Qt's own shortcuts (Ctrl+O, F1) belong to the window.
  addActions(commands->All());
  deskMenu = BuildDeskMenu(*commands, this);

  client = new QWidget(this);
  client->setObjectName(QStringLiteral("Client"));
  plan = new DeskPlan(session_, client);
  teacher = new TeacherPanel(*commands, client);
  allDesks = new AllDesksBar(*commands, imageList, client);
  for (QWidget* control : plan->ControlOrder()) controls_.push_back(control);
  controls_.push_back(teacher);
  controls_.push_back(allDesks);
  for (size_t i = 0; i + 1 < controls_.size(); ++i) setTabOrder(controls_[i], controls_[i + 1]);

  status = new StatusArea((*commands)[Command::FindController], this);
  calls = new CallsView(session_, status);
  toolsBar = new LessonToolsBar(session_.lessonTools(), *commands, this);
  record = new LessonRecordPanel(this, session_.journal(), session_.model(), session_.prompter(),
                                 session_.environment().settingsPath, *commands,
                                 session_.environment().practice);
  // The record says how long each desk was heard; the plan draws it.
  connect(record, &LessonRecordPanel::heardShownChanged, plan, &DeskPlan::ShowHeard);
  connect(record, &LessonRecordPanel::heardChanged, plan, &DeskPlan::DrawHeard);
  plan->ShowHeard(record->heardShown());
  record->Refresh();
  status->AddPart(toolsBar->buttons(), StatusArea::Place::Leading);
  status->AddPart(toolsBar->state(), StatusArea::Place::AfterLinkState);
  status->AddPart(record->part(), StatusArea::Place::Leading);
  status->AddPart(calls, StatusArea::Place::OwnRow);

  menuBar = BuildMenuBar(*commands, deskMenu, toolsBar->arrangementsMenu, toolsBar->classListMenu,
                         this);
  keys = new ConsoleKeys(session_, *plan, *commands, *deskMenu, *this);
  keys->SetKeyedList(calls->list);
  connect(plan, &DeskPlan::deskMenuRequested, deskMenu, [this](const QPoint& at) { deskMenu->popup(at); });
  connect(plan, &DeskPlan::openRequested, (*commands)[Command::Open], &QAction::trigger);
  connect(plan, &DeskPlan::standardClassroomRequested, (*commands)[Command::StandardClassroom],
          &QAction::trigger);
}

// The menu bar above, the client area under it, the status strip at the
// foot. The client holds the described client area scaled to fit it: the
// plan and the bottom panels by their described placement rule.
void ConsoleWindow::PlaceParts() {
  const int w = width();
  ScaleChrome(size());
  const int menuHeight = menuBar->sizeHint().height();
  const int statusHeight = status->HeightFor(w);
  const std::array<int, 4> placing{w, height(), menuHeight, statusHeight};
  if (placing == placedFor_) return;
  placedFor_ = placing;
  const int h = std::max(1, height() - menuHeight - statusHeight);
  menuBar->setGeometry(0, 0, w, menuHeight);
  client->setGeometry(0, menuHeight, w, h);
  const console::PlanScale scale({session_.clientWidth(), session_.clientHeight()}, {w, h});
  plan->PlaceIn(scale);
  plan->lower();
  const int panelsTop = scale.BottomPanelsTop();
  teacher->setGeometry(scale.TeacherPanelLeft(), panelsTop, scale.Length(console::kTeacherPanelWidth),
                       scale.Length(kTeacherPanelHeight));
  allDesks->setGeometry(scale.AllDesksPanelLeft(), panelsTop, scale.Length(kAllDesksPanelWidth),
                        scale.Length(kAllDesksPanelHeight));
  ScaleControls(teacher, scale);
  ScaleControls(allDesks, scale);
  status->setGeometry(0, menuHeight + h, w, statusHeight);
  // The model keeps the plan in its described coordinates.
  session_.model().SetPlanArea(session_.clientWidth(),
                               session_.clientHeight() - console::kBottomPanelsHeight);
}

// The chrome's scale follows from its described height, never from what it
// has grown to, so its growing never decides its size anew.
void ConsoleWindow::ScaleChrome(const QSize& window) {
  const double factor = console::ChromeScale({session_.clientWidth(), session_.clientHeight()},
                                             {window.width(), window.height()}, describedChrome_);
  if (factor == chromeScale_) return;
  chromeScale_ = factor;
  QFont font = ClassicFont();
  font.setPixelSize(static_cast<int>(std::lround(font.pixelSize() * factor)));
  menuBar->setFont(font);
  status->setFont(font);
  // Menus are windows of their own: the font is not handed down to them.
  for (QMenu* menu : findChildren<QMenu*>()) menu->setFont(font);
}

int ConsoleWindow::DescribedChromeHeight() const {
  if (chromeScale_ == 1.0) return menuBar->sizeHint().height() + status->HeightFor(session_.clientWidth());
  return describedChrome_;
}

// The described client with the menu bar and the status strip: the size the
// window opens at, and the least it may be made (less only on a smaller screen).
void ConsoleWindow::PlaceOnScreen(const console::KeptWindow& kept) {
  const int chrome = DescribedChromeHeight();
  const QScreen* on = screen() != nullptr ? screen() : QGuiApplication::primaryScreen();
  const WindowSizes sizes =
      SizesFor(QSize(session_.clientWidth(), session_.clientHeight()), chrome,
               on != nullptr ? on->availableGeometry() : QRect(), FrameOf(*this));
  setMinimumSize(sizes.smallest);
  PlaceKeptWindow(*this, kept, sizes.described);
}

void ConsoleWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  PlaceParts();
}

void ConsoleWindow::ConnectCommands() {
  using console::ConsoleModel;
  auto on = [this](Command command, auto operation) {
    connect((*commands)[command], &QAction::triggered, this,
            [this, operation] { session_.Apply(operation); });
  };
  on(Command::Open, [](ConsoleModel& m) { m.OpenClassroom(); });
  on(Command::Save, [](ConsoleModel& m) { m.SaveCurrentClassroom(); });
  on(Command::SaveAs, [](ConsoleModel& m) { m.SaveClassroomAs(); });
  on(Command::StandardClassroom, [](ConsoleModel& m) { m.CreateStandardClassroom(); });
  on(Command::ResetAll, [](ConsoleModel& m) { m.ResetAll(); });
  on(Command::AllToLine, [](ConsoleModel& m) { m.AllToLine(); });
  on(Command::AllInPairs, [](ConsoleModel& m) { m.AllInPairs(); });
  on(Command::AllLedsOff, [](ConsoleModel& m) { m.AllLedsOff(); });
  on(Command::InputToLine, [](ConsoleModel& m) { m.ToggleInputToLine(); });
  on(Command::Input, [](ConsoleModel& m) { m.ToggleInput(); });
  on(Command::TeacherLine, [](ConsoleModel& m) { m.ToggleLine(); });
  connect((*commands)[Command::Exit], &QAction::triggered, this, &QWidget::close);
  connect((*commands)[Command::Settings], &QAction::triggered, this, &ConsoleWindow::OpenSettings);
  connect((*commands)[Command::FindController], &QAction::triggered, this,
          [this] { session_.SearchForController(); });
  connect((*commands)[Command::KeyTable], &QAction::triggered, this, &ConsoleWindow::ShowKeyTable);
  // The strip's messages go by; the lesson's last ones can be read again.
  connect(status, &StatusArea::linkStateShown, &session_.lessonTools(), &LessonTools::NoteLinkState);
  connect((*commands)[Command::LessonMessages], &QAction::triggered, this, [this] {
    const QStringList lines = session_.lessonTools().LessonMessages();
    session_.prompter().ShowMessage(
        QStringLiteral("Сообщения урока"),
        lines.isEmpty() ? QStringLiteral("За этот урок сообщений не было.") : lines.join(QLatin1Char('\n')),
        QMessageBox::Information);
  });

  // The desk menu acts on the selected desk.
  auto onSelected = [this](Command command, auto operation) {
    connect((*commands)[command], &QAction::triggered, this, [this, operation] {
      session_.Apply([operation](ConsoleModel& m) { operation(m, m.selectedDesk()); });
    });
  };
  onSelected(Command::ListenDesk, [](ConsoleModel& m, int d) { m.ListenTo(d); });
  onSelected(Command::StopListeningDesk, [](ConsoleModel& m, int d) { m.StopListening(d); });
  onSelected(Command::SpeakDesk, [](ConsoleModel& m, int d) { m.SpeakTo(d); });
  onSelected(Command::StopSpeakingDesk, [](ConsoleModel& m, int d) { m.StopSpeaking(d); });
  onSelected(Command::JoinPair, [](ConsoleModel& m, int d) { m.JoinPair(d); });
  onSelected(Command::PartPair, [](ConsoleModel& m, int d) { m.PartPair(d); });
  onSelected(Command::PutOnLine, [](ConsoleModel& m, int d) { m.PutOnLine(d); });
  onSelected(Command::TakeOffLine, [](ConsoleModel& m, int d) { m.TakeOffLine(d); });
  onSelected(Command::LedOn, [](ConsoleModel& m, int) { m.SwitchSelectedLed(true); });
  onSelected(Command::LedOff, [](ConsoleModel& m, int) { m.SwitchSelectedLed(false); });
}

// While the controller is met the switching waits: nothing the teacher does
// can put a frame between the described start-up frames.
void ConsoleWindow::ShowSwitchingReady(bool ready) {
  for (QAction* action : commands->Switching()) action->setEnabled(ready);
  plan->setEnabled(ready);
  teacher->setEnabled(ready);
  allDesks->setEnabled(ready);
}

void ConsoleWindow::Redraw() {
  const console::ConsoleDisplay shown = session_.model().Display();
  // Qt puts its modified mark in place of [*] while the plan is unsaved.
  const std::string modelTitle = session_.model().WindowTitle();
  const QString title = QString::fromStdString(session_.environment().practice
                                                   ? console::PracticeTitle(modelTitle)
                                                   : modelTitle) +
                        QStringLiteral("[*]");
  if (windowTitle() != title) setWindowTitle(title);
  setWindowModified(session_.model().classroomChanged());
  plan->Draw(shown);
  teacher->Draw(shown.teacher);
  calls->Draw(shown);
  record->Refresh();
}

// Each part names its own controls.
void ConsoleWindow::DescribeControls() {
  ControlDescriber& describer = keys->describer();
  plan->DescribeControls(describer);
  teacher->DescribeControls(describer);
  allDesks->DescribeControls(describer);
  status->DescribeControls(describer);
  calls->DescribeControls(describer);
  toolsBar->DescribeControls(describer);
}

QList<QWidget*> ConsoleWindow::InnerControls(QWidget* control) {
  if (auto* desk = qobject_cast<DeskPanel*>(control)) {
    // Listed, not looked up: raising a child reorders QObject's children.
    return {desk->listen, desk->speak, desk->led, desk->lineButton, desk->nameBox};
  }
  if (control == nullptr) return {};
  return control->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
}

void ConsoleWindow::OpenClassroomFromOutside(const QString& path) {
  raise();
  activateWindow();
  session_.OpenClassroomFromOutside(
      QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()).toStdString());
}

void ConsoleWindow::OpenSettings() {
  // Not while an operation waits for the port or the teacher.
  if (session_.model().Busy() || closing_) return;
  session_.Apply([](console::ConsoleModel& m) { m.EndNameEditing(); });
  session_.CreateSettingsDialog(this)->exec();
}

void ConsoleWindow::ShowKeyTable() {
  KeyTableDialog table(*commands, this);
  table.exec();
}

void ConsoleWindow::mousePressEvent(QMouseEvent* event) {
  // A click on the window's own background ends a name's editing, as on the plan's.
  if (event->button() == Qt::LeftButton) {
    session_.Apply([](console::ConsoleModel& m) { m.EndNameEditing(); });
  }
  QWidget::mousePressEvent(event);
}

void ConsoleWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // A window coming back from the task bar is not shown anew.
  if (event->spontaneous()) return;
  if (!placedAtStart_) {
    // The frame is known now: it goes on the screen too.
    if (!isMaximized() && !FrameOf(*this).isNull()) PlaceOnScreen(WindowAsLeft(*this));
    // What the teacher changes from here on is kept for the next start.
    placedAtStart_ = WindowAsLeft(*this);
  }
  // The window is on the screen first; the controller is met behind it, once
  // the window has been exposed (or after a moment on a desktop that never says).
  if (windowHandle() != nullptr) windowHandle()->installEventFilter(this);
  QTimer::singleShot(kConnectAtLatestMs, this, &ConsoleWindow::OnScreen);
}

bool ConsoleWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == windowHandle() && event->type() == QEvent::Expose && windowHandle()->isExposed()) {
    windowHandle()->removeEventFilter(this);
    QTimer::singleShot(0, this, &ConsoleWindow::OnScreen);
  }
  return QWidget::eventFilter(watched, event);
}

void ConsoleWindow::OnScreen() {
  if (!onScreen_) {
    onScreen_ = true;
    emit shownOnScreen();
  }
  session_.Connect();
}

// What the window grew by itself for the strip's rows (calls waiting, a
// message on two lines) is not the teacher's doing: not kept.
console::KeptWindow ConsoleWindow::SizeTheTeacherLeft() const {
  console::KeptWindow left = WindowAsLeft(*this);
  if (left.frame) left.frame->height -= grownForStrip_;
  return left;
}

// The plan's question, then the report's; "Отмена" or Escape in either keeps
// the console open with nothing lost.
bool ConsoleWindow::CloseQuestions() {
  if (!session_.ConfirmPlanSaved()) return false;
  return record->OfferReport();
}

void ConsoleWindow::closeEvent(QCloseEvent* event) {
  // A second close while the first waits for the poll or a dialog is refused.
  if (closing_ || !session_.ReadyToClose()) {
    event->ignore();
    return;
  }
  closing_ = true;
  session_.SetClosing(true);
  const bool accepted = CloseQuestions();
  if (accepted) {
    if (placedAtStart_) session_.KeepWindow(*placedAtStart_, SizeTheTeacherLeft());
    session_.Shutdown();
  }
  session_.SetClosing(accepted);
  closing_ = false;
  if (accepted) {
    event->accept();
  } else {
    event->ignore();
  }
}
