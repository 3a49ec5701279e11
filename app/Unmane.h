// TForm1: the main window of the teacher's console. The controls carry the
// console's state (button down states, line button captions, LED marks); the
// handlers below read them back, talk to the controller through
// SendSwitchRequest and bring the controls in line with the answer.
//
// The handlers are defined by concern:
//   app/Unmane.cpp          composition, start-up, shutdown, link plumbing
//   console/selection.cpp   desk selection, highlight, student names
//   console/deskaudio.cpp   listening, speaking, LEDs
//   console/pairsline.cpp   pairs and line connection
//   console/teacher.cpp     teacher panel
//   console/alldesks.cpp    all-desks toolbar
//   config/classroomcommands.cpp  loading, open, save, standard classroom
//   view/dragging.cpp       desk selection by mouse and dragging
//   view/links.cpp          pair lines and line frames
#pragma once

#include <QAction>
#include <QFrame>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QList>
#include <QMenu>
#include <QPoint>
#include <QWidget>
#include <array>
#include <memory>
#include <vector>

#include "app/colours.h"
#include "app/environment.h"
#include "app/prompter.h"
#include "app/widgets.h"
#include "config/classroomdescription.h"
#include "link/Unthread.h"
#include "link/controllerport.h"
#include "link/transmit.h"

class TForm1 : public QWidget, private LinkUi, private IndicatorHandover {
  Q_OBJECT

 public:
  // Runs FormCreate. The read thread is created suspended before it.
  TForm1(TClassRoomDescription& room, AppEnvironment environment, Prompter& prompter,
         QWidget* parent = nullptr);
  ~TForm1() override;

  // ---- Controls, public like a form's fields (tests reach them too). ----
  std::array<DeskPanel*, kDeskCount> GroupBox{};  // by desk index: GroupBox[0] is "GroupBox1"
  QFrame* Panel1 = nullptr;                       // teacher panel
  QLabel* Label1 = nullptr;
  GlyphButton* SpeedButton51 = nullptr;  // "Вход->Линия"
  GlyphButton* SpeedButton49 = nullptr;  // "Вход"
  GlyphButton* SpeedButton50 = nullptr;  // "Линия"
  QFrame* Panel2 = nullptr;              // all-desks toolbar panel
  QLabel* Label2 = nullptr;
  QWidget* ToolBar1 = nullptr;
  QToolButton* ToolButton2 = nullptr;   // "Сброс"
  QToolButton* ToolButton4 = nullptr;   // "Подключить все столы к ЛИНИИ"
  QToolButton* ToolButton6 = nullptr;   // "Подключить все столы в ПАРЫ"
  QToolButton* ToolButton8 = nullptr;   // "Выключить все светодиоды"
  QWidget* ToolButton9 = nullptr;       // separator
  QToolButton* ToolButton17 = nullptr;  // "Сохранить как"
  QToolButton* ToolButton14 = nullptr;  // "Открытие файла"
  QToolButton* ToolButton12 = nullptr;  // "Создать стандартный кабинет"
  QToolButton* ToolButton10 = nullptr;  // "Сохранить в файл" (hidden)
  QWidget* ToolButton15 = nullptr;      // separator
  QToolButton* ToolButton16 = nullptr;  // "Выход из программы" (hidden)

  QList<QIcon> ImageList1;  // 20 images of 16 x 16
  QMenu* PopupMenu1 = nullptr;
  QAction* HearTheDesk = nullptr;
  QAction* UnHearDesk = nullptr;
  QAction* SpeakToDesk = nullptr;
  QAction* UnSpeakToDesk = nullptr;
  QAction* Desk2DeskComm = nullptr;
  QAction* Desk2DeskBrake = nullptr;
  QAction* ConnectToLine = nullptr;
  QAction* DisconnectLine = nullptr;
  QAction* LedPowerOn1 = nullptr;
  QAction* LedPowerOff1 = nullptr;
  QAction* FileOpen1 = nullptr;    // Ctrl+O: open a classroom file
  QAction* FileSaveAs1 = nullptr;
  QAction* FileExit1 = nullptr;

  // The desk panel that single-desk operations act on; never null.
  DeskPanel* SelectedDesk = nullptr;
  // The name box last switched into or out of editing, and its panel.
  QLineEdit* EditedName = nullptr;
  DeskPanel* EditedNameDesk = nullptr;

  // The window's controls in control order: GroupBox1..4, 16, 15, 5..14,
  // Panel1, Panel2. Every walk over the controls follows it.
  const std::vector<QWidget*>& Controls() const { return controls_; }
  // The controls inside one of them, in creation order.
  static QList<QWidget*> InnerControls(QWidget* control);
  DeskPanel* PartnerOf(const DeskPanel* panel) const;

  TClassRoomDescription& room() { return room_; }
  const AppEnvironment& environment() const { return environment_; }
  Prompter& prompter() { return prompter_; }
  ControllerPort& controllerPort() { return *port_; }
  ControllerLink& controllerLink() { return *link_; }
  MyReadThread& readThread() { return *readThread_; }

