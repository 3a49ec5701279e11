// The emulator's stream parser fed split, back-to-back, corrupt and oversized input.
#include "controllersim/frameparser.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "link/frame.h"

namespace {

using controllersim::FrameParser;
using controllersim::ParsedItem;
using Kind = ParsedItem::Kind;
using Bytes = std::vector<uint8_t>;

Bytes FrameBytes(uint8_t command, uint8_t high, uint8_t low) {
  auto f = frame::Build(command, high, low);
  return Bytes(f.begin(), f.end());
}

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

const Bytes kPoll = {0x55, 0x30, 0x03};

std::string Describe(const std::vector<ParsedItem>& items) {
  std::string out;
  static const char* kNames[] = {"F", "P", "B", "G"};
  for (const auto& item : items) {
    out += kNames[static_cast<int>(item.kind)];
    out += "[";
    for (uint8_t b : item.bytes) {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%02X", b);
      out += hex;
    }
    out += "]";
  }
  return out;
}

std::vector<ParsedItem> ParseAll(const Bytes& input, bool flush = true) {
  FrameParser parser;
  std::vector<ParsedItem> items;
  parser.Feed(input, items);
  if (flush) parser.Flush(items);
  return items;
}

struct StreamCase {
  const char* name;
  Bytes input;
  const char* expected;  // items in order: F=frame P=poll B=bad check-sum G=garbage
};

class StreamTest : public ::testing::TestWithParam<StreamCase> {};

TEST_P(StreamTest, ItemsFollowTheStream) {
  EXPECT_EQ(Describe(ParseAll(GetParam().input)), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Parser, StreamTest,
    ::testing::Values(
        StreamCase{"frame", FrameBytes(0x84, 0x00, 0x12), "F[55308400121C]"},
        StreamCase{"poll", kPoll, "P[553003]"},
        StreamCase{"checksumWrapsToZero", FrameBytes(0x84, 0x00, 0xF5), "F[55308400F5FF]"},
        StreamCase{"backToBack",
                   Join({FrameBytes(0x81, 0, 0), kPoll, FrameBytes(0x83, 0x01, 0x80)}),
                   "F[553081000007]P[553003]F[55308301808A]"},
        StreamCase{"leadingNoise", Join({{0x12, 0x34}, kPoll}), "G[1234]P[553003]"},
        StreamCase{"trailingNoiseAfterFlush", Join({kPoll, {0xAA, 0x00}}), "P[553003]G[AA00]"},
        StreamCase{"doubleStartByte", Join({{0x55}, kPoll}), "G[55]P[553003]"},
        StreamCase{"startThenOtherCommand", Join({{0x55, 0x30, 0x99}, kPoll}),
                   "G[553099]P[553003]"},
        // 55 30 55 30 03: the second 55 is taken afresh as a start byte.
        StreamCase{"startInsideBadHeader", {0x55, 0x30, 0x55, 0x30, 0x03}, "G[5530]P[553003]"},
        StreamCase{"wrongChecksum", {0x55, 0x30, 0x84, 0x00, 0x12, 0x1D}, "B[55308400121D]"},
        // The low byte of the first frame was lost: its check-sum byte and the
        // next frame's start run together; the next frame must still be found.
        StreamCase{"lostByteThenFrame",
                   Join({{0x55, 0x30, 0x84, 0x00, 0x1C}, FrameBytes(0x81, 0, 1)}),
                   "G[553084001C]F[553081000108]"},
        StreamCase{"lostByteThenPoll", Join({{0x55, 0x30, 0x84, 0x00, 0x1C}, kPoll}),
                   "G[553084001C]P[553003]"},
        StreamCase{"truncatedAtEnd", {0x55, 0x30, 0x84, 0x00}, "G[55308400]"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Parser, EverySplitOfAStreamGivesTheSameItems) {
  Bytes stream = Join({{0x00, 0x55}, FrameBytes(0x82, 0xFF, 0xFF), kPoll,
                       {0x55, 0x30, 0x84, 0x00, 0x12, 0x00}, FrameBytes(0x84, 0x00, 0xF5)});
  std::string whole = Describe(ParseAll(stream));
  for (size_t cut = 0; cut <= stream.size(); ++cut) {
    FrameParser parser;
    std::vector<ParsedItem> items;
    parser.Feed(Bytes(stream.begin(), stream.begin() + static_cast<long>(cut)), items);
    parser.Feed(Bytes(stream.begin() + static_cast<long>(cut), stream.end()), items);
    parser.Flush(items);
    EXPECT_EQ(Describe(items), whole) << "cut at " << cut;
  }
}

TEST(Parser, PartialFrameWaitsAndFlushEndsIt) {
  FrameParser parser;
  std::vector<ParsedItem> items;
  parser.Feed({0x55, 0x30, 0x81, 0x00}, items);
  EXPECT_TRUE(items.empty());
  EXPECT_TRUE(parser.InFrame());
  parser.Flush(items);
  EXPECT_FALSE(parser.HasPending());
  EXPECT_EQ(Describe(items), "G[55308100]");
  // After the flush a complete frame is recognised again.
  items.clear();
  parser.Feed(FrameBytes(0x81, 0x00, 0x00), items);
  EXPECT_EQ(Describe(items), "F[553081000007]");
}

TEST(Parser, NoiseIsReportedInBoundedRuns) {
  Bytes noise(1000, 0x11);
  FrameParser parser;
  std::vector<ParsedItem> items;
  parser.Feed(noise, items);
  parser.Flush(items);
  size_t total = 0;
  for (const auto& item : items) {
    EXPECT_EQ(item.kind, Kind::kGarbage);
    EXPECT_LE(item.bytes.size(), FrameParser::kMaxGarbageRun);
    total += item.bytes.size();
  }
  EXPECT_EQ(total, noise.size());
}

// Random streams with real frames mixed in: every byte ends up in exactly one
// item, in order, and every frame inserted intact after noise that cannot
// begin a frame is found.
TEST(Parser, RandomStreamsAreFullyAccountedFor) {
  std::mt19937 random(20261207);
  for (int round = 0; round < 200; ++round) {
    Bytes stream;
    size_t framesInserted = 0;
    for (int part = 0; part < 20; ++part) {
      if (random() % 2) {
        size_t n = random() % 8;
        for (size_t i = 0; i < n; ++i) stream.push_back(static_cast<uint8_t>(random() % 256));
        // End noise with a byte that cannot start or continue a frame.
        stream.push_back(0x00);
      } else {
        auto f = FrameBytes(static_cast<uint8_t>(0x81 + random() % 4),
                            static_cast<uint8_t>(random() % 256),
                            static_cast<uint8_t>(random() % 256));
        stream.insert(stream.end(), f.begin(), f.end());
        ++framesInserted;
      }
    }
    auto items = ParseAll(stream);
    Bytes rebuilt;
    size_t frames = 0;
    for (const auto& item : items) {
      rebuilt.insert(rebuilt.end(), item.bytes.begin(), item.bytes.end());
      if (item.kind == Kind::kFrame) {
        ++frames;
        EXPECT_EQ(item.bytes[5], frame::Checksum(item.command(), item.high(), item.low()));
      }
    }
    ASSERT_EQ(rebuilt, stream) << "round " << round;
    // Noise may happen to hold a frame of its own, never fewer than inserted.
    EXPECT_GE(frames, framesInserted) << "round " << round;
  }
}

}  // namespace
