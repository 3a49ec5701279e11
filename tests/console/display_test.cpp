// The display function as a table: register copy and remembered facts to
// what the desks and the teacher panel show.
#include <gtest/gtest.h>

#include "console/display.h"
#include "console/linkstatetext.h"

using namespace console;

namespace {

struct Row {
  const char* what;
  uint8_t route, pairs, lineLow;
  uint16_t spokenOffLine;
  int desk;  // index looked at
  bool listen, speak, highlighted;
  LineCaption caption;
  bool input, line, inputToLine;
};

const Row kRows[] = {
    {"nothing routed", 0x00, 0, 0, 0, 2, false, false, false, LineCaption::Off, false, false, false},
    {"listen desk 3", 0x12, 0, 0, 0, 2, true, false, true, LineCaption::Off, false, false, false},
    {"listen desk 3, other desk", 0x12, 0, 0, 0, 3, false, false, false, LineCaption::Off, false,
     false, false},
    {"joined partner mirrors", 0x12, 0x02, 0, 0, 3, true, false, true, LineCaption::Pair, false,
     false, false},
    {"speak desk 3", 0x52, 0, 0, 0, 2, true, true, true, LineCaption::Off, false, false, false},
    {"spoken off the line reads on", 0x52, 0, 0, 0x0004, 2, true, true, true, LineCaption::On,
     false, false, false},
    {"off-line mark ends with speaking", 0x12, 0, 0, 0x0004, 2, true, false, true,
     LineCaption::Off, false, false, false},
    {"line bit", 0x00, 0, 0x04, 0, 2, false, false, false, LineCaption::On, false, false, false},
    {"pair wins over line bit", 0x00, 0x02, 0x04, 0, 2, false, false, false, LineCaption::Pair,
     false, false, false},
    {"desk with line", 0x72, 0, 0, 0, 2, true, false, true, LineCaption::Off, false, true, false},
    {"input", 0x20, 0, 0, 0, 2, false, false, false, LineCaption::Off, true, false, false},
    {"input with line", 0x60, 0, 0, 0, 2, false, false, false, LineCaption::Off, true, true, false},
    {"teacher line", 0x40, 0, 0, 0, 2, false, false, false, LineCaption::Off, false, true, false},
    {"input to line, listening", 0x92, 0, 0, 0, 2, true, false, true, LineCaption::Off, false,
     false, true},
};

}  // namespace

TEST(Display, FollowsTheRegistersAndRememberedFacts) {
  std::array<DeskPlanEntry, kDeskCount> plan;
  for (auto& desk : plan) desk.visible = true;
  for (const Row& row : kRows) {
    SwitchRegisters regs;
    regs.Route = row.route;
    regs.Pairs = row.pairs;
    regs.LineLow = row.lineLow;
    DisplayInputs in;
    in.registers = &regs;
    in.plan = &plan;
    in.spokenOffLineMask = row.spokenOffLine;
    const ConsoleDisplay shown = ComputeDisplay(in);
    const DeskDisplay& d = shown.desks[row.desk];
    EXPECT_EQ(d.listenDown, row.listen) << row.what;
    EXPECT_EQ(d.speakDown, row.speak) << row.what;
    EXPECT_EQ(d.highlighted, row.highlighted) << row.what;
    EXPECT_EQ(d.line, row.caption) << row.what;
    EXPECT_EQ(shown.teacher.inputDown, row.input) << row.what;
    EXPECT_EQ(shown.teacher.lineDown, row.line) << row.what;
    EXPECT_EQ(shown.teacher.inputToLineDown, row.inputToLine) << row.what;
  }
}

TEST(Display, LinksAndFramesOnlyForShownPanels) {
  std::array<DeskPlanEntry, kDeskCount> plan;
  for (auto& desk : plan) desk.visible = true;
  plan[3].visible = false;  // desk 4: pair 3-4 has a hidden panel
  SwitchRegisters regs;
  regs.Pairs = 0x03;     // pairs 1-2 and 3-4
  regs.LineHigh = 0x01;  // desk 9
  regs.LineLow = 0x08;   // desk 4 (hidden)
  regs.LedBHigh = 0x80;  // desk 16
  DisplayInputs in;
  in.registers = &regs;
  in.plan = &plan;
  const ConsoleDisplay shown = ComputeDisplay(in);
  EXPECT_TRUE(shown.pairLinks[0]);
  EXPECT_FALSE(shown.pairLinks[1]);
  EXPECT_TRUE(shown.desks[8].lineFrame);
  EXPECT_FALSE(shown.desks[3].lineFrame);
  EXPECT_TRUE(shown.desks[15].ledOn);
  EXPECT_FALSE(shown.desks[14].ledOn);
}

TEST(Display, LinkStateInWords) {
  struct Row {
    LinkState state;
    bool pollingOff;
    const char* expected;
    LinkTone tone;
  };
  const Row rows[] = {
      {LinkState::kAnswering, false, "Порт COM1: контроллер отвечает", LinkTone::Good},
      {LinkState::kNotAnswering, false, "Порт COM1: контроллер не отвечает с 12:03:04",
       LinkTone::Bad},
      {LinkState::kDeviceMissing, false, "Порт COM1: устройство не найдено или отключено",
       LinkTone::Bad},
      {LinkState::kPortBusy, false, "Порт COM1: порт занят другой программой", LinkTone::Bad},
      {LinkState::kNotSerialPort, false, "Порт COM1: это не последовательный порт", LinkTone::Bad},
      {LinkState::kPollingOff, true,
       "Порт COM1: опрос выключен (ReadThreadStop), последняя команда подтверждена",
       LinkTone::Neutral},
      {LinkState::kUnknown, true, "Порт COM1: опрос выключен (ReadThreadStop)", LinkTone::Neutral},
      {LinkState::kUnknown, false, "Порт COM1: связь ещё не проверена", LinkTone::Neutral},
  };
  for (const Row& row : rows) {
    LinkStatusSnapshot status;
    status.portName = "COM1";
    status.state = row.state;
    status.pollingOff = row.pollingOff;
    const LinkStateText text = DescribeLinkState(status, "12:03:04");
    EXPECT_EQ(text.text, row.expected);
    EXPECT_EQ(text.tone, row.tone) << row.expected;
  }
  LinkStatusSnapshot returned;
  returned.portName = "COM1";
  returned.state = LinkState::kAnswering;
  returned.returns = 1;
  EXPECT_EQ(DescribeLinkState(returned, "").text,
            "Порт COM1: контроллер отвечает, состояние класса восстановлено");
}

namespace {

TEST(CallEntryText, NamesTheDeskOnceWithItsStudentAndTheTime) {
  const std::string thirtyLetters = "АБВГДЕЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭ";
  const struct {
    int desk;
    std::string name;
    std::string text;
  } rows[] = {
      {4, "Иванов Пётр", "5 · Иванов Пётр · 10:42"},
      {15, "", "16 · 10:42"},
      {0, "***", "1 · 10:42"},
      {8, thirtyLetters, "9 · АБВГДЕЖЗИЙКЛМНОПРСТУФХЦЧ… · 10:42"},  // 24 letters kept
      {8, thirtyLetters.substr(0, 48), "9 · АБВГДЕЖЗИЙКЛМНОПРСТУФХЦЧ · 10:42"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(CallEntryText(row.desk, row.name, "10:42"), row.text) << row.name;
  }
}

}  // namespace
