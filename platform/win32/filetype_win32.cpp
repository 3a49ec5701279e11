// Registration of classroom files (*.cld) in the Windows registry's file classes.
#include <string>

#include "platform/filetype.h"
#include "platform/win32/widetext.h"
#include "platform/win32/windowsapi.h"

namespace platform {

namespace {

bool WriteDefaultValue(const char* keyPath, const std::string& value) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CLASSES_ROOT, Wide(keyPath).c_str(), 0, nullptr,
                      REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const std::wstring wide = Wide(value);
  const LONG result =
      RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(wide.c_str()),
                     static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
  return result == ERROR_SUCCESS;
}

}  // namespace

bool RegisterFileType(const std::string& executablePath) {
  try {
    if (executablePath.empty()) return false;
    // The path is quoted so that a program under "C:\Program Files" starts.
    const std::string command = "\"" + executablePath + "\" \"%1\"";
    const std::string icon = executablePath + ", 1";
    const struct {
      const char* key;
      std::string value;
    } kRows[] = {
        {".cld", "Vormik"},
        {"Vormik", "Vormik File"},
        {"Vormik\\Shell\\Open\\Command", command},
        {"Vormik\\DefaultIcon", icon},
        {".cld\\DefaultIcon", icon},
    };
    for (const auto& row : kRows) {
      if (!WriteDefaultValue(row.key, row.value)) return false;  // stop at the first refusal
    }
    return true;
  } catch (...) {
    return false;
  }
}

// Only the installer leaves the uninstaller beside the program: its folder then
// belongs to the machine, and each user keeps settings under %APPDATA%, as an
// installed Linux program does under ~/.config.
bool InstalledInPrefix(const std::string& executablePath) {
  const size_t slash = executablePath.find_last_of("\\/");
  if (slash == std::string::npos) return false;
  const std::string uninstaller = executablePath.substr(0, slash + 1) + kWindowsUninstallerName;
  const DWORD attributes = GetFileAttributesW(Wide(uninstaller).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// Windows knows the file type from the registry alone; the program writes the
// keys at every start.

bool InstalledRegistrationPresent(const std::string&, const char*) { return false; }

}  // namespace platform
