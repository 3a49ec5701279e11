// Linux implementation of the small operating-system services of platform/system.h.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <vector>

#include "platform/system.h"

namespace platform {
namespace {

// Only a regular file (or the folder asked for) is flushed. Opened without
// blocking: a FIFO put at the name since it was written would otherwise wait
// for a writer that never comes, and a device is not the file that was written.
bool FsyncPath(const std::string& path, int flags) {
  const int fd = ::open(path.c_str(), flags | O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  const bool wanted = ::fstat(fd, &st) == 0 &&
                      ((flags & O_DIRECTORY) != 0 ? S_ISDIR(st.st_mode) : S_ISREG(st.st_mode));
  const bool ok = wanted && ::fsync(fd) == 0;
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

bool FlushFileToDisk(const std::string& path) {
  const std::string target = ResolveLink(path);
  if (!FsyncPath(target, 0)) return false;
  // The rename that put the file in place lives in its folder.
  std::string dir = DirectoryOf(target);
  if (dir.empty()) dir = ".";
  FsyncPath(dir, O_DIRECTORY);  // some file systems refuse fsync on folders
  return true;
}

bool FolderWritable(const std::string& folder) {
  return ::faccessat(AT_FDCWD, folder.empty() ? "." : folder.c_str(), W_OK, AT_EACCESS) == 0;
}

bool MakeFolder(const std::string& path) {
  return ::mkdir(path.c_str(), 0700) == 0 || errno == EEXIST;
}

std::vector<std::string> ProcessArguments(int argc, char** argv) {
  std::vector<std::string> arguments;
  for (int i = 0; i < argc; ++i) arguments.emplace_back(argv[i] != nullptr ? argv[i] : "");
  return arguments;
}

bool EnvironmentValue(const char* name, std::string& value) {
  const char* text = std::getenv(name);
  if (text == nullptr) return false;
  value = text;
  return true;
}

}  // namespace platform
