// TransmitFrame and ProbeController: one register write under the port lock,
// its acknowledgement, the silent repeat and the connection question.
#include "link/transmit.h"

#include <chrono>
#include <thread>
#include <utility>

#include "config/inifile.h"
#include "link/frame.h"
#include "link/timing.h"

namespace {

// Set while this thread is inside an exchange. The wait dialog runs an event
// loop, and a click delivered there must not start a second frame in the middle
// of the first (a Windows mutex would even let it through, being recursive).
thread_local bool tInExchange = false;

class ExchangeScope {
 public:
  ExchangeScope() { tInExchange = true; }
  ~ExchangeScope() { tInExchange = false; }
  ExchangeScope(const ExchangeScope&) = delete;
  ExchangeScope& operator=(const ExchangeScope&) = delete;
};

template <typename Release>
class ScopeExit {
 public:
  explicit ScopeExit(Release release) : release_(std::move(release)) {}
  ~ScopeExit() { release_(); }
  ScopeExit(const ScopeExit&) = delete;
  ScopeExit& operator=(const ScopeExit&) = delete;

 private:
  Release release_;
};

// Stops at the first byte the device refuses: the rest would only garble the line.
template <size_t N>
bool SendBytes(platform::SerialPort& port, const std::array<uint8_t, N>& bytes) {
  for (uint8_t b : bytes)
    if (!port.WriteByte(b)) return false;
  return true;
}

}  // namespace

ControllerLink::ControllerLink(ControllerPort& port, std::string settingsPath, LinkUi& ui,
                               PollControl* poll)
    : port_(port), settingsPath_(std::move(settingsPath)), ui_(ui), poll_(poll) {}

void ControllerLink::TakePort() {
  platform::SerialPort& serial = port_.port();
  serial.Purge(platform::kPurgeRxClear);
  serial.Purge(platform::kPurgeTxClear);
  platform::NamedLock* lock = port_.lock();
  holdingLock_ = false;
  if (lock == nullptr) return;  // no lock could be created: go unguarded
  for (;;) {
    const platform::LockWait result = lock->Wait(timing::kUiLockWaitMs);
    if (result == platform::LockWait::kAcquired) {
      holdingLock_ = true;
      return;
    }
    // A broken lock would keep the teacher in the wait dialog for ever;
    // sending unguarded is the lesser harm.
    if (result == platform::LockWait::kFailed) return;
    // The poll may hold the port while it waits for its hand-over: the dialog
    // keeps this thread dispatching so that the hand-over can run.
    ui_.ShowWaitDialog();
    if (poll_ != nullptr) poll_->Suspend();
    std::this_thread::sleep_for(std::chrono::milliseconds(timing::kPollPauseMs));
    if (poll_ != nullptr) poll_->Resume();
  }
}

void ControllerLink::ReleasePort() {
  if (!holdingLock_) return;
  holdingLock_ = false;
  if (platform::NamedLock* lock = port_.lock()) lock->Release();
}

bool ControllerLink::SkipAcknowledgement() {
  try {
    return ini::IniFile(settingsPath_).ReadInteger("Communication", "NotWaitCSFromMC", 0) != 0;
  } catch (...) {
    return false;  // an unreadable settings file behaves like the default
  }
}

bool ControllerLink::TransmitFrame(uint8_t command, uint8_t high, uint8_t low) {
  return TransmitComposed([&]() -> std::optional<RegisterWrite> {
    return RegisterWrite{command, high, low, false};
  });
}

bool ControllerLink::TransmitComposed(const WriteComposer& compose) {
  if (tInExchange) return false;
  ExchangeScope exchange;
  TakePort();
  ScopeExit release([this] { ReleasePort(); });

  const std::optional<RegisterWrite> write = compose();
  if (!write) return true;
  const auto bytes = frame::Build(write->command, write->high, write->low);
  const uint8_t expected = frame::AckFor(bytes[frame::kFrameLength - 1]);
  platform::SerialPort& serial = port_.port();
  bool repeated = false;
  for (;;) {
    const bool sent = SendBytes(serial, bytes);
    if (SkipAcknowledgement()) return true;
    uint8_t answer = 0;
    if (sent && serial.ReadByte(answer) && answer == expected) return true;
    if (!repeated) {
      repeated = true;  // one silent repeat, with the lock still held
      continue;
    }
    // Asked with the lock held: the poll stays out until the teacher decides.
    if (!ui_.AskRetryConnection()) return false;
    repeated = false;
  }
}

bool ControllerLink::ProbeController() {
  if (tInExchange) return false;
  ExchangeScope exchange;
  TakePort();
  ScopeExit release([this] { ReleasePort(); });

  platform::SerialPort& serial = port_.port();
  const bool sent = SendBytes(serial, frame::kProbeFrame);
  if (SkipAcknowledgement()) return true;
  uint8_t answer = 0;
  return sent && serial.ReadByte(answer) &&
         answer == frame::AckFor(frame::kProbeFrame[frame::kFrameLength - 1]);
}
