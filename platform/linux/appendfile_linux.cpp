// Linux implementation of the append-only file: O_APPEND, O_NOFOLLOW, and a
// check of the owner so that a file planted by another user is not written.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/appendfile.h"

namespace platform {

bool CreateOwnFolder(const std::string& path) {
  if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid();
}

AppendOpenStatus AppendFile::Open(const std::string& path, bool& empty) {
  Close();
  const std::string::size_type slash = path.find_last_of('/');
  if (slash != std::string::npos && slash > 0 && !CreateOwnFolder(path.substr(0, slash))) {
    return AppendOpenStatus::FolderMissing;
  }
  const int fd =
      ::open(path.c_str(),
             O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0600);
  if (fd < 0) {
    return errno == ELOOP || errno == EISDIR ? AppendOpenStatus::NotAFile
                                             : AppendOpenStatus::Failed;
  }
  struct stat st;
  if (::fstat(fd, &st) != 0) {
    ::close(fd);
    return AppendOpenStatus::Failed;
  }
  if (!S_ISREG(st.st_mode)) {
    ::close(fd);
    return AppendOpenStatus::NotAFile;
  }
  if (st.st_uid != ::geteuid()) {
    ::close(fd);
    return AppendOpenStatus::NotOwned;
  }
  // Non-blocking was only for the open (a planted pipe must not hang it).
  ::fcntl(fd, F_SETFL, O_APPEND);
  empty = st.st_size == 0;
  fd_ = fd;
  return AppendOpenStatus::Ok;
}

bool AppendFile::Append(const std::string& bytes) {
  if (fd_ < 0) return false;
  for (;;) {
    const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    // A short write would leave a cut record: the file is full, and the
    // record is reported as lost.
    return n == static_cast<ssize_t>(bytes.size());
  }
}

void AppendFile::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool AppendFile::isOpen() const { return fd_ >= 0; }

}  // namespace platform
