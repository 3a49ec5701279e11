// TForm1's composition, start-up, shutdown and its plumbing to the controller link.
#include "app/Unmane.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMetaObject>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QThread>

#include "app/colours.h"
#include "config/classroomplan.h"
#include "config/inifile.h"
#include "config/settings.h"
#include "link/Unwait.h"
#include "link/sendswitchrequest.h"
#include "link/timing.h"
#include "platform/filetype.h"
#include "platform/system.h"
#include "resources/glyphs.h"

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
constexpr int kDeskWidth = 145;
constexpr int kDeskHeight = 75;
// The control order: desks 16 and 15 follow desk 4.
constexpr int kDeskCreationOrder[kDeskCount] = {1, 2, 3, 4,  16, 15, 5,  6,
                                                7, 8, 9, 10, 11, 12, 13, 14};

constexpr int kDefaultClientWidth = 700;
constexpr int kDefaultClientHeight = 500;
constexpr int kMaxClientSize = 4096;  // bounds the drawing surface too
constexpr int kStopWaitSliceMs = 20;
constexpr int kStopWaitLimitMs = 30000;

const QString kQuestionCaption = QStringLiteral("Внимание!!!");
const QString kLineOff = QStringLiteral("Откл.");

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

TForm1::TForm1(TClassRoomDescription& room, AppEnvironment environment, Prompter& prompter,
               QWidget* parent)
    : QWidget(parent), room_(room), environment_(std::move(environment)), prompter_(prompter) {
  BuildControls();
  ConnectHandlers();
  // The window serves the link and the poll through private bases.
  IndicatorHandover& handover = *this;
  LinkUi& linkUi = *this;
  port_ = std::make_unique<ControllerPort>();
  readThread_ = std::make_unique<MyReadThread>(*port_, handover);
  link_ = std::make_unique<ControllerLink>(*port_, environment_.settingsPath, linkUi,
                                           readThread_.get());
  FormCreate();
}

TForm1::~TForm1() {
  // The poll may be waiting for its hand-over to this window: end it while
  // the window still exists and can answer.
  StopReadThread();
}

// ---------------------------------------------------------------------------
// Composition

void TForm1::BuildControls() {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("Vormik"));
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setFont(WindowFont());
  QPalette background = palette();
  background.setColor(QPalette::Window, colours::kButtonFace);
  setPalette(background);
  setFixedSize(kDefaultClientWidth, kDefaultClientHeight);
  ResizeSurface();

  ImageList1 = glyphs::ImageList();

  for (int deskNumber : kDeskCreationOrder) {
    BuildDeskPanel(deskNumber);
    controls_.push_back(GroupBox[deskNumber - 1]);
  }
  BuildTeacherPanel();
  controls_.push_back(Panel1);
  BuildToolbar();
  controls_.push_back(Panel2);
  for (size_t i = 0; i + 1 < controls_.size(); ++i) setTabOrder(controls_[i], controls_[i + 1]);

  BuildActionsAndMenu();
  SelectedDesk = GroupBox[0];
}

void TForm1::BuildDeskPanel(int deskNumber) {
  const int index = deskNumber - 1;
  const DeskLayout& names = kDeskLayouts[index];
  auto* panel = new DeskPanel(index, this);
  panel->setObjectName(Named("GroupBox", deskNumber));
  panel->setTitle(QString::number(deskNumber));
  panel->setFont(BoldFont());
  panel->setGeometry(kDeskColumns[index % 4], (index / 4) * kDeskRowTop, kDeskWidth, kDeskHeight);
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

  panel->lineButton = new QPushButton(kLineOff, panel);
  panel->lineButton->setObjectName(Named("Button", names.line));
  panel->lineButton->setGeometry(5 + shift, 49 + shift, 56, 22);
  panel->lineButton->setAutoDefault(false);

  panel->nameBox = new QLineEdit(panel);
  panel->nameBox->setObjectName(Named("Edit", names.name));
  panel->nameBox->setGeometry(6, 16, 100, 21);
  panel->nameBox->setFrame(false);
  panel->nameBox->setReadOnly(true);
  QPalette boxColours = panel->nameBox->palette();
  boxColours.setColor(QPalette::Base, colours::kInfoBackground);
  boxColours.setColor(QPalette::Text, colours::kNameText);
  panel->nameBox->setPalette(boxColours);

  GroupBox[index] = panel;
}

