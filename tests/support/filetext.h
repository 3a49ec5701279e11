// The whole of a file as the test left it: "" when it is missing or unreadable.
#pragma once

#include <string>

#include "platform/system.h"

namespace testsupport {

inline std::string FileText(const std::string& path) {
  std::string text;
  platform::ReadWholeFile(path, text);
  return text;
}

}  // namespace testsupport
