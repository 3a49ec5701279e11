// Double clicks on name boxes told from the presses: the box pressed twice
// within the interval is the one that opens, whatever came before.
#include <gtest/gtest.h>

#include <vector>

#include "view/clickpairs.h"

namespace {

struct Press {
  int box;
  uint64_t ms;
  bool doubleClick;  // expected
};

TEST(ClickPairs, TheSecondPressOnTheSameBoxWithinTheIntervalOpensIt) {
  const struct {
    const char* what;
    std::vector<Press> presses;
  } rows[] = {
      {"two quick presses", {{3, 1000, false}, {3, 1200, true}}},
      {"too slow", {{3, 1000, false}, {3, 1401, false}}},
      {"the interval's edge", {{3, 1000, false}, {3, 1400, true}}},
      {"another box between", {{3, 1000, false}, {5, 1100, false}, {3, 1200, false}}},
      {"a box right after another's double click",
       {{3, 1000, false}, {3, 1100, true}, {5, 1200, false}, {5, 1300, true}}},
      {"a third press is a first", {{3, 1000, false}, {3, 1100, true}, {3, 1200, false}}},
      {"a clock that went back", {{3, 5000, false}, {3, 1000, false}}},
  };
  for (const auto& row : rows) {
    view::ClickPairs pairs;
    for (const Press& p : row.presses) {
      EXPECT_EQ(pairs.Press(p.box, p.ms, 400), p.doubleClick) << row.what << " at " << p.ms;
      EXPECT_EQ(pairs.JustCompleted(p.box, p.ms), p.doubleClick) << row.what;
    }
  }
}

TEST(ClickPairs, ThePlatformsOwnDoubleClickCompletesThePair) {
  view::ClickPairs pairs;
  pairs.Press(2, 1000, 400);
  pairs.Paired(2, 1100);
  EXPECT_TRUE(pairs.JustCompleted(2, 1100));
  EXPECT_FALSE(pairs.JustCompleted(3, 1100));
  EXPECT_FALSE(pairs.JustCompleted(2, 1150));  // a later double click opens again
  EXPECT_FALSE(pairs.Press(2, 1200, 400));     // a third press is a first
}

}  // namespace
