// The practice class's serial port: every call goes to the simulated line.
#include "controllersim/simulatedport.h"

namespace controllersim {

namespace {

// A read with no time-out set must still end: as the link's own.
constexpr uint32_t kFallbackReadTimeoutMs = 100;

}  // namespace

SimulatedSerialPort::SimulatedSerialPort(std::shared_ptr<SimulatedLine> line)
    : line_(std::move(line)) {}

bool SimulatedSerialPort::Open(const std::string&) {
  open_ = true;
  return true;
}

bool SimulatedSerialPort::GetTimeouts(platform::SerialTimeouts& out) {
  if (!open_) return false;
  out = timeouts_;
  return true;
}

bool SimulatedSerialPort::SetTimeouts(const platform::SerialTimeouts& timeouts) {
  if (!open_) return false;
  timeouts_ = timeouts;
  return true;
}

bool SimulatedSerialPort::ApplyLineMode(const std::string&) { return open_; }

bool SimulatedSerialPort::Purge(unsigned purgeFlags) {
  if (!open_) return false;
  if (purgeFlags & (platform::kPurgeRxClear | platform::kPurgeRxAbort)) line_->DropReceived();
  return true;
}

bool SimulatedSerialPort::WriteByte(uint8_t byte) {
  if (!open_) return false;
  line_->Write(byte);
  return true;
}

bool SimulatedSerialPort::Drain() {
  if (!open_) return false;
  line_->Drain();
  return true;
}

bool SimulatedSerialPort::ReadByte(uint8_t& byte) {
  if (!open_) return false;
  const uint32_t timeout = timeouts_.readTotalConstantMs != 0 ? timeouts_.readTotalConstantMs
                                                              : kFallbackReadTimeoutMs;
  return line_->Read(byte, static_cast<int>(timeout));
}

}  // namespace controllersim
