// A file that records are appended to, each with one write, so that another
// process reading it sees whole records and a crash loses at most the one
// being written.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

enum class AppendOpenStatus {
  Ok,
  FolderMissing,  // the folder could not be created
  NotAFile,       // a symbolic link, a folder, a device at the path
  NotOwned,       // a file of another user (planted in a shared folder)
  Failed,         // no access, or another error
};

class AppendFile {
 public:
  AppendFile() = default;
  ~AppendFile() { Close(); }
  AppendFile(const AppendFile&) = delete;
  AppendFile& operator=(const AppendFile&) = delete;

  // Opens the file for appending, creating it (and its folder) when missing;
  // never follows a symbolic link at the path or at its folder, never opens a
  // file with a second name (a hard link), and never blocks on a FIFO or a
  // device there. `empty` tells whether the file held nothing when it was
  // opened (a header is then due).
  AppendOpenStatus Open(const std::string& path, bool& empty);
  // Whether the file's last byte is other than `recordEnd`: its last record
  // was cut (a crash, a full disk on another system) and the next one must
  // not run on after it. False for an empty file.
  bool EndsMidRecord(char recordEnd) const;
  // One write of the whole record at the end of the file; false when it did
  // not all reach the file, and then whatever part did is taken back (where
  // the system allows), so the file holds whole records only.
  bool Append(const std::string& bytes);
  void Close();
  bool isOpen() const;

 private:
#ifdef _WIN32
  void* handle_ = nullptr;
#else
  int fd_ = -1;
#endif
};

// Creates one folder (not its parents) for the user alone; true when a folder
// is there afterwards and it is not a symbolic link.
bool CreateOwnFolder(const std::string& path);

}  // namespace platform
