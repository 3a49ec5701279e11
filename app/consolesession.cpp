// The console's composition: what is made, in which order, and how the link,
// the poll and the model are wired; the start-up exchange and the shutdown.
#include "app/consolesession.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMetaObject>

#include "app/lessontools.h"
#include "app/prompteruser.h"
#include "config/classroomplan.h"
#include "config/inifile.h"
#include "config/settings.h"
#include "config/settingsload.h"
#include "console/lessonjournal.h"
#include "console/practicefolder.h"
#include "link/timing.h"
#include "platform/filetype.h"
#include "platform/system.h"

namespace {

constexpr int kMaxClientSize = 4096;  // bounds the drawing surface too
constexpr int kStopWaitSliceMs = 20;
constexpr int kStopWaitLimitMs = 30000;

console::Moment WallClock() {
  const QDateTime now = QDateTime::currentDateTime();
  return {now.toMSecsSinceEpoch(), now.offsetFromUtc()};
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

ConsoleSession::ConsoleSession(ClassroomState& room, AppEnvironment environment, Prompter& prompter)
    : room_(room), environment_(std::move(environment)), prompter_(prompter), questions_(prompter) {
  handover_ = std::make_unique<IndicatorPost>(
      this, [this](uint8_t high, uint8_t low) { UpdateIndicators(high, low); });
  port_ = std::make_unique<ControllerPort>(
      environment_.serialPortFactory ? environment_.serialPortFactory() : nullptr);
  pollThread_ = std::make_unique<PollThread>(*port_, *handover_);
  link_ = std::make_unique<ControllerLink>(*port_, environment_.settingsPath, questions_,
                                           pollThread_.get());
  questions_.beforeFailureQuestion = [this] { ShowLinkState(); };
  user_ = std::make_unique<PrompterUser>(prompter_, nullptr);
  model_ = std::make_unique<console::ConsoleModel>(
      room_, *link_, [this] { return link_->ProbeController(); }, *user_,
      console::ConsolePaths{environment_.settingsPath, environment_.executablePath});
  // The write-back to a returning controller reads its LEDs first.
  model_->SetIndicatorReader([this] { return link_->ReadIndicators(); });
  journal_ = std::make_unique<console::LessonJournal>(
      *model_, WallClock, platform::DirectoryOf(environment_.settingsPath),
      environment_.practice ? console::kPracticeJournalTag : "");
  LessonTools::Wiring wiring;
  wiring.apply = [this](const LessonTools::Operation& operation) {
    Apply([&operation](console::ConsoleModel& m) { operation(m); });
  };
  wiring.callSoundOn = [this] { return callSound_; };
  lessonTools_ = std::make_unique<LessonTools>(*model_, prompter_, environment_.settingsPath,
                                               std::move(wiring));
  lessonTools_->round().SetActivityListener([this](bool running) {
    // A change while the round runs is its step: a teacher's command pauses it first.
    if (running)
      journal_->RoundStarted(
          [this] { return lessonTools_->round().state() == console::RoundState::Running; });
    else journal_->RoundStopped();
  });
  settle_.setSingleShot(true);
  settle_.setInterval(timing::kStartupSettleMs);
  connect(&settle_, &QTimer::timeout, this, &ConsoleSession::FinishStart);
  ReadStartSettings();
  journal_->ConsoleStarted();
}

ConsoleSession::~ConsoleSession() {
  // The poll may be waiting for its hand-over to this thread: end it while
  // everything it reaches still exists.
  StopPolling();
  if (port_) port_->status().SetListener(nullptr);
}

void ConsoleSession::SetDialogParent(QWidget* parent) {
  questions_.SetDialogParent(parent);
  user_->SetParent(parent);
  lessonTools_->SetDialogParent(parent);
}

void ConsoleSession::AfterOperation() {
  emit changed();
  if (closeRequested_ && !model_->Busy()) {
    closeRequested_ = false;
    questions_.SetClosing(false);
    emit closeAgain();
  }
}

void ConsoleSession::ShowLinkState() { emit linkStateChanged(port_->status().Snapshot()); }

void ConsoleSession::UpdateIndicators(uint8_t statusHigh, uint8_t statusLow) {
  model_->ApplyIndicators(statusHigh, statusLow);
  emit changed();
}

// ---------------------------------------------------------------------------
// Start-up

void ConsoleSession::ReadStartSettings() {
  // A folder that cannot take the file leaves every read at its default.
  settings::WriteDefaultSettingsIfMissing(environment_.settingsPath);

  // Read before anything is taken from it: a file that is there but cannot
  // be read (a folder, a FIFO, too large) names no port, and the default one
  // may be another controller. Said once; the port stays closed.
  const ini::LoadResult settingsLoad = settings::LoadSettings(environment_.settingsPath).result;
  settingsReadable_ = settings::SettingsReadable(settingsLoad);
  if (!settingsReadable_) {
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
  clientWidth_ = ReadClientDimension(file, settings::kMainFormWidth, settings::kDefaultWidth,
                                     clientWidth_, prompter_);
  clientHeight_ = ReadClientDimension(file, settings::kMainFormHeight, settings::kDefaultHeight,
                                      clientHeight_, prompter_);
  callSound_ = file.ReadInteger(settings::kInterface, settings::kCallSound, 0) != 0;
  keptWindow_ = console::ReadKeptWindow(ini::IniDocument::Load(environment_.settingsPath));

  // The status follows every exchange; the listener runs on the thread that
  // made the change, so the drawing is queued to this one.
  // A controller answering again gets the copy written to it.
  port_->status().SetListener(
      [this, seen = std::make_shared<uint64_t>(0)](const LinkStatusSnapshot& status) {
        QMetaObject::invokeMethod(
            this,
            [this, status, seen] {
              emit linkStateChanged(status);
              if (status.returns == *seen) return;
              *seen = status.returns;
              Apply([](console::ConsoleModel& m) { m.ControllerReturned(); });
            },
            Qt::QueuedConnection);
      });
  pollingOff_ = file.ReadInteger(settings::kCommunication, settings::kReadThreadStop, 0) != 0;
  port_->status().SetPollingOff(pollingOff_);
  if (settingsReadable_) port_->OpenControllerPort(portName);

  StoreCommandLineFile();
}

void ConsoleSession::Connect() {
  if (connecting_ || started_ || closing_) return;
  connecting_ = true;
  ShowLinkState();
  if (!settingsReadable_) {
    FinishStart();
    return;
  }
  if (model_->Probe()) model_->ResetAll();
  // Lets the controller settle after the reset; the switching controls wait.
  settle_.start();
}

void ConsoleSession::FinishStart() {
  if (closing_) return;
  // Once the window has been shown and the controller met: a first start
  // writes the desktop's files here and runs its tools. A failure changes
  // nothing and is not said.
  if (environment_.registerFileType) platform::RegisterFileType(environment_.executablePath);
  if (settingsReadable_) {
    pollingOn_ = !pollingOff_;
    if (pollingOn_) pollThread_->Resume();
  }
  started_ = true;
  connecting_ = false;
  ShowLinkState();
  emit started();
  Apply([](console::ConsoleModel& m) { m.LoadClassroom(); });
}

// A classroom file named on the command line becomes the current one when it
// is one.
void ConsoleSession::StoreCommandLineFile() {
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

void ConsoleSession::OpenClassroomFromOutside(const std::string& fullPath) {
  if (model_->Busy() || !started_) return;
  Apply([&fullPath](console::ConsoleModel& m) {
    if (m.ConfirmClose()) m.OpenClassroomFile(fullPath);
  });
}

// ---------------------------------------------------------------------------
// Shutdown

bool ConsoleSession::ReadyToClose() {
  if (!model_->Busy()) return true;
  // An operation waits for the port or the controller: it ends as a "No"
  // does, and the close follows it.
  closeRequested_ = true;
  questions_.SetClosing(true);
  questions_.CancelWait();
  return false;
}

bool ConsoleSession::ConfirmPlanSaved() {
  // A close while an operation waits in one of its dialogs would pull the
  // port from under it.
  if (model_->Busy()) return false;
  // The plan is saved before the port is given back: a failed save keeps the
  // window open, and it must stay a working console.
  return Apply([](console::ConsoleModel& m) { return m.ConfirmClose(); });
}

void ConsoleSession::Shutdown() {
  settle_.stop();
  // The end of the lesson: a running round gives the teacher's routing back
  // (and its end reaches the journal before the closing line).
  lessonTools_->StopRound();
  journal_->ConsoleClosed();
  // The poll ends first: after the port is closed its exchanges could only fail.
  if (StopPolling()) port_->ClosePort();
}

bool ConsoleSession::StopPolling() {
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

void ConsoleSession::KeepWindow(const console::KeptWindow& atStart, const console::KeptWindow& left) {
  const std::string problem =
      console::SaveKeptWindow(environment_.settingsPath, console::ChangeToKeep(atStart, left));
  if (!problem.empty()) {
    prompter_.ShowMessage(QStringLiteral("Vormik"), QString::fromStdString(problem),
                          QMessageBox::Warning);
  }
}
