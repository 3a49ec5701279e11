// Windows implementation of the small operating-system services of platform/system.h.
#include "platform/system.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/win32/widetext.h"
#include "platform/win32/windowsapi.h"

#include <shellapi.h>

namespace platform {

std::string ExecutablePath() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return {};
    if (n < buffer.size()) return Utf8(buffer.data(), n);
    buffer.resize(buffer.size() * 2);  // the name was cut
  }
}

std::string DirectoryOf(const std::string& path) {
  const size_t cut = path.find_last_of("\\/");
  return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

bool FileExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool PathExists(const std::string& path) {
  return GetFileAttributesW(Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool FileSize(const std::string& path, uint64_t& size) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &data) ||
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return false;
  }
  size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return true;
}

ReadStatus ReadFileLimited(const std::string& path, std::string& bytes, uint64_t maxBytes) {
  HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return ReadStatus::Missing;
    // A folder cannot be opened this way at all; it is told apart by its attributes.
    const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
    const bool folder =
        attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    return folder ? ReadStatus::NotAFile : ReadStatus::Unreadable;
  }
  ReadStatus status = ReadStatus::Ok;
  LARGE_INTEGER size{};
  if (GetFileType(file) != FILE_TYPE_DISK) {  // no pipes or devices
    status = ReadStatus::NotAFile;
  } else if (!GetFileSizeEx(file, &size)) {
    status = ReadStatus::Unreadable;
  } else if (static_cast<uint64_t>(size.QuadPart) > maxBytes) {
    // Checked before any memory is taken for the file.
    status = ReadStatus::TooLarge;
  }
  std::string data;
  if (status == ReadStatus::Ok) {
    // One byte of room past the size, so the read that finds the end needs no growth.
    data.resize(static_cast<size_t>(size.QuadPart) + 1);
    size_t filled = 0;
    for (;;) {
      if (filled == data.size()) {  // the file grew
        if (filled > maxBytes) {
          status = ReadStatus::TooLarge;
          break;
        }
        data.resize(static_cast<size_t>(std::min<uint64_t>(maxBytes + 1, data.size() + 65536)));
      }
      const DWORD chunk = static_cast<DWORD>(std::min<size_t>(data.size() - filled, 1u << 30));
      DWORD got = 0;
      if (!ReadFile(file, &data[filled], chunk, &got, nullptr)) {
        status = ReadStatus::Unreadable;
        break;
      }
      if (got == 0) break;
      filled += got;
    }
    data.resize(filled);
  }
  CloseHandle(file);
  if (status == ReadStatus::Ok) bytes.swap(data);
  return status;
}

bool FlushFileToDisk(const std::string& path) {
  // Flushing needs write access to the handle.
  HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  // A device or pipe at the name ("CON", "\\.\pipe\...") is no file that was written.
  const bool ok = GetFileType(file) == FILE_TYPE_DISK && FlushFileBuffers(file) != 0;
  CloseHandle(file);
  return ok;
}

// Folder rights on Windows live in access lists that no attribute shows: a
// file is tried.
bool FolderWritable(const std::string& folder) {
  const std::string probe = (folder.empty() ? std::string(".\\") : folder) + "vormik-probe-" +
                            std::to_string(GetCurrentProcessId()) + ".tmp";
  const HANDLE handle =
      CreateFileW(Wide(probe).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                  FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  CloseHandle(handle);
  return true;
}

bool MakeFolder(const std::string& path) {
  return CreateDirectoryW(Wide(path).c_str(), nullptr) != 0 || GetLastError() == ERROR_ALREADY_EXISTS;
}

std::vector<std::string> ProcessArguments(int argc, char** argv) {
  std::vector<std::string> arguments;
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide != nullptr) {
    for (int i = 0; i < count; ++i) arguments.push_back(Utf8(wide[i], wcslen(wide[i])));
    LocalFree(wide);
    return arguments;
  }
  for (int i = 0; i < argc; ++i) arguments.emplace_back(argv[i] != nullptr ? argv[i] : "");
  return arguments;
}

bool EnvironmentValue(const char* name, std::string& value) {
  const std::wstring wideName = Wide(name);
  const DWORD length = GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
  if (length == 0) return false;
  std::wstring wide(length, L'\0');
  const DWORD written = GetEnvironmentVariableW(wideName.c_str(), &wide[0], length);
  if (written == 0 || written >= length) return false;
  value = Utf8(wide.data(), written);
  return true;
}

}  // namespace platform
