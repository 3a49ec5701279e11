// PollThread: polls the controller for the desks' indicator state twice a
// second and hands each valid report to the interface thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

#include "link/controllerport.h"
#include "link/transmit.h"

// Runs the indicator update on the interface thread and returns when it is done.
class IndicatorHandover {
 public:
  virtual ~IndicatorHandover() = default;
  virtual void RunIndicatorUpdate(uint8_t statusHigh, uint8_t statusLow) = 0;
  // Has `run` called on the interface thread soon and returns at once (a
  // queued call); `run` then calls RunIndicatorUpdate there. By default it
  // runs here, and RunIndicatorUpdate itself must reach the interface thread.
  virtual void PostToInterface(std::function<void()> run) { run(); }
};

class PollThread : public PollControl {
 public:
  // Created suspended: nothing is sent until the first Resume.
  PollThread(ControllerPort& port, IndicatorHandover& handover);
  // Stops and joins. A hand-over in progress must be able to finish: the owner
  // first calls RequestStop and WaitStopped in short slices while it keeps
  // dispatching, so the join here never waits on the interface thread.
  ~PollThread() override;

  void Suspend() override;
  void Resume() override;
  void SetInterfaceWaiting(bool waiting) override;
  // The interface thread's side of a hand-over posted by PostToInterface:
  // runs the update waiting for it, if the poll has not given it up.
  void RunPendingUpdate();
  // Tells the loop to end after its current exchange; does not wait.
  void RequestStop();
  // Waits up to timeoutMs for the loop to end; true when it has ended.
  // The interface thread must keep dispatching while it waits (the loop may be
  // blocked in a hand-over), so it calls this in short slices.
  bool WaitStopped(int timeoutMs);
  bool StopRequested() const { return stop_.load(); }
  // After Suspend: waits up to timeoutMs until the loop rests between two
  // exchanges (or has ended); true then, and the port is free of the poll
  // until the next Resume. Called in short slices with dispatching, as
  // WaitStopped is.
  bool WaitParked(int timeoutMs);

  uint8_t StatusHigh() const { return statusHigh_.load(); }
  uint8_t StatusLow() const { return statusLow_.load(); }

 private:
  void Run();
  // One exchange under the lock: the receive buffer cleared, the poll sent
  // and drained, the reply read and recorded in the port's LinkStatus. A lost
  // port is reopened first, at most once a second.
  bool PollOnce();
  // Posts the report and waits, port held, until it has been applied, or
  // until the interface wants the port before the update has begun.
  void HandOver(uint8_t high, uint8_t low);

  ControllerPort& port_;
  IndicatorHandover& handover_;
  std::atomic<uint8_t> statusHigh_{0};
  std::atomic<uint8_t> statusLow_{0};
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::condition_variable wake_;
  int suspendCount_ = 1;  // guarded by mutex_
  struct Report {
    uint8_t high, low;
  };
  std::optional<Report> pending_;  // guarded by mutex_: posted, not yet taken
  bool updating_ = false;          // guarded by mutex_: taken, running
  bool interfaceWaiting_ = false;  // guarded by mutex_
  bool finished_ = false;  // guarded by mutex_
  bool parked_ = false;    // guarded by mutex_: waiting while suspended
  std::thread thread_;
};
