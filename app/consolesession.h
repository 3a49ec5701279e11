// The console without its window: the port, the link, the poll, the console
// model, the lesson's journal and the lesson tools, made and wired in one
// place. The window's parts draw what it computes and send it their commands;
// it knows no widget, and answers the link's questions through the prompter.
#pragma once

#include <QObject>
#include <QTimer>
#include <memory>
#include <string>
#include <type_traits>

#include "app/environment.h"
#include "app/linkanswers.h"
#include "app/prompter.h"
#include "console/classroomstate.h"
#include "console/consolemodel.h"
#include "console/windowplacement.h"
#include "link/controllerport.h"
#include "link/linkstatus.h"
#include "link/pollthread.h"
#include "link/portsearch.h"
#include "link/transmit.h"

class LessonTools;
class PrompterUser;
class SettingsDialog;
class QWidget;
namespace console {
class LessonJournal;
}
namespace settings {
struct EditableSettings;
}

class ConsoleSession : public QObject {
  Q_OBJECT

 public:
  // Reads the settings, takes the port's lock and opens the port; the
  // controller is met only by Connect.
  ConsoleSession(ClassroomState& room, AppEnvironment environment, Prompter& prompter);
  ~ConsoleSession() override;

  // Where the session's dialogs open.
  void SetDialogParent(QWidget* parent);

  // The probe, the reset and the settle, then the file type registration, the
  // poll and the classroom: run once the window shows. Started() is false
  // until all of it is done.
  void Connect();
  bool Started() const { return started_; }

  console::ConsoleModel& model() { return *model_; }
  ClassroomState& room() { return room_; }
  const AppEnvironment& environment() const { return environment_; }
  ControllerPort& controllerPort() { return *port_; }
  ControllerLink& controllerLink() { return *link_; }
  PollThread& pollThread() { return *pollThread_; }
  console::LessonJournal& journal() { return *journal_; }
  LessonTools& lessonTools() { return *lessonTools_; }
  Prompter& prompter() { return prompter_; }
  // [Interface] CallSound as last loaded or saved.
  bool CallSoundOn() const { return callSound_; }
  // The described client size from the settings.
  int clientWidth() const { return clientWidth_; }
  int clientHeight() const { return clientHeight_; }
  // The window's size, place and state as the teacher left them last time.
  const console::KeptWindow& KeptWindow() const { return keptWindow_; }
  // Writes what the teacher changed of the window since the start (nothing
  // when nothing was); a failure is said, and the close goes on.
  void KeepWindow(const console::KeptWindow& atStart, const console::KeptWindow& left);

  // Runs an operation of the model; the parts then draw the result.
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
  // The model's display changed without an operation (a tick, a selection).
  void Changed() { emit changed(); }

  // The indicator update of a poll report; runs on the interface thread.
  void UpdateIndicators(uint8_t statusHigh, uint8_t statusLow);
  // A classroom file handed over from outside: asks to save a changed plan
  // first, then opens it as the open command does.
  void OpenClassroomFromOutside(const std::string& fullPath);

  // The settings dialog over the settings file as it stands.
  std::unique_ptr<SettingsDialog> CreateSettingsDialog(QWidget* parent);
  // Writes the keys changed from `before` and applies the choice at once: a
  // new port reopens the link there. False, having said why, when not saved.
  bool SaveAndApplySettings(const settings::EditableSettings& before,
                            const settings::EditableSettings& after);
  // One probe: through the link for the port in use, on its own for another.
  ProbeOutcome ProbeCandidate(const std::string& portName);
  // Tries the ports present and offers the one that answered.
  void SearchForController();

  // A close asked for: false while an operation waits (it then ends as a
  // "No" does, and closeAgain follows once it is over).
  bool ReadyToClose();
  // The described question about a changed plan; false when the teacher kept
  // the console open or a save failed.
  bool ConfirmPlanSaved();
  // The end: the journal's closing line, the poll stopped and the port closed.
  void Shutdown();
  // Stops the poll cleanly (keeps dispatching while it waits); false when it
  // did not end in time, and the port must then stay open under it.
  bool StopPolling();
  bool Closing() const { return closing_; }
  void SetClosing(bool closing) { closing_ = closing; }

 signals:
  // After every operation and indicator update: the parts draw the display.
  void changed();
  void linkStateChanged(const LinkStatusSnapshot& status);
  // The start-up exchange is over: the switching controls take input.
  void started();
  // A close asked for during an operation may now go ahead.
  void closeAgain();

 private:
  void AfterOperation();
  void ReadStartSettings();
  void FinishStart();
  void StoreCommandLineFile();
  void ShowLinkState();
  void MoveLinkTo(const std::string& portName);
  bool IsLinkPort(const std::string& portName) const;

  ClassroomState& room_;
  AppEnvironment environment_;
  Prompter& prompter_;
  LinkQuestions questions_;
  std::unique_ptr<IndicatorPost> handover_;
  std::unique_ptr<PrompterUser> user_;
  std::unique_ptr<ControllerPort> port_;
  std::unique_ptr<PollThread> pollThread_;
  std::unique_ptr<ControllerLink> link_;
  std::unique_ptr<console::ConsoleModel> model_;
  // After the model: they stop following the model before the model goes.
  std::unique_ptr<console::LessonJournal> journal_;
  std::unique_ptr<LessonTools> lessonTools_;
  QTimer settle_;
  bool settingsReadable_ = false;
  bool pollingOff_ = false;
  bool pollingOn_ = false;
  bool callSound_ = false;
  bool started_ = false;
  bool connecting_ = false;
  bool closing_ = false;
  bool closeRequested_ = false;
  int clientWidth_ = 700;
  int clientHeight_ = 500;
  console::KeptWindow keptWindow_;
};
