// SendSwitchRequest and SendLedSwitch compose every write from the state at send
// time, so an indicator update during the wait for the port is not overwritten.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "link/sendswitchrequest.h"
#include "link/switchstate.h"

namespace {

std::string Describe(const std::vector<RegisterWrite>& writes) {
  std::string s;
  char buf[16];
  for (const auto& w : writes) {
    snprintf(buf, sizeof buf, "%s%02X %02X %02X", s.empty() ? "" : " | ", w.command, w.high,
             w.low);
    s += buf;
  }
  return s;
}

// A sender whose port is "taken" after `beforeSend` has run: what the poll
// did while the interface waited happens there. Acknowledges the first
// `acknowledged` writes; records every write attempted.
class LateSender : public FrameSender {
 public:
  explicit LateSender(int acknowledged = 1000) : left_(acknowledged) {}

  bool TransmitFrame(uint8_t command, uint8_t high, uint8_t low) override {
    if (beforeSend) beforeSend();
    return Record({command, high, low});
  }
  bool TransmitComposed(const WriteComposer& compose) override {
    if (beforeSend) beforeSend();
    const std::optional<RegisterWrite> write = compose();
    if (!write) return true;
    return Record(*write);
  }

  std::function<void()> beforeSend;
  std::vector<RegisterWrite> sent;

