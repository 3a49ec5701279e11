// Linux implementation of the small operating-system services of platform/system.h.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <vector>

#include "platform/system.h"

namespace platform {
namespace {

bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool FsyncPath(const std::string& path, int flags) {
  const int fd = ::open(path.c_str(), flags | O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = ::fsync(fd) == 0;
  ::close(fd);
  return ok;
}

// A symbolic link is replaced through its target, so the link survives.
std::string ResolveLink(const std::string& path) {
  struct stat st;
  if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    if (char* real = ::realpath(path.c_str(), nullptr)) {
      std::string resolved(real);
      std::free(real);
      return resolved;
    }
  }
  return path;
}

// Created with O_EXCL, so two writers never share a temporary file.
// "<folder>.<name>.tmp": the prefix of every temporary file made for <name>;
// the writer's process id and a counter follow it.
std::string TempPrefix(const std::string& target) {
  const std::string dir = DirectoryOf(target);
  return dir + "." + target.substr(dir.size()) + ".tmp";
}

// A program killed half-way through a replace leaves its temporary file
// behind; the next replace of the same file removes those whose writer is gone.
void RemoveOrphanedTemps(const std::string& target) {
  const std::string dir = DirectoryOf(target);
  const std::string prefix = TempPrefix(target).substr(dir.size());
  DIR* folder = ::opendir(dir.empty() ? "." : dir.c_str());
  if (folder == nullptr) return;
  while (const dirent* entry = ::readdir(folder)) {
    const std::string name = entry->d_name;
    if (name.compare(0, prefix.size(), prefix) != 0) continue;
    char* end = nullptr;
    const long pid = std::strtol(name.c_str() + prefix.size(), &end, 10);
    if (pid <= 0 || end == nullptr || *end != '-') continue;
    if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) {
      ::unlink((dir + name).c_str());
    }
  }
  ::closedir(folder);
}

int CreateUniqueTemp(const std::string& target, std::string& tempPath) {
  static std::atomic<unsigned> counter{0};
  const std::string prefix = TempPrefix(target) + std::to_string(::getpid()) + "-";
  for (int attempt = 0; attempt < 100; ++attempt) {
    tempPath = prefix + std::to_string(counter++);
    const int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

bool PermissionRefused(int error) { return error == EACCES || error == EPERM || error == EROFS; }

// For a writable file in a folder that takes no new file (a program folder an
// administrator has locked, a sticky folder): the new bytes go over the old
// ones and the file is then cut to their length. This is not atomic, but the
// file keeps its inode, owner and permission bits, and a full disk does not
// first free the old content the way a truncating open would.
bool RewriteInPlace(const std::string& target, const struct stat& old, const std::string& bytes) {
  if (!S_ISREG(old.st_mode)) return false;
  const int fd = ::open(target.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat now;
  bool ok = ::fstat(fd, &now) == 0 && now.st_dev == old.st_dev && now.st_ino == old.st_ino;
  ok = ok && WriteAll(fd, bytes.data(), bytes.size());
  ok = ok && ::ftruncate(fd, static_cast<off_t>(bytes.size())) == 0;
  ok = ok && ::fsync(fd) == 0;
  if (::close(fd) != 0) ok = false;
  return ok;
}

}  // namespace

std::string ExecutablePath() {
  std::vector<char> buffer(PATH_MAX);
  for (;;) {
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) return {};
    if (static_cast<size_t>(n) < buffer.size()) return std::string(buffer.data(), n);
    buffer.resize(buffer.size() * 2);
  }
}

std::string DirectoryOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool FileExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool PathExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

bool FileSize(const std::string& path, uint64_t& size) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  size = static_cast<uint64_t>(st.st_size);
  return true;
}

ReadStatus ReadFileLimited(const std::string& path, std::string& bytes, uint64_t maxBytes) {
  // O_NONBLOCK: opening a FIFO must not hang; only regular files are read.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT || errno == ENOTDIR) return ReadStatus::Missing;
    return errno == EISDIR || errno == ENXIO ? ReadStatus::NotAFile : ReadStatus::Unreadable;
  }
  struct stat st;
  if (::fstat(fd, &st) != 0) {
    ::close(fd);
    return ReadStatus::Unreadable;
  }
  if (!S_ISREG(st.st_mode)) {
    ::close(fd);
    return ReadStatus::NotAFile;
  }
  // Checked before any memory is taken: a sparse file of 64 GB costs nothing
  // on disk and would otherwise be reserved whole.
  if (static_cast<uint64_t>(st.st_size) > maxBytes) {
    ::close(fd);
    return ReadStatus::TooLarge;
  }
  std::string data;
  // One byte of room past the size: the read that finds the end then needs no
  // growth, which would copy the whole file (twice the memory).
  data.resize(static_cast<size_t>(st.st_size) + 1);
  size_t filled = 0;
  ReadStatus status = ReadStatus::Ok;
  for (;;) {
    if (filled == data.size()) {  // the file grew
      if (filled > maxBytes) {
        status = ReadStatus::TooLarge;
        break;
      }
      data.resize(static_cast<size_t>(std::min<uint64_t>(maxBytes + 1, data.size() + 65536)));
    }
    const ssize_t n = ::read(fd, &data[filled], data.size() - filled);
    if (n < 0) {
      if (errno == EINTR) continue;
      status = ReadStatus::Unreadable;
      break;
    }
    if (n == 0) break;
    filled += static_cast<size_t>(n);
  }
  ::close(fd);
  if (status != ReadStatus::Ok) return status;
  data.resize(filled);
  bytes.swap(data);
  return ReadStatus::Ok;
}

