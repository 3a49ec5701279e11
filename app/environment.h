// Where the running program lives and what it was started with. main() fills
// it from the real process; tests point it at temporary folders.
#pragma once

#include <string>
#include <vector>

#include "link/controllerport.h"

struct AppEnvironment {
  std::string executablePath;  // the settings file lives beside it
  std::string settingsPath;    // executable's folder + "vormik.ini"
  std::vector<std::string> arguments;  // command line, without the program name
  std::string portLockName = kPortSharingLockName;
  bool registerFileType = true;

  static AppEnvironment FromProcess(int argc, char** argv);
};
