// Lines of the emulator's trace file: one per exchange or per run of skipped bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "controllersim/frameparser.h"

namespace controllersim {

// "55 30 03": upper-case hex, one space between bytes.
std::string HexBytes(const std::vector<uint8_t>& bytes);

// "<ms> RX <received> TX <sent>" for frames and polls ("TX" alone when nothing
// was sent), "<ms> GARBAGE <bytes>" for skipped bytes and
// "<ms> BADSUM <bytes>" for a frame with a wrong check-sum. No newline.
std::string TraceLineFor(long ms, const ParsedItem& item, const std::vector<uint8_t>& sent);

}  // namespace controllersim
