// Pairs, the line and private talks against a scripted controller: the exact
// frames of each operation (from a pair's second desk and from desks 9-16
// too), a desk spoken to never on the line whatever is refused, the desk
// menu's entries, and the copy written back to a controller that returns.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "console/consolemodel.h"
#include "link/frame.h"
#include "scriptedcontroller.h"
#include "tests/support/privatetalk.h"

using namespace console;

namespace {

constexpr uint8_t kLedA = frame::kLedA;
constexpr uint8_t kLine = frame::kLine;
constexpr uint8_t kLedB = frame::kLedB;
constexpr uint8_t kRoute = frame::kRoutePairs;

// A user whose message box can run something, as a dialog's event loop would.
class HookedUser : public ScriptedUser {
 public:
  std::function<void()> onMessage;
  void ShowMessage(const std::string& caption, const std::string& text, MessageKind kind) override {
    ScriptedUser::ShowMessage(caption, text, kind);
    if (onMessage) onMessage();
  }
};

class LineModel : public ::testing::Test {
 protected:
  LineModel()
      : model(room, controller, [this] { return Probe(); }, user, {"/nonexistent/vormik.ini", ""}) {
    for (int d = 0; d < kDeskCount; ++d) model.PlaceDesk(d, 10 * d, 0, true);
  }
  // The real controller's answer to the probe: its LedA register cleared.
  bool Probe() {
    controller.registers.LedALow = controller.registers.LedAHigh = 0;
    return true;
  }
  std::vector<SentWrite> SentSince(size_t mark) const {
    return {controller.sent.begin() + static_cast<long>(mark), controller.sent.end()};
  }
  std::vector<uint8_t> Bytes(const SwitchRegisters& r) const {
    const auto* p = reinterpret_cast<const uint8_t*>(&r);
    return {p, p + sizeof r};
  }
  const DeskDisplay& Desk(int number) {
    shown = model.Display();
    return shown.desks[number - 1];
  }

