// The console window: its controls, start-up and shutdown, the forwarding of
// input to the console model and the drawing of the model.
#include "app/consolewindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMetaObject>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QThread>
#include <QToolTip>
#include <QVBoxLayout>
#include <algorithm>
#include <chrono>

#include "app/lessonrecordpanel.h"
#include "app/lessontools.h"
#include "app/namevalidator.h"
#include "app/prompteruser.h"
#include "app/waitdialog.h"
#include "config/classroomplan.h"
#include "config/inifile.h"
#include "config/settings.h"
#include "config/settingsload.h"
#include "console/linkstatetext.h"
#include "console/practicefolder.h"
#include "link/timing.h"
#include "platform/filetype.h"
#include "platform/system.h"
#include "resources/glyphs.h"
#include "view/colours.h"
#include "view/linkpainter.h"

namespace {

// Names and places of one desk's controls, as the window was designed.
struct DeskLayout {
  int listen, speak, led;  // SpeedButtonN
  int line;                // ButtonN
  int name;                // EditN
};

// By desk number - 1. Desks 15 and 16 were added last, hence their numbering.
constexpr DeskLayout kDeskLayouts[kDeskCount] = {
    {1, 2, 3, 1, 1},      {4, 5, 6, 2, 2},      {7, 8, 9, 3, 3},      {10, 11, 12, 4, 4},
    {19, 20, 21, 7, 7},   {22, 23, 24, 8, 8},   {25, 26, 27, 9, 9},   {28, 29, 30, 10, 10},
    {31, 32, 33, 11, 11}, {34, 35, 36, 12, 12}, {37, 38, 39, 13, 13}, {40, 41, 42, 14, 14},
    {43, 44, 45, 15, 15}, {46, 47, 48, 16, 16}, {16, 17, 18, 6, 6},   {13, 14, 15, 5, 5},
};
constexpr int kDeskColumns[] = {8, 176, 376, 544};
constexpr int kDeskRowTop = 104;  // rows at 0, 104, 208, 312
// The control order: desks 16 and 15 follow desk 4.
constexpr int kDeskCreationOrder[kDeskCount] = {1, 2, 3, 4,  16, 15, 5,  6,
                                                7, 8, 9, 10, 11, 12, 13, 14};

constexpr int kDefaultClientWidth = 700;
constexpr int kDefaultClientHeight = 500;
constexpr int kMaxClientSize = 4096;  // bounds the drawing surface too
constexpr int kStopWaitSliceMs = 20;
constexpr int kBottomPanelsHeight = 50;  // the teacher and all-desks panels
constexpr int kStatusStripHeight = 24;
constexpr int kCallBlinkSeconds = 10;  // a new call blinks this long, then stays
constexpr int kBlinkIntervalMs = 400;
constexpr int kStopWaitLimitMs = 30000;
constexpr int kCallListMaxWidth = 440;  // the link state keeps the rest of the strip

QFont WindowFont() {
  QFont font;
  font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("DejaVu Sans")});
  font.setPixelSize(11);
  return font;
}

QFont BoldFont() {
  QFont font = WindowFont();
  font.setBold(true);
  return font;
}

QString Named(const char* prefix, int number) {
  return QString::fromLatin1(prefix) + QString::number(number);
}

// The client size read from the settings as text; a value that is no
// sensible size is reported and replaced by the default.
int ReadClientDimension(ini::IniFile& file, const char* key, const char* defaultText,
                        int defaultValue, Prompter& prompter) {
  const std::string text = file.ReadString(settings::kInterface, key, defaultText);
  int value = 0;
  if (ini::ParseInteger(text, value) && value > 0 && value <= kMaxClientSize) return value;
  prompter.ShowMessage(
      QStringLiteral("Vormik"),
      QStringLiteral("Недопустимое значение %1=%2 в %3, используется %4")
          .arg(QString::fromLatin1(key), QString::fromStdString(text),
               QString::fromLatin1(settings::kFileName), QString::number(defaultValue)),
      QMessageBox::Warning);
  return defaultValue;
}

}  // namespace

ConsoleWindow::ConsoleWindow(ClassroomState& room, AppEnvironment environment,
                             Prompter& prompter, QWidget* parent)
    : QWidget(parent), room_(room), environment_(std::move(environment)), prompter_(prompter) {
  BuildControls();
  // The window serves the link and the poll through private bases.
  IndicatorHandover& handover = *this;
  LinkUi& linkUi = *this;
  port_ = std::make_unique<ControllerPort>(
      environment_.serialPortFactory ? environment_.serialPortFactory() : nullptr);
  pollThread_ = std::make_unique<PollThread>(*port_, handover);
  link_ = std::make_unique<ControllerLink>(*port_, environment_.settingsPath, linkUi,
                                           pollThread_.get());
  user_ = std::make_unique<PrompterUser>(prompter_, this);
  model_ = std::make_unique<console::ConsoleModel>(
      room_, *link_, [this] { return link_->ProbeController(); }, *user_,
      console::ConsolePaths{environment_.settingsPath, environment_.executablePath});
  lessonRecord_ = std::make_unique<LessonRecordPanel>(this, *model_, prompter_,
                                                     environment_.settingsPath, statusStrip, desks,
                                                     environment_.practice);
  // The plan starts as the window was designed, until a classroom is loaded.
  for (DeskPanel* panel : desks) {
    model_->PlaceDesk(panel->tag(), panel->x(), panel->y(), !panel->isHidden());
  }
  ConnectHandlers();
  lessonTools_ = std::make_unique<LessonTools>(*this, prompter_, environment_.settingsPath);
  lessonTools_->round().SetActivityListener([this](bool started) {
    if (started) lessonRecord_->journal().RoundStarted();
    else lessonRecord_->journal().RoundStopped();
  });
  Start();
  Redraw();
}

ConsoleWindow::~ConsoleWindow() {
  // The poll may be waiting for its hand-over to this window: end it while
  // the window still exists and can answer.
  StopPolling();
  if (port_) port_->status().SetListener(nullptr);
}

void ConsoleWindow::AfterOperation() {
  Redraw();
  if (closeRequested_ && !model_->Busy()) {
    closeRequested_ = false;
    QTimer::singleShot(0, this, &QWidget::close);
  }
}

