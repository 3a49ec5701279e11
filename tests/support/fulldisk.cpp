// A small tmpfs mounted over a temporary folder, and a filler that takes its blocks.
#include "tests/support/fulldisk.h"

#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace testsupport {

FullDisk::FullDisk() {
  if (::mount("tmpfs", dir_.path().c_str(), "tmpfs", 0, "size=64k,mode=0700") != 0) {
    reason_ = "mounting a tmpfs needs root: " + std::string(std::strerror(errno));
    return;
  }
  mounted_ = true;
}

FullDisk::~FullDisk() {
  if (mounted_) ::umount2(dir_.path().c_str(), MNT_DETACH);
}

void FullDisk::Fill() {
  const int fd = ::open(File("filler").c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
  const std::string block(4096, 'f');
  while (::write(fd, block.data(), block.size()) > 0) {
  }
  while (::write(fd, "f", 1) > 0) {
  }
  ::close(fd);
}

void FullDisk::Free() { ::unlink(File("filler").c_str()); }

}  // namespace testsupport
