// Registration of classroom files (*.cld) with freedesktop desktops for the
// current user: a shared-mime-info package and a desktop entry.
#include <errno.h>
#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <thread>

#include "platform/filetype.h"
#include "platform/linux/desktopexec.h"

extern char** environ;

namespace platform {

namespace {

constexpr const char* kMimeType = "application/x-vormik-classroom";

std::string DataHome() {
  // Relative values are invalid for XDG variables and are ignored.
  const char* xdg = std::getenv("XDG_DATA_HOME");
  if (xdg != nullptr && xdg[0] == '/') return xdg;
  const char* home = std::getenv("HOME");
  std::string base = home != nullptr ? home : "";
  if (base.empty() || base[0] != '/') {
    const passwd* pw = getpwuid(geteuid());
    if (pw == nullptr || pw->pw_dir == nullptr || pw->pw_dir[0] != '/') return "";
    base = pw->pw_dir;
  }
  return base + "/.local/share";
}

bool MakeDirectories(const std::string& path) {
  for (size_t pos = 1; pos <= path.size(); ++pos) {
    if (pos != path.size() && path[pos] != '/') continue;
    const std::string part = path.substr(0, pos);
    if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return false;
  }
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool WriteAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// Temp file beside the target, then rename: a desktop never reads half a file.
bool WriteFileAtomically(const std::string& path, const std::string& bytes) {
  std::string temp = path + ".XXXXXX";
  const int fd = mkstemp(&temp[0]);
  if (fd < 0) return false;
  bool ok = fchmod(fd, 0644) == 0 && WriteAll(fd, bytes) && fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  if (ok) ok = rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) unlink(temp.c_str());
  return ok;
}

bool IsValidUtf8(const std::string& text) {
  size_t i = 0;
  while (i < text.size()) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    size_t extra;
    unsigned long cp;
    if (c < 0x80) {
      ++i;
      continue;
    } else if (c >= 0xC2 && c <= 0xDF) {
      extra = 1;
      cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      extra = 2;
      cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      extra = 3;
      cp = c & 0x07;
    } else {
      return false;
    }
    if (i + extra >= text.size()) return false;
    for (size_t k = 1; k <= extra; ++k) {
      const unsigned char cc = static_cast<unsigned char>(text[i + k]);
      if ((cc & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (cc & 0x3F);
    }
    if ((extra == 2 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) ||
        (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF)))
      return false;
    i += extra + 1;
  }
  return true;
}

// Starts a cache tool and does not wait for it: refreshing the caches is a
// courtesy, and a slow or hung tool must not hold up the program's start.
// A detached thread reaps it, so it leaves no zombie.
void StartTool(const std::string& tool, const std::string& argument) {
  posix_spawn_file_actions_t actions;
  if (posix_spawn_file_actions_init(&actions) != 0) return;
  posix_spawnattr_t attributes;
  if (posix_spawnattr_init(&attributes) != 0) {
    posix_spawn_file_actions_destroy(&actions);
    return;
  }
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  // The tool gets the default signal handling, not the window's.
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
  std::string toolCopy = tool;
  std::string argumentCopy = argument;
  char* argv[] = {&toolCopy[0], &argumentCopy[0], nullptr};
  pid_t pid = -1;
  const int spawned = posix_spawnp(&pid, tool.c_str(), &actions, &attributes, argv, environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return;  // not installed: nothing to refresh
  try {
    std::thread([pid] {
      while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
      }
    }).detach();
  } catch (...) {
    // No thread to spare: the tool is left to finish unreaped.
  }
}

// Whether the file already holds exactly these bytes.
bool Holds(const std::string& path, const std::string& bytes) {
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  bool same =
      fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && static_cast<size_t>(st.st_size) == bytes.size();
  std::string content(bytes.size() + 1, '\0');
  size_t filled = 0;
  while (same) {
    const ssize_t n = ::read(fd, &content[filled], content.size() - filled);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) same = false;
    if (n <= 0) break;
    filled += static_cast<size_t>(n);
    if (filled == content.size()) break;  // longer than expected
  }
  close(fd);
  return same && filled == bytes.size() && content.compare(0, filled, bytes) == 0;
}

enum class Update { kUnchanged, kWritten, kFailed };

// A registration that is already in place is left alone, so that an ordinary
// start writes nothing and runs no tool.
Update WriteIfChanged(const std::string& path, const std::string& bytes) {
  if (Holds(path, bytes)) return Update::kUnchanged;
  return WriteFileAtomically(path, bytes) ? Update::kWritten : Update::kFailed;
}

}  // namespace

