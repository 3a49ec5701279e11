// A private folder under the temporary folder for one test, removed with
// everything in it.
#pragma once

#include <string>

namespace testsupport {

// Usage:
//   TempDir dir;                              // creates /tmp/vormik-XXXXXX
//   std::string ini = dir.File("vormik.ini"); // dir.path() + "/vormik.ini"
// On Windows the folder is under %TEMP% and the separator is a backslash.
// The folder and its contents go away when `dir` goes out of scope.
class TempDir {
 public:
#ifdef _WIN32
  static constexpr char kSeparator = '\\';
#else
  static constexpr char kSeparator = '/';
#endif
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // Empty when the folder could not be created.
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + kSeparator + name; }

 private:
  std::string path_;
};

// Removes a file or a folder tree; true when nothing is left at `path`.
bool RemoveTree(const std::string& path);

}  // namespace testsupport
