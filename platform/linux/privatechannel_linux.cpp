// Linux side of the private socket folder and of the peer check (SO_PEERCRED).
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/privatechannel.h"

namespace platform {
namespace {

FolderFacts FactsOf(const std::string& folder) {
  FolderFacts facts;
  struct stat st;
  if (::lstat(folder.c_str(), &st) != 0) return facts;
  facts.exists = true;
  facts.directory = S_ISDIR(st.st_mode);
  facts.link = S_ISLNK(st.st_mode);
  facts.owner = st.st_uid;
  facts.mode = st.st_mode & 07777;
  return facts;
}

std::string Checked(const std::string& folder, std::string& problem) {
  const FolderTrust trust = JudgeFolder(FactsOf(folder), ::geteuid());
  if (trust == FolderTrust::Trusted) return folder;
  problem = FolderTrustText(trust, folder);
  return {};
}

}  // namespace

std::string PrivateSocketFolder(const char* runtimeDir, const std::string& fallbackBase,
                                std::string& problem) {
  problem.clear();
  if (runtimeDir != nullptr && *runtimeDir != '\0') return Checked(runtimeDir, problem);
  const std::string folder = fallbackBase + "/vormik-" + std::to_string(::geteuid());
  // An existing one is taken only if it passes the same check as a new one.
  (void)::mkdir(folder.c_str(), 0700);
  return Checked(folder, problem);
}

bool PeerIsThisUser(intptr_t socketDescriptor) {
  struct ucred peer {};
  socklen_t size = sizeof peer;
  if (::getsockopt(static_cast<int>(socketDescriptor), SOL_SOCKET, SO_PEERCRED, &peer, &size) !=
      0) {
    return false;
  }
  return size == sizeof peer && peer.uid == ::geteuid();
}

}  // namespace platform
