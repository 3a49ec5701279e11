// Replacing a settings or classroom file so that nothing another user planted
// in its folder is ever written through, and the old file survives any failure.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// Which file a directory entry named when it was read: device and inode (on
// Windows volume and file index), and whether the entry was a link to it.
struct FileIdentity {
  bool known = false;  // false: nothing was there (or it could not be asked)
  bool link = false;
  uint64_t device = 0;
  uint64_t inode = 0;
  bool operator==(const FileIdentity& other) const {
    return known == other.known && link == other.link && device == other.device &&
           inode == other.inode;
  }
  bool operator!=(const FileIdentity& other) const { return !(*this == other); }
};

// The identity of the file at `path` now. A link of this user is followed to
// its file; a link of anyone else is not, and gives its own identity.
FileIdentity IdentityOf(const std::string& path);

enum class ReplaceStatus {
  Ok,
  Failed,        // nothing could be written (full disk, a folder or file that may not be
                 // written, a folder or device at the path): the old file is untouched
  ForeignLink,   // the entry is a link another user owns: never followed
  Changed,       // the entry is no longer the file that was read
  ForeignEntry,  // others may write in the folder and the entry is not this user's
};

// Checks the entry as SafeReplaceFile would, writing nothing: for refusing before
// the old file is even read.
ReplaceStatus CheckReplaceable(const std::string& path, const FileIdentity* expected = nullptr);

// Writes the bytes to a new file beside the entry, flushes them to the disk and
// renames the new file over the entry, so a reader (or a program killed half-
// way) sees the old or the new content whole. A link of this user is replaced
// at its target; `expected`, when given and known, is the identity the entry
// had when it was read, and a different file there now is Changed. The file
// keeps its permission bits. Never rewrites a file where it stands.
ReplaceStatus SafeReplaceFile(const std::string& path, const std::string& bytes,
                              const FileIdentity* expected = nullptr);

// Why a replace was refused, in Russian; "" for Ok and Failed (whose message
// belongs to the caller).
std::string RefusalText(ReplaceStatus status, const std::string& utf8Path);

}  // namespace platform