void ConsoleWindow::DrawLinkState(const LinkStatusSnapshot& status) {
  const auto stopped = std::chrono::steady_clock::now() - status.notAnsweringSince;
  const QString since =
      QDateTime::currentDateTime()
          .addMSecs(-std::chrono::duration_cast<std::chrono::milliseconds>(stopped).count())
          .toString(QStringLiteral("HH:mm:ss"));
  const console::LinkStateText text = console::DescribeLinkState(status, since.toStdString());
  const char* colour = text.tone == console::LinkTone::Good  ? "#007000"
                       : text.tone == console::LinkTone::Bad ? "#c00000"
                                                             : "#606060";
  linkLabel->setText(QStringLiteral("<span style=\"color:%1\">●</span> %2")
                         .arg(QLatin1String(colour), QString::fromStdString(text.text).toHtmlEscaped()));
  linkLabel->setProperty("tone", static_cast<int>(text.tone));
  searchOffer->setVisible(console::OffersControllerSearch(status));
}

// ---------------------------------------------------------------------------
// Composition

void ConsoleWindow::BuildControls() {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("Vormik"));
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setFont(WindowFont());
  QPalette background = palette();
  background.setColor(QPalette::Window, colours::kButtonFace);
  setPalette(background);
  clientHeight_ = kDefaultClientHeight;
  setFixedSize(kDefaultClientWidth, kDefaultClientHeight + kStatusStripHeight);
  ResizeSurface();

  imageList = glyphs::ImageList();

  for (int deskNumber : kDeskCreationOrder) {
    BuildDeskPanel(deskNumber);
    controls_.push_back(desks[deskNumber - 1]);
  }
  BuildTeacherPanel();
  controls_.push_back(teacherPanel);
  BuildToolbar();
  controls_.push_back(allDesksPanel);
  for (size_t i = 0; i + 1 < controls_.size(); ++i) setTabOrder(controls_[i], controls_[i + 1]);

  BuildActionsAndMenu();
  BuildStatusStrip();
  BuildFirstStartHint();
  BuildSettingsControls();
  blinkTimer_ = new QTimer(this);
  blinkTimer_->setInterval(kBlinkIntervalMs);
  connect(blinkTimer_, &QTimer::timeout, this, [this] {
    blinkBright_ = !blinkBright_;
    DrawDeskMarks();
  });
}

void ConsoleWindow::BuildStatusStrip() {
  statusStrip = new QFrame(this);
  statusStrip->setObjectName(QStringLiteral("StatusStrip"));
  statusStrip->setFrameShape(QFrame::StyledPanel);
  statusStrip->setAutoFillBackground(true);
  statusStrip->setAttribute(Qt::WA_NoMousePropagation);
  auto* layout = new QHBoxLayout(statusStrip);
  layout->setContentsMargins(6, 0, 6, 0);
  layout->setSpacing(6);
  linkLabel = new QLabel(statusStrip);
  linkLabel->setObjectName(QStringLiteral("LinkState"));
  layout->addWidget(linkLabel, 1);
  callScroller = new CallStrip(statusStrip);
  callScroller->setObjectName(QStringLiteral("CallScroller"));
  callList = new QWidget(callScroller);
  callList->setObjectName(QStringLiteral("CallList"));
  auto* calls = new QHBoxLayout(callList);
  calls->setContentsMargins(0, 0, 0, 0);
  calls->setSpacing(4);
  // The entries start at the right of the strip and grow to the left until
  // it is full; from then on the row scrolls.
  calls->addStretch(1);
  callScroller->setWidget(callList);
  callScroller->setMaximumWidth(kCallListMaxWidth);
  layout->addWidget(callScroller, 1);
}

void ConsoleWindow::BuildFirstStartHint() {
  firstStartHint = new QFrame(this);
  firstStartHint->setObjectName(QStringLiteral("FirstStartHint"));
  firstStartHint->setFrameShape(QFrame::StyledPanel);
  firstStartHint->setAutoFillBackground(true);
  firstStartHint->setAttribute(Qt::WA_NoMousePropagation);
  auto* layout = new QVBoxLayout(firstStartHint);
  auto* text = new QLabel(QStringLiteral(
      "Кабинет ещё не выбран.\nОткройте файл описания кабинета (*.cld)\n"
      "или создайте стандартный кабинет из 16 столов."));
  text->setAlignment(Qt::AlignCenter);
  layout->addWidget(text);
  auto* buttons = new QHBoxLayout;
  auto* open = new QPushButton(QStringLiteral("Открыть файл кабинета..."));
  open->setObjectName(QStringLiteral("HintOpen"));
  auto* standard = new QPushButton(QStringLiteral("Создать стандартный кабинет"));
  standard->setObjectName(QStringLiteral("HintStandard"));
  buttons->addWidget(open);
  buttons->addWidget(standard);
  layout->addLayout(buttons);
  connect(open, &QPushButton::clicked, this,
          [this] { Apply([](console::ConsoleModel& m) { m.OpenClassroom(); }); });
  connect(standard, &QPushButton::clicked, this,
          [this] { Apply([](console::ConsoleModel& m) { m.CreateStandardClassroom(); }); });
  firstStartHint->adjustSize();
  firstStartHint->hide();
}