  // ---- Start-up and shutdown (app/Unmane.cpp). ----
  void FormCreate();
  void FormShow();
  // Returns false when the close was refused (a failed save as).
  bool FormClose();
  // Stops the poll cleanly (keeps dispatching while it waits); false when it
  // did not end in time, and the port must then stay open under it.
  bool StopReadThread();

  // ---- Link (app/Unmane.cpp). ----
  bool SendSwitchRequest(int requestType, int deskIndex, bool sourceOn, bool deskOn);
  // Brings the desk's two LED registers to `on`, deciding at send time; true
  // when every write needed was acknowledged.
  bool SendLedSwitch(int deskIndex, bool on);
  uint16_t VisibleDesksMask() const;
  // The indicator update of a poll report; runs on the interface thread.
  void UpdateIndicators(uint8_t statusHigh, uint8_t statusLow);
  // Gives an LED button the "LED1ON" or "LED1OFF" picture and its mark.
  static void ShowLed(GlyphButton* led, bool on);

  // ---- Desk selection, highlight, student names (console/selection.cpp). ----
  void Edit1DblClick(QLineEdit* box);
  void Edit1KeyPress(QLineEdit* box, int key);
  void FormClick();
  void HighlightSelectedDesk();
  void ClearDeskHighlight();
  void EndNameEditing();
  void MirrorToPartner(DeskPanel* desk);
  void CopyColourToPartner(DeskPanel* desk);

  // ---- Listening, speaking, LEDs (console/deskaudio.cpp). ----
  void SpeedButton1Click(GlyphButton* listenButton);
  void SpeedButton2Click(GlyphButton* speakButton);
  void SpeedButton3Click(GlyphButton* ledButton);
  void HearTheDeskExecute();
  void UnHearDeskExecute();
  void SpeakToDeskExecute();
  void UnSpeakToDeskExecute();
  void LedPowerOn1Click();
  void LedPowerOff1Click();
  void ReleaseOtherDesks(DeskPanel* desk);
  void ReconnectSpokenDesk();
  void LedOn();
  void LedOff();

  // ---- Pairs and line (console/pairsline.cpp). ----
  void Button1Click(QPushButton* lineButton);
  void Desk2DeskCommExecute();
  void Desk2DeskBrakeExecute();
  void ConnectToLineExecute();
  void DisconnectLineExecute();
  void ErasePairLink(DeskPanel* desk);

  // ---- Teacher panel (console/teacher.cpp). ----
  void SpeedButton49Click();
  void SpeedButton50Click();
  void SpeedButton51Click();
  void DisconnectAllFromLine();

  // ---- All-desks toolbar (console/alldesks.cpp). ----
  void ToolButton2Click();
  void ToolButton4Click();
  void ToolButton6Click();
  void ToolButton8Click();

  // ---- Classroom files (config/classroomcommands.cpp). ----
  void LoadClassroom();
  // Throws ini::WriteError; the callers show it.
  void SaveClassroom();
  void ToolButton14Click();  // open
  void ToolButton10Click();  // save
  // Returns false when the save failed (its message already shown).
  bool ToolButton17Click();  // save as
  void ToolButton16Click();  // exit
  void ToolButton12Click();  // standard classroom

  // ---- Desk placement and dragging (view/dragging.cpp). ----
  void GroupBox1MouseDown(DeskPanel* panel, QMouseEvent* event);
  void GroupBox1MouseMove(DeskPanel* panel, QMouseEvent* event);
  void GroupBox1MouseUp(DeskPanel* panel, QMouseEvent* event);

  // ---- Link drawing (view/links.cpp). ----
  void DrawPairLink(DeskPanel* panel);
  void DrawLineFrame(DeskPanel* panel);
  void RedrawLinks();
  // The surface behind the desk panels that the drawing routines paint into.
  const QImage& Surface() const { return surface_; }

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // LinkUi
  bool AskRetryConnection() override;
  void ShowWaitDialog() override;
  // IndicatorHandover (called on the poll thread)
  void RunIndicatorUpdate(uint8_t statusHigh, uint8_t statusLow) override;

  void BuildControls();
  void BuildDeskPanel(int deskNumber);
  void BuildTeacherPanel();
  void BuildToolbar();
  void BuildActionsAndMenu();
  void ConnectHandlers();
  void PlaceBottomPanels();
  // The surface follows the client size.
  void ResizeSurface();

  TClassRoomDescription& room_;
  AppEnvironment environment_;
  Prompter& prompter_;
  std::unique_ptr<ControllerPort> port_;
  std::unique_ptr<ControllerLink> link_;
  std::unique_ptr<MyReadThread> readThread_;
  std::vector<QWidget*> controls_;
  bool closing_ = false;

  // Link drawing: the persistent picture and its drawing state.
  QImage surface_;
  QColor penColour_;
  int penWidth_ = 1;
  QColor fillColour_ = colours::kButtonFace;
  QPoint penPosition_;

  // Dragging: the press that started a move.
  DeskPanel* dragPanel_ = nullptr;
  QPoint dragStartGlobal_;
  QPoint dragStartPos_;
  int dragStartTop_ = 0;
};
