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
#include "tests/link/scriptedanswers.h"
#include "tests/support/emulatorprocess.h"
#include "tests/support/eventually.h"
#include "tests/support/locknames.h"
#include "tests/support/tempdir.h"

namespace emulatorlink {

using testsupport::EmulatorProcess;
using testsupport::Eventually;
using testsupport::FramesOnly;
using testsupport::HexText;
using testsupport::PollsOnly;
using testsupport::TraceLine;

// Answers the questions from a script, counts the wait dialogs, and ends the
// wait for the port when told to.
class ScriptedUi : public ScriptedAnswers {
 public:
  // The wait dialog takes its time, as the console's does.
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
  std::function<void()> onQuestion;

 protected:
  void Asked() override {
    if (onQuestion) onQuestion();
  }
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