bool ReplaceFileAtomically(const std::string& path, const std::string& bytes) {
  if (path.empty()) return false;
  const std::string target = ResolveLink(path);
  struct stat old;
  const bool existed = ::stat(target.c_str(), &old) == 0;
  if (existed) {
    if (S_ISDIR(old.st_mode)) return false;
    // A file without any write permission is read-only, even for root: the
    // rename would otherwise replace it, which the read-only mark forbids.
    if ((old.st_mode & 0222) == 0 || ::access(target.c_str(), W_OK) != 0) return false;
  }
  RemoveOrphanedTemps(target);
  std::string temp;
  const int fd = CreateUniqueTemp(target, temp);
  if (fd < 0) return existed && PermissionRefused(errno) && RewriteInPlace(target, old, bytes);
  bool ok = WriteAll(fd, bytes.data(), bytes.size());
  if (ok && existed) {
    // Owner first: a change of owner clears the set-id bits that fchmod restores.
    if (old.st_uid != ::geteuid() || old.st_gid != ::getegid()) {
      (void)!::fchown(fd, old.st_uid, old.st_gid);  // possible only for root; best effort
    }
    ok = ::fchmod(fd, old.st_mode & 07777) == 0;
  }
  // The content reaches the disk before the name does: after a power cut the
  // name never points at a file whose blocks were not written yet.
  if (ok) ok = ::fsync(fd) == 0;
  if (::close(fd) != 0) ok = false;
  if (!ok) {
    ::unlink(temp.c_str());
    return false;
  }
  if (::rename(temp.c_str(), target.c_str()) != 0) {
    const int error = errno;
    ::unlink(temp.c_str());
    return existed && PermissionRefused(error) && RewriteInPlace(target, old, bytes);
  }
  return true;
}

bool FlushFileToDisk(const std::string& path) {
  const std::string target = ResolveLink(path);
  if (!FsyncPath(target, 0)) return false;
  // The rename that put the file in place lives in its folder.
  std::string dir = DirectoryOf(target);
  if (dir.empty()) dir = ".";
  FsyncPath(dir, O_DIRECTORY);  // some file systems refuse fsync on folders
  return true;
}

}  // namespace platform
