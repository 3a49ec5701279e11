// Windows side of the safe replace: a new file beside the entry, flushed, then
// put over it with ReplaceFile; a reparse point (link) is never followed.
#include "platform/safereplace.h"

#include <algorithm>
#include <atomic>
#include <string>

#include "platform/system.h"
#include "platform/win32/windowsapi.h"

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

// The entry itself, never what a reparse point leads to.
struct Entry {
  bool exists = false;
  DWORD attributes = 0;
  FileIdentity identity;
};

Entry Inspect(const std::string& path) {
  Entry entry;
  HANDLE handle = CreateFileA(
      path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return entry;
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileInformationByHandle(handle, &info)) {
    entry.exists = true;
    entry.attributes = info.dwFileAttributes;
    entry.identity.known = true;
    entry.identity.link = (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    entry.identity.device = info.dwVolumeSerialNumber;
    entry.identity.inode = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  }
  CloseHandle(handle);
  return entry;
}

ReplaceStatus Check(const Entry& entry, const FileIdentity* expected) {
  // Making links needs a privilege teachers do not have: one at the entry was
  // planted, and writing through it would reach wherever it points.
  if (entry.exists && (entry.attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    return ReplaceStatus::ForeignLink;
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
  return Check(Inspect(path), expected);
}

ReplaceStatus SafeReplaceFile(const std::string& path, const std::string& bytes,
                              const FileIdentity* expected) {
  if (path.empty()) return ReplaceStatus::Failed;
  const Entry entry = Inspect(path);
  const ReplaceStatus checked = Check(entry, expected);
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
    file = CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
    if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) {
      return ReplaceStatus::Failed;  // a folder that takes no new file: nothing changes
    }
  }
  if (file == INVALID_HANDLE_VALUE) return ReplaceStatus::Failed;
  bool ok = WriteAll(file, bytes) && FlushFileBuffers(file) != 0;
  if (!CloseHandle(file)) ok = false;
  if (ok && Inspect(path).identity != entry.identity) {
    DeleteFileA(temp.c_str());
    return ReplaceStatus::Changed;
  }
  if (ok) {
    // ReplaceFile keeps the old file's attributes and access rights, as the
    // Linux side keeps the permission bits. Where it is not supported (some
    // network shares), or fails, the old file is still in place and a plain
    // rename is tried.
    const bool replaced =
        entry.exists && ReplaceFileA(path.c_str(), temp.c_str(), nullptr,
                                     REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) != 0;
    ok = replaced || MoveFileExA(temp.c_str(), path.c_str(),
                                 MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
  }
  if (!ok) {
    DeleteFileA(temp.c_str());
    return ReplaceStatus::Failed;
  }
  return ReplaceStatus::Ok;
}

}  // namespace platform