void TForm1::BuildTeacherPanel() {
  Panel1 = new QFrame(this);
  Panel1->setObjectName(QStringLiteral("Panel1"));
  Panel1->setFrameShape(QFrame::NoFrame);
  Panel1->setGeometry(8, 451, 345, 45);
  // A click on a bottom panel is not a click on the window background.
  Panel1->setAttribute(Qt::WA_NoMousePropagation);

  Label1 = new QLabel(QStringLiteral("----------------- Учитель ----------------"), Panel1);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->move(176, 0);
  Label1->adjustSize();

  struct TeacherButton {
    GlyphButton** field;
    const char* name;
    int left, width, groupIndex;
    const char* caption;
    const char* hint;
    glyphs::Glyph glyph;
  };
  const TeacherButton buttons[] = {
      {&SpeedButton51, "SpeedButton51", 8, 110, 5, "Вход->Линия", "Подключить ВХОД к ЛИНИИ",
       glyphs::Glyph::LoudspeakerWaves},
      {&SpeedButton49, "SpeedButton49", 166, 75, 3, "Вход", "Слушать ВХОД",
       glyphs::Glyph::Headphones},
      {&SpeedButton50, "SpeedButton50", 248, 87, 4, "Линия", "Говорить в ЛИНИЮ",
       glyphs::Glyph::Microphone},
  };
  for (const TeacherButton& b : buttons) {
    auto* button = new GlyphButton(b.groupIndex, true, Panel1);
    button->setObjectName(QString::fromLatin1(b.name));
    button->setGeometry(b.left, 17, b.width, 25);
    button->setText(QString::fromUtf8(b.caption));
    button->setToolTip(QString::fromUtf8(b.hint));
    button->setIcon(glyphs::ButtonGlyph(b.glyph));
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    *b.field = button;
  }
}

void TForm1::BuildToolbar() {
  Panel2 = new QFrame(this);
  Panel2->setObjectName(QStringLiteral("Panel2"));
  Panel2->setFrameShape(QFrame::NoFrame);
  Panel2->setGeometry(365, 451, 336, 46);
  Panel2->setAttribute(Qt::WA_NoMousePropagation);

  Label2 = new QLabel(QStringLiteral("--------- Все столы ----------"), Panel2);
  Label2->setObjectName(QStringLiteral("Label2"));
  Label2->move(8, 0);
  Label2->adjustSize();

  ToolBar1 = new QWidget(Panel2);
  ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
  ToolBar1->setGeometry(0, 13, 336, 37);

  auto button = [this](const char* name, int left, const char* hint, int image) {
    auto* b = new QToolButton(ToolBar1);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(left, 0, 32, 25);
    b->setToolTip(QString::fromUtf8(hint));
    b->setIcon(ImageList1.value(image));
    b->setIconSize(QSize(16, 16));
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::NoFocus);
    return b;
  };
  auto separator = [this](const char* name, int left, int width) {
    auto* s = new QWidget(ToolBar1);
    s->setObjectName(QString::fromLatin1(name));
    s->setGeometry(left, 0, width, 25);
    return s;
  };
  ToolButton2 = button("ToolButton2", 0, "Сброс", 15);
  ToolButton4 = button("ToolButton4", 32, "Подключить все столы к ЛИНИИ", 19);
  ToolButton6 = button("ToolButton6", 64, "Подключить все столы в ПАРЫ", 2);
  ToolButton8 = button("ToolButton8", 96, "Выключить все светодиоды", 5);
  ToolButton9 = separator("ToolButton9", 128, 25);
  ToolButton17 = button("ToolButton17", 153, "Сохранить как", 18);
  ToolButton14 = button("ToolButton14", 185, "Открытие файла", 16);
  ToolButton12 = button("ToolButton12", 217, "Создать стандартный кабинет", 13);
  ToolButton10 = button("ToolButton10", 249, "Сохранить в файл", 12);
  ToolButton15 = separator("ToolButton15", 281, 16);
  ToolButton16 = button("ToolButton16", 297, "Выход из программы", 17);
  // Kept with their handlers, but out of the user's reach.
  ToolButton10->hide();
  ToolButton16->hide();
}

