// Link tests over a scripted serial port and lock: what the fake device saw,
// how its controller answers, and a link user answering from a script.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "link/controllerport.h"
#include "link/frame.h"
#include "link/pollthread.h"
#include "link/timing.h"
#include "link/transmit.h"
#include "tests/link/scriptedanswers.h"
#include "tests/support/tempdir.h"

namespace scriptedport {

using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

// What the fake device saw and how its controller answers; shared with the test
// because ControllerPort owns the port object.
struct Device {
  std::mutex m;
  bool opens = true;
  bool open = false;
  bool timeoutsReadable = true;
  std::string openedName;
  std::vector<platform::SerialTimeouts> timeoutsSet;
  platform::SerialTimeouts current{1, 2, 3, 4, 5};
  std::string lineMode;
  std::vector<unsigned> purges;
  Bytes written;
  Bytes pending;  // written since the controller last answered
  std::deque<uint8_t> rx;
  int reads = 0;
  int closes = 0;
  int opensTried = 0;
  // P purge, D drain, R read: what the link asked of the device, in order.
  std::string calls;
  // Given one request, the bytes the controller sends back.
  std::function<Bytes(const Bytes& request)> controller;
};

class FakeSerialPort : public platform::SerialPort {
 public:
  explicit FakeSerialPort(std::shared_ptr<Device> d) : d_(std::move(d)) {}
  bool Open(const std::string& name) override {
    std::lock_guard<std::mutex> g(d_->m);
    d_->openedName = name;
    ++d_->opensTried;
    d_->open = d_->opens;
    return d_->open;
  }
  bool IsOpen() const override {
    std::lock_guard<std::mutex> g(d_->m);
    return d_->open;
  }
  bool GetTimeouts(platform::SerialTimeouts& out) override {
    std::lock_guard<std::mutex> g(d_->m);
    if (!d_->open || !d_->timeoutsReadable) return false;
    out = d_->current;
    return true;
  }
  bool SetTimeouts(const platform::SerialTimeouts& t) override {
    std::lock_guard<std::mutex> g(d_->m);
    d_->timeoutsSet.push_back(t);
    if (d_->open) d_->current = t;
    return d_->open;
  }
  bool ApplyLineMode(const std::string& mode) override {
    std::lock_guard<std::mutex> g(d_->m);
    d_->lineMode = mode;
    return d_->open;
  }
  bool Purge(unsigned flags) override {
    std::lock_guard<std::mutex> g(d_->m);
    d_->purges.push_back(flags);
    d_->calls += 'P';
    if (flags & platform::kPurgeRxClear) d_->rx.clear();
    return d_->open;
  }
  bool WriteByte(uint8_t b) override {
    std::lock_guard<std::mutex> g(d_->m);
    if (!d_->open) return false;
    d_->written.push_back(b);
    d_->pending.push_back(b);
    return true;
  }
  bool Drain() override {
    std::lock_guard<std::mutex> g(d_->m);
    d_->calls += 'D';
    return d_->open;
  }
  bool ReadByte(uint8_t& b) override {
    std::lock_guard<std::mutex> g(d_->m);
    ++d_->reads;
    d_->calls += 'R';
    if (!d_->open) return false;
    if (!d_->pending.empty() && d_->controller) {
      for (uint8_t r : d_->controller(d_->pending)) d_->rx.push_back(r);
      d_->pending.clear();
    }
    if (d_->rx.empty()) return false;
    b = d_->rx.front();
    d_->rx.pop_front();
    return true;
  }
  void Close() override {
    std::lock_guard<std::mutex> g(d_->m);
    ++d_->closes;
    d_->open = false;
  }

 private:
  std::shared_ptr<Device> d_;
};

// Answers frames correctly; `answerEvery` 2 answers only every second frame.
inline std::function<Bytes(const Bytes&)> Controller(int answerEvery = 1, uint8_t statusHigh = 0,
                                              uint8_t statusLow = 0) {
  auto count = std::make_shared<int>(0);
  return [=](const Bytes& req) -> Bytes {
    if (req.size() == 3 && req[2] == frame::kPollCommand)
      return {statusHigh, statusLow, frame::PollReplyChecksum(statusHigh, statusLow)};
    if (req.size() != 6) return {};
    if (++*count % answerEvery != 0) return {};
    return {frame::AckFor(req[5])};
  };
}

inline Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

inline Bytes FrameBytes(uint8_t c, uint8_t h, uint8_t l) {
  const auto f = frame::Build(c, h, l);
  return Bytes(f.begin(), f.end());
}

class FakeLock : public platform::NamedLock {
 public:
  platform::LockWait Wait(int timeoutMs) override {
    std::lock_guard<std::mutex> g(m);
    waitTimeouts.push_back(timeoutMs);
    platform::LockWait r = platform::LockWait::kAcquired;
    if (!script.empty()) {
      r = script.front();
      script.pop_front();
    }
    if (r == platform::LockWait::kAcquired) held = true;
    return r;
  }
  void Release() override {
    std::lock_guard<std::mutex> g(m);
    ++releases;
    held = false;
  }
  bool Held() {
    std::lock_guard<std::mutex> g(m);
    return held;
  }

  std::mutex m;
  std::deque<platform::LockWait> script;
  std::vector<int> waitTimeouts;
  int releases = 0;
  bool held = false;
};

class ScriptedUi : public ScriptedAnswers {
 public:
  explicit ScriptedUi(FakeLock* lock = nullptr) : lock_(lock) {}
  void ShowWaitDialog() override {
    ++dialogs;
    if (onDialog) onDialog();
  }
  bool ShowCancellableWait(const std::string& reason) override {
    waitReason = reason;
    LinkUi::ShowCancellableWait(reason);
    return !cancelWait;
  }
  bool questionWithoutLock = false;
  std::function<void()> onDialog;

 protected:
  void Asked() override {
    if (lock_ != nullptr && !lock_->Held()) questionWithoutLock = true;
  }

 private:
  FakeLock* lock_;
};

class CountingPoll : public PollControl {
 public:
  void Suspend() override { calls += "S"; }
  void Resume() override { calls += "R"; }
  std::string calls;
};

class LinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto owned = std::make_unique<FakeLock>();
    lock = owned.get();
    port.SetSharingLock(std::move(owned));
    device->controller = Controller();
    ASSERT_TRUE(port.OpenControllerPort("ttyFAKE"));
    WriteSettings(0);
  }
  void WriteSettings(int notWait) {
    std::ofstream(dir.File("vormik.ini"))
        << "[Communication]\r\nNotWaitCSFromMC=" << notWait << "\r\n";
  }
  Bytes Written() {
    std::lock_guard<std::mutex> g(device->m);
    return device->written;
  }
  int Reads() {
    std::lock_guard<std::mutex> g(device->m);
    return device->reads;
  }

  testsupport::TempDir dir;
  std::shared_ptr<Device> device = std::make_shared<Device>();
  ControllerPort port{std::make_unique<FakeSerialPort>(device)};
  FakeLock* lock = nullptr;
  CountingPoll poll;
};

}  // namespace scriptedport