 private:
  bool Record(const RegisterWrite& write) {
    sent.push_back(write);
    if (left_ == 0) return false;
    --left_;
    return true;
  }
  int left_;
};

SwitchRegisters Leds(uint8_t ledALow, uint8_t ledAHigh, uint8_t ledBLow, uint8_t ledBHigh) {
  SwitchRegisters s;
  s.LedALow = ledALow;
  s.LedAHigh = ledAHigh;
  s.LedBLow = ledBLow;
  s.LedBHigh = ledBHigh;
  s.LineLow = 0x33;
  s.Route = 0x95;
  s.Pairs = 0x0A;
  return s;
}

void ExpectLeds(const SwitchRegisters& s, const SwitchRegisters& want, const char* name) {
  EXPECT_EQ(s.LedALow, want.LedALow) << name;
  EXPECT_EQ(s.LedAHigh, want.LedAHigh) << name;
  EXPECT_EQ(s.LedBLow, want.LedBLow) << name;
  EXPECT_EQ(s.LedBHigh, want.LedBHigh) << name;
}

// The poll's report arrives once, while the first write waits for the port.
void ReportOnceBeforeTheFirstWrite(LateSender& sender, SwitchRegisters& regs,
                                   std::optional<std::pair<uint8_t, uint8_t>> report) {
  if (!report) return;
  auto pending = std::make_shared<bool>(true);
  sender.beforeSend = [&regs, report, pending] {
    if (!*pending) return;
    *pending = false;
    ApplyIndicatorReport(regs, report->first, report->second);
  };
}

TEST(SendSwitchRequest, LedTogglesStartFromTheStateTheIndicatorUpdateLeft) {
  struct Case {
    const char* name;
    SwitchRegisters start;
    std::pair<uint8_t, uint8_t> report;  // high, low
    int type;
    int desk;
    std::string sent;
    uint8_t ledALow, ledAHigh, ledBLow, ledBHigh;
  } cases[] = {
      // Desk 5 lit by the controller must stay lit when desk 3 is toggled.
      {"ToggleLedA desk 3, desk 5 lit meanwhile", Leds(0, 0, 0, 0), {0x00, 0x10}, ToggleLedA, 2,
       "81 00 14", 0x14, 0, 0x10, 0},
      {"ToggleLedB desk 9, desk 16 lit meanwhile", Leds(0, 0, 0, 0), {0x80, 0x00}, ToggleLedB, 8,
       "83 81 00", 0, 0x80, 0, 0x81},
      // Desk 1 put out by the controller: the toggle starts from dark.
      {"ToggleLedA desk 2, desk 1 out meanwhile", Leds(0x01, 0, 0x01, 0), {0x00, 0x00}, ToggleLedA,
       1, "81 00 02", 0x02, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SwitchRegisters regs;
    regs = c.start;
    LateSender sender;
    ReportOnceBeforeTheFirstWrite(sender, regs, c.report);
    EXPECT_TRUE(SendSwitchRequest(regs, sender, c.type, c.desk, false, false, 0xFFFF)) << c.name;
    EXPECT_EQ(Describe(sender.sent), c.sent) << c.name;
    const SwitchRegisters& s = regs;
    ExpectLeds(s, Leds(c.ledALow, c.ledAHigh, c.ledBLow, c.ledBHigh), c.name);
    EXPECT_EQ(s.LineLow, 0x33) << c.name;
    EXPECT_EQ(s.Route, 0x95) << c.name;
  }
}

// Planning each write at its own send time must give what planning the whole
// request up front gives: no later write may depend on an earlier one's commit.
TEST(SendSwitchRequest, WritesPlannedOneByOneMatchThePlanOfTheWholeRequest) {
  const SwitchRegisters states[] = {
      SwitchRegisters{},
      SwitchRegisters{0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x93, 0x5A},
      SwitchRegisters{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
  };
  for (const SwitchRegisters& start : states) {
    for (int type = 0; type <= kLastRequestType; ++type) {
      for (bool flag : {false, true}) {
        SwitchRegisters regs;
        regs = start;
        LateSender sender;
        const uint16_t visible = 0xF3BF;
        ASSERT_TRUE(SendSwitchRequest(regs, sender, type, 5, flag, !flag, visible));
        EXPECT_EQ(Describe(sender.sent),
                  Describe(PlanRequest(start, type, 5, flag, !flag, visible)))
            << "type " << type << " flag " << flag;
      }
    }
  }
}

TEST(SendLedSwitch, DecidesEachRegisterAtSendTime) {
  struct Case {
    const char* name;
    SwitchRegisters start;
    std::optional<std::pair<uint8_t, uint8_t>> report;  // high, low
    int desk;
    bool on;
    int acknowledged;
    std::string sent;
    bool result;
    uint8_t ledALow, ledAHigh, ledBLow, ledBHigh;
  } cases[] = {
      {"on, dark", Leds(0, 0, 0, 0), std::nullopt, 1, true, 9, "83 00 02 | 81 00 02", true, 0x02,
       0, 0x02, 0},
      {"on, lit by the poll meanwhile: nothing sent", Leds(0, 0, 0, 0),
       std::make_pair(uint8_t{0}, uint8_t{0x02}), 1, true, 9, "", true, 0x02, 0, 0x02, 0},
      {"on, another desk lit meanwhile stays lit", Leds(0, 0, 0, 0),
       std::make_pair(uint8_t{0x80}, uint8_t{0}), 8, true, 9, "83 81 00 | 81 81 00", true, 0,
       0x81, 0, 0x81},
      {"off, put out by the poll meanwhile: nothing sent", Leds(0x04, 0, 0x04, 0),
       std::make_pair(uint8_t{0}, uint8_t{0}), 2, false, 9, "", true, 0, 0, 0, 0},
      {"off, lit", Leds(0x05, 0, 0x05, 0), std::nullopt, 2, false, 9, "83 00 01 | 81 00 01", true,
       0x01, 0, 0x01, 0},
      {"on, only LedA still dark", Leds(0, 0, 0x01, 0), std::nullopt, 0, true, 9, "81 00 01", true,
       0x01, 0, 0x01, 0},
      {"off, both dark already", Leds(0, 0, 0, 0), std::nullopt, 12, false, 9, "", true, 0, 0, 0,
       0},
      {"LedB refused: LedA not tried", Leds(0x01, 0, 0x01, 0), std::nullopt, 0, false, 0,
       "83 00 00", false, 0x01, 0, 0x01, 0},
      {"LedB acknowledged, LedA refused", Leds(0, 0, 0, 0), std::nullopt, 0, true, 1,
       "83 00 01 | 81 00 01", false, 0, 0, 0x01, 0},
  };
  for (const Case& c : cases) {
    SwitchRegisters regs;
    regs = c.start;
    LateSender sender(c.acknowledged);
    ReportOnceBeforeTheFirstWrite(sender, regs, c.report);
    EXPECT_EQ(SendLedSwitch(regs, sender, c.desk, c.on), c.result) << c.name;
    EXPECT_EQ(Describe(sender.sent), c.sent) << c.name;
    const SwitchRegisters& s = regs;
    ExpectLeds(s, Leds(c.ledALow, c.ledAHigh, c.ledBLow, c.ledBHigh), c.name);
    EXPECT_EQ(s.LineLow, 0x33) << c.name;
  }
}

}  // namespace
