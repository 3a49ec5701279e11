// A tiny file system of its own (a 64 KiB tmpfs), to be filled up: root only;
// otherwise a reason to skip.
#pragma once

#include <string>

#include "tests/support/tempdir.h"

namespace testsupport {

// Usage:
//   FullDisk disk;
//   if (!disk.reason().empty()) GTEST_SKIP() << disk.reason();
//   ... write what must survive ...
//   disk.Fill();   // no free block left
//   disk.Free();   // room again (the filler removed)
class FullDisk {
 public:
  FullDisk();
  ~FullDisk();
  FullDisk(const FullDisk&) = delete;
  FullDisk& operator=(const FullDisk&) = delete;

  // Takes every free block with a filler file.
  void Fill();
  void Free();
  const std::string& reason() const { return reason_; }
  std::string File(const std::string& name) const { return dir_.File(name); }
  std::string path() const { return dir_.path(); }

 private:
  TempDir dir_;
  bool mounted_ = false;
  std::string reason_;
};

}  // namespace testsupport
