// The practice class in the window: a plain "Учебный класс" mark in the
// status strip, the students who call, the class's liveliness, the faults on
// request and the guided first lesson. Attached to a window built on the
// simulated controller's port; it owns nothing of the window.
#pragma once

#include <QAction>
#include <QElapsedTimer>
#include <QLabel>
#include <QMenu>
#include <QObject>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTimer>
#include <QToolButton>
#include <memory>

#include "app/practiceguidepanel.h"
#include "app/practicestart.h"
#include "console/practiceguide.h"
#include "controllersim/practicestudents.h"

class ConsoleWindow;
class Prompter;

class PracticePart : public QObject {
  Q_OBJECT

 public:
  // The students' first call comes a little after the start.
  PracticePart(ConsoleWindow& window, PracticeSession& session, Prompter& prompter);
  ~PracticePart() override;

  // One look at the class: the students act, the guide checks its step.
  // The timer runs it twice a second; tests call it with their own time.
  void Tick(int64_t nowMs);
  void OpenGuide();
  void SetLiveliness(controllersim::Liveliness liveliness);

  QLabel* badge = nullptr;             // "PracticeBadge": "Учебный класс" and the fault
  QToolButton* menuButton = nullptr;   // "PracticeMenu"
  QMenu* menu = nullptr;
  QAction* quietAction = nullptr;      // the class's liveliness, one checked
  QAction* ordinaryAction = nullptr;
  QAction* busyAction = nullptr;
  QAction* pullCableAction = nullptr;  // "Выдернуть кабель"
  QAction* plugCableAction = nullptr;  // "Вставить кабель"
  QAction* refuseFrameAction = nullptr;
  QAction* powerLossAction = nullptr;
  QAction* guideAction = nullptr;      // "Первый урок…"
  QAction* traceAction = nullptr;      // "Обмен с контроллером…"
  QAction* leaveAction = nullptr;      // back to the real controller

  controllersim::PracticeStudents& students() { return students_; }
  console::PracticeGuide& guide() { return guide_; }
  PracticeGuidePanel* guidePanel() const { return guidePanel_; }
  // The simulated controller's trace while its window is open, else nullptr.
  QPlainTextEdit* traceView() const { return traceView_; }

 private:
  void BuildMenu();
  void ShowFaultState();
  void LookWithGuide(const console::ConsoleDisplay& shown, int64_t nowMs);
  void OpenTrace();
  void ShowTrace();
  void Leave();
  int64_t NowMs() const { return clock_.elapsed(); }

  ConsoleWindow& window_;
  PracticeSession& session_;
  Prompter& prompter_;
  QElapsedTimer clock_;
  controllersim::PracticeStudents students_;
  console::PracticeGuide guide_;
  QPointer<PracticeGuidePanel> guidePanel_;
  QPointer<QPlainTextEdit> traceView_;
  QTimer* tick_ = nullptr;
};
