// Looking for the controller: one probe frame on a port that is not the
// link's own, and the search that tries the listed ports one at a time.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "link/controllerport.h"
#include "platform/serialport.h"

enum class ProbeOutcome {
  kAnswered,     // the probe was acknowledged
  kNoAnswer,     // the port works, nothing valid came back
  kMissing,      // no such device
  kUnavailable,  // the device refused: in use, no access, not a serial port
  kLockBusy,     // another program kept the port's sharing lock
};

// How a probe reaches a port; empty members take the platform's own.
struct ProbeSetup {
  std::function<std::unique_ptr<platform::SerialPort>()> makePort;
  ControllerPort::LockFactory makeLock;
  std::string lockBase = kPortSharingLockName;
};

// Opens the port as the link does (its time-outs saved, 9600 8N1), takes the
// port's sharing lock, sends the probe frame, reads one byte and puts the port
// back as it was found. Nothing else is sent; no question is asked.
ProbeOutcome ProbePort(const std::string& portName, const ProbeSetup& setup = {});

// The probe a search uses: the setup above, or the link's own for its port.
using PortProber = std::function<ProbeOutcome(const std::string& portName)>;

struct ProbeReport {
  std::string portName;
  ProbeOutcome outcome;
};
struct SearchResult {
  std::optional<std::string> found;  // the first port that answered
  std::vector<ProbeReport> tried;    // in the order tried
};
// Tries the candidates in turn until one answers. `before` is told each port
// before its probe and may end the search by returning false.
SearchResult FindController(const std::vector<std::string>& candidates, const PortProber& probe,
                            const std::function<bool(const std::string&)>& before = {});

// "Контроллер ответил на порту /dev/ttyUSB0." and the like, for the teacher.
std::string ProbeOutcomeText(const std::string& portName, ProbeOutcome outcome);
// The search's outcome in one message: the port found, or why none was.
std::string SearchResultText(const SearchResult& result);
