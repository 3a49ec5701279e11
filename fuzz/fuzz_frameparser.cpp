// Fuzz target: the emulator's frame parser and controller model on any byte
// stream: every byte is accounted for once, items are well formed, valid
// writes land in the registers, answers follow the protocol.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "controllersim/controller.h"
#include "controllersim/frameparser.h"
#include "fuzz/fuzzinput.h"
#include "link/frame.h"

using controllersim::ParsedItem;

namespace {

void CheckItem(const ParsedItem& item) {
  const std::vector<uint8_t>& b = item.bytes;
  FUZZ_CHECK(!b.empty());
  switch (item.kind) {
    case ParsedItem::Kind::kFrame:
      FUZZ_CHECK(b.size() == 6 && b[0] == 0x55 && b[1] == 0x30);
      FUZZ_CHECK(b[2] >= frame::kLedA && b[2] <= frame::kRoutePairs);
      FUZZ_CHECK(b[5] == frame::Checksum(b[2], b[3], b[4]));
      break;
    case ParsedItem::Kind::kPoll:
      FUZZ_CHECK(b.size() == 3 && b[0] == 0x55 && b[1] == 0x30 && b[2] == 0x03);
      break;
    case ParsedItem::Kind::kBadChecksum:
      FUZZ_CHECK(b.size() == 6 && b[0] == 0x55 && b[1] == 0x30);
      FUZZ_CHECK(b[5] != frame::Checksum(b[2], b[3], b[4]));
      break;
    case ParsedItem::Kind::kGarbage:
      // Bounded, so that noise cannot grow memory.
      FUZZ_CHECK(b.size() <= controllersim::FrameParser::kMaxGarbageRun);
      break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  controllersim::FaultSettings faults;
  const uint8_t mode = in.Byte();
  faults.random = (mode & 1) != 0;
  faults.ackEveryOther = (mode & 2) != 0;
  faults.wrongAck = (mode & 4) != 0;
  faults.dropPoll = (mode & 8) != 0;
  faults.seed = in.Byte();
  const bool clean = (mode & 0x0F) == 0;
  const size_t chunk = in.Below(8) + 1;
  const std::string stream = in.Rest();

  controllersim::FrameParser parser;
  controllersim::Controller controller(faults);
  std::vector<uint8_t> consumed;
  unsigned frames = 0;
  for (size_t pos = 0; pos < stream.size(); pos += chunk) {
    std::vector<uint8_t> piece(stream.begin() + pos,
                               stream.begin() + std::min(stream.size(), pos + chunk));
    std::vector<ParsedItem> items;
    parser.Feed(piece, items);
    // Mid-stream flushes stand for the line falling silent.
    if ((static_cast<uint8_t>(piece[0]) & 0x3F) == 0x3F) parser.Flush(items);
    for (const ParsedItem& item : items) {
      CheckItem(item);
      consumed.insert(consumed.end(), item.bytes.begin(), item.bytes.end());
      const controllersim::Reply reply = controller.Handle(item);
      FUZZ_CHECK(reply.delayMs >= 0);
      if (item.kind == ParsedItem::Kind::kFrame) {
        ++frames;
        // Applied whatever the fault did to the answer.
        FUZZ_CHECK(controller.Register(item.command()) == (item.high() << 8 | item.low()));
        if (clean) {
          FUZZ_CHECK(reply.bytes.size() == 1 && reply.bytes[0] == frame::AckFor(item.checksum()));
        }
        if (faults.wrongAck && !faults.random)
          for (uint8_t r : reply.bytes) FUZZ_CHECK(r != frame::AckFor(item.checksum()));
      } else if (item.kind == ParsedItem::Kind::kPoll) {
        const uint16_t status = controller.Status();
        if (clean) {
          const uint8_t hi = static_cast<uint8_t>(status >> 8), lo = static_cast<uint8_t>(status);
          FUZZ_CHECK(reply.bytes == (std::vector<uint8_t>{hi, lo, frame::PollReplyChecksum(hi, lo)}));
        }
        if (faults.dropPoll) FUZZ_CHECK(reply.bytes.empty());
      } else {
        FUZZ_CHECK(reply.bytes.empty());  // noise is never answered
      }
    }
  }
  std::vector<ParsedItem> tail;
  parser.Flush(tail);
  for (const ParsedItem& item : tail) {
    FUZZ_CHECK(item.kind == ParsedItem::Kind::kGarbage);
    CheckItem(item);
    consumed.insert(consumed.end(), item.bytes.begin(), item.bytes.end());
  }
  FUZZ_CHECK(!parser.HasPending());
  // Every byte fed ends up in exactly one item, in order.
  FUZZ_CHECK(consumed == std::vector<uint8_t>(stream.begin(), stream.end()));
  // Frames never share bytes.
  FUZZ_CHECK(frames <= stream.size() / 6);

  // The stdin command reader takes any line.
  std::string line;
  for (char c : stream) {
    if (c == '\n' || line.size() > 64) {
      bool quit = false;
      controller.Command(line, quit);
      line.clear();
    } else {
      line += c;
    }
  }
  return 0;
}
