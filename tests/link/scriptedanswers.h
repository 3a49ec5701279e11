// The link's questions answered from a list (No once it runs out), with what
// was asked counted; each fixture adds how its wait dialogs behave.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "link/transmit.h"

class ScriptedAnswers : public LinkUi {
 public:
  bool AskRetryConnection() override {
    ++questions;
    Asked();
    if (answers.empty()) return false;
    const bool yes = answers.front();
    answers.pop_front();
    return yes;
  }
  bool AskRetryAfterFailure(const LinkFailure& failure) override {
    failures.push_back(failure);
    return LinkUi::AskRetryAfterFailure(failure);
  }

  std::deque<bool> answers;
  std::vector<LinkFailure> failures;
  bool cancelWait = false;
  std::string waitReason;
  int questions = 0;
  int dialogs = 0;

 protected:
  // Runs at each question, after it is counted.
  virtual void Asked() {}
};
