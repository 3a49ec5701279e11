// Where a user's own local socket may live, and who is at its other end: the
// hand-over channel is refused rather than put where another user could reach it.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// A folder as lstat sees it.
struct FolderFacts {
  bool exists = false;
  bool directory = false;
  bool link = false;
  uint32_t owner = 0;
  uint32_t mode = 0;  // permission bits
};

enum class FolderTrust {
  Trusted,  // a real folder of this user that nobody else may enter
  Missing,
  NotAFolder,
  Link,          // a link: whoever made it chose where it leads
  ForeignOwner,  // another user's folder
  OpenToOthers,  // others may enter or write it
};

FolderTrust JudgeFolder(const FolderFacts& facts, uint32_t user);
// Why the folder is refused, in Russian; "" for Trusted.
std::string FolderTrustText(FolderTrust trust, const std::string& folder);

// The folder for this user's sockets: `runtimeDir` ($XDG_RUNTIME_DIR) when it
// is set, else "<fallbackBase>/vormik-<uid>", created with mode 0700. Either is
// checked before use; "" with `problem` said when it fails. On Windows the
// channel is a named pipe with its own access rights: "" and no problem.
std::string PrivateSocketFolder(const char* runtimeDir, const std::string& fallbackBase,
                                std::string& problem);

// True when the process at the other end of a connected local socket runs as
// this user (peer credentials). Windows: the pipe admits only this user.
bool PeerIsThisUser(intptr_t socketDescriptor);

}  // namespace platform
