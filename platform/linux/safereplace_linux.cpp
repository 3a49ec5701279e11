// Linux side of the safe replace: a new file beside the entry, flushed, then
// renamed over it; links and entries of other users are never trusted.
#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/linux/folderreplace.h"
#include "platform/safereplace.h"
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

constexpr int kMaxLinkHops = 8;

std::string FolderOf(const std::string& path) {
  const std::string dir = DirectoryOf(path);
  return dir.empty() ? std::string(".") : dir;
}

// A group of the user's own name with nobody else listed: the private group
// many systems give each user, which lets nobody else in.
bool PrivateGroupOfUser(gid_t groupId) {
  const passwd* user = ::getpwuid(::geteuid());
  if (user == nullptr) return false;
  const std::string userName = user->pw_name;
  const struct group* entry = ::getgrgid(groupId);
  if (entry == nullptr || userName != entry->gr_name) return false;
  for (char** member = entry->gr_mem; member != nullptr && *member != nullptr; ++member) {
    if (userName != *member) return false;
  }
  return true;
}

// Whether a user other than this one may create, rename or remove entries in
// the folder (root may always; that is not counted).
bool OthersMayWrite(const struct stat& folder) {
  if (folder.st_mode & S_IWOTH) return true;
  if ((folder.st_mode & S_IWGRP) && !PrivateGroupOfUser(folder.st_gid)) return true;
  return folder.st_uid != ::geteuid() && folder.st_uid != 0 && (folder.st_mode & S_IWUSR);
}

// The entry to replace: `path` itself, or the target of a link this user made
// in a folder nobody else may change. `entry` holds the target's lstat.
struct Resolved {
  ReplaceStatus status = ReplaceStatus::Ok;
  std::string target;
  bool link = false;
  bool exists = false;
  struct stat entry {};
  struct stat folder {};
};

// The next entry a link names: its text, taken from the link's folder when relative.
bool FollowOnce(const std::string& link, std::string& next) {
  std::vector<char> buffer(4096);
  const ssize_t n = ::readlink(link.c_str(), buffer.data(), buffer.size());
  if (n <= 0 || static_cast<size_t>(n) >= buffer.size()) return false;
  const std::string text(buffer.data(), static_cast<size_t>(n));
  next = text[0] == '/' ? text : DirectoryOf(link) + text;
  return true;
}

// Follows links one at a time, so that a link of another user anywhere in a
// chain stops it (a path resolved in one step would write through it).
Resolved Resolve(const std::string& path) {
  Resolved r;
  r.target = path;
  struct stat st;
  for (int hops = 0; ::lstat(r.target.c_str(), &st) == 0 && S_ISLNK(st.st_mode); ++hops) {
    struct stat linkFolder;
    if (hops == kMaxLinkHops || ::stat(FolderOf(r.target).c_str(), &linkFolder) != 0) {
      r.status = ReplaceStatus::Failed;
      return r;
    }
    // In a folder others may change, the link checked now could be another's
    // by the time it is followed; only the user's own links elsewhere are.
    const bool swappable = OthersMayWrite(linkFolder) && !(linkFolder.st_mode & S_ISVTX);
    if (st.st_uid != ::geteuid() || swappable) {
      r.status = ReplaceStatus::ForeignLink;
      return r;
    }
    if (!FollowOnce(r.target, r.target)) {
      r.status = ReplaceStatus::Failed;
      return r;
    }
    r.link = true;
  }
  if (r.link && ::lstat(r.target.c_str(), &st) != 0) {  // a link to nothing: no file to replace
    r.status = ReplaceStatus::Failed;
    return r;
  }
  if (::stat(FolderOf(r.target).c_str(), &r.folder) != 0 || !S_ISDIR(r.folder.st_mode)) {
    r.status = ReplaceStatus::Failed;
    return r;
  }
  r.exists = ::lstat(r.target.c_str(), &r.entry) == 0;
  if (r.exists && S_ISLNK(r.entry.st_mode)) {  // swapped while being resolved
    r.status = ReplaceStatus::Changed;
    return r;
  }
  if (r.exists && r.entry.st_uid != ::geteuid() && OthersMayWrite(r.folder)) {
    r.status = ReplaceStatus::ForeignEntry;
  }
  return r;
}

