// The program's environment taken from the running process.
#include "app/environment.h"

#include <cstdlib>

#include "config/settings.h"
#include "platform/filetype.h"
#include "platform/system.h"

AppEnvironment AppEnvironment::FromProcess(int argc, char** argv) {
  AppEnvironment environment;
  environment.executablePath = platform::ExecutablePath();
  if (environment.executablePath.empty() && argc > 0 && argv[0] != nullptr) {
    environment.executablePath = argv[0];
  }
  environment.settingsPath = settings::SettingsPathOfProgram(environment.executablePath);
  // An installed package has put the file type and the menu entry in place;
  // copies in the user's folders would only shadow them.
  environment.registerFileType = !platform::InstalledRegistrationPresent(
      environment.executablePath, std::getenv("XDG_DATA_DIRS"));
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    if (argv[i] == nullptr) continue;
    // "--" ends the options, so a file whose name starts with "-" can be named.
    if (!optionsEnded && std::string(argv[i]) == "--") {
      optionsEnded = true;
      continue;
    }
    environment.arguments.emplace_back(argv[i]);
  }
  return environment;
}
