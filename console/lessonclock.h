// The clock the lesson tools run on: milliseconds from any fixed start. The
// window gives a steady clock, tests a number they move by hand.
#pragma once

#include <cstdint>
#include <functional>

namespace console {

using MillisecondClock = std::function<int64_t()>;

}  // namespace console
