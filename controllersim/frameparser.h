// Splits the byte stream the console sends into frames, polls and skipped bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace controllersim {

struct ParsedItem {
  enum class Kind {
    kFrame,        // 55 30 cmd hi lo cs, cmd 0x81..0x84, check-sum right
    kPoll,         // 55 30 03
    kBadChecksum,  // 55 30 cmd hi lo cs with the check-sum wrong
    kGarbage,      // bytes skipped while looking for 55 30
  };
  Kind kind = Kind::kGarbage;
  std::vector<uint8_t> bytes;  // exactly the bytes this item consumed

  uint8_t command() const { return bytes.size() > 2 ? bytes[2] : 0; }
  uint8_t high() const { return bytes.size() > 3 ? bytes[3] : 0; }
  uint8_t low() const { return bytes.size() > 4 ? bytes[4] : 0; }
  uint8_t checksum() const { return bytes.size() > 5 ? bytes[5] : 0; }
};

// Byte in, items out; knows nothing of time or I/O. Every byte fed ends up in
// exactly one item (once Flush is called for a trailing partial frame), so a
// caller can account for the whole stream.
class FrameParser {
 public:
  // At most this many skipped bytes are reported in one garbage item, so a
  // flood of noise cannot grow memory without bound.
  static constexpr size_t kMaxGarbageRun = 64;

  void Feed(uint8_t byte, std::vector<ParsedItem>& out);
  void Feed(const std::vector<uint8_t>& bytes, std::vector<ParsedItem>& out);
  // Ends a partial frame (the line fell silent): its bytes become garbage.
  void Flush(std::vector<ParsedItem>& out);
  // True while a frame has begun but is not complete.
  bool InFrame() const { return !partial_.empty(); }
  // True while some bytes wait for Flush: a partial frame or unreported noise.
  bool HasPending() const { return !partial_.empty() || !garbage_.empty(); }

 private:
  void Step(uint8_t byte, std::vector<ParsedItem>& out);
  void AddGarbage(uint8_t byte, std::vector<ParsedItem>& out);
  void EmitGarbage(std::vector<ParsedItem>& out);

  std::vector<uint8_t> partial_;  // a frame begun: starts with 55
  std::vector<uint8_t> garbage_;  // skipped bytes not yet reported
};

}  // namespace controllersim
