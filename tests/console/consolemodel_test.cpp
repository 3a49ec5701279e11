// The console model against a scripted controller: the requests of each
// operation, what the console then shows, and failures at every write.
#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "console/consolemodel.h"
#include "link/frame.h"
#include "scriptedcontroller.h"
#include "tests/support/privatetalk.h"

using namespace console;

namespace {

class Model : public ::testing::Test {
 protected:
  Model() : model(room, controller, [this] { return probeAnswers; }, user, {"/nonexistent/vormik.ini", "/nonexistent/vormik"}) {
    for (int d = 0; d < kDeskCount; ++d) model.PlaceDesk(d, 10 * d, 0, true);
  }
  const DeskDisplay& Desk(int number) {
    shown = model.Display();
    return shown.desks[number - 1];
  }
  std::vector<SentWrite> SentSince(size_t mark) const {
    return {controller.sent.begin() + static_cast<long>(mark), controller.sent.end()};
  }
  void ExpectCopyMatchesController() const {
    const SwitchRegisters& a = room.SwitchState;
    const SwitchRegisters& b = controller.registers;
    EXPECT_EQ(a.Route, b.Route);
    EXPECT_EQ(a.Pairs, b.Pairs);
    EXPECT_EQ(a.LineLow, b.LineLow);
    EXPECT_EQ(a.LineHigh, b.LineHigh);
    EXPECT_EQ(a.LedALow, b.LedALow);
    EXPECT_EQ(a.LedBHigh, b.LedBHigh);
  }

