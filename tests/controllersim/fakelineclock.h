// A line clock for tests: waiting only moves it on, so nothing sleeps.
#pragma once

#include <cstdint>
#include <memory>

#include "controllersim/simulatedline.h"

struct FakeLineClock {
  std::shared_ptr<int64_t> nowUs = std::make_shared<int64_t>(1000000);

  controllersim::LineClock clock() const {
    controllersim::LineClock c;
    auto now = nowUs;
    c.nowUs = [now] { return *now; };
    c.waitUntil = [now](int64_t until) {
      if (until > *now) *now = until;
    };
    return c;
  }
  void AdvanceMs(int64_t ms) { *nowUs += ms * 1000; }
};
