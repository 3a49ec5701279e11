// A lock with the NamedLock semantics that only this process sees: the
// stand-in when the system refuses the named one.
#pragma once

#include <memory>

#include "platform/namedlock.h"

namespace platform {

// Owned by the thread that acquired it and recursive, like the named lock; a
// release by a thread that does not own it changes nothing. Wait answers
// kAcquired or kTimedOut (a negative time-out waits for ever).
std::unique_ptr<NamedLock> CreateProcessLock();

}  // namespace platform