  ClassroomState room;
  ScriptedController controller;
  HookedUser user;
  ConsoleModel model;
  ConsoleDisplay shown;
};

using Step = std::function<void(ConsoleModel&)>;
using M = ConsoleModel;

// One operation on desk index `desk` (desk N is index N - 1), or on the teacher.
Step Do(void (M::*op)(int), int desk) {
  return [op, desk](M& m) { (m.*op)(desk); };
}
Step Do(void (M::*op)()) {
  return [op](M& m) { (m.*op)(); };
}
Step Steps(std::vector<Step> steps) {
  return [steps](M& m) {
    for (const Step& s : steps) s(m);
  };
}
const Step LineOn = Do(&M::ToggleLine);
const Step InputToLineOn = Do(&M::ToggleInputToLine);
Step Click(int desk) { return Do(&M::PressLineButton, desk); }
// "Линия" down, desk 6 on the line and spoken to.
const Step SpeakingToDesk6OnTheLine = Steps({LineOn, Click(5), Do(&M::SpeakTo, 5)});
const Step AllOnTheLineSpeakingTo10 = Steps({LineOn, Do(&M::AllToLine), Do(&M::SpeakTo, 9)});
const Step InputOnTheLineSpeakingTo6 = Steps({InputToLineOn, Do(&M::SpeakTo, 5)});

// A model of its own for each table row: every desk on the plan, nothing sent.
struct FreshRoom {
  ClassroomState room;
  ScriptedController controller;
  ScriptedUser user;
  ConsoleModel model{room, controller, nullptr, user, {}};
  FreshRoom() {
    for (int d = 0; d < kDeskCount; ++d) model.PlaceDesk(d, 0, 0, true);
  }
};

struct FramesCase {
  const char* what;
  SwitchRegisters preset;  // what the copy and the controller hold first
  Step setup;
  Step operation;
  int refused;  // index of the operation's write the controller refuses; -1 none
  std::vector<SentWrite> frames;
};

TEST_F(LineModel, EachOperationSendsItsFramesAndKeepsPrivateTalksOffTheLine) {
  SwitchRegisters pair34OnTheLine;  // a join whose line writes were refused
  pair34OnTheLine.Pairs = 0x02;
  pair34OnTheLine.LineLow = 0x0C;
  pair34OnTheLine.Route = 0x40;
  SwitchRegisters pair1112OnTheLine;
  pair1112OnTheLine.Pairs = 0x20;
  pair1112OnTheLine.LineHigh = 0x0C;
  const Step desks3And4OnTheLine = Steps({LineOn, Click(2), Click(3)});
  const SwitchRegisters none{};

  // clang-format off
  const FramesCase cases[] = {
      // Joining from a pair's second desk: both desks leave the line before the join.
      {"line button of desk 4 (on the line) joins 3-4", none, desks3And4OnTheLine, Click(3), -1,
       {{kLine, 0x00, 0x04}, {kLine, 0x00, 0x00}, {kRoute, 0x02, 0x40}}},
      {"menu joins from desk 4", none, desks3And4OnTheLine, Do(&M::JoinPair, 3), -1,
       {{kLine, 0x00, 0x04}, {kLine, 0x00, 0x00}, {kRoute, 0x02, 0x40}}},
      {"menu joins from desk 10", none, Steps({LineOn, Click(8), Click(9)}), Do(&M::JoinPair, 9),
       -1, {{kLine, 0x01, 0x00}, {kLine, 0x00, 0x00}, {kRoute, 0x10, 0x40}}},
      {"line button of desk 16 joins, releasing listened desk 15", none, Do(&M::ListenTo, 14),
       Click(15), -1,
       {{kRoute, 0x00, 0x00}, {kLine, 0x00, 0x00}, {kLine, 0x00, 0x00}, {kRoute, 0x80, 0x00}}},
      {"line button of desk 4 parts 3-4", pair34OnTheLine, nullptr, Click(3), -1,
       {{kRoute, 0x00, 0x40}, {kLine, 0x00, 0x04}, {kLine, 0x00, 0x00}}},
      {"menu parts from desk 12", pair1112OnTheLine, nullptr, Do(&M::PartPair, 11), -1,
       {{kRoute, 0x00, 0x00}, {kLine, 0x04, 0x00}, {kLine, 0x00, 0x00}}},
      // The line.
      {"line button of desk 16 connects", none, LineOn, Click(15), -1,
       {{kRoute, 0x00, 0x40}, {kLine, 0x80, 0x00}}},
      {"menu puts desk 9 on the line", none, InputToLineOn, Do(&M::PutOnLine, 8), -1,
       {{kRoute, 0x00, 0x80}, {kLine, 0x01, 0x00}}},
      {"menu puts desk 3 of joined 3-4 on the line", none, Steps({Do(&M::JoinPair, 3), LineOn}),
       Do(&M::PutOnLine, 2), -1, {{kRoute, 0x00, 0x40}, {kLine, 0x00, 0x04}}},
      {"menu takes desk 14 off the line", none, Steps({LineOn, Click(13)}), Do(&M::TakeOffLine, 13),
       -1, {{kLine, 0x00, 0x00}}},
      // Speaking, and the teacher's line coming back when the talk ends.
      {"speaking to desk 4 of joined 3-4", none, Do(&M::JoinPair, 2), Do(&M::SpeakTo, 3), -1,
       {{kRoute, 0x02, 0x53}}},
      {"speaking to desk 10 with all desks on the line", none, Steps({LineOn, Do(&M::AllToLine)}),
       Do(&M::SpeakTo, 9), -1, {{kLine, 0xFD, 0xFF}, {kRoute, 0x00, 0x59}}},
      {"stopping: desk 10 and the teacher's line come back", none, AllOnTheLineSpeakingTo10,
       Do(&M::StopSpeaking, 9), -1, {{kRoute, 0x00, 0x79}, {kLine, 0xFF, 0xFF}}},
      {"stopping by releasing desk 12's listen button", none,
       Steps({LineOn, Click(11), Do(&M::SpeakTo, 11)}), Do(&M::StopListening, 11), -1,
       {{kRoute, 0x00, 0x40}, {kLine, 0x08, 0x00}}},
      {"listening elsewhere ends the talk: line back for both", none, SpeakingToDesk6OnTheLine,
       Do(&M::ListenTo, 0), -1, {{kRoute, 0x00, 0x70}, {kLine, 0x00, 0x20}}},
      // Refusals on the way never put the desk spoken to on the line.
      {"parting 9-10 while desk 6 is spoken to", none,
       Steps({SpeakingToDesk6OnTheLine, Do(&M::JoinPair, 8)}), Do(&M::PartPair, 8), -1,
       {{kRoute, 0x00, 0x55}, {kLine, 0x00, 0x00}, {kLine, 0x00, 0x00}}},
      {"speaking again to desk 6, refused", none, SpeakingToDesk6OnTheLine, Do(&M::SpeakTo, 5), 1,
       {{kLine, 0x00, 0x00}, {kRoute, 0x00, 0x55}}},
      {"stopping speaking to desk 6, refused", none, SpeakingToDesk6OnTheLine,
       Do(&M::StopSpeaking, 5), 0, {{kRoute, 0x00, 0x75}}},
      {"releasing desk 6's listen button, refused", none, SpeakingToDesk6OnTheLine,
       Do(&M::StopListening, 5), 0, {{kRoute, 0x00, 0x40}}},
      {"line on while speaking to desk 6, refused", none, SpeakingToDesk6OnTheLine, LineOn, 0,
       {{kRoute, 0x00, 0x75}}},
      {"line on while speaking to desk 6", none, SpeakingToDesk6OnTheLine, LineOn, -1,
       {{kRoute, 0x00, 0x75}, {kLine, 0x00, 0x20}}},
      {"menu puts desk 6, spoken to, on the line", none, InputOnTheLineSpeakingTo6,
       Do(&M::PutOnLine, 5), -1, {{kRoute, 0x00, 0xD5}}},
      {"... and it goes on the line when the talk ends", none,
       Steps({InputOnTheLineSpeakingTo6, Do(&M::PutOnLine, 5)}), Do(&M::StopSpeaking, 5), -1,
       {{kRoute, 0x00, 0x95}, {kLine, 0x00, 0x20}}},
      {"all to the line while speaking to desk 6", none, InputOnTheLineSpeakingTo6,
       Do(&M::AllToLine), -1, {{kRoute, 0x00, 0xD5}, {kLine, 0xFF, 0xDF}}},
      {"joining 5-6 while desk 6 is spoken to", none, Steps({LineOn, Do(&M::SpeakTo, 5)}),
       Do(&M::JoinPair, 4), -1,
       {{kRoute, 0x00, 0x40}, {kLine, 0x00, 0x00}, {kLine, 0x00, 0x00}, {kRoute, 0x04, 0x40}}},
  };
  // clang-format on
  for (const FramesCase& c : cases) {
    FreshRoom fresh;
    ClassroomState& r = fresh.room;
    ScriptedController& sc = fresh.controller;
    ConsoleModel& m = fresh.model;
    r.SwitchState = sc.registers = c.preset;
    if (c.setup) c.setup(m);
    const size_t mark = sc.sent.size();
    if (c.refused >= 0) sc.failing.insert(mark + static_cast<size_t>(c.refused));
    c.operation(m);
    EXPECT_EQ(std::vector<SentWrite>(sc.sent.begin() + static_cast<long>(mark), sc.sent.end()),
              c.frames)
        << c.what;
    EXPECT_EQ(Bytes(r.SwitchState), Bytes(sc.registers)) << c.what;
    EXPECT_EQ(testsupport::DeskSpokenToOnTheLine(sc.registers), 0) << c.what;
  }
}

TEST_F(LineModel, PartingKeepsTheDeskSpokenToReadingOnAndItReturnsAfterTheTalk) {
  Steps({SpeakingToDesk6OnTheLine, Do(&M::JoinPair, 8)})(model);
  model.PartPair(8);
  EXPECT_TRUE(Desk(6).speakDown);
  EXPECT_EQ(Desk(6).line, LineCaption::On);
  EXPECT_FALSE(Desk(6).lineFrame);
  model.StopSpeaking(5);
  EXPECT_TRUE(Desk(6).lineFrame);
  EXPECT_TRUE(model.Display().teacher.lineDown);
}

TEST_F(LineModel, MenuEntriesThatHaveNothingToDoSayWhyOrSendNothing) {
  struct Case {
    const char* what;
    Step setup;
    Step entry;
    std::string message;  // "" for none
  };
  // clang-format off
  const Case cases[] = {
      {"on the line without a signal", nullptr, Do(&M::PutOnLine, 4),
       "Подключите сигнал на линию (кнопка «Линия» или «Вход->Линия»)"},
      {"on the line, already there", Steps({LineOn, Click(4)}), Do(&M::PutOnLine, 4), ""},
      {"off the line, not on it", nullptr, Do(&M::TakeOffLine, 4), ""},
      {"off the line, joined", Do(&M::JoinPair, 4), Do(&M::TakeOffLine, 4), ""},
      {"join, already joined", Do(&M::JoinPair, 4), Do(&M::JoinPair, 5), ""},
      {"part, not joined", Steps({LineOn, Click(4)}), Do(&M::PartPair, 4), ""},
      {"join, partner not on the plan", [](M& m) {m.PlaceDesk(3, 0, 0, false); },
       Do(&M::JoinPair, 2),
       "Второй стол пары (стол 4) не показан на плане: соединить в пару не с кем."},
  };
  // clang-format on
  for (const Case& c : cases) {
    FreshRoom fresh;
    ScriptedController& sc = fresh.controller;
    ScriptedUser& u = fresh.user;
    ConsoleModel& m = fresh.model;
    if (c.setup) c.setup(m);
    const size_t mark = sc.sent.size();
    c.entry(m);
    EXPECT_EQ(sc.sent.size(), mark) << c.what;
    EXPECT_EQ(u.messages,
              c.message.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.message})
        << c.what;
  }
}

