// Byte-level access to the controller's serial device; one implementation per OS.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace platform {

// Same values as the Win32 PURGE_* flags, so the Windows side passes them through.
enum PurgeFlag : unsigned {
  kPurgeTxAbort = 0x0001,
  kPurgeRxAbort = 0x0002,
  kPurgeTxClear = 0x0004,
  kPurgeRxClear = 0x0008,
};

// The five fields of the Windows serial time-out record, in its order (ms).
struct SerialTimeouts {
  uint32_t readIntervalMs = 0;
  uint32_t readTotalMultiplierMs = 0;
  uint32_t readTotalConstantMs = 0;
  uint32_t writeTotalMultiplierMs = 0;
  uint32_t writeTotalConstantMs = 0;
};

// What the device said about itself when a call failed.
enum class PortProblem {
  kNone,          // nothing known against it (a read may still have timed out)
  kDeviceGone,    // no such device, or it went away: hang-up, I/O error, removed
  kUnavailable,   // it is there but refused otherwise (no access)
  kBusy,          // another program has it open
  kNotATerminal,  // the name is not a serial device (a file, a FIFO, /dev/null)
};

// One open serial device. Not thread-safe by itself: the callers serialise
// every exchange with the "PortSharing" named lock.
class SerialPort {
 public:
  virtual ~SerialPort() = default;

  // Opens an existing device for reading and writing, exclusively, synchronous.
  // The name is the settings' PortName as read (COM1, /dev/pts/3, ttyUSB0).
  virtual bool Open(const std::string& portName) = 0;
  virtual bool IsOpen() const = 0;

  virtual bool GetTimeouts(SerialTimeouts& out) = 0;
  virtual bool SetTimeouts(const SerialTimeouts& timeouts) = 0;
  // Applies a mode text such as "9600,N,8,1" over the current line settings,
  // raw, without hardware or software flow control.
  virtual bool ApplyLineMode(const std::string& mode) = 0;

  virtual bool Purge(unsigned purgeFlags) = 0;
  virtual bool WriteByte(uint8_t byte) = 0;
  // Returns once every byte written has left the device (tcdrain,
  // FlushFileBuffers), bounded in time; false when the device failed meanwhile.
  virtual bool Drain() = 0;
  // Waits at most the read time-out; false when no byte came (or the device failed).
  virtual bool ReadByte(uint8_t& byte) = 0;
  // Puts back the line settings found at Open and closes. Harmless when not open.
  virtual void Close() = 0;
  // After a failed Open: kDeviceGone when there is no such device, kBusy
  // when another program holds it, kNotATerminal when it is no serial device,
  // otherwise kUnavailable. Once a call has found the device gone: kDeviceGone until
  // the next Open. kNone otherwise.
  virtual PortProblem Problem() const { return PortProblem::kNone; }
};

// The device a settings' port name stands for on this system ("COM1" is
// "/dev/ttyS0" on Linux); "" for a name that cannot be a device.
std::string DevicePathOf(const std::string& portName);

std::unique_ptr<SerialPort> CreateSerialPort();

}  // namespace platform
