// Small operating-system services: where the executable is, file existence
// and size, reading a file within a size limit, replacing a file in one step.
// Paths and texts are UTF-8 on every system (Windows gets them as UTF-16).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// Full path of the running executable (not the working directory).
std::string ExecutablePath();
// The folder part of a path, with its trailing separator ("" when none).
std::string DirectoryOf(const std::string& path);
bool FileExists(const std::string& path);
// Anything at the path: a file, a folder, a device.
bool PathExists(const std::string& path);

// The size of a regular file, from the file system and without reading it;
// false when the path names no regular file (missing, a folder, a device).
bool FileSize(const std::string& path, uint64_t& size);

// Files read whole are refused above this size unless a caller names another
// limit: far above any settings or classroom file, and small enough that a
// huge (or sparse) file never takes the program's memory.
inline constexpr uint64_t kMaxReadBytes = 64ull << 20;

enum class ReadStatus {
  Ok,
  Missing,     // no such file or folder
  NotAFile,    // a folder, a pipe, a device
  TooLarge,    // above the limit, found before any memory was taken for it
  Unreadable,  // no access, or a read error
};
// Reads a regular file of at most maxBytes bytes; `bytes` changes only on Ok.
// A file that grows past the limit while being read is TooLarge too.
ReadStatus ReadFileLimited(const std::string& path, std::string& bytes,
                           uint64_t maxBytes = kMaxReadBytes);
inline bool ReadWholeFile(const std::string& path, std::string& bytes) {
  return ReadFileLimited(path, bytes) == ReadStatus::Ok;
}

// SafeReplaceFile (platform/safereplace.h) without the reason: true once the new
// bytes stand whole under the name; otherwise the old file is untouched.
bool ReplaceFileAtomically(const std::string& path, const std::string& bytes);
// Makes what was written to the file reach the disk.
bool FlushFileToDisk(const std::string& path);

// Whether this user may make files in the folder ("" is the working folder).
bool FolderWritable(const std::string& folder);
// Makes one folder (its parent must exist), for this user alone on Linux;
// true when it is there afterwards.
bool MakeFolder(const std::string& path);
// The program's command line, the program's name first, in UTF-8 (Windows
// gives main() its arguments in the ANSI code page, which loses letters).
std::vector<std::string> ProcessArguments(int argc, char** argv);
// An environment variable's value; false when it is not set.
bool EnvironmentValue(const char* name, std::string& value);

}  // namespace platform