void ConsoleWindow::BuildDeskPanel(int deskNumber) {
  const int index = deskNumber - 1;
  const DeskLayout& names = kDeskLayouts[index];
  auto* panel = new DeskPanel(index, this);
  panel->setObjectName(Named("GroupBox", deskNumber));
  panel->setTitle(QString::number(deskNumber));
  panel->setFont(BoldFont());
  panel->setGeometry(kDeskColumns[index % 4], (index / 4) * kDeskRowTop, console::kDeskPanelWidth, console::kDeskPanelHeight);
  panel->setColour(colours::kInfoBackground);
  panel->setFlat(false);

  // Desk 1's lower row was placed one pixel up and to the left.
  const int shift = deskNumber == 1 ? -1 : 0;

  panel->listen = new GlyphButton(1, true, panel);
  panel->listen->setObjectName(Named("SpeedButton", names.listen));
  panel->listen->setGeometry(92 + shift, 49 + shift, 23, 22);
  panel->listen->setIcon(glyphs::ButtonGlyph(glyphs::Glyph::Headphones));

  panel->speak = new GlyphButton(2, true, panel);
  panel->speak->setObjectName(Named("SpeedButton", names.speak));
  panel->speak->setGeometry(117 + shift, 49 + shift, 23, 22);
  panel->speak->setIcon(glyphs::ButtonGlyph(glyphs::Glyph::Microphone));

  panel->led = new GlyphButton(0, false, panel);
  panel->led->setObjectName(Named("SpeedButton", names.led));
  panel->led->setGeometry(117, 8, 23, 22);
  ShowLed(panel->led, false);

  panel->lineButton = new QPushButton(QString::fromUtf8(console::LineCaptionText(
                                          console::LineCaption::Off)),
                                      panel);
  panel->lineButton->setObjectName(Named("Button", names.line));
  panel->lineButton->setGeometry(5 + shift, 49 + shift, 56, 22);
  panel->lineButton->setAutoDefault(false);

  panel->nameBox = new QLineEdit(panel);
  panel->nameBox->setObjectName(Named("Edit", names.name));
  panel->nameBox->setGeometry(6, 16, 100, 21);
  panel->nameBox->setFrame(false);
  panel->nameBox->setReadOnly(true);
  auto* validator = new NameValidator(panel->nameBox);
  connect(validator, &NameValidator::refused, this,
          [this, box = panel->nameBox](const QString& c) { RefuseNameCharacter(box, c); });
  panel->nameBox->setValidator(validator);
  panel->nameBox->setMaxLength(static_cast<int>(classroom::kMaxStudentNameCharacters));
  // Outside editing the box lets its panel's colour show through.
  SetNameBoxColour(panel->nameBox, Qt::transparent);
  QPalette boxColours = panel->nameBox->palette();
  boxColours.setColor(QPalette::Text, colours::kNameText);
  panel->nameBox->setPalette(boxColours);

  desks[index] = panel;
}

void ConsoleWindow::BuildTeacherPanel() {
  teacherPanel = new QFrame(this);
  teacherPanel->setObjectName(QStringLiteral("Panel1"));
  teacherPanel->setFrameShape(QFrame::NoFrame);
  teacherPanel->setGeometry(8, 451, 345, 45);
  // A click on a bottom panel is not a click on the window background.
  teacherPanel->setAttribute(Qt::WA_NoMousePropagation);

  teacherLabel =
      new QLabel(QStringLiteral("----------------- Учитель ----------------"), teacherPanel);
  teacherLabel->setObjectName(QStringLiteral("Label1"));
  teacherLabel->move(176, 0);
  teacherLabel->adjustSize();

  struct TeacherButton {
    GlyphButton** field;
    const char* name;
    int left, width, groupIndex;
    const char* caption;
    const char* hint;
    glyphs::Glyph glyph;
  };
  const TeacherButton buttons[] = {
      {&inputToLineButton, "SpeedButton51", 8, 110, 5, "Вход->Линия", "Подключить ВХОД к ЛИНИИ",
       glyphs::Glyph::LoudspeakerWaves},
      {&inputButton, "SpeedButton49", 166, 75, 3, "Вход", "Слушать ВХОД",
       glyphs::Glyph::Headphones},
      {&teacherLineButton, "SpeedButton50", 248, 87, 4, "Линия", "Говорить в ЛИНИЮ",
       glyphs::Glyph::Microphone},
  };
  for (const TeacherButton& b : buttons) {
    auto* button = new GlyphButton(b.groupIndex, true, teacherPanel);
    button->setObjectName(QString::fromLatin1(b.name));
    button->setGeometry(b.left, 17, b.width, 25);
    button->setText(QString::fromUtf8(b.caption));
    button->setToolTip(QString::fromUtf8(b.hint));
    button->setIcon(glyphs::ButtonGlyph(b.glyph));
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    *b.field = button;
  }
}

void ConsoleWindow::BuildToolbar() {
  allDesksPanel = new QFrame(this);
  allDesksPanel->setObjectName(QStringLiteral("Panel2"));
  allDesksPanel->setFrameShape(QFrame::NoFrame);
  allDesksPanel->setGeometry(365, 451, 336, 46);
  allDesksPanel->setAttribute(Qt::WA_NoMousePropagation);

  allDesksLabel = new QLabel(QStringLiteral("--------- Все столы ----------"), allDesksPanel);
  allDesksLabel->setObjectName(QStringLiteral("Label2"));
  allDesksLabel->move(8, 0);
  allDesksLabel->adjustSize();

  allDesksToolbar = new QWidget(allDesksPanel);
  allDesksToolbar->setObjectName(QStringLiteral("ToolBar1"));
  allDesksToolbar->setGeometry(0, 13, 336, 37);

  auto button = [this](const char* name, int left, const char* hint, int image) {
    auto* b = new QToolButton(allDesksToolbar);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(left, 0, 32, 25);
    b->setToolTip(QString::fromUtf8(hint));
    b->setIcon(imageList.value(image));
    b->setIconSize(QSize(16, 16));
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::NoFocus);
    return b;
  };
  auto gap = [this](const char* name, int left, int width) {
    auto* s = new QWidget(allDesksToolbar);
    s->setObjectName(QString::fromLatin1(name));
    s->setGeometry(left, 0, width, 25);
    return s;
  };
  resetButton = button("ToolButton2", 0, "Сброс", 15);
  allToLineButton = button("ToolButton4", 32, "Подключить все столы к ЛИНИИ", 19);
  allInPairsButton = button("ToolButton6", 64, "Подключить все столы в ПАРЫ", 2);
  allLedsOffButton = button("ToolButton8", 96, "Выключить все светодиоды", 5);
  toolbarGap = gap("ToolButton9", 128, 25);
  saveAsButton = button("ToolButton17", 153, "Сохранить как", 18);
  openButton = button("ToolButton14", 185, "Открытие файла", 16);
  standardClassroomButton = button("ToolButton12", 217, "Создать стандартный кабинет", 13);
  saveButton = button("ToolButton10", 249, "Сохранить в файл", 12);
  toolbarEndGap = gap("ToolButton15", 281, 16);
  exitButton = button("ToolButton16", 297, "Выход из программы", 17);
  // Kept with its command, but out of the user's reach: the window's own
  // close button exits.
  exitButton->hide();
}

