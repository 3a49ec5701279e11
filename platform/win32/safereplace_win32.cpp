// Windows side of the safe replace: a new file beside the entry, flushed, then
// put over it with ReplaceFile; a reparse point (link) is never followed, and
// another user's file in a folder others may write is not replaced.
#include "platform/safereplace.h"

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

#include "platform/system.h"
#include "platform/win32/widetext.h"
#include "platform/win32/windowsapi.h"

#include <aclapi.h>

namespace platform {
namespace {

bool WriteAll(HANDLE file, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
    DWORD written = 0;
    if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr) || written == 0)
      return false;
    done += written;
  }
  return true;
}

// The user this process runs as, for comparing with owners and access entries.
std::vector<BYTE> CurrentUserSid() {
  std::vector<BYTE> sid;
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return sid;
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::vector<BYTE> buffer(size);
  if (size > 0 && GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) {
    const PSID user = reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
    sid.assign(static_cast<BYTE*>(user), static_cast<BYTE*>(user) + GetLengthSid(user));
  }
  CloseHandle(token);
  return sid;
}

bool SameSid(PSID sid, const std::vector<BYTE>& other) {
  return sid != nullptr && !other.empty() && IsValidSid(sid) &&
         EqualSid(sid, const_cast<BYTE*>(other.data()));
}

// SYSTEM, the administrators and the installer service may write anywhere, as
// root may on Linux: they are not counted as other users.
bool SystemAccount(PSID sid) {
  return IsWellKnownSid(sid, WinLocalSystemSid) || IsWellKnownSid(sid, WinBuiltinAdministratorsSid) ||
         IsWellKnownSid(sid, WinLocalServiceSid) || IsWellKnownSid(sid, WinNetworkServiceSid) ||
         (GetSidIdentifierAuthority(sid)->Value[5] == 5 && *GetSidSubAuthorityCount(sid) >= 1 &&
          *GetSidSubAuthority(sid, 0) == SECURITY_SERVICE_ID_BASE_RID);
}

// An owner the user may count as their own: the user, or the administrators
// group when the user acts as one (files an elevated administrator makes).
bool OwnedByUser(PSID owner, const std::vector<BYTE>& user) {
  if (SameSid(owner, user)) return true;
  BOOL member = FALSE;
  return IsWellKnownSid(owner, WinBuiltinAdministratorsSid) &&
         CheckTokenMembership(nullptr, owner, &member) && member;
}

// The owner of an open file or folder, with its access list when asked for.
struct Security {
  bool known = false;
  PSID owner = nullptr;
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ~Security() { LocalFree(descriptor); }
};

void ReadSecurity(HANDLE handle, bool withAccessList, Security& security) {
  SECURITY_INFORMATION wanted = OWNER_SECURITY_INFORMATION;
  if (withAccessList) wanted |= DACL_SECURITY_INFORMATION;
  security.known = GetSecurityInfo(handle, SE_FILE_OBJECT, wanted, &security.owner, nullptr,
                                   withAccessList ? &security.dacl : nullptr, nullptr,
                                   &security.descriptor) == ERROR_SUCCESS &&
                   security.owner != nullptr;
}

// Rights on a folder that let their holder put another file at a name in it,
// or give themselves that right.
constexpr ACCESS_MASK kFolderWriteRights = FILE_ADD_FILE | FILE_DELETE_CHILD | WRITE_DAC |
                                           WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;

// Whether a user other than this one (and the system accounts) may create,
// rename or remove entries in the folder. Denials are not weighed: an allow
// for others counts even where a denial might cut it back, so that a doubt
// refuses rather than writes.
bool OthersMayWrite(const Security& folder, const std::vector<BYTE>& user) {
  if (!folder.known) return true;  // unknown: assume the worst
  const bool ownFolder = OwnedByUser(folder.owner, user);
  // An owner may always rewrite the access list.
  if (!ownFolder && !SystemAccount(folder.owner)) return true;
  if (folder.dacl == nullptr) return true;  // no list at all: everyone has every right
  for (DWORD i = 0; i < folder.dacl->AceCount; ++i) {
    ACE_HEADER* header = nullptr;
    if (!GetAce(folder.dacl, i, reinterpret_cast<void**>(&header))) return true;
    if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) continue;
    if (header->AceFlags & INHERIT_ONLY_ACE) continue;  // for what is made inside, not the folder
    const auto* ace = reinterpret_cast<const ACCESS_ALLOWED_ACE*>(header);
    if ((ace->Mask & kFolderWriteRights) == 0) continue;
    PSID sid = const_cast<DWORD*>(&ace->SidStart);
    if (SameSid(sid, user) || SystemAccount(sid)) continue;
    if (IsWellKnownSid(sid, WinCreatorOwnerSid)) continue;  // stands for the maker of a new entry
    if (IsWellKnownSid(sid, WinCreatorOwnerRightsSid) && ownFolder) continue;
    return true;
  }
  return false;
}

std::string FolderPath(const std::string& path) {
  std::string dir = DirectoryOf(path);
  if (dir.empty()) return ".";
  // "C:\" stays as it is: without its separator it names the drive's current folder.
  if (dir.size() > 1 && (dir.back() == '\\' || dir.back() == '/') && dir[dir.size() - 2] != ':') {
    dir.pop_back();
  }
  return dir;
}

