// The main window of the teacher's console. It builds the controls, turns
// clicks, key presses and drags into operations of the console model and
// paints what the model says; it keeps no classroom state of its own.
#pragma once

#include <QAction>
#include <QFrame>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QList>
#include <QMenu>
#include <QPoint>
#include <QScrollArea>
#include <QTimer>
#include <QWidget>
#include <array>
#include <memory>
#include <optional>
#include <vector>

#include "app/environment.h"
#include "app/prompter.h"
#include "app/settingsdialog.h"
#include "app/widgets.h"
#include "console/classroomstate.h"
#include "console/consolemodel.h"
#include "link/pollthread.h"
#include "link/controllerport.h"
#include "link/transmit.h"
#include "view/clickpairs.h"
#include "view/deskdrag.h"

class LessonRecordPanel;
class LessonTools;
class PrompterUser;

class ConsoleWindow : public QWidget, private LinkUi, private IndicatorHandover {
  Q_OBJECT

 public:
  // Builds the window, opens the port and resets the controller when it answers.
  ConsoleWindow(ClassroomState& room, AppEnvironment environment, Prompter& prompter,
                QWidget* parent = nullptr);
  ~ConsoleWindow() override;

  // ---- Controls (object names in brackets, as tests and screenshots know them). ----
  std::array<DeskPanel*, kDeskCount> desks{};  // by desk index ("GroupBox1".."GroupBox16")
  QFrame* teacherPanel = nullptr;              // "Panel1"
  QLabel* teacherLabel = nullptr;              // "Label1"
  GlyphButton* inputToLineButton = nullptr;    // "SpeedButton51" "Вход->Линия"
  GlyphButton* inputButton = nullptr;          // "SpeedButton49" "Вход"
  GlyphButton* teacherLineButton = nullptr;    // "SpeedButton50" "Линия"
  QFrame* allDesksPanel = nullptr;             // "Panel2"
  QLabel* allDesksLabel = nullptr;             // "Label2"
  QWidget* allDesksToolbar = nullptr;          // "ToolBar1"
  QToolButton* resetButton = nullptr;          // "ToolButton2" "Сброс"
  QToolButton* allToLineButton = nullptr;      // "ToolButton4"
  QToolButton* allInPairsButton = nullptr;     // "ToolButton6"
  QToolButton* allLedsOffButton = nullptr;     // "ToolButton8"
  QWidget* toolbarGap = nullptr;               // "ToolButton9"
  QToolButton* saveAsButton = nullptr;         // "ToolButton17"
  QToolButton* openButton = nullptr;           // "ToolButton14"
  QToolButton* standardClassroomButton = nullptr;  // "ToolButton12"
  QToolButton* saveButton = nullptr;           // "ToolButton10" "Сохранить в файл"
  QWidget* toolbarEndGap = nullptr;            // "ToolButton15"
  QToolButton* exitButton = nullptr;           // "ToolButton16" (hidden)
  QToolButton* settingsButton = nullptr;       // "SettingsButton" "Настройки…"

  // Under the plan: the link state and the students' calls.
  QFrame* statusStrip = nullptr;
  QLabel* linkLabel = nullptr;
  QScrollArea* callScroller = nullptr;  // scrolls the call list across
  QWidget* callList = nullptr;  // one button per calling desk, first caller first
  QToolButton* searchOffer = nullptr;  // "SearchController": while the controller is not found
  // Shown over an empty plan without a classroom file.
  QFrame* firstStartHint = nullptr;

  QList<QIcon> imageList;  // 20 images of 16 x 16
  QMenu* deskMenu = nullptr;  // "PopupMenu1"
  QAction* listenAction = nullptr;
  QAction* stopListeningAction = nullptr;
  QAction* speakAction = nullptr;
  QAction* stopSpeakingAction = nullptr;
  QAction* joinPairAction = nullptr;
  QAction* partPairAction = nullptr;
  QAction* putOnLineAction = nullptr;
  QAction* takeOffLineAction = nullptr;
  QAction* ledOnAction = nullptr;
  QAction* ledOffAction = nullptr;
  QAction* openAction = nullptr;  // Ctrl+O
  QAction* saveAction = nullptr;  // Ctrl+S
  QAction* saveAsAction = nullptr;  // Ctrl+Shift+S
  QAction* exitAction = nullptr;
  QAction* settingsAction = nullptr;  // Ctrl+,

  // The window's controls in control order: desks 1..4, 16, 15, 5..14, then
  // the teacher panel and the all-desks panel.
  const std::vector<QWidget*>& Controls() const { return controls_; }
  static QList<QWidget*> InnerControls(QWidget* control);

  console::ConsoleModel& model() { return *model_; }
  ClassroomState& room() { return room_; }
  const AppEnvironment& environment() const { return environment_; }
  ControllerPort& controllerPort() { return *port_; }
  ControllerLink& controllerLink() { return *link_; }
  PollThread& pollThread() { return *pollThread_; }
  // The monitoring round, the timer, arrangements, class lists and the keys.
  LessonTools& lessonTools() { return *lessonTools_; }
  // [Interface] CallSound as last loaded or saved in the settings dialog.
  bool CallSoundOn() const { return callSound_; }
  // The lesson's record: the journal, the call log, the heard gauges, the report.
  LessonRecordPanel& lessonRecord() { return *lessonRecord_; }