TEST(LineClickDecision, FollowsTheCaptionTheSignalAndThePartner) {
  struct Row {
    LineCaption caption;
    bool line, inputToLine, partnerShown;
    LineClick click;
  };
  const Row rows[] = {
      {LineCaption::Off, false, false, true, LineClick::Join},
      {LineCaption::Off, true, false, true, LineClick::Connect},
      {LineCaption::Off, false, true, false, LineClick::Connect},
      {LineCaption::Off, false, false, false, LineClick::LeaveLine},
      {LineCaption::On, true, false, true, LineClick::Join},
      {LineCaption::On, true, false, false, LineClick::LeaveLine},
      {LineCaption::Pair, true, true, true, LineClick::Part},
  };
  for (const Row& row : rows) {
    // Desk 10 and its partner 9: the decision must look at the right neighbour.
    for (int desk : {8, 9}) {
      ConsoleDisplay shown;
      for (DeskDisplay& d : shown.desks) d.visible = true;
      shown.desks[desk].line = row.caption;
      shown.desks[desk ^ 1].visible = row.partnerShown;
      // The neighbour of the next pair says the opposite.
      shown.desks[(desk & 1) != 0 ? desk + 1 : desk - 1].visible = !row.partnerShown;
      shown.teacher.lineDown = row.line;
      shown.teacher.inputToLineDown = row.inputToLine;
      EXPECT_EQ(NextLineClick(shown, desk), row.click)
          << "desk " << desk + 1 << ", caption " << LineCaptionText(row.caption);
    }
  }
  EXPECT_STREQ(LineClickHint(LineClick::Part), "Разъединить пару");
  EXPECT_STREQ(LineClickHint(LineClick::Connect), "Подключить стол к линии");
}

