// A controller for model tests: keeps its own registers, acknowledges each
// write unless told to fail it, and records every write it was sent.
#pragma once

#include <deque>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "console/consoleuser.h"
#include "link/switchstate.h"
#include "link/transmit.h"

struct SentWrite {
  uint8_t command, high, low;
  bool operator==(const SentWrite& o) const {
    return command == o.command && high == o.high && low == o.low;
  }
};

class ScriptedController : public FrameSender {
 public:
  std::vector<SentWrite> sent;  // every write tried, failed ones included
  std::set<size_t> failing;     // indices into `sent` that get no acknowledgement
  // Failing indices the controller applies all the same (the acknowledgement lost).
  std::set<size_t> appliedUnacknowledged;
  SwitchRegisters registers;    // what the controller holds
  // Called with the registers after every write the controller applies.
  std::function<void(const SwitchRegisters&)> onApplied;

  bool TransmitFrame(uint8_t command, uint8_t high, uint8_t low) override {
    const size_t index = sent.size();
    sent.push_back({command, high, low});
    const bool acknowledged = failing.count(index) == 0;
    if (!acknowledged && appliedUnacknowledged.count(index) == 0) return false;
    CommitWrite(registers, RegisterWrite{command, high, low});
    if (onApplied) onApplied(registers);
    return acknowledged;
  }
  // The next write is applied but its acknowledgement is lost ("Нет" after it).
  void ApplyButLoseNext() {
    failing.insert(sent.size());
    appliedUnacknowledged.insert(sent.size());
  }
  // Fails the next `count` writes from now on.
  void FailNext(size_t count = 1) {
    for (size_t i = 0; i < count; ++i) failing.insert(sent.size() + i);
  }
};

class ScriptedUser : public console::ConsoleUser {
 public:
  std::vector<std::string> messages;
  std::vector<std::string> questions;  // both kinds, in the order asked
  bool answer = true;
  // Answers to Yes/No/Cancel questions in turn; when none is left, `answer`.
  std::deque<console::Answer> threeWayAnswers;
  std::string openName;
  std::string saveName;

  bool AskYesNo(const std::string&, const std::string& text, console::MessageKind) override {
    questions.push_back(text);
    return answer;
  }
  console::Answer AskYesNoCancel(const std::string&, const std::string& text,
                                 console::MessageKind) override {
    questions.push_back(text);
    if (threeWayAnswers.empty()) return answer ? console::Answer::Yes : console::Answer::No;
    const console::Answer next = threeWayAnswers.front();
    threeWayAnswers.pop_front();
    return next;
  }
  void ShowMessage(const std::string&, const std::string& text, console::MessageKind) override {
    messages.push_back(text);
  }
  std::string ChooseFileToOpen() override { return openName; }
  std::string ChooseFileToSave(const std::string&, const std::string&) override {
    return saveName;
  }
};
