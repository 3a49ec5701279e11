// Link tests over a real pseudo-terminal against vormik-emulator: the port
// opened with its sharing lock as the console opens it, and a link user that
// answers the questions from a script.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "link/controllerport.h"
#include "link/frame.h"
#include "link/timing.h"
#include "link/transmit.h"
#include "tests/support/emulatorprocess.h"
#include "tests/support/locknames.h"
#include "tests/support/tempdir.h"

namespace emulatorlink {

using testsupport::EmulatorProcess;

class ScriptedUi : public LinkUi {
 public:
  bool AskRetryConnection() override {
    ++questions;
    if (onQuestion) onQuestion();
    if (answers.empty()) return false;
    const bool yes = answers.front();
    answers.pop_front();
    return yes;
  }
  bool AskRetryAfterFailure(const LinkFailure& failure) override {
    failures.push_back(failure);
    return LinkUi::AskRetryAfterFailure(failure);
  }
  void ShowWaitDialog() override {
    ++dialogs;
    std::this_thread::sleep_for(std::chrono::milliseconds(timing::kWaitDialogMs));
  }
  bool ShowCancellableWait(const std::string& reason) override {
    waitReason = reason;
    if (cancelWait) return false;
    ShowWaitDialog();
    return true;
  }
  std::deque<bool> answers;
  std::function<void()> onQuestion;
  std::vector<LinkFailure> failures;
  bool cancelWait = false;
  std::string waitReason;
  int questions = 0;
  int dialogs = 0;
};

class EmulatorLinkTest : public ::testing::Test {
 protected:
  void Start(std::vector<std::string> options = {}, int notWait = 0) {
    emu = std::make_unique<EmulatorProcess>(std::move(options));
    ASSERT_TRUE(emu->Started()) << emu->Error();
    static int counter = 0;
    // The lock of this port, as the console makes it.
    const std::string base = testsupport::TestLockName(std::to_string(++counter));
    lockName = ControllerPort::SharingLockName(emu->linkPath(), base);
    ASSERT_TRUE(port.CreateSharingLockForPort(emu->linkPath(), base)) << port.sharingLockProblem();
    ASSERT_TRUE(port.OpenControllerPort(emu->linkPath()));
    std::ofstream(settings.File("vormik.ini"))
        << "[Communication]\r\nNotWaitCSFromMC=" << notWait << "\r\n";
  }
  void TearDown() override {
    port.ClosePort();
    testsupport::RemoveTestLockObjects();
  }
  std::string SettingsPath() const { return settings.File("vormik.ini"); }

  testsupport::TempDir settings;
  std::unique_ptr<EmulatorProcess> emu;
  ControllerPort port;
  std::string lockName;
};

inline std::vector<uint8_t> FrameOf(uint8_t c, uint8_t h, uint8_t l) {
  const auto f = frame::Build(c, h, l);
  return std::vector<uint8_t>(f.begin(), f.end());
}

}  // namespace emulatorlink
