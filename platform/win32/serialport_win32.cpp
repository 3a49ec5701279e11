// The controller's serial device on Windows, through the Win32 communications calls.
#include <atomic>
#include <cctype>
#include <string>

#include "platform/serialport.h"
#include "platform/win32/widetext.h"
#include "platform/win32/windowsapi.h"

namespace platform {

namespace {

// "COM10" and above are reachable only through the device namespace; the
// prefix does no harm to any other COM name, but lower numbers keep the plain
// form the user wrote.
std::string DeviceName(const std::string& portName) {
  if (portName.size() > 3 && std::toupper(static_cast<unsigned char>(portName[0])) == 'C' &&
      std::toupper(static_cast<unsigned char>(portName[1])) == 'O' &&
      std::toupper(static_cast<unsigned char>(portName[2])) == 'M') {
    unsigned long number = 0;
    bool digits = portName.size() <= 8;
    for (size_t i = 3; digits && i < portName.size(); ++i) {
      digits = std::isdigit(static_cast<unsigned char>(portName[i])) != 0;
      number = number * 10 + static_cast<unsigned long>(portName[i] - '0');
    }
    if (digits && number >= 10) return "\\\\.\\" + portName;
  }
  return portName;
}

// Errors by which a port says its device is gone: a pulled USB adapter
// answers every call with one of these until the handle is closed.
bool MeansDeviceGone(DWORD error) {
  switch (error) {
    case ERROR_ACCESS_DENIED:
    case ERROR_BAD_COMMAND:
    case ERROR_DEVICE_REMOVED:
    case ERROR_OPERATION_ABORTED:
    case ERROR_INVALID_HANDLE:
    case ERROR_GEN_FAILURE:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_FILE_NOT_FOUND:
    case ERROR_NOT_READY:
      return true;
    default:
      return false;
  }
}

// Why CreateFile refused: a missing port is told apart from one in use.
PortProblem OpenProblemOf(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_DEVICE_REMOVED:
    case ERROR_BAD_UNIT:
      return PortProblem::kDeviceGone;
    case ERROR_ACCESS_DENIED:  // what a COM port another program holds answers
    case ERROR_SHARING_VIOLATION:
      return PortProblem::kBusy;
    default:
      return PortProblem::kUnavailable;
  }
}

class Win32SerialPort final : public SerialPort {
 public:
  ~Win32SerialPort() override { Close(); }

  bool Open(const std::string& portName) override {
    if (IsOpen()) return false;
    if (portName.empty()) {
      problem_.store(PortProblem::kNotATerminal);
      return false;
    }
    // Share mode 0: no other opener; OPEN_EXISTING: never create; no
    // FILE_FLAG_OVERLAPPED: every read and write is synchronous.
    HANDLE handle = CreateFileW(Wide(DeviceName(portName)).c_str(), GENERIC_READ | GENERIC_WRITE,
                                0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      problem_.store(OpenProblemOf(GetLastError()));
      return false;
    }
    problem_.store(PortProblem::kNone);
    DCB original{};
    original.DCBlength = sizeof original;
    hasOriginal_ = GetCommState(handle, &original) != FALSE;
    original_ = original;
    handle_.store(handle);
    return true;
  }

  bool IsOpen() const override { return handle_.load() != INVALID_HANDLE_VALUE; }

  // Every call checks the handle first: INVALID_HANDLE_VALUE is also the
  // pseudo-handle of the current process and must never reach the API.
  bool GetTimeouts(SerialTimeouts& out) override {
    if (!IsOpen()) return false;
    COMMTIMEOUTS t{};
    if (!GetCommTimeouts(handle_.load(), &t)) return false;
    out.readIntervalMs = t.ReadIntervalTimeout;
    out.readTotalMultiplierMs = t.ReadTotalTimeoutMultiplier;
    out.readTotalConstantMs = t.ReadTotalTimeoutConstant;
    out.writeTotalMultiplierMs = t.WriteTotalTimeoutMultiplier;
    out.writeTotalConstantMs = t.WriteTotalTimeoutConstant;
    return true;
  }

  bool SetTimeouts(const SerialTimeouts& timeouts) override {
    if (!IsOpen()) return false;
    COMMTIMEOUTS t{};
    t.ReadIntervalTimeout = timeouts.readIntervalMs;
    t.ReadTotalTimeoutMultiplier = timeouts.readTotalMultiplierMs;
    t.ReadTotalTimeoutConstant = timeouts.readTotalConstantMs;
    t.WriteTotalTimeoutMultiplier = timeouts.writeTotalMultiplierMs;
    t.WriteTotalTimeoutConstant = timeouts.writeTotalConstantMs;
    return SetCommTimeouts(handle_.load(), &t) != FALSE;
  }

  bool ApplyLineMode(const std::string& mode) override {
    HANDLE handle = handle_.load();
    if (handle == INVALID_HANDLE_VALUE) return false;
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(handle, &dcb)) return false;
    if (!BuildCommDCBA(mode.c_str(), &dcb)) return false;
    // Whatever the port had before, the controller speaks without flow control.
    dcb.fBinary = TRUE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    return SetCommState(handle, &dcb) != FALSE;
  }

  bool Purge(unsigned purgeFlags) override {
    if (!IsOpen()) return false;
    return PurgeComm(handle_.load(), purgeFlags) != FALSE;
  }

  bool WriteByte(uint8_t byte) override {
    if (!IsOpen()) return false;
    DWORD written = 0;
    if (!WriteFile(handle_.load(), &byte, 1, &written, nullptr)) return NoteError();
    return written == 1;
  }

  // Returns once the driver has sent every byte written.
  bool Drain() override {
    if (!IsOpen()) return false;
    return FlushFileBuffers(handle_.load()) != FALSE || NoteError();
  }

  bool ReadByte(uint8_t& byte) override {
    if (!IsOpen()) return false;
    DWORD got = 0;
    uint8_t value = 0;
    if (!ReadFile(handle_.load(), &value, 1, &got, nullptr)) return NoteError();
    if (got != 1) return false;  // the read time-out passed
    byte = value;
    return true;
  }

  PortProblem Problem() const override { return problem_.load(); }

  void Close() override {
    HANDLE handle = handle_.exchange(INVALID_HANDLE_VALUE);
    if (handle == INVALID_HANDLE_VALUE) return;
    if (hasOriginal_) SetCommState(handle, &original_);
    CloseHandle(handle);
  }

 private:
  // Always false, so a failing call can end with it.
  bool NoteError() {
    if (MeansDeviceGone(GetLastError())) problem_.store(PortProblem::kDeviceGone);
    return false;
  }

  std::atomic<HANDLE> handle_{INVALID_HANDLE_VALUE};
  std::atomic<PortProblem> problem_{PortProblem::kNone};
  DCB original_{};
  bool hasOriginal_ = false;
};

}  // namespace

std::string DevicePathOf(const std::string& portName) { return DeviceName(portName); }

std::unique_ptr<SerialPort> CreateSerialPort() { return std::make_unique<Win32SerialPort>(); }

}  // namespace platform