FileIdentity IdentityFrom(const Resolved& r) {
  FileIdentity identity;
  if (r.status != ReplaceStatus::Ok || !r.exists) return identity;
  identity.known = true;
  identity.link = r.link;
  identity.device = static_cast<uint64_t>(r.entry.st_dev);
  identity.inode = static_cast<uint64_t>(r.entry.st_ino);
  return identity;
}

ReplaceStatus Check(const Resolved& r, const FileIdentity* expected) {
  if (r.status != ReplaceStatus::Ok) return r.status;
  // A file gone since it was read leaves nothing to overwrite; another one in
  // its place was not read and is not replaced.
  if (expected != nullptr && expected->known && r.exists && IdentityFrom(r) != *expected) {
    return ReplaceStatus::Changed;
  }
  if (!r.exists) return ReplaceStatus::Ok;
  if (!S_ISREG(r.entry.st_mode)) return ReplaceStatus::Failed;
  // A file without any write permission is read-only, even for root: the
  // rename would otherwise replace it, which the read-only mark forbids.
  if ((r.entry.st_mode & 0222) == 0 || ::access(r.target.c_str(), W_OK) != 0) {
    return ReplaceStatus::Failed;
  }
  return ReplaceStatus::Ok;
}

// ".<name>.tmp": the prefix of every temporary file made for <name>; the
// writer's process id and a counter follow it.
std::string TempPrefix(const std::string& name) { return "." + name + ".tmp"; }

