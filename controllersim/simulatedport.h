// The serial port of the practice class: the program's end of a SimulatedLine,
// put below the link where the platform's port would be.
#pragma once

#include <memory>

#include "controllersim/simulatedline.h"
#include "platform/serialport.h"

namespace controllersim {

class SimulatedSerialPort : public platform::SerialPort {
 public:
  explicit SimulatedSerialPort(std::shared_ptr<SimulatedLine> line);

  // Any name opens: there is one simulated controller.
  bool Open(const std::string& portName) override;
  bool IsOpen() const override { return open_; }
  bool GetTimeouts(platform::SerialTimeouts& out) override;
  bool SetTimeouts(const platform::SerialTimeouts& timeouts) override;
  bool ApplyLineMode(const std::string& mode) override;
  bool Purge(unsigned purgeFlags) override;
  bool WriteByte(uint8_t byte) override;
  bool Drain() override;
  bool ReadByte(uint8_t& byte) override;
  void Close() override { open_ = false; }

 private:
  std::shared_ptr<SimulatedLine> line_;
  platform::SerialTimeouts timeouts_;
  bool open_ = false;
};

}  // namespace controllersim
