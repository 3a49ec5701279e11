// The program's environment taken from the running process.
#include "app/environment.h"

#include "config/settings.h"
#include "platform/system.h"

AppEnvironment AppEnvironment::FromProcess(int argc, char** argv) {
  AppEnvironment environment;
  environment.executablePath = platform::ExecutablePath();
  if (environment.executablePath.empty() && argc > 0 && argv[0] != nullptr) {
    environment.executablePath = argv[0];
  }
  environment.settingsPath = settings::SettingsPathFor(environment.executablePath);
  for (int i = 1; i < argc; ++i) {
    if (argv[i] != nullptr) environment.arguments.emplace_back(argv[i]);
  }
  return environment;
}
