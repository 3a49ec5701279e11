// Windows side of the private channel: a named pipe whose access rights admit
// only its user stands in for the private folder; the peer check asks whose
// process holds the other end, since another user may have made the pipe
// name first and would then be the one a second start talks to.
#include "platform/privatechannel.h"

#include <vector>

#include "platform/win32/windowsapi.h"

namespace platform {

namespace {

// The user a process runs as, as its token's SID bytes; empty when unknown.
std::vector<unsigned char> UserSidOf(HANDLE process) {
  HANDLE token = nullptr;
  if (!OpenProcessToken(process, TOKEN_QUERY, &token)) return {};
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::vector<unsigned char> buffer(size);
  std::vector<unsigned char> sid;
  if (size > 0 && GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) {
    const PSID user = reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
    const DWORD length = GetLengthSid(user);
    sid.assign(static_cast<unsigned char*>(user), static_cast<unsigned char*>(user) + length);
  }
  CloseHandle(token);
  return sid;
}

}  // namespace

std::string PrivateSocketFolder(const char*, const std::string&, std::string& problem) {
  problem.clear();
  return {};
}

bool PeerIsThisUser(intptr_t socketDescriptor) {
  const HANDLE pipe = reinterpret_cast<HANDLE>(socketDescriptor);
  DWORD flags = 0;
  if (!GetNamedPipeInfo(pipe, &flags, nullptr, nullptr, nullptr)) return false;
  ULONG peer = 0;
  const BOOL known = (flags & PIPE_SERVER_END) != 0 ? GetNamedPipeClientProcessId(pipe, &peer)
                                                    : GetNamedPipeServerProcessId(pipe, &peer);
  if (!known) return false;
  const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, peer);
  if (process == nullptr) return false;
  const std::vector<unsigned char> theirs = UserSidOf(process);
  CloseHandle(process);
  const std::vector<unsigned char> ours = UserSidOf(GetCurrentProcess());
  return !ours.empty() && theirs == ours;
}

}  // namespace platform
