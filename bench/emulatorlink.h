// The link the console opens to the controller, here to the emulator over its
// pseudo-terminal, with the console's own per-port lock: for the benches that
// time operations against it.
#pragma once

#include <fstream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "link/controllerport.h"
#include "link/transmit.h"
#include "tests/support/emulatorprocess.h"
#include "tests/support/locknames.h"
#include "tests/support/tempdir.h"

class EmulatorLink {
 public:
  explicit EmulatorLink(std::vector<std::string> options = {}) : emulator_(std::move(options)) {
    if (!emulator_.Started()) return;
    std::ofstream(dir_.File("vormik.ini")) << "[Communication]\r\nNotWaitCSFromMC=0\r\n";
    port_.CreateSharingLockForPort(emulator_.linkPath(), testsupport::TestLockName("bench"));
    port_.OpenControllerPort(emulator_.linkPath());
    link_ = std::make_unique<ControllerLink>(port_, dir_.File("vormik.ini"), ui_);
  }
  ~EmulatorLink() {
    if (link_ == nullptr) return;
    link_.reset();
    port_.ClosePort();
    testsupport::RemoveTestLockObjects();
  }
  EmulatorLink(const EmulatorLink&) = delete;
  EmulatorLink& operator=(const EmulatorLink&) = delete;

  bool Started() const { return link_ != nullptr; }
  std::string Error() const { return "emulator: " + emulator_.Error(); }
  ControllerLink& link() { return *link_; }
  const testsupport::TempDir& dir() const { return dir_; }

 private:
  // Nobody answers the link's questions in a bench.
  class NoPersonUi : public LinkUi {
   public:
    bool AskRetryConnection() override { return false; }
    void ShowWaitDialog() override {}
  };

  testsupport::EmulatorProcess emulator_;
  testsupport::TempDir dir_;
  ControllerPort port_;
  NoPersonUi ui_;
  std::unique_ptr<ControllerLink> link_;
};