// The Exec value of a desktop entry: the argument goes in double quotes with
// '"', '`', '$' and '\' escaped, '%' doubled as a field code, and then the
// string-value escapes of the file format applied over the result.
std::string DesktopExecQuote(const std::string& path) {
  std::string quoted = "\"";
  for (char c : path) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
    if (c == '%') quoted += '%';
    quoted += c;
  }
  quoted += '"';
  std::string escaped;
  for (char c : quoted) {
    switch (c) {
      case '\\':
        escaped += "\\\\";
        break;
      case '\n':
        escaped += "\\n";
        break;
      case '\t':
        escaped += "\\t";
        break;
      case '\r':
        escaped += "\\r";
        break;
      default:
        escaped += c;
    }
  }
  return escaped;
}

namespace {

// Both installed files under a data folder ("/usr/share/").
bool DataFolderHoldsRegistration(std::string folder) {
  if (folder.empty() || folder[0] != '/') return false;  // relative: invalid for XDG
  if (folder.back() != '/') folder += '/';
  struct stat st {};
  const auto isFile = [&st](const std::string& path) {
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
  };
  return isFile(folder + "applications/vormik.desktop") &&
         isFile(folder + "mime/packages/vormik.xml");
}

}  // namespace

bool InstalledInPrefix(const std::string& executablePath) {
  const size_t slash = executablePath.rfind('/');
  if (slash == std::string::npos) return false;
  const std::string folder = executablePath.substr(0, slash + 1);
  constexpr char kBin[] = "/bin/";
  constexpr size_t kBinLength = sizeof kBin - 1;
  if (folder.size() < kBinLength || folder.compare(folder.size() - kBinLength, kBinLength, kBin) != 0)
    return false;
  return DataFolderHoldsRegistration(folder.substr(0, folder.size() - kBinLength + 1) + "share/");
}

bool InstalledRegistrationPresent(const std::string& executablePath, const char* xdgDataDirs) {
  if (InstalledInPrefix(executablePath)) return true;
  const std::string dirs = xdgDataDirs != nullptr && xdgDataDirs[0] != '\0'
                               ? xdgDataDirs
                               : "/usr/local/share:/usr/share";
  size_t start = 0;
  while (start <= dirs.size()) {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    if (DataFolderHoldsRegistration(dirs.substr(start, end - start))) return true;
    start = end + 1;
  }
  return false;
}

bool RegisterFileType(const std::string& executablePath) {
  try {
    if (executablePath.empty() || executablePath[0] != '/' || !IsValidUtf8(executablePath)) {
      return false;
    }
    const std::string dataHome = DataHome();
    if (dataHome.empty()) return false;
    const std::string mimeDir = dataHome + "/mime";
    const std::string packagesDir = mimeDir + "/packages";
    const std::string applicationsDir = dataHome + "/applications";
    if (!MakeDirectories(packagesDir) || !MakeDirectories(applicationsDir)) return false;

    const std::string package =
        std::string(
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
            "  <mime-type type=\"") +
        kMimeType +
        "\">\n"
        "    <comment>Vormik classroom</comment>\n"
        "    <comment xml:lang=\"ru\">" +
        u8"Описание кабинета" +
        "</comment>\n"
        "    <glob pattern=\"*.cld\"/>\n"
        "  </mime-type>\n"
        "</mime-info>\n";
    const std::string entry = std::string(
                                  "[Desktop Entry]\n"
                                  "Type=Application\n"
                                  "Name=Vormik\n"
                                  "Exec=") +
                              DesktopExecQuote(executablePath) +
                              " %f\n"
                              "MimeType=" +
                              kMimeType +
                              ";\n"
                              "Terminal=false\n"
                              "NoDisplay=false\n"
                              "Categories=Education;\n";
    // The desktop reads the caches, not the files; refreshing them is a
    // courtesy whose failure (tool missing, slow, refusing) changes nothing
    // about what was registered. Each cache is refreshed only when its file
    // changed.
    const Update packageUpdate = WriteIfChanged(packagesDir + "/vormik-classroom.xml", package);
    if (packageUpdate == Update::kFailed) return false;
    if (packageUpdate == Update::kWritten) StartTool("update-mime-database", mimeDir);
    const Update entryUpdate = WriteIfChanged(applicationsDir + "/vormik.desktop", entry);
    if (entryUpdate == Update::kFailed) return false;
    if (entryUpdate == Update::kWritten) StartTool("update-desktop-database", applicationsDir);
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace platform
