// The Win32 serial port: a missing port fails quietly; over a stand-in
// controller on a real COM device (Wine maps it to a pseudo-terminal) the
// time-outs, line mode, purge, byte exchange and restore at close work.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "platform/serialport.h"

namespace {

using Clock = std::chrono::steady_clock;
using platform::SerialTimeouts;

constexpr unsigned kPurgeAll = platform::kPurgeTxAbort | platform::kPurgeRxAbort |
                               platform::kPurgeTxClear | platform::kPurgeRxClear;
// The stand-in controller answers b with b+1; these two it answers late or never.
constexpr uint8_t kLateByte = 0xD0;
constexpr uint8_t kSilentByte = 0xEE;

SerialTimeouts ProgramTimeouts() {
  SerialTimeouts t;
  t.readTotalConstantMs = 100;
  return t;
}

long MsSince(Clock::time_point start) {
  return static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

TEST(Win32SerialPortTest, MissingPortFailsEveryCallWithoutHarm) {
  for (const char* name : {"COM99", "COM250", "", "NoSuchDevice"}) {
    SCOPED_TRACE(name);
    auto port = platform::CreateSerialPort();
    EXPECT_FALSE(port->Open(name));
    EXPECT_FALSE(port->IsOpen());
    SerialTimeouts t;
    EXPECT_FALSE(port->GetTimeouts(t));
    EXPECT_FALSE(port->SetTimeouts(ProgramTimeouts()));
    EXPECT_FALSE(port->ApplyLineMode("9600,N,8,1"));
    EXPECT_FALSE(port->Purge(kPurgeAll));
    EXPECT_FALSE(port->WriteByte(0x55));
    uint8_t byte = 0;
    EXPECT_FALSE(port->ReadByte(byte));
    port->Close();
    port->Close();
  }
}

// The COM ports of the stand-in controller, given by the test run; without
// them there is no device to talk to and these tests are skipped.
class Win32SerialLoopbackTest : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    const char* names = std::getenv("VORMIK_TEST_LOOPBACK_PORTS");
    if (!names || std::string(names).find(GetParam()) == std::string::npos)
      GTEST_SKIP() << "no stand-in controller on " << GetParam()
                   << " (VORMIK_TEST_LOOPBACK_PORTS is set by the Wine test run)";
    port_ = platform::CreateSerialPort();
    ASSERT_TRUE(port_->Open(GetParam()));
    ASSERT_TRUE(port_->SetTimeouts(ProgramTimeouts()));
    ASSERT_TRUE(port_->ApplyLineMode("9600,N,8,1"));
    ASSERT_TRUE(port_->Purge(kPurgeAll));
  }
  void TearDown() override {
    if (port_) port_->Close();
  }

  std::unique_ptr<platform::SerialPort> port_;
};

TEST_P(Win32SerialLoopbackTest, TimeoutsReadBackAsSetAndBytesAreAnswered) {
  SerialTimeouts read;
  ASSERT_TRUE(port_->GetTimeouts(read));
  const SerialTimeouts set = ProgramTimeouts();
  EXPECT_EQ(set.readIntervalMs, read.readIntervalMs);
  EXPECT_EQ(set.readTotalMultiplierMs, read.readTotalMultiplierMs);
  EXPECT_EQ(set.readTotalConstantMs, read.readTotalConstantMs);
  EXPECT_EQ(set.writeTotalMultiplierMs, read.writeTotalMultiplierMs);
  EXPECT_EQ(set.writeTotalConstantMs, read.writeTotalConstantMs);

  // A whole frame's worth of bytes, including 0x00 and 0xFF (answered 0x00).
  for (uint8_t b : {0x55, 0x30, 0x84, 0x00, 0xFF, 0x7F}) {
    ASSERT_TRUE(port_->WriteByte(b));
    uint8_t answer = 0;
    ASSERT_TRUE(port_->ReadByte(answer)) << "no answer to " << int(b);
    EXPECT_EQ(static_cast<uint8_t>(b + 1), answer);
  }
}

TEST_P(Win32SerialLoopbackTest, ReadWithoutAnswerEndsAfterTheReadTimeout) {
  ASSERT_TRUE(port_->WriteByte(kSilentByte));
  const auto start = Clock::now();
  uint8_t byte = 0;
  EXPECT_FALSE(port_->ReadByte(byte));
  EXPECT_GE(MsSince(start), 80);
  EXPECT_LT(MsSince(start), 5000) << "the read did not keep to its time-out";
}

TEST_P(Win32SerialLoopbackTest, LateAnswerIsMissedAndPurgeDropsIt) {
  uint8_t byte = 0;
  ASSERT_TRUE(port_->WriteByte(kLateByte));
  EXPECT_FALSE(port_->ReadByte(byte)) << "an answer 150 ms late was seen by a 100 ms read";
  // Left in the buffer, the late answer is what a later read finds ...
  bool arrived = false;
  for (int i = 0; i < 50 && !arrived; ++i) arrived = port_->ReadByte(byte);
  ASSERT_TRUE(arrived);
  EXPECT_EQ(kLateByte + 1, byte);

  // ... unless the receive buffer is cleared first, as every transmission does.
  ASSERT_TRUE(port_->WriteByte(kLateByte));
  EXPECT_FALSE(port_->ReadByte(byte));
  Sleep(600);  // well after the answer, even on a busy machine
  ASSERT_TRUE(port_->Purge(platform::kPurgeRxAbort | platform::kPurgeRxClear));
  EXPECT_FALSE(port_->ReadByte(byte));
}

// (Whether a second opener is refused cannot be seen here: Wine does not
// enforce the exclusive opening of a device.)
TEST_P(Win32SerialLoopbackTest, CloseRestoresTheLineSettingsFoundAtOpen) {
  EXPECT_FALSE(port_->Open(GetParam())) << "an open port object opened again";
  port_->Close();
  auto second = platform::CreateSerialPort();

  // The device as found before any opening by the program.
  const std::string device = std::string("\\\\.\\") + GetParam();
  auto lineSettings = [&](DCB& dcb) {
    HANDLE h = CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    dcb = DCB{};
    dcb.DCBlength = sizeof dcb;
    const bool ok = GetCommState(h, &dcb) != FALSE;
    CloseHandle(h);
    return ok;
  };
  DCB before{};
  ASSERT_TRUE(lineSettings(before));

  ASSERT_TRUE(second->Open(GetParam()));
  ASSERT_TRUE(second->ApplyLineMode(before.BaudRate == 1200 ? "2400,E,7,2" : "1200,E,7,2"));
  second->Close();
  EXPECT_FALSE(second->IsOpen());

  DCB after{};
  ASSERT_TRUE(lineSettings(after));
  EXPECT_EQ(before.BaudRate, after.BaudRate);
  EXPECT_EQ(before.ByteSize, after.ByteSize);
  EXPECT_EQ(before.Parity, after.Parity);
  EXPECT_EQ(before.StopBits, after.StopBits);
}

// A low number is opened by its plain name, from COM10 on only through the
// device name space.
INSTANTIATE_TEST_SUITE_P(Ports, Win32SerialLoopbackTest, ::testing::Values("COM7", "COM42"),
                         [](const auto& info) { return std::string(info.param); });

}  // namespace