  ClassroomState room;
  ScriptedController controller;
  ScriptedUser user;
  bool probeAnswers = true;
  ConsoleModel model;
  ConsoleDisplay shown;
};

constexpr uint8_t kLine = frame::kLine;
constexpr uint8_t kRoute = frame::kRoutePairs;

TEST_F(Model, StopListeningRefusedKeepsTheDeskListened) {
  model.ListenTo(4);
  controller.FailNext();
  model.StopListening(4);
  EXPECT_TRUE(Desk(5).listenDown);
  EXPECT_TRUE(Desk(5).highlighted);
  ExpectCopyMatchesController();
}

TEST_F(Model, InputToLineWhileSpeakingPutsTheDeskBackOnTheLine) {
  // Desk 3 on the line.
  room.SwitchState.LineLow = controller.registers.LineLow = 0x04;
  room.SwitchState.Route = controller.registers.Route = 0;
  model.SpeakTo(2);
  ASSERT_TRUE(Desk(3).speakDown);
  ASSERT_EQ(Desk(3).line, LineCaption::On);
  const size_t mark = controller.sent.size();
  model.ToggleInputToLine();
  const std::vector<SentWrite> expected = {{kRoute, 0x00, 0x92}, {kLine, 0x00, 0x04}};
  EXPECT_EQ(SentSince(mark), expected);
  EXPECT_TRUE(Desk(3).listenDown);
  EXPECT_FALSE(Desk(3).speakDown);
  EXPECT_EQ(Desk(3).line, LineCaption::On);
  EXPECT_TRUE(Desk(3).lineFrame);
  ExpectCopyMatchesController();
}

TEST_F(Model, SpeakingRefusedPutsTheDeskBackOnTheLineWithTheNextOperation) {
  room.SwitchState.LineLow = controller.registers.LineLow = 0x04;
  size_t mark = controller.sent.size();
  controller.failing.insert(mark + 1);  // SpeakDesk
  model.SpeakTo(2);
  // Nothing after the "Нет": the desk reads what the controller has.
  const std::vector<SentWrite> refused = {{kLine, 0x00, 0x00}, {kRoute, 0x00, 0x52}};
  EXPECT_EQ(SentSince(mark), refused);
  EXPECT_EQ(Desk(3).line, LineCaption::Off);
  EXPECT_FALSE(Desk(3).speakDown);
  ExpectCopyMatchesController();
  // The next operation ends by putting it back (the route it sent first
  // ends any talk the controller may have taken).
  mark = controller.sent.size();
  model.ListenTo(0);
  const std::vector<SentWrite> next = {{kRoute, 0x00, 0x10}, {kLine, 0x00, 0x04}};
  EXPECT_EQ(SentSince(mark), next);
  EXPECT_EQ(Desk(3).line, LineCaption::On);
  ExpectCopyMatchesController();
}

TEST_F(Model, PartingAPairKeepsShowingTheTeachersRoute) {
  model.JoinPair(2);  // pair 3-4
  ASSERT_EQ(Desk(3).line, LineCaption::Pair);
  model.SpeakTo(2);
  ASSERT_TRUE(Desk(4).speakDown);  // mirrored
  model.PartPair(2);
  EXPECT_EQ(Desk(3).line, LineCaption::Off);
  EXPECT_TRUE(Desk(3).speakDown);  // the controller still routes the speech to desk 3
  EXPECT_FALSE(Desk(4).speakDown);
  ExpectCopyMatchesController();
}

TEST_F(Model, EndingTheSpeakingAnyWayReturnsTheDeskToTheLine) {
  room.SwitchState.LineLow = controller.registers.LineLow = 0x04;
  model.SpeakTo(2);
  const size_t mark = controller.sent.size();
  model.ListenTo(2);  // the menu's "listen" on the desk spoken to
  const std::vector<SentWrite> expected = {{kRoute, 0x00, 0x12}, {kLine, 0x00, 0x04}};
  EXPECT_EQ(SentSince(mark), expected);
  EXPECT_EQ(Desk(3).line, LineCaption::On);
}

void SpeakToDesk6OnTheLine(ConsoleModel& m) {
  m.ToggleLine();
  m.PressLineButton(5);
  m.SpeakTo(5);
}

// Every multi-write operation, refused at each of its writes: the copy holds
// exactly what the controller acknowledged.
TEST_F(Model, FailureAtEachWriteKeepsTheCopyTrue) {
  struct Case {
    const char* what;
    std::function<void(ConsoleModel&)> setup;
    std::function<void(ConsoleModel&)> operation;
  };
  const Case cases[] = {
      {"reset", [](ConsoleModel&) {}, [](ConsoleModel& m) { m.ResetAll(); }},
      {"all to line", [](ConsoleModel& m) { m.ToggleLine(); }, [](ConsoleModel& m) { m.AllToLine(); }},
      {"all in pairs", [](ConsoleModel&) {}, [](ConsoleModel& m) { m.AllInPairs(); }},
      {"all LEDs off", [](ConsoleModel& m) { m.SwitchSelectedLed(true); },
       [](ConsoleModel& m) { m.AllLedsOff(); }},
      {"join pair", [](ConsoleModel& m) { m.ListenTo(5); }, [](ConsoleModel& m) { m.JoinPair(4); }},
      {"part pair", [](ConsoleModel& m) { m.JoinPair(4); }, [](ConsoleModel& m) { m.PartPair(4); }},
      {"line off", [](ConsoleModel& m) { m.ToggleLine(); }, [](ConsoleModel& m) { m.ToggleLine(); }},
      {"LED on", [](ConsoleModel&) {}, [](ConsoleModel& m) { m.SwitchSelectedLed(true); }},
      {"listen elsewhere while speaking to a desk on the line", SpeakToDesk6OnTheLine,
       [](ConsoleModel& m) { m.ListenTo(0); }},
      {"input while speaking to a desk on the line", SpeakToDesk6OnTheLine,
       [](ConsoleModel& m) { m.ToggleInput(); }},
      {"input to the line", [](ConsoleModel& m) { m.ToggleLine(); },
       [](ConsoleModel& m) { m.ToggleInputToLine(); }},
  };
  for (const Case& c : cases) {
    // How many writes the operation makes when all succeed.
    size_t writes = 0;
    {
      ClassroomState r;
      ScriptedController sc;
      ConsoleModel m(r, sc, nullptr, user, {});
      for (int d = 0; d < kDeskCount; ++d) m.PlaceDesk(d, 0, 0, true);
      c.setup(m);
      const size_t mark = sc.sent.size();
      c.operation(m);
      writes = sc.sent.size() - mark;
    }
    ASSERT_GT(writes, 0u) << c.what;
    for (size_t k = 0; k < writes; ++k) {
      ClassroomState r;
      ScriptedController sc;
      ConsoleModel m(r, sc, nullptr, user, {});
      for (int d = 0; d < kDeskCount; ++d) m.PlaceDesk(d, 0, 0, true);
      c.setup(m);
      sc.failing.insert(sc.sent.size() + k);
      c.operation(m);
      const uint8_t* copy = reinterpret_cast<const uint8_t*>(&r.SwitchState);
      const uint8_t* device = reinterpret_cast<const uint8_t*>(&sc.registers);
      EXPECT_EQ(std::vector<uint8_t>(copy, copy + sizeof(SwitchRegisters)),
                std::vector<uint8_t>(device, device + sizeof(SwitchRegisters)))
          << c.what << ", write " << k + 1 << " of " << writes << " refused";
    }
  }
}

const std::function<void(ConsoleModel&, int)> kRandomOperations[] = {
    [](ConsoleModel& m, int d) { m.ToggleListening(d); },
    [](ConsoleModel& m, int d) { m.ToggleSpeaking(d); },
    [](ConsoleModel& m, int d) { m.PressLineButton(d); },
    [](ConsoleModel& m, int d) { m.PressLedButton(d); },
    [](ConsoleModel& m, int d) { m.ListenTo(d); },
    [](ConsoleModel& m, int d) { m.StopSpeaking(d); },
    [](ConsoleModel& m, int d) { m.PartPair(d); },
    [](ConsoleModel& m, int) { m.ToggleInput(); },
    [](ConsoleModel& m, int) { m.ToggleLine(); },
    [](ConsoleModel& m, int) { m.ToggleInputToLine(); },
    [](ConsoleModel& m, int) { m.AllToLine(); },
    [](ConsoleModel& m, int) { m.AllInPairs(); },
    [](ConsoleModel& m, int) { m.SwitchSelectedLed(true); },
    [](ConsoleModel& m, int) { m.ResetAll(); },
    [](ConsoleModel& m, int d) { m.SpeakTo(d); },
    [](ConsoleModel& m, int d) { m.StopListening(d); },
    [](ConsoleModel& m, int d) { m.JoinPair(d); },
    [](ConsoleModel& m, int d) { m.PutOnLine(d); },
    [](ConsoleModel& m, int d) { m.TakeOffLine(d); },
    [](ConsoleModel& m, int) { m.ControllerReturned(); },
};

// Random operations with random refusals: the copy never runs ahead of the
// controller, what the console shows is always the display of the copy, and
// a desk spoken to is never on the line.
TEST_F(Model, RandomOperationsNeverCommitUnacknowledgedWrites) {
  std::mt19937 random(20261207);
  const auto& operations = kRandomOperations;
  for (int step = 0; step < 3000; ++step) {
    if (random() % 5 == 0) controller.FailNext(1 + random() % 2);
    const int desk = static_cast<int>(random() % kDeskCount);
    operations[random() % std::size(operations)](model, desk);
    controller.failing.clear();
    ExpectCopyMatchesController();
    EXPECT_EQ(testsupport::DeskSpokenToOnTheLine(room.SwitchState), 0);
    EXPECT_EQ(testsupport::DeskSpokenToOnTheLine(controller.registers), 0);
    if (HasFailure()) FAIL() << "after step " << step;
    // A desk reads "Вкл." only on the line or while spoken to off it.
    const ConsoleDisplay now = model.Display();
    const TeacherRoute route = DecodeRoute(room.SwitchState.Route);
    for (int d = 0; d < kDeskCount; ++d) {
      if (now.desks[d].line != LineCaption::On) continue;
      ASSERT_TRUE(LineBitIn(room.SwitchState, d) || (route.speaking && route.desk == d))
          << "desk " << d + 1 << " after step " << step;
    }
  }
}

// Without refusals a joined pair talks privately: neither desk is on the line.
TEST_F(Model, RandomOperationsKeepJoinedPairsOffTheLine) {
  std::mt19937 random(7);
  for (int step = 0; step < 3000; ++step) {
    const int desk = static_cast<int>(random() % kDeskCount);
    kRandomOperations[random() % std::size(kRandomOperations)](model, desk);
    for (int pair = 0; pair < kPairCount; ++pair) {
      if (!PairJoinedIn(room.SwitchState, pair)) continue;
      const bool onTheLine =
          LineBitIn(room.SwitchState, 2 * pair) || LineBitIn(room.SwitchState, 2 * pair + 1);
      ASSERT_FALSE(onTheLine) << "pair " << pair + 1 << " after step " << step;
    }
    ASSERT_EQ(testsupport::DeskSpokenToOnTheLine(controller.registers), 0) << "step " << step;
  }
}

TEST_F(Model, NamesAndPositionsMarkThePlanChanged) {
  model.BeginNameEditing(0);
  model.TypeName(0, "Иванов");
  EXPECT_EQ(Desk(1).name, "Иванов");
  model.CancelNameEditing(0);  // Escape
  EXPECT_EQ(Desk(1).name, "");
  EXPECT_FALSE(model.classroomChanged());

  model.PressEnterInName(0);
  model.PressEnterInName(1);  // a second box opens, the first stays open
  model.TypeName(0, "Петров");
  EXPECT_TRUE(Desk(2).editingName);
  model.PressEnterInName(0);
  EXPECT_EQ(Desk(1).name, "Петров");
  EXPECT_TRUE(model.classroomChanged());

  room.ClassroomChanged = 0;
  room.MoveDesks = 1;
  model.SetPlanArea(700, 450);
  model.MoveDesk(2, 40, 0);  // sideways only
  model.EndDeskMove(2, 20, 0);
  EXPECT_TRUE(model.classroomChanged());
  model.MoveDesk(2, -300, 900);  // kept inside the plan
  EXPECT_EQ(Desk(3).left, 0);
  EXPECT_EQ(Desk(3).top, 450 - kDeskPanelHeight);
}

TEST_F(Model, AllToLineWithoutASignalOnTheLineSendsNothing) {
  model.AllToLine();
  EXPECT_TRUE(controller.sent.empty());
  ASSERT_EQ(user.messages.size(), 1u);
  EXPECT_EQ(user.messages[0], "Подключите сигнал на линию!");
}

}  // namespace

