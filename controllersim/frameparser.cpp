// Splits the byte stream the console sends into frames, polls and skipped bytes.
#include "controllersim/frameparser.h"

#include "link/frame.h"

namespace controllersim {

namespace {

bool IsRegisterCommand(uint8_t command) {
  return command >= frame::kLedA && command <= frame::kRoutePairs;
}

}  // namespace

// Skipped bytes are reported before the item that follows them, so the items
// keep the order of the stream; a run of noise at the end waits for Flush.
void FrameParser::Feed(uint8_t byte, std::vector<ParsedItem>& out) { Step(byte, out); }

void FrameParser::Feed(const std::vector<uint8_t>& bytes, std::vector<ParsedItem>& out) {
  for (uint8_t b : bytes) Feed(b, out);
}

void FrameParser::Flush(std::vector<ParsedItem>& out) {
  for (uint8_t b : partial_) garbage_.push_back(b);
  partial_.clear();
  EmitGarbage(out);
}

void FrameParser::AddGarbage(uint8_t byte, std::vector<ParsedItem>& out) {
  garbage_.push_back(byte);
  if (garbage_.size() >= kMaxGarbageRun) EmitGarbage(out);
}

void FrameParser::EmitGarbage(std::vector<ParsedItem>& out) {
  if (garbage_.empty()) return;
  ParsedItem item;
  item.kind = ParsedItem::Kind::kGarbage;
  item.bytes.swap(garbage_);
  out.push_back(std::move(item));
}

void FrameParser::Step(uint8_t byte, std::vector<ParsedItem>& out) {
  if (partial_.empty()) {
    if (byte == frame::kStartByte) {
      EmitGarbage(out);
      partial_.push_back(byte);
    } else {
      AddGarbage(byte, out);
    }
    return;
  }

  if (partial_.size() == 1) {
    if (byte == frame::kSecondByte) {
      partial_.push_back(byte);
      return;
    }
    // A lone 55: skip it and look at this byte afresh, it may start a frame.
    AddGarbage(partial_[0], out);
    partial_.clear();
    Step(byte, out);
    return;
  }

  if (partial_.size() == 2) {
    if (byte == frame::kPollCommand) {
      EmitGarbage(out);
      out.push_back({ParsedItem::Kind::kPoll, {partial_[0], partial_[1], byte}});
      partial_.clear();
    } else if (IsRegisterCommand(byte)) {
      partial_.push_back(byte);
    } else {
      AddGarbage(partial_[0], out);
      AddGarbage(partial_[1], out);
      partial_.clear();
      Step(byte, out);
    }
    return;
  }

  partial_.push_back(byte);
  if (partial_.size() < static_cast<size_t>(frame::kFrameLength)) return;

  std::vector<uint8_t> candidate;
  candidate.swap(partial_);
  if (candidate[5] == frame::Checksum(candidate[2], candidate[3], candidate[4])) {
    EmitGarbage(out);
    out.push_back({ParsedItem::Kind::kFrame, std::move(candidate)});
    return;
  }
  // Wrong check-sum. If a byte of this frame was lost, the next frame may
  // already have begun inside it: reject up to the next 55 and read on from there.
  size_t restart = candidate.size();
  for (size_t i = 1; i < candidate.size(); ++i) {
    if (candidate[i] == frame::kStartByte) {
      restart = i;
      break;
    }
  }
  EmitGarbage(out);
  ParsedItem rejected;
  rejected.kind = restart == candidate.size() ? ParsedItem::Kind::kBadChecksum
                                              : ParsedItem::Kind::kGarbage;
  rejected.bytes.assign(candidate.begin(), candidate.begin() + static_cast<long>(restart));
  out.push_back(std::move(rejected));
  for (size_t i = restart; i < candidate.size(); ++i) Step(candidate[i], out);
}

}  // namespace controllersim
