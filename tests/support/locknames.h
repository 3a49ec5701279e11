// Names for the port locks a test creates, and their removal from /dev/shm.
#pragma once

#include <string>

namespace testsupport {

// "PortSharing-test-<pid>-<tag>": a name no other test process uses. The
// first call arranges for every lock object of this process (any name that
// contains "PortSharing-test-<pid>-", per-port names included) to be removed
// from /dev/shm when the process exits.
std::string TestLockName(const std::string& tag);
// Removes this process's lock objects now; returns how many it removed.
int RemoveTestLockObjects();

}  // namespace testsupport