void TForm1::BuildActionsAndMenu() {
  auto action = [this](QAction*& field, const char* name, const char* caption, int image) {
    field = new QAction(QString::fromLatin1(caption), this);
    field->setObjectName(QString::fromLatin1(name));
    field->setProperty("category", QStringLiteral("Communication"));
    if (image >= 0) field->setIcon(ImageList1.value(image));
  };
  action(HearTheDesk, "HearTheDesk", "HearTheDesk", 0);
  action(UnHearDesk, "UnHearDesk", "UnHearDesk", 1);
  action(SpeakToDesk, "SpeakToDesk", "SpeakToDesk", 6);
  action(UnSpeakToDesk, "UnSpeakToDesk", "UnSpeakToDesk", 7);
  action(Desk2DeskComm, "Desk2DeskComm", "Desk2DeskComm", 2);
  action(Desk2DeskBrake, "Desk2DeskBrake", "Desk2DeskBrake", 3);
  action(ConnectToLine, "ConnectToLine", "ConnectToLine", -1);
  action(DisconnectLine, "DisconnectLine", "DisconnectFromLine", -1);

  // The two LED entries belong to the menu only.
  LedPowerOn1 = new QAction(ImageList1.value(4), QStringLiteral("LedPowerOn"), this);
  LedPowerOn1->setObjectName(QStringLiteral("LedPowerOn1"));
  LedPowerOff1 = new QAction(ImageList1.value(5), QStringLiteral("LedPowerOff"), this);
  LedPowerOff1->setObjectName(QStringLiteral("LedPowerOff1"));

  // The standard file actions: reached by their shortcut (Ctrl+O opens a
  // classroom file), as the window has no menu bar to show them.
  FileOpen1 = new QAction(ImageList1.value(16), QStringLiteral("&Open..."), this);
  FileOpen1->setObjectName(QStringLiteral("FileOpen1"));
  FileOpen1->setToolTip(QStringLiteral("Opens an existing file"));
  FileOpen1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
  FileSaveAs1 = new QAction(ImageList1.value(18), QStringLiteral("Save &As..."), this);
  FileSaveAs1->setObjectName(QStringLiteral("FileSaveAs1"));
  FileSaveAs1->setToolTip(QStringLiteral("Saves the active file with a new name"));
  FileExit1 = new QAction(ImageList1.value(17), QStringLiteral("E&xit"), this);
  FileExit1->setObjectName(QStringLiteral("FileExit1"));
  FileExit1->setToolTip(QStringLiteral("Quits the application"));
  for (QAction* file : {FileOpen1, FileSaveAs1, FileExit1}) {
    file->setProperty("category", QStringLiteral("File"));
    addAction(file);
  }

  PopupMenu1 = new QMenu(this);
  PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
  PopupMenu1->addAction(HearTheDesk);
  PopupMenu1->addAction(UnHearDesk);
  PopupMenu1->addSeparator()->setObjectName(QStringLiteral("N1"));
  PopupMenu1->addAction(SpeakToDesk);
  PopupMenu1->addAction(UnSpeakToDesk);
  PopupMenu1->addSeparator()->setObjectName(QStringLiteral("N3"));
  // This entry has a caption of its own, so it is an entry that triggers the action.
  QAction* desk2Desk1 = PopupMenu1->addAction(ImageList1.value(2), QStringLiteral("Desk2Desk"));
  desk2Desk1->setObjectName(QStringLiteral("Desk2Desk1"));
  connect(desk2Desk1, &QAction::triggered, Desk2DeskComm, [this] { Desk2DeskComm->trigger(); });
  PopupMenu1->addAction(Desk2DeskBrake);
  PopupMenu1->addSeparator()->setObjectName(QStringLiteral("N2"));
  PopupMenu1->addAction(ConnectToLine);
  PopupMenu1->addAction(DisconnectLine);
  PopupMenu1->addSeparator()->setObjectName(QStringLiteral("N4"));
  PopupMenu1->addAction(LedPowerOn1);
  PopupMenu1->addAction(LedPowerOff1);
}