bool FolderOpenToOthers(const std::string& path, const std::vector<BYTE>& user) {
  HANDLE folder = CreateFileW(Wide(FolderPath(path)).c_str(), READ_CONTROL,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  Security security;
  if (folder != INVALID_HANDLE_VALUE) {
    ReadSecurity(folder, true, security);
    CloseHandle(folder);
  }
  return OthersMayWrite(security, user);
}

// Whether the volume records owners and access lists at all. A FAT memory
// stick does not: every user of the PC may change it, and its files are
// nobody's, so they are taken as the user's (as Linux mounts them for the user).
bool KeepsOwners(HANDLE handle) {
  DWORD flags = 0;
  if (!GetVolumeInformationByHandleW(handle, nullptr, 0, nullptr, nullptr, &flags, nullptr, 0)) {
    return true;
  }
  return (flags & FILE_PERSISTENT_ACLS) != 0;
}

// The entry itself, never what a reparse point leads to.
struct Entry {
  bool exists = false;
  bool ownersOwn = true;  // this user's, or on a volume without owners (or not asked)
  DWORD attributes = 0;
  FileIdentity identity;
};

Entry Inspect(const std::string& path, const std::vector<BYTE>* user = nullptr) {
  Entry entry;
  HANDLE handle = CreateFileW(
      Wide(path).c_str(), FILE_READ_ATTRIBUTES | READ_CONTROL,
      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
      FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return entry;
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileInformationByHandle(handle, &info)) {
    entry.exists = true;
    entry.attributes = info.dwFileAttributes;
    entry.identity.known = true;
    entry.identity.link = (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    entry.identity.device = info.dwVolumeSerialNumber;
    entry.identity.inode = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    if (user != nullptr && KeepsOwners(handle)) {
      Security security;
      ReadSecurity(handle, false, security);
      // An owner that cannot be read is not taken for the user's.
      entry.ownersOwn = security.known && OwnedByUser(security.owner, *user);
    }
  }
  CloseHandle(handle);
  return entry;
}

ReplaceStatus Check(const std::string& path, const Entry& entry, const FileIdentity* expected,
                    const std::vector<BYTE>& user) {
  // Making links needs a privilege teachers do not have: one at the entry was
  // planted, and writing through it would reach wherever it points.
  if (entry.exists && (entry.attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    return ReplaceStatus::ForeignLink;
  }
  if (entry.exists && !entry.ownersOwn && FolderOpenToOthers(path, user)) {
    return ReplaceStatus::ForeignEntry;
  }
  if (expected != nullptr && expected->known && entry.exists && entry.identity != *expected) {
    return ReplaceStatus::Changed;
  }
  if (entry.exists && (entry.attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY))) {
    return ReplaceStatus::Failed;
  }
  return ReplaceStatus::Ok;
}

}  // namespace

FileIdentity IdentityOf(const std::string& path) { return Inspect(path).identity; }

ReplaceStatus CheckReplaceable(const std::string& path, const FileIdentity* expected) {
  if (path.empty()) return ReplaceStatus::Failed;
  const std::vector<BYTE> user = CurrentUserSid();
  return Check(path, Inspect(path, &user), expected, user);
}

ReplaceStatus SafeReplaceFile(const std::string& path, const std::string& bytes,
                              const FileIdentity* expected) {
  if (path.empty()) return ReplaceStatus::Failed;
  const std::vector<BYTE> user = CurrentUserSid();
  const Entry entry = Inspect(path, &user);
  const ReplaceStatus checked = Check(path, entry, expected, user);
  if (checked != ReplaceStatus::Ok) return checked;
  static std::atomic<unsigned> counter{0};
  const std::string dir = DirectoryOf(path);
  const std::string base = path.substr(dir.size());
  std::string temp;
  HANDLE file = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < 100 && file == INVALID_HANDLE_VALUE; ++attempt) {
    temp = dir + "~" + base + "." + std::to_string(GetCurrentProcessId()) + "." +
           std::to_string(counter++) + ".tmp";
    // CREATE_NEW fails when the name is taken, so no other file is reused.
    file = CreateFileW(Wide(temp).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) {
      return ReplaceStatus::Failed;  // a folder that takes no new file: nothing changes
    }
  }
  if (file == INVALID_HANDLE_VALUE) return ReplaceStatus::Failed;
  bool ok = WriteAll(file, bytes) && FlushFileBuffers(file) != 0;
  if (!CloseHandle(file)) ok = false;
  if (ok && Inspect(path).identity != entry.identity) {
    DeleteFileW(Wide(temp).c_str());
    return ReplaceStatus::Changed;
  }
  if (ok) {
    // ReplaceFile keeps the old file's attributes and access rights, as the
    // Linux side keeps the permission bits. Where it is not supported (some
    // network shares), or fails, the old file is still in place and a plain
    // rename is tried.
    const bool replaced =
        entry.exists && ReplaceFileW(Wide(path).c_str(), Wide(temp).c_str(), nullptr,
                                     REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) != 0;
    ok = replaced || MoveFileExW(Wide(temp).c_str(), Wide(path).c_str(),
                                 MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
  }
  if (!ok) {
    DeleteFileW(Wide(temp).c_str());
    return ReplaceStatus::Failed;
  }
  return ReplaceStatus::Ok;
}

}  // namespace platform
