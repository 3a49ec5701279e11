// The Linux replace in its two steps: the entry checked and its folder held
// open, then the bytes written into that very folder, whatever its path
// names by then (another user who may rename the folder's parent could
// otherwise swap the folder for a link between the check and the write).
#pragma once

#include <memory>
#include <string>

#include "platform/safereplace.h"

namespace platform {

class FolderReplace {
 public:
  FolderReplace(const std::string& path, const FileIdentity* expected);
  ~FolderReplace();
  FolderReplace(const FolderReplace&) = delete;
  FolderReplace& operator=(const FolderReplace&) = delete;

  // What the check found: anything but Ok is also what Write returns.
  ReplaceStatus status() const;
  ReplaceStatus Write(const std::string& bytes);

 private:
  struct Held;
  std::unique_ptr<Held> held_;
};

}  // namespace platform
