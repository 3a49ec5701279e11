// The in-process lock: an owner thread and a depth under a mutex and a condition.
#include "platform/processlock.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace platform {

namespace {

class ProcessLock final : public NamedLock {
 public:
  LockWait Wait(int timeoutMs) override {
    const std::thread::id self = std::this_thread::get_id();
    std::unique_lock<std::mutex> guard(mutex_);
    if (depth_ > 0 && owner_ == self) {
      ++depth_;
      return LockWait::kAcquired;
    }
    auto free = [this] { return depth_ == 0; };
    if (timeoutMs < 0) {
      released_.wait(guard, free);
    } else if (!released_.wait_for(guard, std::chrono::milliseconds(timeoutMs), free)) {
      return LockWait::kTimedOut;
    }
    owner_ = self;
    depth_ = 1;
    return LockWait::kAcquired;
  }

  void Release() override {
    std::lock_guard<std::mutex> guard(mutex_);
    if (depth_ == 0 || owner_ != std::this_thread::get_id()) return;
    if (--depth_ > 0) return;
    owner_ = std::thread::id();
    released_.notify_one();
  }

 private:
  std::mutex mutex_;
  std::condition_variable released_;
  std::thread::id owner_;
  int depth_ = 0;
};

}  // namespace

std::unique_ptr<NamedLock> CreateProcessLock() { return std::make_unique<ProcessLock>(); }

}  // namespace platform
