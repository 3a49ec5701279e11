// A desk's and its pair's bits in the 16-desk masks the console keeps.
#pragma once

#include <cstdint>

#include "console/display.h"

namespace console {

inline constexpr uint16_t kAllDesks = 0xFFFF;

inline uint16_t DeskBit(int desk) { return static_cast<uint16_t>(1u << desk); }
inline uint16_t PairBits(int desk) { return static_cast<uint16_t>(DeskBit(desk) | DeskBit(desk ^ 1)); }
inline bool ValidDesk(int desk) { return desk >= 0 && desk < kDeskCount; }

}  // namespace console