void TForm1::ConnectHandlers() {
  for (DeskPanel* panel : GroupBox) {
    GlyphButton* listen = panel->listen;
    GlyphButton* speak = panel->speak;
    GlyphButton* led = panel->led;
    QPushButton* line = panel->lineButton;
    // clicked, never toggled: setting a button's state from code runs nothing.
    connect(listen, &QAbstractButton::clicked, this, [this, listen] { SpeedButton1Click(listen); });
    connect(speak, &QAbstractButton::clicked, this, [this, speak] { SpeedButton2Click(speak); });
    connect(led, &QAbstractButton::clicked, this, [this, led] { SpeedButton3Click(led); });
    connect(line, &QAbstractButton::clicked, this, [this, line] { Button1Click(line); });
    panel->nameBox->installEventFilter(this);

    connect(panel, &DeskPanel::mousePressed, this, [this](DeskPanel* p, QMouseEvent* event) {
      GroupBox1MouseDown(p, event);
      // The popup acts on SelectedDesk, which the press has just set.
      if (event->button() == Qt::RightButton) {
        PopupMenu1->popup(event->globalPosition().toPoint());
      }
    });
    connect(panel, &DeskPanel::mouseMoved, this,
            [this](DeskPanel* p, QMouseEvent* event) { GroupBox1MouseMove(p, event); });
    connect(panel, &DeskPanel::mouseReleased, this,
            [this](DeskPanel* p, QMouseEvent* event) { GroupBox1MouseUp(p, event); });
  }

  connect(SpeedButton49, &QAbstractButton::clicked, this, [this] { SpeedButton49Click(); });
  connect(SpeedButton50, &QAbstractButton::clicked, this, [this] { SpeedButton50Click(); });
  connect(SpeedButton51, &QAbstractButton::clicked, this, [this] { SpeedButton51Click(); });

  connect(ToolButton2, &QAbstractButton::clicked, this, [this] { ToolButton2Click(); });
  connect(ToolButton4, &QAbstractButton::clicked, this, [this] { ToolButton4Click(); });
  connect(ToolButton6, &QAbstractButton::clicked, this, [this] { ToolButton6Click(); });
  connect(ToolButton8, &QAbstractButton::clicked, this, [this] { ToolButton8Click(); });
  connect(ToolButton17, &QAbstractButton::clicked, this, [this] { ToolButton17Click(); });
  connect(ToolButton14, &QAbstractButton::clicked, this, [this] { ToolButton14Click(); });
  connect(ToolButton12, &QAbstractButton::clicked, this, [this] { ToolButton12Click(); });
  connect(ToolButton10, &QAbstractButton::clicked, this, [this] { ToolButton10Click(); });
  connect(ToolButton16, &QAbstractButton::clicked, this, [this] { ToolButton16Click(); });

  connect(HearTheDesk, &QAction::triggered, this, [this] { HearTheDeskExecute(); });
  connect(UnHearDesk, &QAction::triggered, this, [this] { UnHearDeskExecute(); });
  connect(SpeakToDesk, &QAction::triggered, this, [this] { SpeakToDeskExecute(); });
  connect(UnSpeakToDesk, &QAction::triggered, this, [this] { UnSpeakToDeskExecute(); });
  connect(Desk2DeskComm, &QAction::triggered, this, [this] { Desk2DeskCommExecute(); });
  connect(Desk2DeskBrake, &QAction::triggered, this, [this] { Desk2DeskBrakeExecute(); });
  connect(ConnectToLine, &QAction::triggered, this, [this] { ConnectToLineExecute(); });
  connect(DisconnectLine, &QAction::triggered, this, [this] { DisconnectLineExecute(); });
  connect(LedPowerOn1, &QAction::triggered, this, [this] { LedPowerOn1Click(); });
  connect(FileOpen1, &QAction::triggered, this, [this] { ToolButton14Click(); });
  connect(FileSaveAs1, &QAction::triggered, this, [this] { ToolButton17Click(); });
  connect(FileExit1, &QAction::triggered, this, [this] { ToolButton16Click(); });
  connect(LedPowerOff1, &QAction::triggered, this, [this] { LedPowerOff1Click(); });
}

