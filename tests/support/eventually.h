// Waiting in tests for something another thread or process brings about.
#pragma once

#include <chrono>
#include <thread>

namespace testsupport {

// Milliseconds since a point taken from the steady clock.
inline long MsSince(std::chrono::steady_clock::time_point start) {
  return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                               std::chrono::steady_clock::now() - start)
                               .count());
}

// Polls the condition every 10 ms until it holds or the time is up; the bound
// only keeps a broken build from hanging, it is never a speed requirement.
template <typename Pred>
bool Eventually(Pred pred, int timeoutMs = 5000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < end) {
    if (pred()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return pred();
}

}  // namespace testsupport