// A program killed half-way through a replace leaves its temporary file
// behind; the next replace of the same file removes those whose writer is gone.
void RemoveOrphanedTemps(int dir, const std::string& name) {
  const std::string prefix = TempPrefix(name);
  // Listed only where the folder may be read; a folder that may only be
  // written into keeps its leftovers, as before.
  const int listed = ::openat(dir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (listed < 0) return;
  DIR* folder = ::fdopendir(listed);
  if (folder == nullptr) {
    ::close(listed);
    return;
  }
  while (const dirent* entry = ::readdir(folder)) {
    const std::string found = entry->d_name;
    if (found.compare(0, prefix.size(), prefix) != 0) continue;
    char* end = nullptr;
    const long pid = std::strtol(found.c_str() + prefix.size(), &end, 10);
    if (pid <= 0 || end == nullptr || *end != '-') continue;
    struct stat st;
    // Only the user's own leftovers: a name another user chose is left alone.
    if (::fstatat(dir, found.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || st.st_uid != ::geteuid()) {
      continue;
    }
    if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) {
      ::unlinkat(dir, found.c_str(), 0);
    }
  }
  ::closedir(folder);
}

// Created with O_EXCL (which never follows a link), so no other file is reused.
int CreateUniqueTemp(int dir, const std::string& name, mode_t mode, std::string& temp) {
  static std::atomic<unsigned> counter{0};
  const std::string prefix = TempPrefix(name) + std::to_string(::getpid()) + "-";
  for (int attempt = 0; attempt < 100; ++attempt) {
    temp = prefix + std::to_string(counter++);
    const int fd =
        ::openat(dir, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

bool WriteTemp(int fd, const Resolved& r, const std::string& bytes) {
  bool ok = WriteAll(fd, bytes.data(), bytes.size());
  if (ok && r.exists) {
    // Owner first: a change of owner clears the set-id bits that fchmod restores.
    if (r.entry.st_uid != ::geteuid() || r.entry.st_gid != ::getegid()) {
      (void)!::fchown(fd, r.entry.st_uid, r.entry.st_gid);  // possible only for root
    }
    ok = ::fchmod(fd, r.entry.st_mode & 07777) == 0;
  }
  // The content reaches the disk before the name does: after a power cut the
  // name never points at a file whose blocks were not written yet.
  return ok && ::fsync(fd) == 0;
}

// The entry is still the one checked (or still absent) just before the rename.
bool Unchanged(int dir, const std::string& name, const Resolved& r) {
  struct stat now;
  const bool exists = ::fstatat(dir, name.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0;
  if (exists != r.exists) return false;
  return !exists || (now.st_dev == r.entry.st_dev && now.st_ino == r.entry.st_ino);
}

void FsyncFolder(int dir) {
  const int fd = ::openat(dir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  (void)::fsync(fd);  // some file systems refuse fsync on folders
  ::close(fd);
}

}  // namespace

FileIdentity IdentityOf(const std::string& path) {
  Resolved r = Resolve(path);
  if (r.status == ReplaceStatus::ForeignLink) {
    // Another's link is the entry itself, never what it points at.
    FileIdentity identity;
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0) return identity;
    identity.known = true;
    identity.link = true;
    identity.device = static_cast<uint64_t>(st.st_dev);
    identity.inode = static_cast<uint64_t>(st.st_ino);
    return identity;
  }
  if (r.status == ReplaceStatus::ForeignEntry) r.status = ReplaceStatus::Ok;
  return IdentityFrom(r);
}

ReplaceStatus CheckReplaceable(const std::string& path, const FileIdentity* expected) {
  if (path.empty()) return ReplaceStatus::Failed;
  return Check(Resolve(path), expected);
}

struct FolderReplace::Held {
  Resolved resolved;
  ReplaceStatus status = ReplaceStatus::Failed;
  int dir = -1;
  std::string name;
};

FolderReplace::FolderReplace(const std::string& path, const FileIdentity* expected)
    : held_(std::make_unique<Held>()) {
  if (path.empty()) return;
  Held& h = *held_;
  h.resolved = Resolve(path);
  h.status = Check(h.resolved, expected);
  if (h.status != ReplaceStatus::Ok) return;
  const std::string& target = h.resolved.target;
  // O_PATH: held as a place, so a folder that may be written but not read works too.
  h.dir = ::open(FolderOf(target).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  struct stat opened;
  if (h.dir < 0 || ::fstat(h.dir, &opened) != 0) {
    h.status = ReplaceStatus::Failed;
    return;
  }
  // The folder opened must be the one checked: swapped in between, it is not.
  if (opened.st_dev != h.resolved.folder.st_dev || opened.st_ino != h.resolved.folder.st_ino) {
    h.status = ReplaceStatus::Changed;
    return;
  }
  h.name = target.substr(DirectoryOf(target).size());
}

FolderReplace::~FolderReplace() {
  if (held_->dir >= 0) ::close(held_->dir);
}

ReplaceStatus FolderReplace::status() const { return held_->status; }

ReplaceStatus FolderReplace::Write(const std::string& bytes) {
  Held& h = *held_;
  if (h.status != ReplaceStatus::Ok) return h.status;
  RemoveOrphanedTemps(h.dir, h.name);
  std::string temp;
  const int fd = CreateUniqueTemp(h.dir, h.name, h.resolved.exists ? 0600 : 0666, temp);
  if (fd < 0) return ReplaceStatus::Failed;  // a folder that takes no new file: nothing changes
  bool ok = WriteTemp(fd, h.resolved, bytes);
  if (::close(fd) != 0) ok = false;
  if (!ok) {
    ::unlinkat(h.dir, temp.c_str(), 0);
    return ReplaceStatus::Failed;
  }
  if (!Unchanged(h.dir, h.name, h.resolved)) {
    ::unlinkat(h.dir, temp.c_str(), 0);
    return ReplaceStatus::Changed;
  }
  if (::renameat(h.dir, temp.c_str(), h.dir, h.name.c_str()) != 0) {
    ::unlinkat(h.dir, temp.c_str(), 0);
    return ReplaceStatus::Failed;
  }
  FsyncFolder(h.dir);
  return ReplaceStatus::Ok;
}

ReplaceStatus SafeReplaceFile(const std::string& path, const std::string& bytes,
                              const FileIdentity* expected) {
  return FolderReplace(path, expected).Write(bytes);
}

}  // namespace platform