TEST_F(LineModel, TheDisplayCarriesEachLineButtonsNextClick) {
  LineOn(model);
  EXPECT_EQ(Desk(3).nextLineClick, LineClick::Connect);
  Click(2)(model);
  EXPECT_EQ(Desk(3).nextLineClick, LineClick::Join);
  model.PlaceDesk(3, 0, 0, false);
  EXPECT_EQ(Desk(3).nextLineClick, LineClick::LeaveLine);
  Do(&M::JoinPair, 9)(model);
  EXPECT_EQ(Desk(9).nextLineClick, LineClick::Part);
}

TEST_F(LineModel, AReturningControllerGetsTheWholeCopy) {
  LineOn(model);
  model.PressLineButton(2);  // desk 3 on the line
  model.JoinPair(9);         // 9-10 joined
  model.SelectDesk(11);
  model.SwitchSelectedLed(true);  // desk 12's LED
  model.ListenTo(3);
  const SwitchRegisters before = room.SwitchState;
  controller.registers = SwitchRegisters{};  // it lost its power
  const size_t mark = controller.sent.size();
  model.ControllerReturned();
  const std::vector<SentWrite> expected = {
      {kLedA, 0x08, 0x00}, {kLine, 0x00, 0x04}, {kLedB, 0x08, 0x00}, {kRoute, 0x10, 0x73}};
  EXPECT_EQ(SentSince(mark), expected);
  EXPECT_EQ(Bytes(controller.registers), Bytes(before));
  EXPECT_EQ(Bytes(room.SwitchState), Bytes(before));
}

TEST_F(LineModel, AControllerReturningDuringAnOperationIsWrittenWhenItEnds) {
  user.onMessage = [this] { model.ControllerReturned(); };
  model.AllToLine();  // no signal on the line: a message box, and the return inside it
  ASSERT_EQ(user.messages.size(), 1u);
  ASSERT_EQ(controller.sent.size(), 4u);
  EXPECT_EQ(controller.sent[0].command, kLedA);
  EXPECT_EQ(controller.sent[3].command, kRoute);
  user.onMessage = nullptr;
  // Refused half-way: the next return writes everything again.
  controller.FailNext();
  model.ControllerReturned();
  EXPECT_EQ(controller.sent.size(), 5u);
  model.ControllerReturned();
  EXPECT_EQ(controller.sent.size(), 9u);
}

TEST_F(LineModel, TheProbesClearedLedsAreClearedInTheCopy) {
  model.SelectDesk(1);
  model.SwitchSelectedLed(true);  // desk 2: LedA and LedB bit 1
  ASSERT_TRUE(model.Probe());
  EXPECT_EQ(room.SwitchState.LedALow, 0x00);
  EXPECT_EQ(room.SwitchState.LedBLow, 0x02);
  // The standard classroom's reset, refused at its first write (LedA).
  controller.FailNext();
  model.ResetAll();
  EXPECT_EQ(Bytes(room.SwitchState), Bytes(controller.registers));
}

}  // namespace
