// The one owner of the serial port, the "PortSharing" lock and the link's status.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "link/linkstatus.h"
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
  // only the sharing with other processes is lost, and sharingLockProblem()
  // says why.
  bool CreateSharingLock(const std::string& name = kPortSharingLockName);
  bool CreateSharingLock(const std::string& name, const LockFactory& factory);
  // CreateSharingLock(SharingLockName(portName, base)): the lock of one port.
  bool CreateSharingLockForPort(const std::string& portName,
                                const std::string& base = kPortSharingLockName);
  // The lock's name for a port. On Linux `base` followed by the port's device
  // ("PortSharing:/dev/ttyUSB0"), so consoles on different controllers never
  // wait for each other; on Windows `base` itself, the mutex other programs
  // of the laboratory share.
  static std::string SharingLockName(const std::string& portName,
                                     const std::string& base = kPortSharingLockName);
  // Why the named lock was refused, for the teacher; "" when it was made.
  const std::string& sharingLockProblem() const { return lockProblem_; }
  // Puts in a lock made elsewhere (tests use a scripted one).
  void SetSharingLock(std::unique_ptr<platform::NamedLock> lock) { lock_ = std::move(lock); }

  // Open, save the device's time-outs, set the program's, set 9600 8N1.
  // The outcome of each step is ignored; returns whether the device opened.
  // The name is kept for Reopen and the status.
  bool OpenControllerPort(const std::string& portName);
  // Purge (abort reads), restore the saved time-outs, close. Harmless twice.
  void ClosePort();

  // The name given to the last OpenControllerPort.
  std::string portName() const;
  // Open, and not found gone by any call since.
  bool Usable() const;
  // Closes the port and opens it again by its name: a device that went away
  // and came back is a new device. Only with the port lock held (or before
  // the poll runs). True when open.
  bool Reopen();
  // Reopens a port that is not usable, unless the last attempt was less than
  // minIntervalMs ago; true when the port is usable afterwards. Port lock held.
  bool ReconnectIfLost(int minIntervalMs);
  // What is wrong with the port now: kNoAnswer when it looks usable.
  LinkFailure Failure() const;

  platform::SerialPort& port() { return *port_; }
  // Whether no byte comes within ms (read with a short time-out, then the
  // program's own again). Port lock held.
  bool QuietFor(int ms);
  // nullptr only before CreateSharingLock or after SetSharingLock(nullptr):
  // exchanges then go unguarded.
  platform::NamedLock* lock() { return lock_.get(); }
  // What the link last did; every exchange and every poll records here.
  LinkStatus& status() { return status_; }

  // Set by the poll while it holds the port, so that a wait for the port
  // can name its holder.
  void SetPollHoldsPort(bool holds) {
    pollHolds_ = holds;
    if (holds) ++pollTurns_;
  }
  bool PollHoldsPort() const { return pollHolds_; }
  // How many times the poll has taken the port.
  uint64_t PollTurns() const { return pollTurns_; }

 private:
  using Clock = std::chrono::steady_clock;

  std::unique_ptr<platform::SerialPort> port_;
  std::unique_ptr<platform::NamedLock> lock_;
  std::string lockProblem_;
  platform::SerialTimeouts savedTimeouts_;
  bool haveSavedTimeouts_ = false;
  LinkStatus status_;
  std::atomic<bool> pollHolds_{false};
  std::atomic<uint64_t> pollTurns_{0};
  mutable std::mutex nameMutex_;  // portName_ and lastReconnect_: both threads read them
  std::string portName_;
  Clock::time_point lastReconnect_{};
  bool reconnectTried_ = false;
};
