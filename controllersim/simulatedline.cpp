// The controller inside the program: bytes in, the controller's answers out
// at the times a 9600-baud line would bring them.
#include "controllersim/simulatedline.h"

#include <chrono>
#include <thread>

#include "controllersim/trace.h"

namespace controllersim {

LineClock SteadyLineClock() {
  using Clock = std::chrono::steady_clock;
  LineClock clock;
  clock.nowUs = [] {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               Clock::now().time_since_epoch())
        .count();
  };
  clock.waitUntil = [](int64_t untilUs) {
    std::this_thread::sleep_until(Clock::time_point(std::chrono::microseconds(untilUs)));
  };
  return clock;
}

SimulatedLine::SimulatedLine(LineClock clock) : clock_(std::move(clock)) {
  startUs_ = clock_.nowUs();
  lastByteUs_ = startUs_;
  txFreeUs_ = startUs_;
}

void SimulatedLine::FlushStalePartial(int64_t nowUs) {
  if (!parser_.HasPending() || nowUs - lastByteUs_ < kPartialFrameTimeoutUs) return;
  std::vector<ParsedItem> items;
  parser_.Flush(items);
  for (const ParsedItem& item : items) Answer(item, lastByteUs_ + kPartialFrameTimeoutUs);
}

void SimulatedLine::Write(uint8_t byte) {
  std::lock_guard<std::mutex> guard(mutex_);
  const int64_t now = clock_.nowUs();
  // The byte is on the wire for one byte time after the one before it.
  const int64_t arrived = (txFreeUs_ > now ? txFreeUs_ : now) + kByteTimeUs;
  txFreeUs_ = arrived;
  // Without the cable, or without power, the byte reaches nobody.
  if (cablePulled_ || PoweredOffAt(arrived)) return;
  FlushStalePartial(arrived);
  lastByteUs_ = arrived;
  std::vector<ParsedItem> items;
  parser_.Feed(byte, items);
  for (const ParsedItem& item : items) Answer(item, arrived);
}

void SimulatedLine::Answer(const ParsedItem& item, int64_t arrivedUs) {
  const bool refused = refusalsLeft_ > 0 && item.kind == ParsedItem::Kind::kFrame;
  if (refused) controller_.SetFault("wrong-ack", "on");
  const Reply reply = controller_.Handle(item);
  if (refused) {
    controller_.SetFault("wrong-ack", "off");
    --refusalsLeft_;
  }
  Trace(TraceLineFor(MsSinceStart(arrivedUs), item, reply.bytes));
  int64_t due = arrivedUs + kTurnaroundUs + int64_t{reply.delayMs} * 1000;
  for (uint8_t b : reply.bytes) {
    due += kByteTimeUs;
    received_.push_back({b, due});
  }
}

void SimulatedLine::Drain() {
  int64_t until = 0;
  {
    std::lock_guard<std::mutex> guard(mutex_);
    until = txFreeUs_;
  }
  if (until > clock_.nowUs()) clock_.waitUntil(until);
}

bool SimulatedLine::Read(uint8_t& byte, int timeoutMs) {
  const int64_t deadline = clock_.nowUs() + int64_t{timeoutMs} * 1000;
  int64_t due = 0;
  {
    std::lock_guard<std::mutex> guard(mutex_);
    FlushStalePartial(clock_.nowUs());
    if (received_.empty() || received_.front().dueUs > deadline) {
      due = -1;
    } else {
      due = received_.front().dueUs;
    }
  }
  if (due < 0) {
    clock_.waitUntil(deadline);
    return false;
  }
  if (due > clock_.nowUs()) clock_.waitUntil(due);
  std::lock_guard<std::mutex> guard(mutex_);
  // A cable pulled meanwhile has taken the byte with it.
  if (received_.empty()) return false;
  byte = received_.front().byte;
  received_.pop_front();
  return true;
}

void SimulatedLine::DropReceived() {
  std::lock_guard<std::mutex> guard(mutex_);
  received_.clear();
}

void SimulatedLine::SetLed(int desk, bool on) {
  std::lock_guard<std::mutex> guard(mutex_);
  if (PoweredOffAt(clock_.nowUs())) return;
  controller_.SetLed(desk, on);
}

uint16_t SimulatedLine::LitMask() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return controller_.Status();
}

std::string SimulatedLine::RegistersText() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return controller_.RegistersText();
}

void SimulatedLine::SetCablePulled(bool pulled) {
  std::lock_guard<std::mutex> guard(mutex_);
  cablePulled_ = pulled;
  // Whatever was on its way is lost with the cable.
  if (pulled) received_.clear();
}

bool SimulatedLine::CablePulled() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return cablePulled_;
}

void SimulatedLine::RefuseNextFrame() {
  std::lock_guard<std::mutex> guard(mutex_);
  refusalsLeft_ = kRefusalsPerRequest;
}

void SimulatedLine::LosePower() {
  std::lock_guard<std::mutex> guard(mutex_);
  controller_ = Controller();
  parser_ = FrameParser();
  received_.clear();
  powerBackUs_ = clock_.nowUs() + kPowerLossUs;
}

bool SimulatedLine::PoweredOff() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return PoweredOffAt(clock_.nowUs());
}

std::vector<std::string> SimulatedLine::TraceLines() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return {trace_.begin(), trace_.end()};
}

void SimulatedLine::SetTraceListener(std::function<void(const std::string&)> listener) {
  std::lock_guard<std::mutex> guard(mutex_);
  traceListener_ = std::move(listener);
}

void SimulatedLine::Trace(const std::string& line) {
  trace_.push_back(line);
  if (trace_.size() > kTraceLinesKept) trace_.pop_front();
  if (traceListener_) traceListener_(line);
}

}  // namespace controllersim
