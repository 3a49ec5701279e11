// Quoting a program path for the Exec line of a freedesktop desktop entry.
#pragma once

#include <string>

namespace platform {

// The path as one quoted Exec argument, ready to be written into the file.
std::string DesktopExecQuote(const std::string& path);

}  // namespace platform
