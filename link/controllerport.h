// The one owner of the serial port and the "PortSharing" lock.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/namedlock.h"
#include "platform/serialport.h"

inline constexpr char kPortSharingLockName[] = "PortSharing";
inline constexpr char kLineMode[] = "9600,N,8,1";

class ControllerPort {
 public:
  // The serial port may be injected (tests); by default the platform's.
  explicit ControllerPort(std::unique_ptr<platform::SerialPort> port = nullptr);
  ~ControllerPort();

  // Makes a named lock, nullptr when the system refuses.
  using LockFactory = std::function<std::unique_ptr<platform::NamedLock>(const std::string&)>;
  // Creates (or opens) the named lock; false when the system refuses. The
  // threads of this process are then still kept apart by a lock of its own:
  // only the sharing with other processes is lost.
  bool CreateSharingLock(const std::string& name = kPortSharingLockName);
  bool CreateSharingLock(const std::string& name, const LockFactory& factory);
  // Puts in a lock made elsewhere (tests use a scripted one).
  void SetSharingLock(std::unique_ptr<platform::NamedLock> lock) { lock_ = std::move(lock); }
  // Open, save the device's time-outs, set the program's, set 9600 8N1.
  // The outcome of each step is ignored; returns whether the device opened.
  bool OpenControllerPort(const std::string& portName);
  // Purge (abort reads), restore the saved time-outs, close. Harmless twice.
  void ClosePort();

  platform::SerialPort& port() { return *port_; }
  // nullptr only before CreateSharingLock or after SetSharingLock(nullptr):
  // exchanges then go unguarded.
  platform::NamedLock* lock() { return lock_.get(); }

 private:
  std::unique_ptr<platform::SerialPort> port_;
  std::unique_ptr<platform::NamedLock> lock_;
  platform::SerialTimeouts savedTimeouts_;
  bool haveSavedTimeouts_ = false;
};
