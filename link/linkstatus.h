// The link's state for the status strip and the connection question: what the
// last exchange with the controller did, shared by the poll thread and the window.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

// Why an exchange failed.
struct LinkFailure {
  enum class Kind {
    kNoAnswer,         // the port works, the controller gave no valid answer
    kDeviceGone,       // the device went away or is not there
    kPortUnavailable,  // the device is there but cannot be opened (no access)
    kPortBusy,         // another program holds the device
    kNotSerialPort,    // the name is no serial device (a file, /dev/null)
  };
  std::string portName;
  Kind kind = Kind::kNoAnswer;
};

// The connection question's second line: "Порт /dev/ttyUSB0: устройство отключено".
std::string LinkFailureText(const LinkFailure& failure);
// Who holds the port the interface thread waits for.
enum class PortHolder { kOtherProgram, kOwnPoll };
// What the wait dialog waits for.
std::string PortBusyText(const std::string& portName,
                         PortHolder holder = PortHolder::kOtherProgram);

enum class LinkState {
  kUnknown,        // nothing tells yet whether the controller is there
  kAnswering,      // the last exchange was answered
  kNotAnswering,   // no valid answer since notAnsweringSince
  kDeviceMissing,  // the port's device is gone or cannot be opened
  kPortBusy,       // another program holds the port's device
  kNotSerialPort,  // the port's name is no serial device
  kPollingOff,     // ReadThreadStop: the last frame went well, nothing watches since
};

enum class LinkOutcome {
  kNone,             // no exchange yet
  kAcknowledged,     // a frame, acknowledged
  kSentUnconfirmed,  // a frame sent whole, its acknowledgement not awaited (NotWaitCSFromMC)
  kPollAnswered,     // a poll, with a valid report
  kNoAnswer,         // a frame or a poll that got nothing valid back
  kDeviceGone,       // an exchange that found the device gone
  kPortUnavailable,  // an exchange that found the port not open and not openable
  kPortBusy,         // ... because another program holds it
  kNotSerialPort,    // ... because it is no serial device
  kCancelled,        // the teacher ended the wait for the port: nothing was sent
};

LinkOutcome OutcomeOf(LinkFailure::Kind kind);

struct LinkStatusSnapshot {
  using Clock = std::chrono::steady_clock;
  LinkState state = LinkState::kUnknown;
  Clock::time_point notAnsweringSince{};  // meaningful in kNotAnswering only
  std::string portName;
  bool pollingOff = false;
  LinkOutcome lastOutcome = LinkOutcome::kNone;
  Clock::time_point lastExchangeAt{};
  uint64_t exchanges = 0;  // outcomes recorded so far
  // How often the controller answered again after not answering (or after
  // its port came back): each time the console writes its copy to it.
  uint64_t returns = 0;
};

// The status after an exchange that ended in `outcome` at `now`.
LinkStatusSnapshot NextLinkStatus(LinkStatusSnapshot status, LinkOutcome outcome,
                                  LinkStatusSnapshot::Clock::time_point now);
// The status once the poll is switched off (ReadThreadStop) or on again.
LinkStatusSnapshot WithPollingOff(LinkStatusSnapshot status, bool off);

// Thread-safe holder of the snapshot: ControllerLink and PollThread record
// every exchange, the window reads copies.
class LinkStatus {
 public:
  using Listener = std::function<void(const LinkStatusSnapshot&)>;

  LinkStatusSnapshot Snapshot() const;
  void Record(LinkOutcome outcome);
  void SetPortName(const std::string& portName);
  void SetPollingOff(bool off);
  // Called with the new snapshot whenever the state, its time, the last
  // outcome, the port name or pollingOff changed (a repeated outcome alone
  // does not call it). It runs on the thread that made the change - the poll
  // thread, or the interface thread in the middle of an exchange - with the
  // port lock held, outside this object's own lock: it must return at once
  // and never wait for the interface thread (queue the snapshot to it). Set
  // it before the poll starts and clear it once the poll has stopped.
  void SetListener(Listener listener);

 private:
  template <typename Change>
  void Apply(Change change);

  mutable std::mutex mutex_;
  LinkStatusSnapshot status_;
  Listener listener_;
};
