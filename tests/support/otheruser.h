// A second local user, made for one test and removed after it, for checks of
// what another user can and cannot do (root only; otherwise a reason to skip).
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>

namespace testsupport {

// Usage:
//   OtherUser other;
//   if (!other.Ok()) GTEST_SKIP() << other.Reason();
//   EXPECT_EQ(other.RunAs([&] { return symlink(...) == 0 ? 0 : 1; }), 0);
class OtherUser {
 public:
  OtherUser();   // useradd
  ~OtherUser();  // userdel
  OtherUser(const OtherUser&) = delete;
  OtherUser& operator=(const OtherUser&) = delete;

  bool Ok() const { return reason_.empty(); }
  const std::string& Reason() const { return reason_; }
  uid_t uid() const { return uid_; }
  gid_t gid() const { return gid_; }

  // Runs `action` in a child process as this user (its own group only); the
  // child's exit code is what `action` returns, -1 when it did not end normally.
  int RunAs(const std::function<int()>& action) const;

 private:
  std::string name_;
  std::string reason_;
  uid_t uid_ = 0;
  gid_t gid_ = 0;
};

}  // namespace testsupport
