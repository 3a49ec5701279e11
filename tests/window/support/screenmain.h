// A window test's main() on screens of a given size: the offscreen platform
// is handed a screen configuration (and a scale factor) before the
// application starts, as a teacher's laptop, a large screen or a 4K one.
#pragma once

#include <QObject>

struct TestScreen {
  int x = 0;
  int y = 0;
  int width = 1920;
  int height = 1080;
};

// Runs `test` like QTEST_MAIN on the given screens (the first is the
// primary one); `scaleFactor` 0 keeps Qt's own.
int RunOnScreens(int argc, char** argv, QObject& test, std::initializer_list<TestScreen> screens,
                 double scaleFactor = 0);