void ConsoleWindow::BuildActionsAndMenu() {
  auto action = [this](QAction*& field, const char* name, const char* caption, int image) {
    field = new QAction(QString::fromUtf8(caption), this);
    field->setObjectName(QString::fromLatin1(name));
    if (image >= 0) field->setIcon(imageList.value(image));
  };
  action(listenAction, "HearTheDesk", "Слушать", 0);
  action(stopListeningAction, "UnHearDesk", "Перестать слушать", 1);
  action(speakAction, "SpeakToDesk", "Говорить", 6);
  action(stopSpeakingAction, "UnSpeakToDesk", "Перестать говорить", 7);
  action(joinPairAction, "Desk2DeskComm", "Соединить в пару", 2);
  action(partPairAction, "Desk2DeskBrake", "Разъединить пару", 3);
  action(putOnLineAction, "ConnectToLine", "Подключить к линии", -1);
  action(takeOffLineAction, "DisconnectLine", "Отключить от линии", -1);
  action(ledOnAction, "LedPowerOn1", "Включить светодиод", 4);
  action(ledOffAction, "LedPowerOff1", "Выключить светодиод", 5);

  // The file commands reached by their shortcut (Ctrl+O opens a classroom
  // file), as the window has no menu bar to show them.
  action(openAction, "FileOpen1", "Открыть...", 16);
  openAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
  action(saveAction, "FileSave1", "Сохранить", 12);
  saveAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
  action(saveAsAction, "FileSaveAs1", "Сохранить как...", 18);
  saveAsAction->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
  action(exitAction, "FileExit1", "Выход", 17);
  for (QAction* file : {openAction, saveAction, saveAsAction, exitAction}) addAction(file);

  deskMenu = new QMenu(this);
  deskMenu->setObjectName(QStringLiteral("PopupMenu1"));
  deskMenu->addAction(listenAction);
  deskMenu->addAction(stopListeningAction);
  deskMenu->addSeparator();
  deskMenu->addAction(speakAction);
  deskMenu->addAction(stopSpeakingAction);
  deskMenu->addSeparator();
  deskMenu->addAction(joinPairAction);
  deskMenu->addAction(partPairAction);
  deskMenu->addSeparator();
  deskMenu->addAction(putOnLineAction);
  deskMenu->addAction(takeOffLineAction);
  deskMenu->addSeparator();
  deskMenu->addAction(ledOnAction);
  deskMenu->addAction(ledOffAction);
}

void ConsoleWindow::ConnectDesk(DeskPanel* panel) {
  const int desk = panel->tag();
  using console::ConsoleModel;
  // clicked, never toggled: the redraw sets the buttons and must run nothing.
  connect(panel->listen, &QAbstractButton::clicked, this,
          [this, desk] { Apply([desk](ConsoleModel& m) { m.ToggleListening(desk); }); });
  connect(panel->speak, &QAbstractButton::clicked, this,
          [this, desk] { Apply([desk](ConsoleModel& m) { m.ToggleSpeaking(desk); }); });
  connect(panel->led, &QAbstractButton::clicked, this,
          [this, desk] { Apply([desk](ConsoleModel& m) { m.PressLedButton(desk); }); });
  connect(panel->lineButton, &QAbstractButton::clicked, this,
          [this, desk] { Apply([desk](ConsoleModel& m) { m.PressLineButton(desk); }); });
  connect(panel->nameBox, &QLineEdit::textEdited, this, [this, desk](const QString& text) {
    Apply([desk, &text](ConsoleModel& m) { m.TypeName(desk, text.toStdString()); });
  });
  panel->nameBox->installEventFilter(this);
  connect(panel, &DeskPanel::mousePressed, this, &ConsoleWindow::PressOnDesk);
  connect(panel, &DeskPanel::mouseMoved, this, &ConsoleWindow::MoveOverDesk);
  connect(panel, &DeskPanel::mouseReleased, this, &ConsoleWindow::ReleaseOnDesk);
}

void ConsoleWindow::ConnectHandlers() {
  using console::ConsoleModel;
  for (DeskPanel* panel : desks) ConnectDesk(panel);

  auto on = [this](QAbstractButton* button, auto operation) {
    connect(button, &QAbstractButton::clicked, this, [this, operation] { Apply(operation); });
  };
  on(inputButton, [](ConsoleModel& m) { m.ToggleInput(); });
  on(teacherLineButton, [](ConsoleModel& m) { m.ToggleLine(); });
  on(inputToLineButton, [](ConsoleModel& m) { m.ToggleInputToLine(); });
  on(resetButton, [](ConsoleModel& m) { m.ResetAll(); });
  on(allToLineButton, [](ConsoleModel& m) { m.AllToLine(); });
  on(allInPairsButton, [](ConsoleModel& m) { m.AllInPairs(); });
  on(allLedsOffButton, [](ConsoleModel& m) { m.AllLedsOff(); });
  on(saveAsButton, [](ConsoleModel& m) { m.SaveClassroomAs(); });
  on(openButton, [](ConsoleModel& m) { m.OpenClassroom(); });
  on(standardClassroomButton, [](ConsoleModel& m) { m.CreateStandardClassroom(); });
  on(saveButton, [](ConsoleModel& m) { m.SaveCurrentClassroom(); });
  connect(exitButton, &QAbstractButton::clicked, this, &QWidget::close);

  // The desk menu acts on the selected desk.
  auto onSelected = [this](QAction* action, auto operation) {
    connect(action, &QAction::triggered, this, [this, operation] {
      Apply([operation](ConsoleModel& m) { operation(m, m.selectedDesk()); });
    });
  };
  onSelected(listenAction, [](ConsoleModel& m, int d) { m.ListenTo(d); });
  onSelected(stopListeningAction, [](ConsoleModel& m, int d) { m.StopListening(d); });
  onSelected(speakAction, [](ConsoleModel& m, int d) { m.SpeakTo(d); });
  onSelected(stopSpeakingAction, [](ConsoleModel& m, int d) { m.StopSpeaking(d); });
  onSelected(joinPairAction, [](ConsoleModel& m, int d) { m.JoinPair(d); });
  onSelected(partPairAction, [](ConsoleModel& m, int d) { m.PartPair(d); });
  onSelected(putOnLineAction, [](ConsoleModel& m, int d) { m.PutOnLine(d); });
  onSelected(takeOffLineAction, [](ConsoleModel& m, int d) { m.TakeOffLine(d); });
  onSelected(ledOnAction, [](ConsoleModel& m, int) { m.SwitchSelectedLed(true); });
  onSelected(ledOffAction, [](ConsoleModel& m, int) { m.SwitchSelectedLed(false); });
  connect(openAction, &QAction::triggered, this,
          [this] { Apply([](ConsoleModel& m) { m.OpenClassroom(); }); });
  connect(saveAction, &QAction::triggered, this,
          [this] { Apply([](ConsoleModel& m) { m.SaveCurrentClassroom(); }); });
  connect(saveAsAction, &QAction::triggered, this,
          [this] { Apply([](ConsoleModel& m) { m.SaveClassroomAs(); }); });
  connect(exitAction, &QAction::triggered, this, &QWidget::close);
}

