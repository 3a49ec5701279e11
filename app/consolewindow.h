// The main window of the teacher's console: it only arranges its parts (the
// menu bar, the desk plan, the teacher panel, the all-desks toolbar, the
// status strip with the calls and the tools' parts), passes each the display
// the console model computes, and connects the shared commands. The console
// itself (port, link, poll, model, lesson record and tools) is the session.
#pragma once

#include <QIcon>
#include <QList>
#include <QMenu>
#include <QMenuBar>
#include <QWidget>
#include <array>
#include <optional>
#include <vector>

#include "app/bottompanels.h"
#include "app/consolecommands.h"
#include "app/consolekeys.h"
#include "app/consolesession.h"
#include "app/deskplan.h"
#include "app/lessonrecordpanel.h"
#include "app/lessontoolsbar.h"
#include "app/settingsdialog.h"
#include "app/statusarea.h"
#include "console/windowplacement.h"

class ConsoleWindow : public QWidget {
  Q_OBJECT

 public:
  explicit ConsoleWindow(ConsoleSession& session, QWidget* parent = nullptr);
  ~ConsoleWindow() override;

  // ---- Parts (object names in brackets, as tests and screenshots know them). ----
  ConsoleCommands* commands = nullptr;
  QMenuBar* menuBar = nullptr;     // "MenuBar", above the described client area
  QWidget* client = nullptr;       // "Client": the described client area
  DeskPlan* plan = nullptr;        // the desks "GroupBox1".."GroupBox16"
  TeacherPanel* teacher = nullptr;   // "Panel1"
  AllDesksBar* allDesks = nullptr;   // "Panel2" with "ToolBar1"
  StatusArea* status = nullptr;      // "StatusStrip"
  CallsView* calls = nullptr;        // "CallScroller"
  LessonToolsBar* toolsBar = nullptr;
  LessonRecordPanel* record = nullptr;
  ConsoleKeys* keys = nullptr;
  QMenu* deskMenu = nullptr;  // "PopupMenu1"
  QList<QIcon> imageList;     // 20 images of 16 x 16

  // The window's controls in control order: desks 1..4, 16, 15, 5..14, then
  // the teacher panel and the all-desks panel.
  const std::vector<QWidget*>& Controls() const { return controls_; }
  static QList<QWidget*> InnerControls(QWidget* control);

  ConsoleSession& session() { return session_; }
  console::ConsoleModel& model() { return session_.model(); }
  ClassroomState& room() { return session_.room(); }
  ControllerPort& controllerPort() { return session_.controllerPort(); }
  LessonTools& lessonTools() { return session_.lessonTools(); }
  LessonRecordPanel& lessonRecord() { return *record; }
  template <typename Operation>
  auto Apply(Operation operation) {
    return session_.Apply(operation);
  }
  // Brings every part in line with the model.
  void Redraw();
  // The link picture behind the desk panels.
  const QImage& Surface() const { return plan->Surface(); }
  void UpdateIndicators(uint8_t statusHigh, uint8_t statusLow) {
    session_.UpdateIndicators(statusHigh, statusLow);
  }
  // A classroom file handed over from outside (the file manager).
  void OpenClassroomFromOutside(const QString& path);
  std::unique_ptr<SettingsDialog> CreateSettingsDialog() {
    return session_.CreateSettingsDialog(this);
  }
  void OpenSettings();
  void ShowKeyTable();

 signals:
  // Once, when the window has first been drawn on the screen (or a moment
  // after its first show on a desktop that never says): what the first
  // picture does not need may start now.
  void shownOnScreen();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildParts();
  void PlaceParts();
  // The menus' and the status strip's font at the plan's scale (capped).
  void ScaleChrome(const QSize& client);
  // The menu bar's and the strip's height at the described size.
  int DescribedChromeHeight() const;
  // The kept size and place fitted to the screens there are.
  void PlaceOnScreen(const console::KeptWindow& kept);
  void ConnectCommands();
  void DescribeControls();
  void ShowSwitchingReady(bool ready);
  bool CloseQuestions();
  // The first picture is on the screen: the controller is met behind it.
  void OnScreen();
  console::KeptWindow SizeTheTeacherLeft() const;

  ConsoleSession& session_;
  std::vector<QWidget*> controls_;
  bool closing_ = false;
  bool onScreen_ = false;
  double chromeScale_ = 1.0;
  int describedChrome_ = 0;  // measured before anything is scaled
  int grownForStrip_ = 0;    // what the window grew by itself for the strip
  // What the parts were last placed for: the window's size, the menu bar's
  // and the strip's heights. The same again (the first show's resize) moves nothing.
  std::array<int, 4> placedFor_{};
  std::optional<console::KeptWindow> placedAtStart_;
};
