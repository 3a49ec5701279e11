// Opening, configuring, closing and reopening the controller's port, and creating the sharing lock.
#include "link/controllerport.h"

#include "link/timing.h"
#include "platform/processlock.h"

namespace {

constexpr char kInProcessLockNote[] = " Порт охраняется только внутри этой программы.";

}  // namespace

ControllerPort::ControllerPort(std::unique_ptr<platform::SerialPort> port)
    : port_(port ? std::move(port) : platform::CreateSerialPort()) {}

ControllerPort::~ControllerPort() = default;

bool ControllerPort::CreateSharingLock(const std::string& name) {
  std::string problem;
  const bool named = CreateSharingLock(name, [&problem](const std::string& lockName) {
    return platform::OpenNamedLock(lockName, problem);
  });
  if (!named && !problem.empty()) lockProblem_ = problem + kInProcessLockNote;
  return named;
}

bool ControllerPort::CreateSharingLock(const std::string& name, const LockFactory& factory) {
  lockProblem_.clear();
  lock_ = factory ? factory(name) : nullptr;
  if (lock_ != nullptr) return true;
  lockProblem_ = std::string("Блокировка порта \"") + name + "\" недоступна." + kInProcessLockNote;
  // Without any lock the poll's bytes could land in the middle of a frame.
  lock_ = platform::CreateProcessLock();
  return false;
}

bool ControllerPort::CreateSharingLockForPort(const std::string& portName,
                                              const std::string& base) {
  return CreateSharingLock(SharingLockName(portName, base));
}

std::string ControllerPort::SharingLockName(const std::string& portName, const std::string& base) {
#ifdef _WIN32
  (void)portName;
  return base;
#else
  // The device, not the text of the setting: "COM1" and "/dev/ttyS0" are one port.
  const std::string device = platform::DevicePathOf(portName);
  return base + ":" + (device.empty() ? portName : device);
#endif
}

bool ControllerPort::OpenControllerPort(const std::string& portName) {
  {
    std::lock_guard<std::mutex> guard(nameMutex_);
    portName_ = portName;
  }
  status_.SetPortName(portName);
  // Each step goes on whatever the one before it did: a port that is not
  // there shows up later, as the connection question of the first command.
  port_->Open(portName);
  platform::SerialTimeouts found;
  haveSavedTimeouts_ = port_->GetTimeouts(found);
  if (haveSavedTimeouts_) savedTimeouts_ = found;
  platform::SerialTimeouts ours;
  ours.readTotalConstantMs = timing::kReadTimeoutMs;
  port_->SetTimeouts(ours);
  port_->ApplyLineMode(kLineMode);
  return port_->IsOpen();
}

bool ControllerPort::QuietFor(int ms) {
  platform::SerialTimeouts quick;
  quick.readTotalConstantMs = static_cast<uint32_t>(ms);
  port_->SetTimeouts(quick);
  uint8_t byte = 0;
  const bool came = port_->ReadByte(byte);
  platform::SerialTimeouts ours;
  ours.readTotalConstantMs = timing::kReadTimeoutMs;
  port_->SetTimeouts(ours);
  return !came;
}

void ControllerPort::ClosePort() {
  if (!port_->IsOpen()) return;
  port_->Purge(platform::kPurgeRxAbort);
  if (haveSavedTimeouts_) port_->SetTimeouts(savedTimeouts_);
  haveSavedTimeouts_ = false;
  port_->Close();
}

std::string ControllerPort::portName() const {
  std::lock_guard<std::mutex> guard(nameMutex_);
  return portName_;
}

bool ControllerPort::Usable() const {
  return port_->IsOpen() && port_->Problem() != platform::PortProblem::kDeviceGone;
}

bool ControllerPort::Reopen() {
  const std::string name = portName();
  {
    std::lock_guard<std::mutex> guard(nameMutex_);
    lastReconnect_ = Clock::now();
    reconnectTried_ = true;
  }
  // Never opened by name (an injected port): nothing to open again.
  if (name.empty()) return false;
  ClosePort();
  return OpenControllerPort(name);
}

bool ControllerPort::ReconnectIfLost(int minIntervalMs) {
  if (Usable()) return true;
  {
    std::lock_guard<std::mutex> guard(nameMutex_);
    if (reconnectTried_ && Clock::now() - lastReconnect_ < std::chrono::milliseconds(minIntervalMs))
      return false;
  }
  return Reopen() && Usable();
}

LinkFailure ControllerPort::Failure() const {
  LinkFailure failure;
  failure.portName = portName();
  if (port_->Problem() == platform::PortProblem::kDeviceGone) {
    failure.kind = LinkFailure::Kind::kDeviceGone;
  } else if (!port_->IsOpen()) {
    switch (port_->Problem()) {
      case platform::PortProblem::kBusy:
        failure.kind = LinkFailure::Kind::kPortBusy;
        break;
      case platform::PortProblem::kNotATerminal:
        failure.kind = LinkFailure::Kind::kNotSerialPort;
        break;
      default:
        failure.kind = LinkFailure::Kind::kPortUnavailable;
        break;
    }
  } else {
    failure.kind = LinkFailure::Kind::kNoAnswer;
  }
  return failure;
}
