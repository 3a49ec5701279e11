// Test lock names and the removal of their objects from /dev/shm.
#include "tests/support/locknames.h"

#include <stdlib.h>
#ifdef _WIN32
#include <process.h>
#else
#include <dirent.h>
#include <unistd.h>
#endif

#include <mutex>

namespace testsupport {

namespace {

std::string Mark() { return "PortSharing-test-" + std::to_string(getpid()) + "-"; }

void RemoveAtExit() { RemoveTestLockObjects(); }

}  // namespace

std::string TestLockName(const std::string& tag) {
  static std::once_flag registered;
  std::call_once(registered, [] { atexit(RemoveAtExit); });
  return Mark() + tag;
}

int RemoveTestLockObjects() {
#ifdef _WIN32
  return 0;  // a named Windows object goes with the last handle to it
#else
  // Our own objects only: "vormik-<uid>-" and this process's mark.
  const std::string owner = "vormik-" + std::to_string(geteuid()) + "-";
  const std::string mark = Mark();
  int removed = 0;
  if (DIR* dir = opendir("/dev/shm")) {
    while (dirent* entry = readdir(dir)) {
      const std::string name = entry->d_name;
      if (name.rfind(owner, 0) == 0 && name.find(mark) != std::string::npos &&
          unlink(("/dev/shm/" + name).c_str()) == 0)
        ++removed;
    }
    closedir(dir);
  }
  return removed;
#endif
}

}  // namespace testsupport