QList<QWidget*> ConsoleWindow::InnerControls(QWidget* control) {
  if (auto* desk = qobject_cast<DeskPanel*>(control)) {
    // Listed, not looked up: raising a child reorders QObject's children.
    return {desk->listen, desk->speak, desk->led, desk->lineButton, desk->nameBox};
  }
  if (control == nullptr) return {};
  return control->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
}

int ConsoleWindow::DeskOf(QObject* control) const {
  for (QObject* o = control; o != nullptr; o = o->parent()) {
    if (auto* panel = qobject_cast<DeskPanel*>(o)) return panel->tag();
  }
  return -1;
}

void ConsoleWindow::PlaceBottomPanels() {
  const int w = width();
  const int h = clientHeight_;
  statusStrip->setGeometry(0, h, w, kStatusStripHeight);
  firstStartHint->adjustSize();
  firstStartHint->move((w - firstStartHint->width()) / 2,
                       (h - kBottomPanelsHeight - firstStartHint->height()) / 2);
  teacherPanel->move(w / 2 - teacherPanel->width() - 5, h - kBottomPanelsHeight);
  allDesksPanel->move(teacherPanel->x() + teacherPanel->width() + 15, h - kBottomPanelsHeight);
  model_->SetPlanArea(w, h - kBottomPanelsHeight);
}

void ConsoleWindow::ResizeSurface() {
  if (surface_.size() == size()) return;
  QImage resized(size(), QImage::Format_RGB32);
  resized.fill(colours::kButtonFace);
  surface_ = resized;
}

// ---------------------------------------------------------------------------
// Drawing the model

void ConsoleWindow::ShowLed(GlyphButton* led, bool on) {
  if (led == nullptr) return;
  led->setIcon(
      QIcon(glyphs::BitmapResource(on ? QStringLiteral("LED1ON") : QStringLiteral("LED1OFF"))));
  led->setTag(on ? 1 : 0);
}

void ConsoleWindow::SetNameBoxColour(QLineEdit* box, const QColor& colour) {
  if (box->palette().color(QPalette::Base) == colour) return;
  QPalette palette = box->palette();
  palette.setColor(QPalette::Base, colour);
  box->setPalette(palette);
}

void ConsoleWindow::DrawDesk(DeskPanel* panel, const console::DeskDisplay& shown) {
  const QString label = QString::fromStdString(shown.label);
  if (panel->title() != label) panel->setTitle(label);
  if (panel->pos() != QPoint(shown.left, shown.top)) panel->move(shown.left, shown.top);
  if (panel->isHidden() == shown.visible) panel->setVisible(shown.visible);
  // Setters that repaint even when nothing changes are called only on a change.
  if (panel->isFlat() != shown.selected) panel->setFlat(shown.selected);

  panel->listen->setChecked(shown.listenDown);
  panel->speak->setChecked(shown.speakDown);
  if ((panel->led->tag() != 0) != shown.ledOn) ShowLed(panel->led, shown.ledOn);
  const console::DeskButtonHints hints = console::HintsFor(shown);
  const QString listenHint = QString::fromStdString(hints.listen);
  if (panel->listen->toolTip() != listenHint) panel->listen->setToolTip(listenHint);
  const QString speakHint = QString::fromStdString(hints.speak);
  if (panel->speak->toolTip() != speakHint) panel->speak->setToolTip(speakHint);
  const QString ledHint = QString::fromStdString(hints.led);
  if (panel->led->toolTip() != ledHint) panel->led->setToolTip(ledHint);
  const QString caption = QString::fromUtf8(console::LineCaptionText(shown.line));
  if (panel->lineButton->text() != caption) panel->lineButton->setText(caption);
  panel->lineButton->setToolTip(QString::fromUtf8(console::LineClickHint(shown.nextLineClick)));

  const QColor colour = shown.highlighted ? colours::kHighlight : colours::kInfoBackground;
  if (panel->colour() != colour) panel->setColour(colour);

  QLineEdit* box = panel->nameBox;
  const QString name = QString::fromStdString(shown.name);
  if (box->text() != name) {
    box->setText(name);
    // A long name shows from its start; the whole of it is in the tooltip.
    if (!shown.editingName) box->setCursorPosition(0);
  }
  if (box->toolTip() != PlainToolTip(name)) box->setToolTip(PlainToolTip(name));
  // Confirmed: back to the start of the name.
  if (!shown.editingName && !box->isReadOnly()) box->setCursorPosition(0);
  if (box->isReadOnly() == shown.editingName) box->setReadOnly(!shown.editingName);
  if (box->hasFrame() != shown.editingName) box->setFrame(shown.editingName);
  SetNameBoxColour(box, shown.editingName ? colours::kWindow : QColor(Qt::transparent));
}

void ConsoleWindow::DrawTeacherPanel(const console::TeacherDisplay& shown) {
  inputButton->setChecked(shown.inputDown);
  teacherLineButton->setChecked(shown.lineDown);
  inputToLineButton->setChecked(shown.inputToLineDown);
}

