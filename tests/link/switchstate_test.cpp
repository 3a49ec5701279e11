// Request planning, commit, indicator reports, frames and SendSwitchRequest's partial commits.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "link/frame.h"
#include "link/sendswitchrequest.h"
#include "link/switchstate.h"

namespace {

struct PlanCase {
  std::string name;
  SwitchRegisters state;
  int type;
  int desk;
  bool sourceOn;
  bool deskOn;
  uint16_t visible;
  std::vector<RegisterWrite> expected;
};

SwitchRegisters Regs(uint8_t ledALow, uint8_t ledAHigh, uint8_t lineLow, uint8_t lineHigh,
                     uint8_t ledBLow, uint8_t ledBHigh, uint8_t route, uint8_t pairs) {
  return SwitchRegisters{ledALow, ledAHigh, lineLow, lineHigh, ledBLow, ledBHigh, route, pairs};
}

RegisterWrite W(uint8_t c, uint8_t h, uint8_t l) { return {c, h, l}; }

std::string Describe(const std::vector<RegisterWrite>& writes) {
  std::string s;
  char buf[32];
  for (const auto& w : writes) {
    snprintf(buf, sizeof buf, "[%02X %02X %02X]", w.command, w.high, w.low);
    s += buf;
  }
  return s.empty() ? "(none)" : s;
}

const SwitchRegisters kZero{};
// Every register distinct so a byte taken from the wrong field shows.
const SwitchRegisters kBusy = Regs(0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x93, 0x5A);

std::vector<PlanCase> PlanCases() {
  return {
      // Worked examples.
      {"ToggleLedA desk 9 from zero", kZero, ToggleLedA, 8, false, false, 0, {W(0x81, 0x01, 0x00)}},
      {"ToggleLedA desk 9 again", Regs(0, 0x01, 0, 0, 0, 0, 0, 0), ToggleLedA, 8, false, false, 0,
       {W(0x81, 0x00, 0x00)}},
      {"ListenDesk desk 12 no line", Regs(0, 0, 0, 0, 0, 0, 0x80, 0x03), ListenDesk, 11, false, false,
       0, {W(0x84, 0x03, 0x9B)}},
      {"ListenDesk desk 12 line on", Regs(0, 0, 0, 0, 0, 0, 0x80, 0x03), ListenDesk, 11, true, false,
       0, {W(0x84, 0x03, 0xFB)}},
      {"SpeakDesk desk 3", Regs(0, 0, 0, 0, 0, 0, 0xF7, 0), SpeakDesk, 2, false, false, 0,
       {W(0x84, 0x00, 0xD2)}},
      {"LineOn listened desk 4", Regs(0, 0, 0, 0, 0, 0, 0x95, 0), LineOn, 4, false, true, 0,
       {W(0x84, 0x00, 0x74)}},
      {"LineOn neither", Regs(0, 0, 0, 0, 0, 0, 0x95, 0), LineOn, kNoListenedDesk, false, false, 0,
       {W(0x84, 0x00, 0x40)}},
      {"InputToLineOff", Regs(0, 0, 0, 0, 0, 0, 0x9B, 0), InputToLineOff, 0, false, false, 0,
       {W(0x84, 0x00, 0x1B)}},
      {"PairJoin desk 8", Regs(0, 0, 0, 0, 0, 0, 0x37, 0x00), PairJoin, 7, false, false, 0,
       {W(0x84, 0x08, 0x37)}},
      {"AllInPairs 15 and 16 hidden", kBusy, AllInPairs, 0, false, false, 0x3FFF,
       {W(0x82, 0, 0), W(0x84, 0x7F, 0x93)}},
      // One row per type over a busy state.
      {"ToggleLedA desk 1", kBusy, ToggleLedA, 0, false, false, 0, {W(0x81, 0x22, 0x10)}},
      {"ToggleLine desk 16", kBusy, ToggleLine, 15, false, false, 0, {W(0x82, 0xC4, 0x33)}},
      {"ToggleLedB desk 3", kBusy, ToggleLedB, 2, false, false, 0, {W(0x83, 0x66, 0x51)}},
      {"TogglePair desk 4", kBusy, TogglePair, 3, false, false, 0, {W(0x84, 0x58, 0x93)}},
      {"ListenDesk desk 16 keeps bit 7", kBusy, ListenDesk, 15, false, false, 0,
       {W(0x84, 0x5A, 0x9F)}},
      {"ReleaseDesk no line", kBusy, ReleaseDesk, 5, false, false, 0, {W(0x84, 0x5A, 0x80)}},
      {"ReleaseDesk line on", kBusy, ReleaseDesk, 5, true, false, 0, {W(0x84, 0x5A, 0xC0)}},
      {"SpeakDesk desk 1", kBusy, SpeakDesk, 0, true, false, 0, {W(0x84, 0x5A, 0xD0)}},
      {"InputOn no line", kBusy, InputOn, 0, false, false, 0, {W(0x84, 0x5A, 0xA0)}},
      {"InputOn line on", kBusy, InputOn, 0, true, false, 0, {W(0x84, 0x5A, 0xE0)}},
      {"InputOff line on", kBusy, InputOff, 0, true, false, 0, {W(0x84, 0x5A, 0xC0)}},
      {"InputOff no line", kBusy, InputOff, 0, false, false, 0, {W(0x84, 0x5A, 0x80)}},
      {"LineOn input, no desk", kBusy, LineOn, kNoListenedDesk, true, false, 0,
       {W(0x84, 0x5A, 0x60)}},
      {"LineOn desk wins over input", kBusy, LineOn, 9, true, true, 0, {W(0x84, 0x5A, 0x79)}},
      {"LineOff desk", kBusy, LineOff, 6, true, true, 0, {W(0x84, 0x5A, 0x96)}},
      {"LineOff input", kBusy, LineOff, kNoListenedDesk, true, false, 0, {W(0x84, 0x5A, 0xA0)}},
      {"LineOff neither", Regs(0, 0, 0, 0, 0, 0, 0x47, 0), LineOff, kNoListenedDesk, false, false, 0,
       {W(0x84, 0x00, 0x00)}},
      {"InputToLineOn desk", Regs(0, 0, 0, 0, 0, 0, 0x47, 0), InputToLineOn, 13, false, true, 0,
       {W(0x84, 0x00, 0x9D)}},
      {"InputToLineOn input", Regs(0, 0, 0, 0, 0, 0, 0x47, 0), InputToLineOn, kNoListenedDesk, true,
       false, 0, {W(0x84, 0x00, 0xA0)}},
      {"InputToLineOn neither", kZero, InputToLineOn, kNoListenedDesk, false, false, 0,
       {W(0x84, 0x00, 0x80)}},
      {"ResetAll", kBusy, ResetAll, 0, true, true, 0xFFFF,
       {W(0x81, 0, 0), W(0x82, 0, 0), W(0x83, 0, 0), W(0x84, 0, 0)}},
      {"AllToLine", kBusy, AllToLine, 0, false, false, 0, {W(0x84, 0, 0x93), W(0x82, 0xFF, 0xFF)}},
      {"AllOffLine", kBusy, AllOffLine, 0, false, false, 0, {W(0x82, 0, 0)}},
      {"AllLedsOff", kBusy, AllLedsOff, 0, false, false, 0, {W(0x81, 0, 0), W(0x83, 0, 0)}},
      {"AllInPairs only desk 2 of pair 1 hidden", kZero, AllInPairs, 0, false, false, 0xFFFD,
       {W(0x82, 0, 0), W(0x84, 0xFE, 0x00)}},
      {"AllInPairs nothing visible", kZero, AllInPairs, 0, false, false, 0,
       {W(0x82, 0, 0), W(0x84, 0x00, 0x00)}},
      {"LineConnect desk 10", kBusy, LineConnect, 9, false, false, 0, {W(0x82, 0x46, 0x33)}},
      {"LineDisconnect desk 2", kBusy, LineDisconnect, 1, false, false, 0, {W(0x82, 0x44, 0x31)}},
      {"LineDisconnect desk off the line already", kBusy, LineDisconnect, 2, false, false, 0,
       {W(0x82, 0x44, 0x33)}},
      {"PairJoin desk 16", kBusy, PairJoin, 15, false, false, 0, {W(0x84, 0xDA, 0x93)}},
      {"PairBreak desk 4", kBusy, PairBreak, 3, false, false, 0, {W(0x84, 0x58, 0x93)}},
      {"PairBreak pair already parted", kBusy, PairBreak, 4, false, false, 0, {W(0x84, 0x5A, 0x93)}},
      // Out of range.
      {"ToggleLedA desk index 16 sends the register unchanged", kBusy, ToggleLedA, 16, false, false,
       0, {W(0x81, 0x22, 0x11)}},
      {"PairJoin desk index 99 leaves Pairs", kBusy, PairJoin, 99, false, false, 0,
       {W(0x84, 0x5A, 0x93)}},
      {"ListenDesk desk index out of range stays out of the mode bits", kZero, ListenDesk, 0x23,
       false, false, 0, {W(0x84, 0x00, 0x13)}},
      {"type 22", kBusy, 22, 0, false, false, 0, {}},
      {"type -1", kBusy, -1, 0, false, false, 0, {}},
  };
}

TEST(PlanRequest, EveryTypeAndWorkedExample) {
  for (const PlanCase& c : PlanCases()) {
    const auto got = PlanRequest(c.state, c.type, c.desk, c.sourceOn, c.deskOn, c.visible);
    EXPECT_EQ(Describe(got), Describe(c.expected)) << c.name;
  }
}

TEST(ApplyIndicatorReport, FollowsTheReportDeskByDesk) {
  SwitchRegisters s{};
  // Desk 1 on.
  auto changes = ApplyIndicatorReport(s, 0x00, 0x01);
  ASSERT_EQ(changes.size(), 1u);
  EXPECT_EQ(changes[0].deskIndex, 0);
  EXPECT_TRUE(changes[0].on);
  EXPECT_EQ(s.LedALow, 0x01);
  EXPECT_EQ(s.LedBLow, 0x01);
  // Same report again: nothing.
  EXPECT_TRUE(ApplyIndicatorReport(s, 0x00, 0x01).empty());
  // Desk 14 (bit 5 of the high byte) on, desk 1 off; the list is in desk order.
  s.LineLow = 0x77;
  s.Route = 0x12;
  changes = ApplyIndicatorReport(s, 0x20, 0x00);
  ASSERT_EQ(changes.size(), 2u);
  EXPECT_EQ(changes[0].deskIndex, 0);
  EXPECT_FALSE(changes[0].on);
  EXPECT_EQ(changes[1].deskIndex, 13);
  EXPECT_TRUE(changes[1].on);
  EXPECT_EQ(s.LedALow, 0x00);
  EXPECT_EQ(s.LedBLow, 0x00);
  EXPECT_EQ(s.LedAHigh, 0x20);
  EXPECT_EQ(s.LedBHigh, 0x20);
  EXPECT_EQ(s.LineLow, 0x77);
  EXPECT_EQ(s.Route, 0x12);
}

TEST(ApplyIndicatorReport, LedBDecidesAndOnlyTheDesksOwnBitsChange) {
  // Desk 4: LedA set but LedB clear counts as off; the report turns it on.
  SwitchRegisters s{};
  s.LedALow = 0x0F;
  s.LedBLow = 0x07;
  auto changes = ApplyIndicatorReport(s, 0x00, 0x0F);
  ASSERT_EQ(changes.size(), 1u);
  EXPECT_EQ(changes[0].deskIndex, 3);
  EXPECT_EQ(s.LedALow, 0x0F);
  EXPECT_EQ(s.LedBLow, 0x0F);
  // An LED the teacher switched on that the controller reports off goes off.
  s = SwitchRegisters{};
  s.LedAHigh = 0x81;
  s.LedBHigh = 0x81;
  changes = ApplyIndicatorReport(s, 0x01, 0x00);
  ASSERT_EQ(changes.size(), 1u);
  EXPECT_EQ(changes[0].deskIndex, 15);
  EXPECT_FALSE(changes[0].on);
  EXPECT_EQ(s.LedAHigh, 0x01);
  EXPECT_EQ(s.LedBHigh, 0x01);
}

TEST(Frame, ChecksumsAndAcknowledgements) {
  struct Row {
    uint8_t command, high, low, checksum, ack;
  } rows[] = {{0x81, 0x00, 0x00, 0x07, 0x08},
              {0x81, 0x00, 0x01, 0x08, 0x09},
              {0x84, 0x00, 0xF5, 0xFF, 0x00},
              {0x84, 0xFF, 0xFF, 0x08, 0x09}};
  for (const Row& r : rows) {
    const auto f = frame::Build(r.command, r.high, r.low);
    EXPECT_EQ(f[0], 0x55);
    EXPECT_EQ(f[1], 0x30);
    EXPECT_EQ(f[2], r.command);
    EXPECT_EQ(f[3], r.high);
    EXPECT_EQ(f[4], r.low);
    EXPECT_EQ(f[5], r.checksum);
    EXPECT_EQ(frame::AckFor(f[5]), r.ack);
  }
  EXPECT_EQ(frame::PollReplyChecksum(0x00, 0x01), 0x8A);
  EXPECT_EQ(frame::PollReplyChecksum(0x00, 0x08), 0x91);
  EXPECT_EQ(frame::PollReplyChecksum(0xFF, 0x77), 0xFF);
}

// Acknowledges the first `acknowledged` frames, then none; records each one.
class ScriptedSender : public FrameSender {
 public:
  explicit ScriptedSender(int acknowledged) : left_(acknowledged) {}
  bool TransmitFrame(uint8_t command, uint8_t high, uint8_t low) override {
    sent.push_back(W(command, high, low));
    if (left_ == 0) return false;
    --left_;
    return true;
  }
  std::vector<RegisterWrite> sent;

