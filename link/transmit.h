// TransmitFrame and ProbeController: one register write with acknowledgement,
// the silent repeat, the connection question and the wait for the port.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "link/controllerport.h"
#include "link/linkstatus.h"
#include "link/switchstate.h"

// What the exchange needs from the interface thread; the window answers with
// message boxes and the wait dialog, tests answer without a person.
class LinkUi {
 public:
  virtual ~LinkUi() = default;
  // "Проверьте соединение с COM портом! Повторить попытку?" - true for Yes.
  virtual bool AskRetryConnection() = 0;
  // Shows the modal wait dialog; returns when it closes (after about 1 s).
  // It must keep the interface thread dispatching, so that a poll waiting for
  // its hand-over can finish and free the port.
  virtual void ShowWaitDialog() = 0;

  // The connection question knowing what failed: a window shows
  // LinkFailureText(failure) as its second line. By default the plain question.
  virtual bool AskRetryAfterFailure(const LinkFailure& failure) {
    (void)failure;
    return AskRetryConnection();
  }
  // The wait dialog saying what it waits for (PortBusyText, naming the
  // holder), with a way to
  // cancel: false when the teacher cancelled, and the exchange then ends as a
  // No to the connection question does. By default the plain dialog, never
  // cancelled.
  virtual bool ShowCancellableWait(const std::string& reason) {
    (void)reason;
    ShowWaitDialog();
    return true;
  }
};

// Holding back the poll for a moment while the interface waits for the port.
class PollControl {
 public:
  virtual ~PollControl() = default;
  virtual void Suspend() = 0;
  virtual void Resume() = 0;
  // From the moment the interface asks for the port until it lets it go: the
  // poll takes no new turn, and a poll holding the port for a hand-over that
  // has not started yet gives the port up (the next poll reports again).
  virtual void SetInterfaceWaiting(bool waiting) { (void)waiting; }
};

// What a write is made of at the moment it goes out; std::nullopt when there
// is nothing to send any more.
using WriteComposer = std::function<std::optional<RegisterWrite>()>;

// The only way out to the controller for SendSwitchRequest.
class FrameSender {
 public:
  virtual ~FrameSender() = default;
  virtual bool TransmitFrame(uint8_t command, uint8_t high, uint8_t low) = 0;
  // Composes the write once the port is ours, so that it is built from the
  // state as it stands then; nothing to send counts as success. A sender
  // without a port to wait for composes at once.
  virtual bool TransmitComposed(const WriteComposer& compose) {
    const std::optional<RegisterWrite> write = compose();
    return !write || TransmitFrame(write->command, write->high, write->low);
  }
};

class ControllerLink : public FrameSender {
 public:
  // settingsPath: NotWaitCSFromMC is read from it after every frame sent.
  ControllerLink(ControllerPort& port, std::string settingsPath, LinkUi& ui,
                 PollControl* poll = nullptr);

  // True when acknowledged (or, with NotWaitCSFromMC, sent whole); false when
  // the teacher gave up or cancelled the wait for the port. A port found gone
  // is reopened by its name: quietly at most once a second, and at once on
  // each "Повторить". Every attempt is recorded in the port's LinkStatus.
  bool TransmitFrame(uint8_t command, uint8_t high, uint8_t low) override;
  // The write is composed after the port has been taken: from then until the
  // release no indicator update can run (the poll needs the port to hand one over).
  bool TransmitComposed(const WriteComposer& compose) override;
  // One probe frame, one read, no retry and no message.
  bool ProbeController();
  // One poll of the LED report (asked again while the reply is spoilt), with
  // the port taken as for a frame; nullopt without a valid report.
  std::optional<std::pair<uint8_t, uint8_t>> ReadIndicators();

 private:
  // False when the teacher cancelled the wait.
  bool TakePort();
  // Writes the frame and waits until it has left; reads the acknowledgement
  // unless NotWaitCSFromMC. Records the outcome.
  template <size_t N>
  bool Attempt(const std::array<uint8_t, N>& bytes, uint8_t expected);
  void ReleasePort();
  bool SkipAcknowledgement();

  ControllerPort& port_;
  std::string settingsPath_;
  LinkUi& ui_;
  PollControl* poll_;
  bool holdingLock_ = false;
};
