// Windows implementation of the append-only file: FILE_APPEND_DATA, and a
// reparse point at the path (a link) is opened as itself and refused.
#include "platform/appendfile.h"

#include "platform/win32/widetext.h"
#include "platform/win32/windowsapi.h"

namespace platform {

bool CreateOwnFolder(const std::string& path) {
  if (!CreateDirectoryW(Wide(path).c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
    return false;
  }
  const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
         (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
}

AppendOpenStatus AppendFile::Open(const std::string& path, bool& empty) {
  Close();
  const std::string::size_type slash = path.find_last_of("/\\");
  if (slash != std::string::npos && slash > 0 && !CreateOwnFolder(path.substr(0, slash))) {
    return AppendOpenStatus::FolderMissing;
  }
  // The user's profile folders are not shared with other users, so the
  // owner is not compared here; a link is refused all the same. Read and
  // write access: the last byte is checked, and a cut record taken back.
  HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) return AppendOpenStatus::Failed;
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(file, &info) || GetFileType(file) != FILE_TYPE_DISK ||
      (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0 ||
      info.nNumberOfLinks != 1) {
    CloseHandle(file);
    return AppendOpenStatus::NotAFile;
  }
  empty = info.nFileSizeHigh == 0 && info.nFileSizeLow == 0;
  handle_ = file;
  return AppendOpenStatus::Ok;
}

namespace {

bool SizeOf(HANDLE file, LARGE_INTEGER& size) { return GetFileSizeEx(file, &size) != 0; }

}  // namespace

bool AppendFile::EndsMidRecord(char recordEnd) const {
  LARGE_INTEGER size;
  if (handle_ == nullptr || !SizeOf(static_cast<HANDLE>(handle_), size) || size.QuadPart == 0) {
    return false;
  }
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>((size.QuadPart - 1) & 0xFFFFFFFF);
  at.OffsetHigh = static_cast<DWORD>((size.QuadPart - 1) >> 32);
  char last = recordEnd;
  DWORD read = 0;
  return ReadFile(static_cast<HANDLE>(handle_), &last, 1, &read, &at) && read == 1 &&
         last != recordEnd;
}

bool AppendFile::Append(const std::string& bytes) {
  if (handle_ == nullptr) return false;
  const HANDLE file = static_cast<HANDLE>(handle_);
  LARGE_INTEGER before;
  if (!SizeOf(file, before)) return false;
  // Both offsets all ones: the write goes at the end of the file, in one step.
  OVERLAPPED atEnd{};
  atEnd.Offset = 0xFFFFFFFF;
  atEnd.OffsetHigh = 0xFFFFFFFF;
  DWORD written = 0;
  const bool ok =
      WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, &atEnd) &&
      written == bytes.size();
  if (!ok && written > 0) {
    // The part that reached the file is taken back: it holds whole records only.
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile = before;
    SetFileInformationByHandle(file, FileEndOfFileInfo, &end, sizeof end);
  }
  return ok;
}

void AppendFile::Close() {
  if (handle_ != nullptr) CloseHandle(static_cast<HANDLE>(handle_));
  handle_ = nullptr;
}

bool AppendFile::isOpen() const { return handle_ != nullptr; }

}  // namespace platform
