// The guided first lesson: each step passes on the console's state alone,
// whatever made it (a click, a key, the desk menu), and only in its turn.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/practiceguide.h"

using namespace console;

namespace {

struct Class {
  ConsoleDisplay shown;
  SwitchRegisters registers;
  bool round = false;

  Class() {
    for (int d = 0; d < 8; ++d) shown.desks[d].visible = true;
  }
  GuideState State() const { return {&shown, &registers, round}; }
  Class& Listen(int d) { shown.desks[d].listenDown = true; return *this; }
  Class& Speak(int d) { shown.desks[d].speakDown = true; return *this; }
  Class& Pair(int p) { shown.pairLinks[p] = true; return *this; }
  Class& Line(uint8_t low) { registers.LineLow = low; return *this; }
  Class& Calling(int d) { shown.calls.push_back({d, 100}); return *this; }
  Class& Hidden(int d) { shown.desks[d].visible = false; return *this; }
  Class& Round() { round = true; return *this; }
};

// A guide brought to `step` by one state for each step before it.
PracticeGuide GuideAt(GuideStep step) {
  const std::vector<Class> passes = {Class().Listen(0), Class().Speak(1), Class().Pair(0),
                                     Class().Line(0xFF), Class().Calling(5).Listen(5),
                                     Class().Round()};
  PracticeGuide guide;
  for (const Class& pass : passes) {
    if (guide.step() == step) break;
    guide.Look(pass.State());
  }
  return guide;
}

// From a step, one look at a class: the step the guide is at afterwards.
TEST(PracticeGuide, EachStepPassesOnItsOwnStateOnly) {
  struct Case {
    const char* name;
    GuideStep from;
    Class look;
    GuideStep after;
  };
  const std::vector<Case> cases = {
      {"nothing done", GuideStep::Listen, Class(), GuideStep::Listen},
      {"a desk heard", GuideStep::Listen, Class().Listen(2), GuideStep::Speak},
      {"a hidden desk heard does not count", GuideStep::Listen, Class().Hidden(2).Listen(2),
       GuideStep::Listen},
      {"still only listening", GuideStep::Speak, Class().Listen(2), GuideStep::Speak},
      {"spoken to", GuideStep::Speak, Class().Speak(0), GuideStep::Pair},
      {"a pair joined", GuideStep::Pair, Class().Pair(3), GuideStep::ClassOnLine},
      {"half the class on the line", GuideStep::ClassOnLine, Class().Line(0x0F),
       GuideStep::ClassOnLine},
      {"the whole shown class on the line", GuideStep::ClassOnLine, Class().Line(0xFF),
       GuideStep::AnswerCall},
      {"a call not yet answered", GuideStep::AnswerCall, Class().Calling(4),
       GuideStep::AnswerCall},
      {"the round running", GuideStep::Round, Class().Round(), GuideStep::Done},
      {"the round before its turn", GuideStep::Pair, Class().Round(), GuideStep::Pair},
      {"done stays done", GuideStep::Done, Class(), GuideStep::Done},
      {"a class showing several steps passes them in one look", GuideStep::Speak,
       Class().Speak(0).Pair(1).Line(0xFF), GuideStep::AnswerCall},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PracticeGuide guide = GuideAt(c.from);
    ASSERT_EQ(guide.step(), c.from);
    guide.Look(c.look.State());
    EXPECT_EQ(guide.step(), c.after);
  }
}

TEST(PracticeGuide, ACallIsAnsweredByHearingTheCallingDeskAndTheGuideAsksForOne) {
  PracticeGuide guide = GuideAt(GuideStep::AnswerCall);
  ASSERT_EQ(guide.step(), GuideStep::AnswerCall);
  EXPECT_TRUE(guide.WantsCall(Class().State()));
  EXPECT_FALSE(guide.WantsCall(Class().Calling(6).State()));
  // A desk heard that does not call is no answer, nor is another desk's call.
  EXPECT_FALSE(guide.Look(Class().Listen(3).State()));
  EXPECT_FALSE(guide.Look(Class().Calling(6).Listen(3).State()));
  EXPECT_TRUE(guide.Look(Class().Calling(6).Calling(3).Listen(6).State()));
  EXPECT_EQ(guide.step(), GuideStep::Round);
  EXPECT_FALSE(guide.WantsCall(Class().State()));
  guide.Restart();
  EXPECT_EQ(guide.step(), GuideStep::Listen);
}

TEST(PracticeGuide, EveryStepSaysWhichItIsAndHowToDoItWithTheKeysToo) {
  for (int s = 0; s < kGuideSteps; ++s) {
    const GuideText text = TextOf(static_cast<GuideStep>(s));
    EXPECT_EQ(text.title.rfind("Шаг " + std::to_string(s + 1) + " из 6.", 0), 0u) << text.title;
    EXPECT_NE(text.instruction.find("(или "), std::string::npos) << text.title;
  }
  EXPECT_EQ(TextOf(GuideStep::Done).title, "Первый урок пройден");
}

}  // namespace
