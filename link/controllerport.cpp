// Opening, configuring and closing the controller's port, and creating the sharing lock.
#include "link/controllerport.h"

#include "link/timing.h"
#include "platform/processlock.h"

ControllerPort::ControllerPort(std::unique_ptr<platform::SerialPort> port)
    : port_(port ? std::move(port) : platform::CreateSerialPort()) {}

ControllerPort::~ControllerPort() = default;

bool ControllerPort::CreateSharingLock(const std::string& name) {
  return CreateSharingLock(name, platform::CreateNamedLock);
}

bool ControllerPort::CreateSharingLock(const std::string& name, const LockFactory& factory) {
  lock_ = factory ? factory(name) : nullptr;
  if (lock_ != nullptr) return true;
  // Without any lock the poll's bytes could land in the middle of a frame.
  lock_ = platform::CreateProcessLock();
  return false;
}

bool ControllerPort::OpenControllerPort(const std::string& portName) {
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

void ControllerPort::ClosePort() {
  if (!port_->IsOpen()) return;
  port_->Purge(platform::kPurgeRxAbort);
  if (haveSavedTimeouts_) port_->SetTimeouts(savedTimeouts_);
  haveSavedTimeouts_ = false;
  port_->Close();
}
