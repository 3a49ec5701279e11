// Where the running program lives and what it was started with. main() fills
// it from the real process; tests point it at temporary folders.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "link/controllerport.h"
#include "platform/serialport.h"

struct AppEnvironment {
  std::string executablePath;
  // Beside the executable, or in the user's configuration folder for an
  // installed program (settings::SettingsPathOfProgram).
  std::string settingsPath;
  std::vector<std::string> arguments;  // command line, without the program name
  std::string portLockName = kPortSharingLockName;
  // False when an installed package already registers the file type.
  bool registerFileType = true;
  // The practice class: the window says so, and the link runs on the port
  // this makes (the simulated controller's) instead of the platform's.
  bool practice = false;
  std::function<std::unique_ptr<platform::SerialPort>()> serialPortFactory;

  static AppEnvironment FromProcess(int argc, char** argv);
};
