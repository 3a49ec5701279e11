// One probe on a port of its own, and the search over the listed ports.
#include "link/portsearch.h"

#include "link/frame.h"
#include "link/timing.h"

namespace {

ProbeOutcome OpenFailure(const platform::SerialPort& port) {
  return port.Problem() == platform::PortProblem::kDeviceGone ? ProbeOutcome::kMissing
                                                              : ProbeOutcome::kUnavailable;
}

bool Exchange(platform::SerialPort& serial) {
  serial.Purge(platform::kPurgeRxClear);
  for (uint8_t b : frame::kProbeFrame) {
    if (!serial.WriteByte(b)) return false;
  }
  if (!serial.Drain()) return false;
  uint8_t answer = 0;
  return serial.ReadByte(answer) &&
         answer == frame::AckFor(frame::kProbeFrame[frame::kFrameLength - 1]);
}

}  // namespace

ProbeOutcome ProbePort(const std::string& portName, const ProbeSetup& setup) {
  ControllerPort port(setup.makePort ? setup.makePort() : nullptr);
  const std::string lockName = ControllerPort::SharingLockName(portName, setup.lockBase);
  if (setup.makeLock) {
    port.CreateSharingLock(lockName, setup.makeLock);
  } else {
    port.CreateSharingLock(lockName);
  }
  if (!port.OpenControllerPort(portName)) return OpenFailure(port.port());
  ProbeOutcome outcome = ProbeOutcome::kLockBusy;
  platform::NamedLock* lock = port.lock();
  const platform::LockWait wait =
      lock != nullptr ? lock->Wait(timing::kUiLockWaitMs) : platform::LockWait::kAcquired;
  // A lock the system broke guards nothing: the exclusive open already keeps
  // other programs off this device.
  if (wait != platform::LockWait::kTimedOut) {
    outcome = Exchange(port.port()) ? ProbeOutcome::kAnswered
              : port.port().Problem() == platform::PortProblem::kDeviceGone
                  ? ProbeOutcome::kMissing
                  : ProbeOutcome::kNoAnswer;
    if (wait == platform::LockWait::kAcquired && lock != nullptr) lock->Release();
  }
  port.ClosePort();
  return outcome;
}

SearchResult FindController(const std::vector<std::string>& candidates, const PortProber& probe,
                            const std::function<bool(const std::string&)>& before) {
  SearchResult result;
  for (const std::string& name : candidates) {
    if (before && !before(name)) break;
    const ProbeOutcome outcome = probe(name);
    result.tried.push_back({name, outcome});
    if (outcome == ProbeOutcome::kAnswered) {
      result.found = name;
      break;
    }
  }
  return result;
}

std::string ProbeOutcomeText(const std::string& portName, ProbeOutcome outcome) {
  const std::string port = "порту " + portName;
  switch (outcome) {
    case ProbeOutcome::kAnswered:
      return "Контроллер ответил на " + port + ".";
    case ProbeOutcome::kNoAnswer:
      return "Контроллер не ответил на " + port + ".";
    case ProbeOutcome::kMissing:
      return "Порта " + portName + " нет: устройство не найдено.";
    case ProbeOutcome::kUnavailable:
      return "Порт " + portName + " не открывается: занят другой программой или нет доступа.";
    case ProbeOutcome::kLockBusy:
      return "Порт " + portName + " занят: другая программа ведёт обмен с контроллером.";
  }
  return {};
}

std::string SearchResultText(const SearchResult& result) {
  if (result.found) return "Контроллер найден на порту " + *result.found + ".";
  if (result.tried.empty()) return "Контроллер не найден: нет ни одного порта для проверки.";
  std::string text = "Контроллер не найден: ни один порт не ответил.";
  for (const ProbeReport& report : result.tried) {
    text += "\n" + ProbeOutcomeText(report.portName, report.outcome);
  }
  return text;
}