QList<QWidget*> TForm1::InnerControls(QWidget* control) {
  if (auto* desk = qobject_cast<DeskPanel*>(control)) {
    // Listed, not looked up: raising a child reorders QObject's children.
    return {desk->listen, desk->speak, desk->led, desk->lineButton, desk->nameBox};
  }
  if (control == nullptr) return {};
  return control->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
}

DeskPanel* TForm1::PartnerOf(const DeskPanel* panel) const {
  if (panel == nullptr || panel->tag() < 0 || panel->tag() >= kDeskCount) return nullptr;
  return GroupBox[panel->tag() ^ 1];
}

void TForm1::PlaceBottomPanels() {
  const int w = width();
  const int h = height();
  Panel1->move(w / 2 - Panel1->width() - 5, h - 50);
  Panel2->move(Panel1->x() + Panel1->width() + 15, h - 50);
}

void TForm1::ResizeSurface() {
  if (surface_.size() == size()) return;
  QImage resized(size(), QImage::Format_RGB32);
  resized.fill(colours::kButtonFace);
  if (!surface_.isNull()) {
    QPainter p(&resized);
    p.drawImage(0, 0, surface_);
  }
  surface_ = resized;
}

// ---------------------------------------------------------------------------
// Start-up and shutdown

void TForm1::FormCreate() {
  SelectedDesk = GroupBox[0];
  port_->CreateSharingLock(environment_.portLockName);
  // A folder that cannot take the file leaves every read at its default.
  settings::WriteDefaultSettingsIfMissing(environment_.settingsPath);

  ini::IniFile file(environment_.settingsPath);
  const int clientWidth = ReadClientDimension(
      file, settings::kMainFormWidth, settings::kDefaultWidth, kDefaultClientWidth, prompter_);
  const int clientHeight = ReadClientDimension(
      file, settings::kMainFormHeight, settings::kDefaultHeight, kDefaultClientHeight, prompter_);
  setFixedSize(clientWidth, clientHeight);
  ResizeSurface();
  PlaceBottomPanels();

  port_->OpenControllerPort(
      file.ReadString(settings::kCommunication, settings::kPortName, settings::kDefaultPortName));

  if (environment_.registerFileType) platform::RegisterFileType(environment_.executablePath);

  if (!environment_.arguments.empty() && platform::FileExists(environment_.arguments.front())) {
    // Kept as a full path: the settings outlive this run's working folder.
    const std::string path = QFileInfo(QString::fromStdString(environment_.arguments.front()))
                                 .absoluteFilePath()
                                 .toStdString();
    // A name vormik.ini cannot give back unchanged would open another file.
    if (!classroom::StorableInSettings(path)) {
      prompter_.ShowMessage(QString::fromUtf8(classroom::kUnstorablePathCaption),
                            QString::fromStdString(classroom::UnstorablePathMessage(path)),
                            QMessageBox::Warning);
    } else {
      try {
        file.WriteString(settings::kInterface, settings::kClassRoomConfigurationFile, path);
        file.Flush();
      } catch (const ini::WriteError& error) {
        prompter_.ShowMessage(QStringLiteral("Vormik"), QString::fromStdString(error.what()),
                              QMessageBox::Critical);
      }
    }
  }

  if (link_->ProbeController()) ToolButton2Click();

  // Lets the controller settle after the reset; nothing of the user is taken meanwhile.
  QThread::msleep(timing::kStartupSettleMs);

  if (file.ReadInteger(settings::kCommunication, settings::kReadThreadStop, 0) == 0) {
    readThread_->Resume();
  }
}

void TForm1::FormShow() { LoadClassroom(); }

bool TForm1::FormClose() {
  // The plan is saved before the port is given back: a failed save keeps the
  // window open, and it must stay a working console, not one whose every
  // command ends in the connection question.
  if (room_.ClassroomChanged != 0 &&
      prompter_.AskYesNo(kQuestionCaption, QStringLiteral("Сохранить конфигурацию кабинета?"),
                         QMessageBox::Question)) {
    // A failed save has shown its message; the window stays so nothing is lost.
    if (!ToolButton17Click()) return false;
  }
  // The poll ends first: after the port is closed its exchanges could only fail.
  if (StopReadThread()) port_->ClosePort();
  return true;
}

