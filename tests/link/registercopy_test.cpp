// The register copy written whole: four frames in the reset's order, each
// from the copy as it stands when it goes out.
#include "link/registercopy.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "link/frame.h"

namespace {

// Records the writes; refuses the one numbered `failAt` (1-based).
class RecordingSender : public FrameSender {
 public:
  explicit RecordingSender(int failAt = 0) : failAt_(failAt) {}
  bool TransmitFrame(uint8_t command, uint8_t high, uint8_t low) override {
    char text[16];
    std::snprintf(text, sizeof text, "%02X %02X %02X", command, high, low);
    writes.push_back(text);
    return static_cast<int>(writes.size()) != failAt_;
  }
  std::vector<std::string> writes;

 private:
  int failAt_;
};

TEST(RegisterCopy, FourWritesInTheResetsOrderStoppingAtAFailure) {
  SwitchRegisters state;
  state.LedALow = 0x01;
  state.LedAHigh = 0x80;
  state.LineLow = 0x20;
  state.LineHigh = 0x04;
  state.LedBLow = 0x03;
  state.LedBHigh = 0x90;
  state.Route = 0x12;
  state.Pairs = 0x41;
  const std::vector<std::string> all = {"81 80 01", "82 04 20", "83 90 03", "84 41 12"};
  struct Row {
    int failAt;
    bool ok;
    size_t sent;
  } rows[] = {{0, true, 4}, {1, false, 1}, {3, false, 3}, {4, false, 4}};
  for (const Row& r : rows) {
    RecordingSender sender(r.failAt);
    EXPECT_EQ(SendRegisterCopy(state, sender), r.ok) << r.failAt;
    EXPECT_EQ(sender.writes, std::vector<std::string>(all.begin(), all.begin() + r.sent))
        << r.failAt;
  }
}

TEST(RegisterCopy, EachWriteTakesTheCopyAsItStandsWhenItGoesOut) {
  // An indicator update between two writes changes the LED bits of the copy.
  class ChangingSender : public RecordingSender {
   public:
    explicit ChangingSender(SwitchRegisters& state) : state_(state) {}
    bool TransmitComposed(const WriteComposer& compose) override {
      state_.LedBLow = static_cast<uint8_t>(writes.size());  // changes before each write
      return RecordingSender::TransmitComposed(compose);
    }

   private:
    SwitchRegisters& state_;
  };
  SwitchRegisters state;
  ChangingSender sender(state);
  ASSERT_TRUE(SendRegisterCopy(state, sender));
  EXPECT_EQ(sender.writes[2], "83 00 02");
}

}  // namespace
