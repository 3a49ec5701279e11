// PollThread: the twice-a-second indicator poll and its hand-over to the interface thread.
#include "link/pollthread.h"

#include <chrono>

#include "link/frame.h"
#include "link/timing.h"

PollThread::PollThread(ControllerPort& port, IndicatorHandover& handover)
    : port_(port), handover_(handover) {
  thread_ = std::thread(&PollThread::Run, this);
}

PollThread::~PollThread() {
  RequestStop();
  if (thread_.joinable()) thread_.join();
}

void PollThread::Suspend() {
  std::lock_guard<std::mutex> guard(mutex_);
  ++suspendCount_;
}

void PollThread::Resume() {
  {
    std::lock_guard<std::mutex> guard(mutex_);
    if (suspendCount_ > 0) --suspendCount_;  // resuming a running thread does nothing
  }
  wake_.notify_all();
}

void PollThread::RequestStop() {
  {
    std::lock_guard<std::mutex> guard(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
}

bool PollThread::WaitStopped(int timeoutMs) {
  bool ended;
  {
    std::unique_lock<std::mutex> guard(mutex_);
    ended = wake_.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                           [this] { return finished_; });
  }
  if (ended && thread_.joinable()) thread_.join();
  return ended;
}

bool PollThread::WaitParked(int timeoutMs) {
  std::unique_lock<std::mutex> guard(mutex_);
  return wake_.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                        [this] { return finished_ || (parked_ && suspendCount_ > 0); });
}

void PollThread::Run() {
  for (;;) {
    {
      // Suspension only ever takes effect here, between two exchanges.
      std::unique_lock<std::mutex> guard(mutex_);
      parked_ = true;
      wake_.notify_all();
      wake_.wait(guard, [this] { return suspendCount_ == 0 || stop_.load(); });
      parked_ = false;
    }
    if (stop_) break;
    PollOnce();
    if (stop_) break;
    std::unique_lock<std::mutex> guard(mutex_);
    wake_.wait_for(guard, std::chrono::milliseconds(timing::kPollIntervalMs),
                   [this] { return stop_.load(); });
    if (stop_) break;
  }
  {
    std::lock_guard<std::mutex> guard(mutex_);
    finished_ = true;
  }
  wake_.notify_all();
}

bool PollThread::PollOnce() {
  platform::NamedLock* lock = port_.lock();
  if (lock != nullptr) {
    // Busy (a frame or the connection question) or broken: skip this round.
    if (lock->Wait(timing::kPollLockWaitMs) != platform::LockWait::kAcquired) return false;
  }
  struct Release {
    platform::NamedLock* lock;
    ~Release() {
      if (lock != nullptr) lock->Release();
    }
  } release{lock};

  LinkStatus& status = port_.status();
  // A device that went away is looked for again, quietly and at most once a
  // second; the connection question, which also holds the port, never
  // overlaps this.
  if (!port_.ReconnectIfLost(timing::kReconnectIntervalMs)) {
    status.Record(OutcomeOf(port_.Failure().kind));
    return false;
  }
  platform::SerialPort& serial = port_.port();
  // A stray byte left from before would shift every reply after it.
  serial.Purge(platform::kPurgeRxClear);
  bool ok = true;
  for (uint8_t b : frame::kPollFrame) ok = ok && serial.WriteByte(b);
  ok = ok && serial.Drain();
  if (!ok) serial.Purge(platform::kPurgeTxAbort | platform::kPurgeTxClear);  // a poll cut short
  uint8_t reply[frame::kPollReplyLength] = {};
  for (uint8_t& b : reply) ok = ok && serial.ReadByte(b);
  if (!ok) {
    status.Record(OutcomeOf(port_.Failure().kind));
    return false;
  }
  const uint8_t high = reply[0];
  const uint8_t low = reply[1];
  if (reply[2] != frame::PollReplyChecksum(high, low)) {
    status.Record(LinkOutcome::kNoAnswer);
    return false;
  }
  status.Record(LinkOutcome::kPollAnswered);
  statusHigh_ = high;
  statusLow_ = low;
  // The lock stays held until the interface thread has run the update.
  try {
    handover_.RunIndicatorUpdate(high, low);
  } catch (...) {
    // Nothing to report from this thread; the next poll brings the state again.
  }
  return true;
}
