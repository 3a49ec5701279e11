// The names of a settings file, found again by a hash that ignores case:
// an open-addressing table over the sections' and keys' spots.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "config/cp1251.h"

namespace foldednames {

constexpr size_t kNoName = static_cast<size_t>(-1);

inline uint64_t Mix(uint64_t h) {
  h ^= h >> 33;
  h *= 0xFF51AFD7ED558CCDull;
  h ^= h >> 33;
  return h;
}

// FNV-1a over the folded bytes, so that names equal but for case collide.
constexpr uint64_t kFnvBasis = 1469598103934665603ull;

inline uint64_t Hash(std::string_view name, uint64_t seed) {
  uint64_t h = seed;
  for (char c : name) {
    h ^= static_cast<unsigned char>(cp1251::FoldCase(c));
    h *= 1099511628211ull;
  }
  return Mix(h);
}

inline uint64_t KeySeed(size_t section) {
  return kFnvBasis ^ (section * 0x9E3779B97F4A7C15ull);
}

// Linear probing in a power-of-two table. A slot holds the high half of the
// hash and index + 1 (0: free), so most misses never touch the spots.
inline uint64_t SlotOf(uint64_t hash, size_t index) {
  return (hash & 0xFFFFFFFF00000000ull) | (index + 1);
}

template <typename Matches>
size_t Probe(const std::vector<uint64_t>& slots, uint64_t hash, Matches matches) {
  if (slots.empty()) return kNoName;
  const size_t mask = slots.size() - 1;
  for (size_t i = hash & mask;; i = (i + 1) & mask) {
    const uint64_t slot = slots[i];
    if (slot == 0) return kNoName;
    const size_t index = static_cast<size_t>(slot & 0xFFFFFFFFu) - 1;
    if ((slot >> 32) == (hash >> 32) && matches(index)) return index;
  }
}

inline void Place(std::vector<uint64_t>& slots, uint64_t hash, size_t index) {
  const size_t mask = slots.size() - 1;
  size_t i = hash & mask;
  while (slots[i] != 0) i = (i + 1) & mask;
  slots[i] = SlotOf(hash, index);
}

// Registers the last of `spots`, keeping the table at most half full.
template <typename Spots>
void AddSlot(std::vector<uint64_t>& slots, const Spots& spots) {
  if (spots.size() * 2 > slots.size()) {
    slots.assign(std::max<size_t>(16, slots.size() * 2), 0);
    for (size_t i = 0; i < spots.size(); ++i) Place(slots, spots[i].hash, i);
  } else {
    Place(slots, spots.back().hash, spots.size() - 1);
  }
}

}  // namespace foldednames
