// A second start's hand-over, run on another thread while this one serves the
// running console's event loop.
#pragma once

#include <QString>

#include "app/instancechannel.h"

InstanceChannel::HandOverResult HandOverServed(const QString& address, const QString& path,
                                               int timeoutMs = InstanceChannel::kHandOverTimeoutMs);