void ConsoleWindow::PaintLinks(const console::ConsoleDisplay& shown) {
  view::PaintLinks(surface_, shown, room_.PairLinkCode, QSize(console::kDeskPanelWidth, console::kDeskPanelHeight));
  update();
}

void ConsoleWindow::Redraw() {
  const console::ConsoleDisplay shown = model_->Display();
  // Qt puts its modified mark in place of [*] while the plan is unsaved.
  const std::string modelTitle = model_->WindowTitle();
  const QString title = QString::fromStdString(environment_.practice
                                                   ? console::PracticeTitle(modelTitle)
                                                   : modelTitle) +
                        QStringLiteral("[*]");
  if (windowTitle() != title) setWindowTitle(title);
  setWindowModified(model_->classroomChanged());
  for (int d = 0; d < kDeskCount; ++d) DrawDesk(desks[d], shown.desks[d]);
  DrawTeacherPanel(shown.teacher);
  DrawCalls(shown);
  PaintLinks(shown);
  const bool emptyPlan = std::none_of(shown.desks.begin(), shown.desks.end(),
                                      [](const console::DeskDisplay& d) { return d.visible; });
  firstStartHint->setVisible(emptyPlan && !model_->HasClassroomFile());
  if (firstStartHint->isVisible()) firstStartHint->raise();
  drawn_ = shown;
  DrawDeskMarks();
  if (lessonRecord_) lessonRecord_->Refresh();
}

void ConsoleWindow::DrawCalls(const console::ConsoleDisplay& shown) {
  if (drawn_ && drawn_->calls == shown.calls) return;
  // A new call: the teacher may want to hear it too.
  if (callSound_ && shown.calls.size() > callsHeard_) QApplication::beep();
  callsHeard_ = shown.calls.size();
  for (QToolButton* old : callList->findChildren<QToolButton*>()) delete old;
  for (const console::Call& call : shown.calls) {
    auto* entry = new QToolButton(callList);
    entry->setObjectName(QStringLiteral("Call%1").arg(call.desk + 1));
    const std::string& student = shown.desks[call.desk].name;
    const QString time =
        QDateTime::fromSecsSinceEpoch(call.since).toString(QStringLiteral("HH:mm"));
    entry->setText(
        QString::fromStdString(console::CallEntryText(call.desk, student, time.toStdString())));
    // The student's name is shown as typed, never read as markup.
    const QString hint = QStringLiteral("Вызов стола %1 (%2) с %3: нажмите, чтобы слушать стол")
                             .arg(QString::number(call.desk + 1), QString::fromStdString(student), time);
    entry->setToolTip(PlainToolTip(hint));
    entry->setAccessibleName(QStringLiteral("Вызов стола %1").arg(call.desk + 1));
    entry->setAccessibleDescription(hint);
    entry->setStyleSheet(QStringLiteral("QToolButton { background: rgb(255,160,60); }"));
    entry->setFocusPolicy(Qt::NoFocus);
    const int desk = call.desk;
    connect(entry, &QToolButton::clicked, this,
            [this, desk] { Apply([desk](console::ConsoleModel& m) { m.ListenTo(desk); }); });
    callList->layout()->addWidget(entry);
  }
  const qint64 now = QDateTime::currentSecsSinceEpoch();
  const bool young = std::any_of(shown.calls.begin(), shown.calls.end(),
                                 [now](const console::Call& c) {
                                   return now - c.since < kCallBlinkSeconds;
                                 });
  if (young && !blinkTimer_->isActive()) blinkTimer_->start();
}

void ConsoleWindow::DrawDeskMarks() {
  if (!drawn_) return;
  const qint64 now = QDateTime::currentSecsSinceEpoch();
  bool anyBlinking = false;
  for (int d = 0; d < kDeskCount; ++d) {
    const console::DeskDisplay& shown = drawn_->desks[d];
    DeskMarks marks;
    marks.selected = shown.selected;
    marks.keyboardFocus = shown.selected && lessonTools_ && lessonTools_->FocusMarkShown();
    marks.speaking = shown.speakDown;
    marks.calling = shown.callOrder > 0;
    if (marks.calling) {
      const bool blinking = now - drawn_->calls[shown.callOrder - 1].since < kCallBlinkSeconds;
      anyBlinking = anyBlinking || blinking;
      marks.callBright = !blinking || blinkBright_;
    }
    desks[d]->setMarks(marks);
  }
  if (!anyBlinking && blinkTimer_->isActive()) {
    blinkTimer_->stop();
    blinkBright_ = true;
  }
}

void ConsoleWindow::RefuseNameCharacter(QLineEdit* box, const QString& character) {
  QToolTip::showText(box->mapToGlobal(QPoint(0, box->height())),
                     QStringLiteral("Символ «%1» нельзя сохранить в файле кабинета "
                                    "(кодировка Windows-1251).")
                         .arg(character),
                     box);
}

void ConsoleWindow::UpdateIndicators(uint8_t statusHigh, uint8_t statusLow) {
  model_->ApplyIndicators(statusHigh, statusLow);
  Redraw();
}

// ---------------------------------------------------------------------------
// Mouse and keys

void ConsoleWindow::PressOnDesk(DeskPanel* panel, QMouseEvent* event) {
  const int desk = panel->tag();
  model_->PressOnDesk(desk);
  // Only the left button moves a panel; any button selects it.
  drag_.Cancel();
  if (event->button() == Qt::LeftButton) {
    drag_.Start(desk, event->globalPosition().toPoint(), panel->pos());
    // The dragged panel passes over its neighbours, not under them.
    if (model_->DesksMovable()) panel->raise();
  }
  Redraw();
  // The menu acts on the desk the press has just selected.
  if (event->button() == Qt::RightButton) deskMenu->popup(event->globalPosition().toPoint());
}

void ConsoleWindow::MoveOverDesk(DeskPanel* panel, QMouseEvent* event) {
  const int desk = panel->tag();
  const int selectedBefore = model_->selectedDesk();
  model_->SelectDesk(desk);
  if (drag_.Dragging(desk) && (event->buttons() & Qt::LeftButton) && model_->DesksMovable()) {
    const QPoint to = drag_.PositionFor(event->globalPosition().toPoint());
    model_->MoveDesk(desk, to.x(), to.y());
  } else if (selectedBefore == desk) {
    return;
  }
  Redraw();
}