 private:
  int left_;
};


TEST(SendSwitchRequest, ResetAllFailingAtTheThirdWriteKeepsTheFirstTwo) {
  SwitchRegisters regs = kBusy;
  ScriptedSender sender(2);
  EXPECT_FALSE(SendSwitchRequest(regs, sender, ResetAll, 0, false, false, 0xFFFF));
  EXPECT_EQ(Describe(sender.sent), Describe({W(0x81, 0, 0), W(0x82, 0, 0), W(0x83, 0, 0)}));
  const SwitchRegisters& s = regs;
  EXPECT_EQ(s.LedALow, 0);
  EXPECT_EQ(s.LedAHigh, 0);
  EXPECT_EQ(s.LineLow, 0);
  EXPECT_EQ(s.LineHigh, 0);
  EXPECT_EQ(s.LedBLow, 0x55);
  EXPECT_EQ(s.LedBHigh, 0x66);
  EXPECT_EQ(s.Route, 0x93);
  EXPECT_EQ(s.Pairs, 0x5A);
}

TEST(SendSwitchRequest, AllToLineKeepsItsFirstWriteWhenTheLineWriteFails) {
  SwitchRegisters regs = kBusy;
  ScriptedSender sender(1);
  EXPECT_FALSE(SendSwitchRequest(regs, sender, AllToLine, 0, false, false, 0));
  EXPECT_EQ(sender.sent.size(), 2u);
  EXPECT_EQ(regs.Pairs, 0);
  EXPECT_EQ(regs.Route, 0x93);
  EXPECT_EQ(regs.LineLow, 0x33);
  EXPECT_EQ(regs.LineHigh, 0x44);
}

TEST(SendSwitchRequest, FirstWriteFailingChangesNothing) {
  for (int type = 0; type <= kLastRequestType; ++type) {
    SwitchRegisters regs = kBusy;
    ScriptedSender sender(0);
    EXPECT_FALSE(SendSwitchRequest(regs, sender, type, 5, true, true, 0xFFFF)) << type;
    EXPECT_EQ(sender.sent.size(), 1u) << type;
    EXPECT_EQ(0, memcmp(&regs, &kBusy, sizeof kBusy)) << type;
  }
}

TEST(SendSwitchRequest, UnknownTypesSendNothingAndSucceed) {
  for (int type : {22, 23, 1000, -1}) {
    SwitchRegisters regs = kBusy;
    ScriptedSender sender(0);
    EXPECT_TRUE(SendSwitchRequest(regs, sender, type, 0, false, false, 0)) << type;
    EXPECT_TRUE(sender.sent.empty()) << type;
    EXPECT_EQ(0, memcmp(&regs, &kBusy, sizeof kBusy));
  }
}

}  // namespace
