// Lines of the emulator's trace file: one per exchange or per run of skipped bytes.
#include "controllersim/trace.h"

namespace controllersim {

std::string HexBytes(const std::vector<uint8_t>& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (uint8_t b : bytes) {
    if (!out.empty()) out += ' ';
    out += kDigits[b >> 4];
    out += kDigits[b & 0x0F];
  }
  return out;
}

std::string TraceLineFor(long ms, const ParsedItem& item, const std::vector<uint8_t>& sent) {
  std::string line = std::to_string(ms);
  switch (item.kind) {
    case ParsedItem::Kind::kGarbage:
      return line + " GARBAGE " + HexBytes(item.bytes);
    case ParsedItem::Kind::kBadChecksum:
      return line + " BADSUM " + HexBytes(item.bytes);
    case ParsedItem::Kind::kFrame:
    case ParsedItem::Kind::kPoll:
      break;
  }
  line += " RX " + HexBytes(item.bytes) + " TX";
  if (!sent.empty()) line += " " + HexBytes(sent);
  return line;
}

}  // namespace controllersim
