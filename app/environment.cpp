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
  const std::vector<std::string> all = platform::ProcessArguments(argc, argv);
  bool optionsEnded = false;
  for (size_t i = 1; i < all.size(); ++i) {
    // "--" ends the options, so a file whose name starts with "-" can be named.
    if (!optionsEnded && all[i] == "--") {
      optionsEnded = true;
      continue;
    }
    environment.arguments.push_back(all[i]);
  }
  return environment;
}
