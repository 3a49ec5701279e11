// A private folder under /tmp for one test (Linux).
#include "tests/support/tempdir.h"

#include <ftw.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace testsupport {

namespace {

int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) {
  // Depth-first walk (FTW_DEPTH): files before their folder.
  ::remove(path);
  return 0;
}

}  // namespace

TempDir::TempDir() {
  std::string pattern = "/tmp/vormik-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (::mkdtemp(buffer.data()) != nullptr) path_ = buffer.data();
}

TempDir::~TempDir() {
  if (!path_.empty()) RemoveTree(path_);
}

bool RemoveTree(const std::string& path) {
  struct stat info;
  if (::lstat(path.c_str(), &info) != 0) return true;
  // FTW_PHYS: a symlink (such as the emulator's pty link) is removed, not followed.
  ::nftw(path.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
  return ::lstat(path.c_str(), &info) != 0;
}

}  // namespace testsupport
