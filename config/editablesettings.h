// The settings the teacher changes in the program, read from vormik.ini and
// written back into it key by key, the rest of the file left as it was.
#pragma once

#include <string>

#include "config/inifile.h"
#include "config/settings.h"

namespace settings {

struct EditableSettings {
  std::string portName;
  bool polling = true;                // ReadThreadStop = 0
  bool skipAcknowledgements = false;  // NotWaitCSFromMC non-zero
  bool movableDesks = false;          // EnableToMoveDesks non-zero
  bool callSound = false;             // CallSound = 1
  int roundSeconds = kDefaultRoundSeconds;

  bool operator==(const EditableSettings& other) const;
  bool operator!=(const EditableSettings& other) const { return !(*this == other); }
};

// With each key's default when it is missing; a round outside 3..600 seconds
// reads as the default.
EditableSettings ReadEditableSettings(const ini::IniDocument& document);

// Writes the keys whose meaning differs between `before` and `after` (a
// ReadThreadStop=2 the teacher left alone stays 2); nothing else changes.
void WriteChangedSettings(ini::IniDocument& document, const EditableSettings& before,
                          const EditableSettings& after);

// Why the port name cannot be stored, in Russian; "" when it can.
std::string PortNameProblem(const std::string& portName, const ini::IniDocument& document);

// Reads the file afresh, writes the changes and replaces the file in one step.
// "" when saved; otherwise the Russian message, and the file is untouched (a
// file that could not be read is never overwritten).
std::string SaveChangedSettings(const std::string& settingsPath, const EditableSettings& before,
                                const EditableSettings& after);

}  // namespace settings
