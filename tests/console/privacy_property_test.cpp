// The randomized lesson with a fixed seed: privacy at every frame, the copy
// and the screen as acknowledged, no call put out, nothing after a "Нет".
#include <gtest/gtest.h>

#include "classsoak.h"

namespace {

TEST(PrivacyProperty, ThousandsOfMixedOperationsAgainstAFaultyControllerKeepEveryRule) {
  for (uint32_t seed : {1u, 2u, 3u, 4u}) {
    soak::Figures figures;
    soak::RandomLesson lesson(seed, figures);
    lesson.Run(5000);
    EXPECT_TRUE(figures.Clean()) << "seed " << seed << ": " << figures.firstProblem << " (leaks "
                                 << figures.leaks << ", LEDs put out " << figures.ledsPutOut
                                 << ", copy " << figures.copyDiffers << ", screen "
                                 << figures.screenDiffers << ", after Нет "
                                 << figures.sentAfterRefusal << ")";
    // The faults really happened, so the rules were tried against them.
    EXPECT_GT(figures.refusals, 100u) << seed;
    EXPECT_GT(figures.appliedUnconfirmed, 100u) << seed;
    EXPECT_GT(figures.powerLosses, 5u) << seed;
    EXPECT_GT(figures.callsMade, 100u) << seed;
    EXPECT_EQ(figures.heldBack, 0u) << "the model planned a leak itself, seed " << seed;
  }
}

}  // namespace