namespace {

TEST_F(Model, CallsListTheDesksInTheOrderTheyCalledUntilTheirLedGoesOff) {
  int64_t now = 1000;
  model.SetClock([&now] { return now; });
  model.ApplyIndicators(0x00, 0x10);  // desk 5
  now = 1005;
  model.ApplyIndicators(0x80, 0x11);  // desks 1 and 16 join; 5 keeps calling
  const std::vector<Call> expected = {{4, 1000}, {0, 1005}, {15, 1005}};
  EXPECT_EQ(model.calls(), expected);
  EXPECT_EQ(Desk(1).callOrder, 2);

  model.PressLedButton(4);  // the teacher puts desk 5's LED out
  EXPECT_EQ(Desk(5).callOrder, 0);
  model.ApplyIndicators(0x00, 0x01);  // desk 16's student switched it off
  ASSERT_EQ(model.calls().size(), 1u);
  EXPECT_EQ(model.calls()[0].desk, 0);
  model.AllLedsOff();
  EXPECT_TRUE(model.calls().empty());
}

}  // namespace

// The lesson tools hear of each operation once, and of each change of the
// register copy with the copy as it stood before and after; a refused write
// and an operation refused inside another report nothing changed.
TEST_F(Model, ObserversHearOperationsAndRegisterChanges) {
  struct Recorder : ConsoleObserver {
    int operations = 0;
    std::vector<std::pair<SwitchRegisters, SwitchRegisters>> changes;
    void OperationStarting() override { ++operations; }
    void RegistersChanged(const SwitchRegisters& before, const SwitchRegisters& after) override {
      changes.emplace_back(before, after);
    }
  } recorder;
  model.AddObserver(&recorder);

  model.ListenTo(4);
  ASSERT_EQ(recorder.operations, 1);
  ASSERT_EQ(recorder.changes.size(), 1u);
  EXPECT_EQ(recorder.changes[0].first.Route, 0x00);
  EXPECT_EQ(recorder.changes[0].second.Route, room.SwitchState.Route);

  controller.FailNext();
  model.StopListening(4);
  EXPECT_EQ(recorder.operations, 2);
  EXPECT_EQ(recorder.changes.size(), 1u);

  model.ApplyIndicators(0x00, 0x20);  // desk 6's LED lit by the poll
  ASSERT_EQ(recorder.changes.size(), 2u);
  EXPECT_FALSE(SameRegisters(recorder.changes[1].first, recorder.changes[1].second));
  EXPECT_EQ(recorder.operations, 2);

  model.RemoveObserver(&recorder);
  model.ListenTo(7);
  EXPECT_EQ(recorder.operations, 2);
  EXPECT_EQ(recorder.changes.size(), 2u);
}
