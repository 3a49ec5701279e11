// TransmitFrame and ProbeController: one register write under the port lock,
// its acknowledgement, the silent repeat and the connection question.
#include "link/transmit.h"

#include <chrono>
#include <thread>
#include <utility>

#include "config/inifile.h"
#include "link/frame.h"
#include "link/pollexchange.h"
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

bool ControllerLink::TakePort() {
  platform::NamedLock* lock = port_.lock();
  holdingLock_ = false;
  if (lock == nullptr) return true;  // no lock could be created: go unguarded
  // The poll hands the port over at once: a frame waits behind one poll at most.
  if (poll_ != nullptr) poll_->SetInterfaceWaiting(true);
  for (;;) {
    const platform::LockWait result = lock->Wait(timing::kUiLockWaitMs);
    if (result == platform::LockWait::kAcquired) {
      holdingLock_ = true;
      return true;
    }
    // A broken lock would keep the teacher in the wait dialog for ever;
    // sending unguarded is the lesser harm.
    if (result == platform::LockWait::kFailed) return true;
    // The poll may hold the port while it waits for its hand-over: the dialog
    // keeps this thread dispatching so that the hand-over can run. Another
    // program may hold it for ever: the teacher can give up.
    const PortHolder holder =
        port_.PollHoldsPort() ? PortHolder::kOwnPoll : PortHolder::kOtherProgram;
    if (!ui_.ShowCancellableWait(PortBusyText(port_.portName(), holder))) {
      if (poll_ != nullptr) poll_->SetInterfaceWaiting(false);
      return false;
    }
    if (poll_ != nullptr) poll_->Suspend();
    std::this_thread::sleep_for(std::chrono::milliseconds(timing::kPollPauseMs));
    if (poll_ != nullptr) poll_->Resume();
  }
}

void ControllerLink::ReleasePort() {
  if (poll_ != nullptr) poll_->SetInterfaceWaiting(false);
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

template <size_t N>
bool ControllerLink::Attempt(const std::array<uint8_t, N>& bytes, uint8_t expected) {
  platform::SerialPort& serial = port_.port();
  // Only the bytes of this exchange may answer it.
  serial.Purge(platform::kPurgeRxClear);
  // The frame counts as sent only once it has left the device: without the
  // wait, a frame still in the driver's queue could be lost to the next one.
  const bool sent = SendBytes(serial, bytes) && serial.Drain();
  if (!sent) {
    // The rest of a frame cut short must not run into the next one. Nothing
    // else is ever purged from the output: after Drain it holds nothing on a
    // real line, while on a pseudo-terminal a purge drops bytes the other
    // side has not read yet.
    serial.Purge(platform::kPurgeTxAbort | platform::kPurgeTxClear);
  } else if (SkipAcknowledgement()) {
    port_.status().Record(LinkOutcome::kSentUnconfirmed);
    return true;
  }
  uint8_t answer = 0;
  // The answer is the first byte after the frame and the only one: the
  // expected value inside a burst of noise is no acknowledgement.
  if (sent && serial.ReadByte(answer) && answer == expected &&
      port_.QuietFor(timing::kAckQuietMs)) {
    port_.status().Record(LinkOutcome::kAcknowledged);
    return true;
  }
  port_.status().Record(OutcomeOf(port_.Failure().kind));
  return false;
}

bool ControllerLink::TransmitFrame(uint8_t command, uint8_t high, uint8_t low) {
  return TransmitComposed([&]() -> std::optional<RegisterWrite> {
    return RegisterWrite{command, high, low};
  });
}

bool ControllerLink::TransmitComposed(const WriteComposer& compose) {
  if (tInExchange) return false;
  ExchangeScope exchange;
  if (!TakePort()) {
    port_.status().Record(LinkOutcome::kCancelled);
    return false;
  }
  ScopeExit release([this] { ReleasePort(); });

  const std::optional<RegisterWrite> write = compose();
  if (!write) return true;
  const auto bytes = frame::Build(write->command, write->high, write->low);
  const uint8_t expected = frame::AckFor(bytes[frame::kFrameLength - 1]);
  bool repeated = false;
  for (;;) {
    port_.ReconnectIfLost(timing::kReconnectIntervalMs);
    if (Attempt(bytes, expected)) return true;
    if (!repeated) {
      repeated = true;  // one silent repeat, with the lock still held
      continue;
    }
    // Asked with the lock held: the poll stays out until the teacher decides.
    const LinkFailure failure = port_.Failure();
    if (!ui_.AskRetryAfterFailure(failure)) return false;
    // The teacher may have plugged the device back in: a new device behind
    // the same name.
    if (failure.kind != LinkFailure::Kind::kNoAnswer) port_.Reopen();
    repeated = false;
  }
}

bool ControllerLink::ProbeController() {
  if (tInExchange) return false;
  ExchangeScope exchange;
  if (!TakePort()) {
    port_.status().Record(LinkOutcome::kCancelled);
    return false;
  }
  ScopeExit release([this] { ReleasePort(); });
  port_.ReconnectIfLost(timing::kReconnectIntervalMs);
  return Attempt(frame::kProbeFrame, frame::AckFor(frame::kProbeFrame[frame::kFrameLength - 1]));
}

std::optional<std::pair<uint8_t, uint8_t>> ControllerLink::ReadIndicators() {
  if (tInExchange) return std::nullopt;
  ExchangeScope exchange;
  if (!TakePort()) {
    port_.status().Record(LinkOutcome::kCancelled);
    return std::nullopt;
  }
  ScopeExit release([this] { ReleasePort(); });
  if (!port_.ReconnectIfLost(timing::kReconnectIntervalMs)) return std::nullopt;
  const PollReply reply = PollReadingAgainWhenSpoilt(port_.port());
  if (reply.kind != PollReplyKind::kReport) return std::nullopt;
  return std::make_pair(reply.statusHigh, reply.statusLow);
}
