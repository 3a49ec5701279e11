// The system-wide named lock on Windows: a named mutex of the user's session.
#include <string>

#include "platform/namedlock.h"
#include "platform/win32/widetext.h"
#include "platform/win32/windowsapi.h"

namespace platform {

namespace {

class Win32NamedLock final : public NamedLock {
 public:
  explicit Win32NamedLock(HANDLE mutex) : mutex_(mutex) {}
  ~Win32NamedLock() override { CloseHandle(mutex_); }

  LockWait Wait(int timeoutMs) override {
    const DWORD wait = timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs);
    switch (WaitForSingleObject(mutex_, wait)) {
      case WAIT_OBJECT_0:
      case WAIT_ABANDONED:  // the holder ended without releasing: ours now
        return LockWait::kAcquired;
      case WAIT_TIMEOUT:
        return LockWait::kTimedOut;
      default:
        return LockWait::kFailed;
    }
  }

  // ReleaseMutex refuses a thread that does not own the mutex.
  void Release() override { ReleaseMutex(mutex_); }

 private:
  HANDLE mutex_;
};

}  // namespace

std::unique_ptr<NamedLock> OpenNamedLock(const std::string& name, std::string& problem) {
  problem.clear();
  // Not owned at creation; opens the existing mutex when another process made it.
  HANDLE mutex = CreateMutexW(nullptr, FALSE, Wide(name).c_str());
  if (mutex == nullptr) {
    const DWORD error = GetLastError();
    problem = "Блокировка порта отклонена: мьютекс " + name +
              (error == ERROR_ACCESS_DENIED ? " принадлежит другому пользователю"
                                            : " не создаётся (ошибка " + std::to_string(error) + ")") +
              ".";
    return nullptr;
  }
  return std::make_unique<Win32NamedLock>(mutex);
}

std::unique_ptr<NamedLock> CreateNamedLock(const std::string& name) {
  std::string ignored;
  return OpenNamedLock(name, ignored);
}

}  // namespace platform
