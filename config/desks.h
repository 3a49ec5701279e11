// How many desks and pairs a classroom has.
#pragma once

inline constexpr int kDeskCount = 16;
inline constexpr int kPairCount = 8;
