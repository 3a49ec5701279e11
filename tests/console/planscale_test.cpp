// The plan scaled into the window: identity at the described size, the
// uniform fit otherwise, points and drags mapped back to the plan.
#include <gtest/gtest.h>

#include "console/planscale.h"
#include "console/windowplacement.h"

namespace {

using console::PlanPoint;
using console::PlanRect;
using console::PlanScale;
using console::PlanSize;

TEST(PlanScale, FitsTheDescribedClientUniformlyWithTheBottomPanelsByTheirRule) {
  const struct {
    const char* what;
    PlanSize described, client;
    double scale;
    PlanRect desk1;  // described 8, 0, 145 x 75
    int bottomTop, teacherLeft, allDesksLeft, font;
  } rows[] = {
      {"the described size", {700, 500}, {700, 500}, 1.0, {8, 0, 145, 75}, 450, 0, 360, 11},
      {"900 wide as described", {900, 500}, {900, 500}, 1.0, {8, 0, 145, 75}, 450, 100, 460, 11},
      {"twice", {700, 500}, {1400, 1000}, 2.0, {16, 0, 290, 150}, 900, 0, 720, 22},
      {"1920 x 1030 maximized: the height decides",
       {700, 500}, {1920, 1030}, 2.06, {255, 0, 299, 155}, 927, 239, 981, 23},
      {"wider than high: centred across", {700, 500}, {1000, 500}, 1.0, {158, 0, 145, 75}, 450, 150, 510, 11},
      {"a small screen", {700, 500}, {350, 250}, 0.5, {4, 0, 73, 38}, 225, 0, 180, 6},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    const PlanScale plan(row.described, row.client);
    EXPECT_NEAR(plan.scale(), row.scale, 0.001);
    EXPECT_EQ(plan.ToScreen(PlanRect{8, 0, 145, 75}), row.desk1);
    EXPECT_EQ(plan.BottomPanelsTop(), row.bottomTop);
    EXPECT_EQ(plan.TeacherPanelLeft(), row.teacherLeft);
    EXPECT_EQ(plan.AllDesksPanelLeft(), row.allDesksLeft);
    EXPECT_EQ(plan.FontPixels(11), row.font);
  }
  EXPECT_TRUE(PlanScale({700, 500}, {700, 500}).Identity());
  EXPECT_FALSE(PlanScale({700, 500}, {702, 500}).Identity());
}

TEST(PlanScale, NeighbouringControlsStayNeighboursAtEveryScale) {
  // The line button ends at 61, the listen button starts at 92 and the
  // speak button at 117, right after the listen button's 115.
  for (int client = 700; client <= 3000; client += 37) {
    const PlanScale plan({700, 500}, {client, client});
    const PlanRect listen = plan.Inner({92, 49, 23, 22});
    const PlanRect speak = plan.Inner({117, 49, 23, 22});
    const PlanRect panel = plan.Inner({0, 0, 145, 75});
    EXPECT_LE(listen.left + listen.width, speak.left) << client;
    EXPECT_LE(speak.left + speak.width, panel.width) << client;
    EXPECT_EQ(speak.top, listen.top) << client;
  }
}

TEST(PlanScale, WindowPointsAndDragsMapBackToTheDescribedPlan) {
  const PlanRect rects[3] = {{8, 0, 145, 75}, {176, 0, 145, 75}, {100, 30, 145, 75}};
  const bool visible[3] = {true, true, false};
  const struct {
    PlanSize client;
    PlanPoint screen;
    int desk;
  } rows[] = {
      {{700, 500}, {8, 0}, 0},        {{700, 500}, {7, 0}, -1},     {{700, 500}, {152, 74}, 0},
      {{700, 500}, {153, 10}, -1},    {{700, 500}, {200, 40}, 1},   {{1400, 1000}, {16, 0}, 0},
      {{1400, 1000}, {15, 0}, -1},    {{1400, 1000}, {400, 100}, 1}, {{1400, 1000}, {352, 10}, 1},
      {{1400, 1000}, {350, 10}, -1},
      {{1920, 1030}, {255, 10}, 0},   {{1920, 1030}, {254, 10}, -1},
  };
  for (const auto& row : rows) {
    const PlanScale plan({700, 500}, row.client);
    EXPECT_EQ(console::DeskAt(plan, row.screen, rects, visible, 3), row.desk)
        << row.client.width << " " << row.screen.x << "," << row.screen.y;
  }
  // Overlapping panels: the one drawn last is on top.
  const bool both[2] = {true, true};
  const PlanRect overlapping[2] = {{0, 0, 145, 75}, {100, 0, 145, 75}};
  EXPECT_EQ(console::DeskAt(PlanScale({700, 500}, {700, 500}), {120, 5}, overlapping, both, 2), 1);

  for (int client : {700, 1400, 2100, 1930}) {
    const PlanScale plan({700, 500}, {client, client * 500 / 700});
    for (const PlanPoint p : {PlanPoint{0, 0}, PlanPoint{8, 312}, PlanPoint{544, 208}}) {
      EXPECT_EQ(plan.ToDescribed(plan.ToScreen(p)), p) << client;
    }
  }
  // A drag of 80 pixels to the right and 40 down at twice the size moves
  // the desk 40 and 20 in the plan the file keeps.
  EXPECT_EQ(PlanScale({700, 500}, {1400, 1000}).DescribedDelta({80, 40}), (PlanPoint{40, 20}));
  EXPECT_EQ(PlanScale({700, 500}, {700, 500}).DescribedDelta({-7, 3}), (PlanPoint{-7, 3}));
}

TEST(PlanScale, TheWindowIsNeverSmallerThanDescribedUnlessTheScreenIs) {
  EXPECT_EQ(console::SmallestClient({700, 500}, {1920, 1000}), (PlanSize{700, 500}));
  EXPECT_EQ(console::SmallestClient({700, 500}, {700, 500}), (PlanSize{700, 500}));
  // 1900 x 1000 described on a 1280 x 800 screen: all of it, scaled down.
  EXPECT_EQ(console::SmallestClient({1900, 1000}, {1280, 740}), (PlanSize{1280, 673}));
  EXPECT_EQ(console::SmallestClient({700, 500}, {960, 400}), (PlanSize{560, 400}));
}

TEST(PlanScale, MenusAndTheStripFollowThePlanInEighthsNeverTakingItsRoom) {
  const console::PlanSize described{700, 500};
  const struct {
    int width, height, chrome;
    double factor;
  } rows[] = {
      {700, 559, 59, 1.0},      // the described size
      {600, 400, 59, 1.0},      // a small screen: never below the described size
      {740, 589, 59, 1.0},      // plan 1.06: rounds to 1
      {1280, 776, 59, 1.375},   // plan 1.434, kept at its 1.375 step
      {1916, 1076, 59, 1.25},   // plan 2.034: 1.5 would leave it below 2
      {1400, 1059, 59, 1.0},    // plan exactly 2: any growth would take it below
      {2800, 2300, 59, console::kChromeScaleCap},  // plan 4: the cap
      {1050, 1200, 59, 1.5},    // tall, the width decides the plan: room to spare
  };
  for (const auto& row : rows) {
    EXPECT_DOUBLE_EQ(console::ChromeScale(described, {row.width, row.height}, row.chrome), row.factor)
        << row.width << "x" << row.height;
  }
}

TEST(WindowPlacement, TheKeptWindowIsFittedOntoAScreenThereIsNow) {
  const console::Screen laptop{{0, 0, 1280, 770}, true};
  const console::Screen second{{1280, 0, 1920, 1050}, false};
  const struct {
    const char* what;
    console::KeptWindow kept;
    std::vector<console::Screen> screens;
    PlanRect frame;
    int screen;
  } rows[] = {
      {"nothing kept: described size, centred", {}, {laptop}, {290, 123, 700, 524}, 0},
      {"kept and on the screen", {PlanRect{10, 20, 800, 600}, false}, {laptop}, {10, 20, 800, 600}, 0},
      {"larger than the screen", {PlanRect{-311, -113, 1900, 1024}, false}, {laptop}, {0, 0, 1280, 770}, 0},
      {"sticking out to the right and below", {PlanRect{900, 500, 700, 524}, false}, {laptop}, {580, 246, 700, 524}, 0},
      {"on the second monitor", {PlanRect{1500, 100, 800, 600}, false}, {laptop, second}, {1500, 100, 800, 600}, 1},
      {"the second monitor gone", {PlanRect{1500, 100, 800, 600}, false}, {laptop}, {240, 85, 800, 600}, 0},
      {"mostly on the second", {PlanRect{1000, 100, 800, 600}, false}, {laptop, second}, {1280, 100, 800, 600}, 1},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    const console::WindowPlacement placed = console::PlaceWindow(row.kept, {700, 524}, row.screens);
    EXPECT_EQ(placed.frame, row.frame);
    EXPECT_EQ(placed.screen, row.screen);
  }
  EXPECT_TRUE(console::PlaceWindow({PlanRect{0, 0, 700, 524}, true}, {700, 524}, {laptop}).maximized);
}

TEST(WindowPlacement, OnlyWhatChangedIsWrittenBack) {
  const console::KeptWindow read{PlanRect{10, 20, 800, 600}, false};
  EXPECT_FALSE(console::ChangeToKeep(read, read).Any());
  const console::KeptWindowChange moved = console::ChangeToKeep(read, {PlanRect{11, 20, 800, 600}, false});
  EXPECT_TRUE(moved.frame.has_value());
  EXPECT_FALSE(moved.maximized.has_value());
  const console::KeptWindowChange maximized = console::ChangeToKeep(read, {read.frame, true});
  EXPECT_FALSE(maximized.frame.has_value());
  EXPECT_EQ(maximized.maximized, true);
  EXPECT_TRUE(console::ChangeToKeep({}, {PlanRect{0, 0, 700, 524}, false}).frame.has_value());
}

}  // namespace
