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

namespace {

// The folder opened as itself (never through a link) and checked to be the
// user's own: the file is then opened inside it, so the folder cannot be
// swapped for a link between the check and the open. -1 when it is not.
int OpenOwnFolder(const std::string& folder) {
  if (!CreateOwnFolder(folder)) return -1;
  const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (dir < 0) return -1;
  struct stat st;
  if (::fstat(dir, &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) {
    ::close(dir);
    return -1;
  }
  return dir;
}

}  // namespace

AppendOpenStatus AppendFile::Open(const std::string& path, bool& empty) {
  Close();
  const std::string::size_type slash = path.find_last_of('/');
  const bool inFolder = slash != std::string::npos && slash > 0;
  const int dir = inFolder ? OpenOwnFolder(path.substr(0, slash)) : AT_FDCWD;
  if (dir == -1) return AppendOpenStatus::FolderMissing;
  const std::string name = inFolder ? path.substr(slash + 1) : path;
  const int fd = ::openat(
      dir, name.c_str(),
      O_RDWR | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0600);
  const int openError = errno;
  if (inFolder) ::close(dir);
  if (fd < 0) {
    return openError == ELOOP || openError == EISDIR || openError == ENXIO
               ? AppendOpenStatus::NotAFile
               : AppendOpenStatus::Failed;
  }
  struct stat st;
  if (::fstat(fd, &st) != 0) {
    ::close(fd);
    return AppendOpenStatus::Failed;
  }
  // A second name of the same file (a hard link planted in a shared folder)
  // would write into a file the user keeps elsewhere.
  if (!S_ISREG(st.st_mode) || st.st_nlink != 1) {
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

bool AppendFile::EndsMidRecord(char recordEnd) const {
  struct stat st;
  if (fd_ < 0 || ::fstat(fd_, &st) != 0 || st.st_size == 0) return false;
  char last = recordEnd;
  return ::pread(fd_, &last, 1, st.st_size - 1) == 1 && last != recordEnd;
}

bool AppendFile::Append(const std::string& bytes) {
  if (fd_ < 0) return false;
  struct stat before;
  if (::fstat(fd_, &before) != 0) return false;
  ssize_t n;
  do {
    n = ::write(fd_, bytes.data(), bytes.size());
  } while (n < 0 && errno == EINTR);
  if (n == static_cast<ssize_t>(bytes.size())) return true;
  // A short write (the disk filled up) would leave a cut record: the part
  // that reached the file is taken back, and the record is reported as lost.
  if (n > 0) (void)!::ftruncate(fd_, before.st_size);
  return false;
}

void AppendFile::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool AppendFile::isOpen() const { return fd_ >= 0; }

}  // namespace platform
