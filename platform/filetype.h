// Registration of the classroom file type (.cld) with the desktop shell.
#pragma once

#include <string>

namespace platform {

// Makes opening a .cld file start the executable with the file as its first
// argument. Best effort: returns false on any failure, never throws.
bool RegisterFileType(const std::string& executablePath);

// Whether the executable runs from an installed prefix: it sits in <prefix>/bin
// and the prefix holds the desktop entry share/applications/vormik.desktop and
// the MIME package share/mime/packages/vormik.xml. On Windows: the installer's
// uninstaller (kWindowsUninstallerName) sits beside it; an unpacked zip has none.
bool InstalledInPrefix(const std::string& executablePath);
inline constexpr char kWindowsUninstallerName[] = "vormik-uninstall.exe";

// Whether an installed package already tells the desktop about the classroom
// type: the executable's own prefix or one of the XDG data folders holds both
// files. The program then writes no copies of its own into the user's folders.
// xdgDataDirs is $XDG_DATA_DIRS, null or empty for its default
// /usr/local/share:/usr/share. Always false on Windows.
bool InstalledRegistrationPresent(const std::string& executablePath, const char* xdgDataDirs);

}  // namespace platform
