// Second process for the named-lock tests: holds or probes a lock by name.
//   vormik-lockholder <name> hold     acquire, signal "<name>-held", wait to be killed
//   vormik-lockholder <name> rawhold  the same through the bare system mutex
//   vormik-lockholder <name> probe <ms>  exit 0 acquired, 1 timed out, 2 failed
#include <windows.h>

#include <string>

#include "platform/namedlock.h"

namespace {

void SignalHeld(const std::string& name) {
  HANDLE held = OpenEventA(EVENT_MODIFY_STATE, FALSE, (name + "-held").c_str());
  if (held) {
    SetEvent(held);
    CloseHandle(held);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 3;
  const std::string name = argv[1];
  const std::string mode = argv[2];
  if (mode == "rawhold") {
    HANDLE mutex = CreateMutexA(nullptr, FALSE, name.c_str());
    if (!mutex || WaitForSingleObject(mutex, 10000) != WAIT_OBJECT_0) return 2;
    SignalHeld(name);
    Sleep(INFINITE);
  }
  auto lock = platform::CreateNamedLock(name);
  if (!lock) return 2;
  if (mode == "hold") {
    if (lock->Wait(10000) != platform::LockWait::kAcquired) return 2;
    SignalHeld(name);
    Sleep(INFINITE);
  }
  if (mode == "probe" && argc > 3) {
    switch (lock->Wait(std::stoi(argv[3]))) {
      case platform::LockWait::kAcquired:
        lock->Release();
        return 0;
      case platform::LockWait::kTimedOut:
        return 1;
      case platform::LockWait::kFailed:
        return 2;
    }
  }
  return 3;
}