void ConsoleWindow::ReleaseOnDesk(DeskPanel* panel, QMouseEvent* event) {
  // A release of another button leaves a left-button drag going.
  if (event->button() != Qt::LeftButton) return;
  const int desk = panel->tag();
  if (!drag_.Dragging(desk)) return;
  const QPoint start = drag_.startPosition();
  drag_.Cancel();
  Apply([&](console::ConsoleModel& m) { m.EndDeskMove(desk, start.x(), start.y()); });
}

void ConsoleWindow::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    Apply([](console::ConsoleModel& m) { m.EndNameEditing(); });
  }
  QWidget::mousePressEvent(event);
}

bool ConsoleWindow::eventFilter(QObject* watched, QEvent* event) {
  auto* box = qobject_cast<QLineEdit*>(watched);
  const int desk = box != nullptr ? DeskOf(box) : -1;
  if (desk >= 0 && FilterNameBoxEvent(desk, box, event)) return true;
  return QWidget::eventFilter(watched, event);
}

// True when the event was taken here.
bool ConsoleWindow::FilterNameBoxEvent(int desk, QLineEdit* box, QEvent* event) {
  using console::ConsoleModel;
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
      // A double click on a name opens that name: told from this box's own
      // presses as well as by the platform, so that neither a pairing the
      // platform missed nor its late double click can open another box.
      auto* mouse = static_cast<QMouseEvent*>(event);
      if (mouse->button() != Qt::LeftButton) {
        nameClicks_.Forget();
        return false;
      }
      if (event->type() == QEvent::MouseButtonDblClick) {
        // After a second press already taken there is nothing more to do.
        if (nameClicks_.JustCompleted(desk, mouse->timestamp())) return true;
        nameClicks_.Paired(desk, mouse->timestamp());
      } else if (!nameClicks_.Press(desk, mouse->timestamp(),
                                    static_cast<uint64_t>(QApplication::doubleClickInterval()))) {
        return false;
      }
      Apply([desk](ConsoleModel& m) { m.BeginNameEditing(desk); });
      box->setFocus(Qt::MouseFocusReason);
      return true;
    }
    case QEvent::KeyPress: {
      const int key = static_cast<QKeyEvent*>(event)->key();
      if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        Apply([desk](ConsoleModel& m) { m.PressEnterInName(desk); });
        return true;
      }
      if (key == Qt::Key_Escape && model_->EditingName(desk)) {
        Apply([desk](ConsoleModel& m) { m.CancelNameEditing(desk); });
        return true;
      }
      return false;
    }
    case QEvent::FocusOut: {
      // The box's own menu (copy, paste) keeps the edit going.
      if (static_cast<QFocusEvent*>(event)->reason() == Qt::PopupFocusReason) return false;
      if (model_->EditingName(desk)) {
        Apply([desk](ConsoleModel& m) { m.FinishNameEditing(desk); });
      }
      return false;
    }
    default:
      return false;
  }
}

// ---------------------------------------------------------------------------
// Start-up and shutdown

void ConsoleWindow::Start() {
  // A folder that cannot take the file leaves every read at its default.
  settings::WriteDefaultSettingsIfMissing(environment_.settingsPath);

  // Read before anything is taken from it: a file that is there but cannot
  // be read (a folder, a FIFO, too large) names no port, and the default one
  // may be another controller. Said once; the port stays closed.
  const ini::LoadResult settingsLoad = settings::LoadSettings(environment_.settingsPath).result;
  const bool settingsReadable = settings::SettingsReadable(settingsLoad);
  if (!settingsReadable) {
    prompter_.ShowMessage(QStringLiteral("Vormik"),
                          QString::fromStdString(settings::SettingsLoadMessage(
                              settingsLoad, environment_.settingsPath)),
                          QMessageBox::Warning);
  }
  ini::IniFile file(environment_.settingsPath);
  const std::string portName =
      file.ReadString(settings::kCommunication, settings::kPortName, settings::kDefaultPortName);
  // One lock per port: consoles on other controllers never wait for this one.
  port_->CreateSharingLockForPort(portName, environment_.portLockName);
  if (!port_->sharingLockProblem().empty()) {
    prompter_.ShowMessage(QStringLiteral("Vormik"),
                          QString::fromStdString(port_->sharingLockProblem()),
                          QMessageBox::Warning);
  }
  const int clientWidth = ReadClientDimension(
      file, settings::kMainFormWidth, settings::kDefaultWidth, kDefaultClientWidth, prompter_);
  const int clientHeight = ReadClientDimension(
      file, settings::kMainFormHeight, settings::kDefaultHeight, kDefaultClientHeight, prompter_);
  clientHeight_ = clientHeight;
  setFixedSize(clientWidth, clientHeight + kStatusStripHeight);
  ResizeSurface();
  PlaceBottomPanels();
  callSound_ = file.ReadInteger(settings::kInterface, settings::kCallSound, 0) != 0;

  // The strip follows every exchange; the listener runs on the thread that
  // made the change, so the drawing is queued to this one.
  // A controller answering again gets the copy written to it.
  port_->status().SetListener(
      [this, seen = std::make_shared<uint64_t>(0)](const LinkStatusSnapshot& status) {
        QMetaObject::invokeMethod(
            this,
            [this, status, seen] {
              DrawLinkState(status);
              if (status.returns == *seen) return;
              *seen = status.returns;
              Apply([](console::ConsoleModel& m) { m.ControllerReturned(); });
            },
            Qt::QueuedConnection);
      });
  const bool pollingOff =
      file.ReadInteger(settings::kCommunication, settings::kReadThreadStop, 0) != 0;
  port_->status().SetPollingOff(pollingOff);
  if (settingsReadable) port_->OpenControllerPort(portName);

  if (environment_.registerFileType) platform::RegisterFileType(environment_.executablePath);
  StoreCommandLineFile();

  if (settingsReadable) {
    if (model_->Probe()) model_->ResetAll();
    // Lets the controller settle after the reset; nothing of the user is taken meanwhile.
    QThread::msleep(timing::kStartupSettleMs);
    pollingOn_ = !pollingOff;
    if (pollingOn_) pollThread_->Resume();
  }
  DrawLinkState(port_->status().Snapshot());
}

