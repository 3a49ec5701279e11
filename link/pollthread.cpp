// PollThread: the twice-a-second indicator poll and its hand-over to the interface thread.
#include "link/pollthread.h"

#include <chrono>

#include "link/frame.h"
#include "link/pollexchange.h"
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

void PollThread::SetInterfaceWaiting(bool waiting) {
  {
    std::lock_guard<std::mutex> guard(mutex_);
    interfaceWaiting_ = waiting;
  }
  wake_.notify_all();
}

void PollThread::RunPendingUpdate() {
  Report report{};
  {
    std::lock_guard<std::mutex> guard(mutex_);
    if (!pending_) return;  // given up, or already run
    report = *pending_;
    pending_.reset();
    updating_ = true;
  }
  try {
    handover_.RunIndicatorUpdate(report.high, report.low);
  } catch (...) {
    // Nothing to report from here; the next poll brings the state again.
  }
  {
    std::lock_guard<std::mutex> guard(mutex_);
    updating_ = false;
  }
  wake_.notify_all();
}

void PollThread::HandOver(uint8_t high, uint8_t low) {
  {
    std::lock_guard<std::mutex> guard(mutex_);
    pending_ = Report{high, low};
  }
  handover_.PostToInterface([this] { RunPendingUpdate(); });
  std::unique_lock<std::mutex> guard(mutex_);
  wake_.wait(guard, [this] {
    return (!pending_ && !updating_) || (!updating_ && (interfaceWaiting_ || stop_.load()));
  });
  // Not begun: dropped, the controller still holds the state.
  pending_.reset();
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
    ended =
        wake_.wait_for(guard, std::chrono::milliseconds(timeoutMs), [this] { return finished_; });
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
  {
    // The interface asked for the port: its frame goes first.
    std::lock_guard<std::mutex> guard(mutex_);
    if (interfaceWaiting_) return false;
  }
  platform::NamedLock* lock = port_.lock();
  if (lock != nullptr) {
    // Busy (a frame or the connection question) or broken: skip this round.
    if (lock->Wait(timing::kPollLockWaitMs) != platform::LockWait::kAcquired) return false;
  }
  port_.SetPollHoldsPort(true);
  struct Release {
    ControllerPort& port;
    platform::NamedLock* lock;
    ~Release() {
      port.SetPollHoldsPort(false);
      if (lock != nullptr) lock->Release();
    }
  } release{port_, lock};

  LinkStatus& status = port_.status();
  // A device that went away is looked for again, quietly and at most once a
  // second; the connection question, which also holds the port, never
  // overlaps this.
  if (!port_.ReconnectIfLost(timing::kReconnectIntervalMs)) {
    status.Record(OutcomeOf(port_.Failure().kind));
    return false;
  }
  // A reply spoilt by line noise is asked for again: taken as no answer,
  // the link's return would write the copy over a call made meanwhile.
  const PollReply reply = PollReadingAgainWhenSpoilt(port_.port());
  if (reply.kind != PollReplyKind::kReport) {
    status.Record(reply.kind == PollReplyKind::kSpoilt ? LinkOutcome::kNoAnswer
                                                       : OutcomeOf(port_.Failure().kind));
    return false;
  }
  const uint8_t high = reply.statusHigh;
  const uint8_t low = reply.statusLow;
  const uint64_t returnsBefore = status.Snapshot().returns;
  status.Record(LinkOutcome::kPollAnswered);
  statusHigh_ = high;
  statusLow_ = low;
  // A controller answering again may have lost its registers: the console
  // reads the LEDs and writes its copy first (keeping the calls made
  // meanwhile), and this report would only wipe the LED bits in it.
  if (status.Snapshot().returns != returnsBefore) return true;
  // The lock stays held until the interface thread has run the update.
  HandOver(high, low);
  return true;
}