  // Runs an operation of the model and draws the result.
  template <typename Operation>
  auto Apply(Operation operation) {
    if constexpr (std::is_void_v<decltype(operation(*model_))>) {
      operation(*model_);
      AfterOperation();
    } else {
      auto result = operation(*model_);
      AfterOperation();
      return result;
    }
  }
  // Brings every control and the link picture in line with the model.
  void Redraw();
  // The link picture behind the desk panels.
  const QImage& Surface() const { return surface_; }
  // The indicator update of a poll report; runs on the interface thread.
  void UpdateIndicators(uint8_t statusHigh, uint8_t statusLow);
  // A classroom file handed over from outside (the file manager): asks to
  // save a changed plan first, then opens it as the open command does.
  void OpenClassroomFromOutside(const QString& path);

  // The settings dialog over the settings file as it stands, probing through
  // ProbeCandidate and saving through SaveAndApplySettings.
  std::unique_ptr<SettingsDialog> CreateSettingsDialog();
  void OpenSettings();
  // Writes the keys changed from `before` and applies the choice at once: a
  // new port reopens the link there. False, having said why, when not saved.
  bool SaveAndApplySettings(const settings::EditableSettings& before,
                            const settings::EditableSettings& after);
  // One probe: through the link for the port in use, on its own for another.
  ProbeOutcome ProbeCandidate(const std::string& portName);
  // Tries the ports present and offers the one that answered.
  void SearchForController();

  // Returns false when the close was refused (a failed save as).
  bool ConfirmAndClose();
  // Stops the poll cleanly (keeps dispatching while it waits); false when it
  // did not end in time, and the port must then stay open under it.
  bool StopPolling();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // LinkUi
  bool AskRetryConnection() override;
  bool AskRetryAfterFailure(const LinkFailure& failure) override;
  void ShowWaitDialog() override;
  bool ShowCancellableWait(const std::string& reason) override;
  // IndicatorHandover (called on the poll thread)
  void RunIndicatorUpdate(uint8_t statusHigh, uint8_t statusLow) override;
  void PostToInterface(std::function<void()> run) override;

  static void ShowLed(GlyphButton* led, bool on);
  static void SetNameBoxColour(QLineEdit* box, const QColor& colour);
  void AfterOperation();
  void DrawLinkState(const LinkStatusSnapshot& status);
  void BuildControls();
  void BuildDeskPanel(int deskNumber);
  void BuildTeacherPanel();
  void BuildToolbar();
  void BuildActionsAndMenu();
  void BuildStatusStrip();
  void BuildFirstStartHint();
  void BuildSettingsControls();
  // The poll held between two exchanges, the port and its lock replaced, the
  // register copy written when the controller answers there, the poll back.
  void MoveLinkTo(const std::string& portName);
  bool IsLinkPort(const std::string& portName) const;
  void DrawCalls(const console::ConsoleDisplay& shown);
  void DrawDeskMarks();
  void RefuseNameCharacter(QLineEdit* box, const QString& character);
  bool FilterNameBoxEvent(int desk, QLineEdit* box, QEvent* event);
  void ConnectHandlers();
  void ConnectDesk(DeskPanel* panel);
  void PlaceBottomPanels();
  void ResizeSurface();
  void Start();
  void StoreCommandLineFile();
  void DrawDesk(DeskPanel* panel, const console::DeskDisplay& shown);
  void DrawTeacherPanel(const console::TeacherDisplay& shown);
  void PaintLinks(const console::ConsoleDisplay& shown);
  void PressOnDesk(DeskPanel* panel, QMouseEvent* event);
  void MoveOverDesk(DeskPanel* panel, QMouseEvent* event);
  void ReleaseOnDesk(DeskPanel* panel, QMouseEvent* event);
  int DeskOf(QObject* control) const;

  ClassroomState& room_;
  AppEnvironment environment_;
  Prompter& prompter_;
  std::unique_ptr<PrompterUser> user_;
  std::unique_ptr<ControllerPort> port_;
  std::unique_ptr<ControllerLink> link_;
  std::unique_ptr<PollThread> pollThread_;
  std::unique_ptr<console::ConsoleModel> model_;
  // After the model: they stop following the model before the model goes.
  std::unique_ptr<LessonRecordPanel> lessonRecord_;
  std::unique_ptr<LessonTools> lessonTools_;
  std::vector<QWidget*> controls_;
  bool closing_ = false;
  // A close asked for while an operation waits: the waits and questions end
  // as "No", and the window closes once the operation is over.
  bool closeRequested_ = false;
  class WaitDialog* currentWait_ = nullptr;

  QImage surface_;
  int clientHeight_ = 0;  // the plan and its panels, without the status strip
  QTimer* blinkTimer_ = nullptr;
  bool blinkBright_ = true;
  bool callSound_ = false;
  bool pollingOn_ = false;
  size_t callsHeard_ = 0;
  std::optional<console::ConsoleDisplay> drawn_;  // what the controls show now
  view::DeskDrag drag_;
  view::ClickPairs nameClicks_;  // double clicks on name boxes
};