// A classroom file named on the command line becomes the current one when it
// is one.
void ConsoleWindow::StoreCommandLineFile() {
  if (environment_.arguments.empty()) return;
  // Kept as a full path: the settings outlive this run's working folder.
  const std::string path = QDir::toNativeSeparators(
                               QFileInfo(QString::fromStdString(environment_.arguments.front()))
                                   .absoluteFilePath())
                               .toStdString();
  // Only a file that loads as a classroom becomes the current one; the last
  // classroom stays current otherwise, for this start and the next.
  const classroom::LoadedClassroom loaded = classroom::LoadClassroomFile(path);
  if (!loaded.ok()) {
    prompter_.ShowMessage(QString::fromUtf8(classroom::kFileMessageCaption),
                          QString::fromStdString(classroom::LoadFailureMessage(loaded, path)),
                          QMessageBox::Warning);
    return;
  }
  // A name vormik.ini cannot give back unchanged would open another file.
  if (!classroom::StorableInSettings(path)) {
    prompter_.ShowMessage(QString::fromUtf8(classroom::kUnstorablePathCaption),
                          QString::fromStdString(classroom::UnstorablePathMessage(path)),
                          QMessageBox::Warning);
    return;
  }
  try {
    ini::IniFile file(environment_.settingsPath);
    file.WriteString(settings::kInterface, settings::kClassRoomConfigurationFile, path);
    file.Flush();
  } catch (const ini::WriteError& error) {
    prompter_.ShowMessage(QStringLiteral("Vormik"), QString::fromStdString(error.what()),
                          QMessageBox::Critical);
  }
}

void ConsoleWindow::OpenClassroomFromOutside(const QString& path) {
  raise();
  activateWindow();
  if (model_->Busy()) return;
  const std::string full = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()).toStdString();
  Apply([&full](console::ConsoleModel& m) {
    if (m.ConfirmClose()) m.OpenClassroomFile(full);
  });
}

bool ConsoleWindow::ConfirmAndClose() {
  // A close while an operation waits in one of its dialogs would pull the
  // port from under it.
  if (model_->Busy()) return false;
  // The plan is saved before the port is given back: a failed save keeps the
  // window open, and it must stay a working console.
  if (!Apply([](console::ConsoleModel& m) { return m.ConfirmClose(); })) return false;
  lessonRecord_->Closing();
  // The poll ends first: after the port is closed its exchanges could only fail.
  if (StopPolling()) port_->ClosePort();
  return true;
}

bool ConsoleWindow::StopPolling() {
  if (!pollThread_) return true;
  pollThread_->RequestStop();
  QElapsedTimer waited;
  waited.start();
  // Short slices with dispatching in between: the poll may be blocked in its
  // hand-over, which only this thread can run. No input is taken meanwhile,
  // so no click can start a frame or a question inside the close.
  while (!pollThread_->WaitStopped(kStopWaitSliceMs)) {
    if (waited.elapsed() > kStopWaitLimitMs) return false;
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  }
  return true;
}

void ConsoleWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // A window coming back from the task bar is not shown anew.
  if (event->spontaneous()) return;
  // Centred once: a window placed by code (or by an earlier show) stays put.
  if (!testAttribute(Qt::WA_Moved) && parentWidget() == nullptr && screen() != nullptr) {
    const QRect area = screen()->availableGeometry();
    move(area.center() - QPoint(frameGeometry().width() / 2, frameGeometry().height() / 2));
  }
  Apply([](console::ConsoleModel& m) { m.LoadClassroom(); });
}

void ConsoleWindow::closeEvent(QCloseEvent* event) {
  // A second close while the first waits for the poll or a dialog is refused.
  if (closing_) {
    event->ignore();
    return;
  }
  // An operation waits for the port or the controller: it ends as a "No"
  // does, and the close follows it.
  if (model_->Busy()) {
    closeRequested_ = true;
    if (currentWait_ != nullptr) currentWait_->reject();
    event->ignore();
    return;
  }
  closing_ = true;
  const bool accepted = ConfirmAndClose();
  closing_ = false;
  if (accepted) {
    event->accept();
  } else {
    event->ignore();
  }
}

void ConsoleWindow::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawImage(0, 0, surface_);
}

// ---------------------------------------------------------------------------
// Link

bool ConsoleWindow::AskRetryConnection() {
  if (closeRequested_) return false;
  return prompter_.AskYesNo(QStringLiteral("Ошибка связи"),
                            QStringLiteral("Проверьте соединение с COM портом! Повторить попытку?"),
                            QMessageBox::Critical);
}

bool ConsoleWindow::AskRetryAfterFailure(const LinkFailure& failure) {
  if (closeRequested_) return false;
  DrawLinkState(port_->status().Snapshot());
  // The described question, and a second line that says what failed.
  return prompter_.AskYesNo(QStringLiteral("Ошибка связи"),
                            QStringLiteral("Проверьте соединение с COM портом! Повторить попытку?\n") +
                                QString::fromStdString(LinkFailureText(failure)),
                            QMessageBox::Critical);
}

void ConsoleWindow::ShowWaitDialog() {
  WaitDialog dialog(this);
  dialog.exec();
}

bool ConsoleWindow::ShowCancellableWait(const std::string& reason) {
  if (closeRequested_) return false;
  WaitDialog dialog(QString::fromStdString(reason), this);
  currentWait_ = &dialog;
  dialog.exec();
  currentWait_ = nullptr;
  return !dialog.Cancelled() && !closeRequested_;
}

void ConsoleWindow::PostToInterface(std::function<void()> run) {
  // Queued, not blocking: a frame asking for the port takes it from a poll
  // whose update has not begun.
  QMetaObject::invokeMethod(this, std::move(run), Qt::QueuedConnection);
}

void ConsoleWindow::RunIndicatorUpdate(uint8_t statusHigh, uint8_t statusLow) {
  // Waiting for the own thread would never end.
  if (QThread::currentThread() == thread()) {
    UpdateIndicators(statusHigh, statusLow);
    return;
  }
  QMetaObject::invokeMethod(
      this, [this, statusHigh, statusLow] { UpdateIndicators(statusHigh, statusLow); },
      Qt::BlockingQueuedConnection);
}
