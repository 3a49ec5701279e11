// No call lost to the copy's write-back: the controller's LEDs are read
// before the copy goes back to it, and a lit one stays lit.
#include <gtest/gtest.h>

#include <optional>
#include <utility>
#include <vector>

#include "console/consolemodel.h"
#include "link/frame.h"
#include "scriptedcontroller.h"

using namespace console;

namespace {

using Report = std::optional<std::pair<uint8_t, uint8_t>>;

struct WriteBackCase {
  const char* what;
  uint8_t knownLow;  // LEDs the copy holds lit (reported by the poll before)
  Report report;     // what the read before the write-back finds
  uint8_t writtenLow;
  std::vector<int> calling;
};

TEST(CallsKept, WriteBackAfterTheLinkReturnsKeepsEveryLitLed) {
  const WriteBackCase cases[] = {
      {"a call made while the link was down",
       0x00,
       std::make_pair(uint8_t{0}, uint8_t{0x40}),
       0x40,
       {6}},
      {"a call made meanwhile, one known before",
       0x04,
       std::make_pair(uint8_t{0}, uint8_t{0x41}),
       0x45,
       {2, 0, 6}},
      {"power lost: the known call is lit again",
       0x04,
       std::make_pair(uint8_t{0}, uint8_t{0}),
       0x04,
       {2}},
      {"no valid report: the copy as it is", 0x04, std::nullopt, 0x04, {2}},
  };
  for (const WriteBackCase& c : cases) {
    ClassroomState room;
    ScriptedController controller;
    ScriptedUser user;
    ConsoleModel model(room, controller, nullptr, user, {"/nonexistent/vormik.ini", ""});
    model.SetClock([] { return int64_t{100}; });
    model.ApplyIndicators(0x00, c.knownLow);
    model.SetIndicatorReader([&c] { return c.report; });
    model.ControllerReturned();
    const std::vector<SentWrite> expected = {{frame::kLedA, 0x00, c.writtenLow},
                                             {frame::kLine, 0x00, 0x00},
                                             {frame::kLedB, 0x00, c.writtenLow},
                                             {frame::kRoutePairs, 0x00, 0x00}};
    EXPECT_EQ(controller.sent, expected) << c.what;
    std::vector<int> calling;
    for (const Call& call : model.calls()) calling.push_back(call.desk);
    EXPECT_EQ(calling, c.calling) << c.what;
  }
}

}  // namespace
