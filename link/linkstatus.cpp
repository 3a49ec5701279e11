// The link state's transitions, its texts and its thread-safe holder.
#include "link/linkstatus.h"

#include <utility>

std::string LinkFailureText(const LinkFailure& failure) {
  const std::string port = failure.portName.empty() ? "(не задан)" : failure.portName;
  switch (failure.kind) {
    case LinkFailure::Kind::kDeviceGone:
      return "Порт " + port + ": устройство отключено";
    case LinkFailure::Kind::kPortUnavailable:
      return "Порт " + port + ": порт не открывается (нет доступа)";
    case LinkFailure::Kind::kPortBusy:
      return "Порт " + port + ": порт занят другой программой";
    case LinkFailure::Kind::kNotSerialPort:
      return "Порт " + port + ": это не последовательный порт";
    case LinkFailure::Kind::kNoAnswer:
    default:
      return "Порт " + port + ": нет ответа контроллера";
  }
}

std::string PortBusyText(const std::string& portName, PortHolder holder) {
  return "Порт " + (portName.empty() ? std::string("(не задан)") : portName) +
         (holder == PortHolder::kOwnPoll ? " занят опросом контроллера этой программы."
                                         : " занят другой программой.") +
         " Ожидание...";
}

LinkOutcome OutcomeOf(LinkFailure::Kind kind) {
  switch (kind) {
    case LinkFailure::Kind::kDeviceGone:
      return LinkOutcome::kDeviceGone;
    case LinkFailure::Kind::kPortUnavailable:
      return LinkOutcome::kPortUnavailable;
    case LinkFailure::Kind::kPortBusy:
      return LinkOutcome::kPortBusy;
    case LinkFailure::Kind::kNotSerialPort:
      return LinkOutcome::kNotSerialPort;
    case LinkFailure::Kind::kNoAnswer:
    default:
      return LinkOutcome::kNoAnswer;
  }
}

LinkStatusSnapshot NextLinkStatus(LinkStatusSnapshot status, LinkOutcome outcome,
                                  LinkStatusSnapshot::Clock::time_point now) {
  if (outcome == LinkOutcome::kNone) return status;
  status.lastOutcome = outcome;
  status.lastExchangeAt = now;
  ++status.exchanges;
  // Lost before: the controller may have lost its registers with it.
  const bool wasLost =
      status.state == LinkState::kNotAnswering || status.state == LinkState::kDeviceMissing ||
      status.state == LinkState::kPortBusy || status.state == LinkState::kNotSerialPort;
  switch (outcome) {
    case LinkOutcome::kAcknowledged:
      // Without the poll nobody watches after this frame.
      status.state = status.pollingOff ? LinkState::kPollingOff : LinkState::kAnswering;
      if (wasLost) ++status.returns;
      break;
    case LinkOutcome::kPollAnswered:
      status.state = LinkState::kAnswering;
      if (wasLost) ++status.returns;
      break;
    case LinkOutcome::kSentUnconfirmed:
      // The device took the bytes; whether the controller is there is not asked.
      if (status.state == LinkState::kDeviceMissing || status.state == LinkState::kPortBusy ||
          status.state == LinkState::kNotSerialPort || status.state == LinkState::kUnknown)
        status.state = status.pollingOff ? LinkState::kPollingOff : LinkState::kUnknown;
      break;
    case LinkOutcome::kNoAnswer:
      if (status.state != LinkState::kNotAnswering) {
        status.state = LinkState::kNotAnswering;
        status.notAnsweringSince = now;
      }
      break;
    case LinkOutcome::kDeviceGone:
    case LinkOutcome::kPortUnavailable:
      status.state = LinkState::kDeviceMissing;
      break;
    case LinkOutcome::kPortBusy:
      status.state = LinkState::kPortBusy;
      break;
    case LinkOutcome::kNotSerialPort:
      status.state = LinkState::kNotSerialPort;
      break;
    case LinkOutcome::kCancelled:
    case LinkOutcome::kNone:
      break;
  }
  return status;
}

LinkStatusSnapshot WithPollingOff(LinkStatusSnapshot status, bool off) {
  status.pollingOff = off;
  if (off && (status.state == LinkState::kAnswering || status.state == LinkState::kUnknown))
    status.state = LinkState::kPollingOff;
  // The poll, once running again, tells within its first round.
  if (!off && status.state == LinkState::kPollingOff) status.state = LinkState::kUnknown;
  return status;
}

namespace {

bool Differs(const LinkStatusSnapshot& a, const LinkStatusSnapshot& b) {
  return a.state != b.state || a.notAnsweringSince != b.notAnsweringSince ||
         a.portName != b.portName || a.pollingOff != b.pollingOff ||
         a.lastOutcome != b.lastOutcome || a.returns != b.returns;
}

}  // namespace

template <typename Change>
void LinkStatus::Apply(Change change) {
  LinkStatusSnapshot after;
  Listener listener;
  {
    std::lock_guard<std::mutex> guard(mutex_);
    const LinkStatusSnapshot before = status_;
    change(status_);
    if (!Differs(before, status_) || !listener_) return;
    after = status_;
    listener = listener_;
  }
  listener(after);
}

LinkStatusSnapshot LinkStatus::Snapshot() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return status_;
}

void LinkStatus::Record(LinkOutcome outcome) {
  const auto now = LinkStatusSnapshot::Clock::now();
  Apply([&](LinkStatusSnapshot& s) { s = NextLinkStatus(std::move(s), outcome, now); });
}

void LinkStatus::SetPortName(const std::string& portName) {
  Apply([&](LinkStatusSnapshot& s) { s.portName = portName; });
}

void LinkStatus::SetPollingOff(bool off) {
  Apply([&](LinkStatusSnapshot& s) { s = WithPollingOff(std::move(s), off); });
}

void LinkStatus::SetListener(Listener listener) {
  std::lock_guard<std::mutex> guard(mutex_);
  listener_ = std::move(listener);
}
