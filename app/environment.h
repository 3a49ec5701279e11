// Where the running program lives and what it was started with. main() fills
// it from the real process; tests point it at temporary folders.
#pragma once

#include <string>
#include <vector>

#include "link/controllerport.h"

struct AppEnvironment {
  std::string executablePath;
  // Beside the executable, or in the user's configuration folder for an
  // installed program (settings::SettingsPathOfProgram).
  std::string settingsPath;
  std::vector<std::string> arguments;  // command line, without the program name
  std::string portLockName = kPortSharingLockName;
  // False when an installed package already registers the file type.
  bool registerFileType = true;

  static AppEnvironment FromProcess(int argc, char** argv);
};
