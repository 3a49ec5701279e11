// A system-wide named lock with the semantics of a Windows named mutex.
#pragma once

#include <memory>
#include <string>

namespace platform {

enum class LockWait { kAcquired, kTimedOut, kFailed };

// Owned by the thread that acquired it; excludes other threads of this process
// and other processes using the same name. When the holding process dies the
// lock is handed to the next waiter (counted as acquired).
class NamedLock {
 public:
  virtual ~NamedLock() = default;
  virtual LockWait Wait(int timeoutMs) = 0;
  // Only the owning thread may release.
  virtual void Release() = 0;
};

// Creates the lock, or opens it when another process created it first.
// Returns nullptr when the system refuses; `problem` then says why, in words
// for the teacher. Never waits for long: a lock object another process keeps
// busy is refused, not waited for.
std::unique_ptr<NamedLock> OpenNamedLock(const std::string& name, std::string& problem);
// OpenNamedLock without the reason.
std::unique_ptr<NamedLock> CreateNamedLock(const std::string& name);

#ifndef _WIN32
// Where the lock of that name lives ("/dev/shm/vormik-<uid>-<name>.lock").
std::string NamedLockObjectPath(const std::string& name);
#endif

}  // namespace platform
