// Registration of the classroom file type (.cld) with the desktop shell.
#pragma once

#include <string>

namespace platform {

// Makes opening a .cld file start the executable with the file as its first
// argument. Best effort: returns false on any failure, never throws.
bool RegisterFileType(const std::string& executablePath);

}  // namespace platform
