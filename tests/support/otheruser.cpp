// A throw-away local user for tests of what another user may do.
#include "tests/support/otheruser.h"

#include <grp.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>

namespace testsupport {

OtherUser::OtherUser() {
  if (::geteuid() != 0) {
    reason_ = "needs root to create a second local user (useradd)";
    return;
  }
  static std::atomic<int> counter{0};
  name_ = "vmkt" + std::to_string(::getpid()) + "x" + std::to_string(counter++);
  const std::string command = "useradd -M -N -r -s /usr/sbin/nologin " + name_ + " >/dev/null 2>&1";
  if (std::system(command.c_str()) != 0) {
    reason_ = "useradd refused to create " + name_;
    name_.clear();
    return;
  }
  const passwd* entry = ::getpwnam(name_.c_str());
  if (entry == nullptr) {
    reason_ = "the new user " + name_ + " is not known to getpwnam";
    return;
  }
  uid_ = entry->pw_uid;
  gid_ = entry->pw_gid;
}

OtherUser::~OtherUser() {
  if (name_.empty()) return;
  const std::string command = "userdel " + name_ + " >/dev/null 2>&1";
  (void)!std::system(command.c_str());
}

int OtherUser::RunAs(const std::function<int()>& action) const {
  if (!Ok()) return -1;
  const pid_t child = ::fork();
  if (child == 0) {
    if (::setgroups(0, nullptr) != 0 || ::setgid(gid_) != 0 || ::setuid(uid_) != 0) _exit(126);
    _exit(action());
  }
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

}  // namespace testsupport
