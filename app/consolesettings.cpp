// The console's settings: the dialog's probe and save, the controller
// search, and a saved choice applied at once (a new port moves the link there).
#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include "app/consolesession.h"
#include "app/settingsdialog.h"
#include "config/settings.h"
#include "link/frame.h"
#include "link/registercopy.h"
#include "platform/portlist.h"

namespace {

constexpr int kParkSliceMs = 20;
constexpr int kParkLimitMs = 30000;
const QString kSearchCaption = QStringLiteral("Найти контроллер");

std::vector<std::string> NamesOf(const std::vector<platform::PortInfo>& ports) {
  std::vector<std::string> names;
  for (const platform::PortInfo& port : ports) names.push_back(port.name);
  return names;
}

}  // namespace

bool ConsoleSession::IsLinkPort(const std::string& portName) const {
  const std::string current = port_->portName();
  const std::string device = platform::DevicePathOf(portName);
  return portName == current || (!device.empty() && device == platform::DevicePathOf(current));
}

ProbeOutcome ConsoleSession::ProbeCandidate(const std::string& portName) {
  // The link holds its port open and exclusive: only the link can ask there.
  if (IsLinkPort(portName)) {
    if (!link_->ProbeController()) return ProbeOutcome::kNoAnswer;
    // The probe is a LedA write of zero: lit LEDs of the copy go back at once.
    const SwitchRegisters& copy = room_.SwitchState;
    if ((copy.LedALow | copy.LedAHigh) != 0) {
      link_->TransmitComposed([&copy]() -> std::optional<RegisterWrite> {
        return RegisterWrite{frame::kLedA, copy.LedAHigh, copy.LedALow};
      });
    }
    return ProbeOutcome::kAnswered;
  }
  ProbeSetup setup;
  setup.lockBase = environment_.portLockName;
  return ProbePort(portName, setup);
}

std::unique_ptr<SettingsDialog> ConsoleSession::CreateSettingsDialog(QWidget* parent) {
  const settings::EditableSettings current =
      settings::ReadEditableSettings(ini::IniDocument::Load(environment_.settingsPath));
  return std::make_unique<SettingsDialog>(
      current, platform::ListSerialPorts(),
      [this](const std::string& name) { return ProbeCandidate(name); },
      [this, current](const settings::EditableSettings& chosen) {
        return SaveAndApplySettings(current, chosen);
      },
      parent);
}

bool ConsoleSession::SaveAndApplySettings(const settings::EditableSettings& before,
                                         const settings::EditableSettings& after) {
  const std::string problem =
      settings::SaveChangedSettings(environment_.settingsPath, before, after);
  if (!problem.empty()) {
    prompter_.ShowMessage(QStringLiteral("Настройки"), QString::fromStdString(problem),
                          QMessageBox::Warning);
    return false;
  }
  // NotWaitCSFromMC is read by every frame; the rest is applied here.
  callSound_ = after.callSound;
  room_.MoveDesks = after.movableDesks ? 1 : 0;
  if (after.portName != port_->portName()) MoveLinkTo(after.portName);
  if (after.polling != pollingOn_) {
    pollingOn_ = after.polling;
    port_->status().SetPollingOff(!pollingOn_);
    if (pollingOn_) {
      pollThread_->Resume();
    } else {
      pollThread_->Suspend();
    }
  }
  emit changed();
  return true;
}

void ConsoleSession::MoveLinkTo(const std::string& portName) {
  pollThread_->Suspend();
  QElapsedTimer waited;
  waited.start();
  // The poll may be blocked in its hand-over, which only this thread runs.
  while (!pollThread_->WaitParked(kParkSliceMs)) {
    if (waited.elapsed() > kParkLimitMs) {
      pollThread_->Resume();
      prompter_.ShowMessage(QStringLiteral("Настройки"),
                            QStringLiteral("Опрос контроллера не остановился: порт будет "
                                           "сменён при следующем запуске программы."),
                            QMessageBox::Warning);
      return;
    }
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  }
  port_->ClosePort();
  // On Linux each port has its own sharing lock.
  port_->CreateSharingLockForPort(portName, environment_.portLockName);
  if (!port_->sharingLockProblem().empty()) {
    prompter_.ShowMessage(QStringLiteral("Vormik"),
                          QString::fromStdString(port_->sharingLockProblem()),
                          QMessageBox::Warning);
  }
  port_->OpenControllerPort(portName);
  // A controller met for the first time holds nothing of this lesson: it is
  // given the whole copy, as a returning one is, its students' calls read first
  // so that the copy does not put them out.
  if (link_->ProbeController()) Apply([](console::ConsoleModel& m) { m.ControllerReturned(); });
  pollThread_->Resume();
  ShowLinkState();
}

void ConsoleSession::SearchForController() {
  if (model_->Busy() || closing_) return;
  const std::vector<std::string> candidates = NamesOf(platform::ListSerialPorts());
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const SearchResult result = FindController(
      candidates, [this](const std::string& name) { return ProbeCandidate(name); },
      [](const std::string&) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        return true;
      });
  QApplication::restoreOverrideCursor();
  if (!result.found) {
    prompter_.ShowMessage(kSearchCaption, QString::fromStdString(SearchResultText(result)),
                          QMessageBox::Information);
    return;
  }
  if (IsLinkPort(*result.found)) {
    prompter_.ShowMessage(
        kSearchCaption,
        QString::fromStdString("Контроллер снова отвечает на порту " + *result.found + "."),
        QMessageBox::Information);
    return;
  }
  if (!prompter_.AskYesNo(
          kSearchCaption,
          QString::fromStdString(SearchResultText(result) + "\nРаботать через этот порт?"),
          QMessageBox::Question)) {
    return;
  }
  const settings::EditableSettings before =
      settings::ReadEditableSettings(ini::IniDocument::Load(environment_.settingsPath));
  settings::EditableSettings after = before;
  after.portName = *result.found;
  SaveAndApplySettings(before, after);
}