bool TForm1::StopReadThread() {
  if (!readThread_) return true;
  readThread_->RequestStop();
  QElapsedTimer waited;
  waited.start();
  // Short slices with dispatching in between: the poll may be blocked in its
  // hand-over, which only this thread can run. An exchange is bounded (a few
  // seconds at worst), so the limit is only a guard against the impossible.
  while (!readThread_->WaitStopped(kStopWaitSliceMs)) {
    if (waited.elapsed() > kStopWaitLimitMs) return false;
    QCoreApplication::processEvents();
  }
  return true;
}

void TForm1::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // A window coming back from the task bar is not shown anew.
  if (event->spontaneous()) return;
  // Centred once: a window placed by code (or by an earlier show) stays put.
  if (!testAttribute(Qt::WA_Moved) && parentWidget() == nullptr && screen() != nullptr) {
    const QRect area = screen()->availableGeometry();
    move(area.center() - QPoint(frameGeometry().width() / 2, frameGeometry().height() / 2));
  }
  FormShow();
}

void TForm1::closeEvent(QCloseEvent* event) {
  // A second close while the first waits for the poll or a dialog is refused.
  if (closing_) {
    event->ignore();
    return;
  }
  closing_ = true;
  const bool accepted = FormClose();
  closing_ = false;
  if (accepted) {
    event->accept();
  } else {
    event->ignore();
  }
}

void TForm1::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawImage(0, 0, surface_);
}

void TForm1::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) FormClick();
  QWidget::mousePressEvent(event);
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  auto* box = qobject_cast<QLineEdit*>(watched);
  if (box != nullptr && qobject_cast<DeskPanel*>(box->parentWidget()) != nullptr) {
    if (event->type() == QEvent::MouseButtonDblClick) {
      Edit1DblClick(box);
      return true;
    }
    if (event->type() == QEvent::KeyPress) {
      const int key = static_cast<QKeyEvent*>(event)->key();
      if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        Edit1KeyPress(box, key);
        return true;
      }
    }
  }
  return QWidget::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------
// Link

bool TForm1::SendSwitchRequest(int requestType, int deskIndex, bool sourceOn, bool deskOn) {
  return ::SendSwitchRequest(room_, *link_, requestType, deskIndex, sourceOn, deskOn,
                             VisibleDesksMask());
}

bool TForm1::SendLedSwitch(int deskIndex, bool on) {
  return ::SendLedSwitch(room_, *link_, deskIndex, on);
}

uint16_t TForm1::VisibleDesksMask() const {
  // isHidden, not isVisible: the plan counts before the window is on screen.
  uint16_t mask = 0;
  for (int i = 0; i < kDeskCount; ++i) {
    if (!GroupBox[i]->isHidden()) mask |= static_cast<uint16_t>(1u << i);
  }
  return mask;
}

void TForm1::UpdateIndicators(uint8_t statusHigh, uint8_t statusLow) {
  for (const IndicatorChange& change :
       ApplyIndicatorReport(room_.SwitchState, statusHigh, statusLow)) {
    if (change.deskIndex >= 0 && change.deskIndex < kDeskCount) {
      ShowLed(GroupBox[change.deskIndex]->led, change.on);
    }
  }
}

void TForm1::ShowLed(GlyphButton* led, bool on) {
  if (led == nullptr) return;
  led->setIcon(
      QIcon(glyphs::BitmapResource(on ? QStringLiteral("LED1ON") : QStringLiteral("LED1OFF"))));
  led->setTag(on ? 1 : 0);
}

bool TForm1::AskRetryConnection() {
  return prompter_.AskYesNo(QStringLiteral("Ошибка связи"),
                            QStringLiteral("Проверьте соединение с COM портом! Повторить попытку?"),
                            QMessageBox::Critical);
}

void TForm1::ShowWaitDialog() {
  TFmWait dialog(this);
  dialog.exec();
}

void TForm1::RunIndicatorUpdate(uint8_t statusHigh, uint8_t statusLow) {
  // Waiting for the own thread would never end.
  if (QThread::currentThread() == thread()) {
    UpdateIndicators(statusHigh, statusLow);
    return;
  }
  QMetaObject::invokeMethod(
      this, [this, statusHigh, statusLow] { UpdateIndicators(statusHigh, statusLow); },
      Qt::BlockingQueuedConnection);
}
