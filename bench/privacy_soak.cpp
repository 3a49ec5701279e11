// The long run of the randomized lesson (tests/console/classsoak.h): many
// seeds of mixed operations against the faulty controller, the figures
// printed for bench/README.md. Exits non-zero when any rule broke.
//   bench_privacy_soak [operations per seed] [seeds]
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "tests/console/classsoak.h"

int main(int argc, char** argv) {
  const uint64_t operations = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 100000;
  const uint32_t seeds = argc > 2 ? static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10)) : 25;
  soak::Figures total;
  const auto started = std::chrono::steady_clock::now();
  int broken = 0;
  for (uint32_t seed = 1000; seed < 1000 + seeds; ++seed) {
    soak::Figures figures;
    soak::RandomLesson lesson(seed, figures);
    lesson.Run(operations);
    if (!figures.Clean()) {
      ++broken;
      std::printf("seed %u: %s\n", seed, figures.firstProblem.c_str());
    }
    total.operations += figures.operations;
    total.frames += figures.frames;
    total.refusals += figures.refusals;
    total.appliedUnconfirmed += figures.appliedUnconfirmed;
    total.powerLosses += figures.powerLosses;
    total.callsMade += figures.callsMade;
    total.leaks += figures.leaks;
    total.ledsPutOut += figures.ledsPutOut;
    total.copyDiffers += figures.copyDiffers;
    total.screenDiffers += figures.screenDiffers;
    total.sentAfterRefusal += figures.sentAfterRefusal;
    total.heldBack += figures.heldBack;
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  std::printf(
      "operations %llu, frames %llu, refusals (Нет) %llu, applied unconfirmed %llu, power losses "
      "%llu, calls %llu in %.1f s\n",
      static_cast<unsigned long long>(total.operations),
      static_cast<unsigned long long>(total.frames),
      static_cast<unsigned long long>(total.refusals),
      static_cast<unsigned long long>(total.appliedUnconfirmed),
      static_cast<unsigned long long>(total.powerLosses),
      static_cast<unsigned long long>(total.callsMade), seconds);
  std::printf(
      "leaking frames %llu, LEDs put out %llu, copy differs %llu, screen differs %llu, sent after "
      "Нет %llu, held back by the guard %llu, seeds broken %d\n",
      static_cast<unsigned long long>(total.leaks),
      static_cast<unsigned long long>(total.ledsPutOut),
      static_cast<unsigned long long>(total.copyDiffers),
      static_cast<unsigned long long>(total.screenDiffers),
      static_cast<unsigned long long>(total.sentAfterRefusal),
      static_cast<unsigned long long>(total.heldBack), broken);
  return broken == 0 && total.heldBack == 0 ? 0 : 1;
}
